#pragma once

#include <QString>

namespace AppLocation {

// The folder that holds freqs.mdb and freq.txt: the executable's own folder when it can be
// written (a portable copy), otherwise the user's data folder, created if missing.
QString applicationFolder();

} // namespace AppLocation

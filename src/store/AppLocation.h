#pragma once

#include <QString>

namespace AppLocation {

// The folder that holds freqs.mdb and freq.txt. An installed copy (its menu entry lies under
// the prefix it was installed to) keeps them in the user's data folder, created if missing,
// even where it could write beside itself. Only a build tree, or a folder that already holds
// freqs.mdb, is used as a portable copy, and only when it can be written.
QString applicationFolder();

} // namespace AppLocation

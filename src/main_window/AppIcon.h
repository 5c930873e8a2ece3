#pragma once

#include <QIcon>

namespace AppIcon {

// The program's icon in every size drawn for the hicolor theme, from the resources, so that
// it needs neither an image plugin nor an installed theme.
QIcon icon();

} // namespace AppIcon

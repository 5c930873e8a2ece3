#include "main_window/AppIcon.h"

#include <QSize>
#include <QString>

namespace AppIcon {

QIcon icon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/orvo.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace AppIcon

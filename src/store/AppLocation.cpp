#include "store/AppLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppLocation {

namespace {

bool isPortable(const QDir& folder)
{
    if (QFileInfo::exists(folder.filePath(QStringLiteral("../share/applications/orvo.desktop"))))
        return false;
    const bool buildTree = QFileInfo::exists(folder.filePath(QStringLiteral("CMakeCache.txt")));
    const bool holdsDatabase = QFileInfo::exists(folder.filePath(QStringLiteral("freqs.mdb")));
    return (buildTree || holdsDatabase) && QFileInfo(folder.path()).isWritable();
}

} // namespace

QString applicationFolder()
{
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (isPortable(QDir(executableFolder)))
        return executableFolder;
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataFolder);
    return dataFolder;
}

} // namespace AppLocation

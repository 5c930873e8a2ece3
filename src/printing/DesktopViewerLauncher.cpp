#include "printing/DesktopViewerLauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool DesktopViewerLauncher::launch(const QString& appDir, const QString& fileName)
{
    const QDir folder(appDir);
    const QString editor = folder.filePath(QStringLiteral("wordpad.exe"));
    if (QFileInfo(editor).isFile())
        return QProcess::startDetached(editor, {fileName}, folder.absolutePath());
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder.absoluteFilePath(fileName)));
}

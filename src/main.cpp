#include "main_window/AppIcon.h"
#include "main_window/AppServices.h"
#include "main_window/CommandLine.h"
#include "main_window/Form1.h"
#include "main_window/MessageBoxes.h"
#include "main_window/WindowGeometry.h"
#include "printing/DesktopViewerLauncher.h"
#include "store/AppLocation.h"
#include "main_window/Module1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered = CommandLine::answerInfoRequest(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    if (const std::optional<int> refused = CommandLine::refuseLeftovers(QApplication::arguments()))
        return *refused;
    WindowGeometry::useLayoutStyle();
    QApplication::setApplicationName(QStringLiteral("orvo"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(ORVO_VERSION_MAJOR).arg(ORVO_VERSION_MINOR).arg(ORVO_VERSION_REVISION));
    // Every window shows this icon; the desktop file name ties the windows to the menu entry.
    QApplication::setWindowIcon(AppIcon::icon());
    QGuiApplication::setDesktopFileName(QStringLiteral("orvo"));

    Module1 module;
    QtMessageBoxes messages;
    DesktopViewerLauncher viewer;
    AppServices services(module, messages, viewer);
    services.applicationFolder = AppLocation::applicationFolder();

    Form1 mainWindow(services);
    if (!mainWindow.Form_Load())
        return 1;
    mainWindow.show();
    return QApplication::exec();
}

#include "printing/ExportPreview.h"

#include "main_window/AppServices.h"
#include "main_window/MessageBoxes.h"
#include "printing/ViewerLauncher.h"

#include <QCoreApplication>
#include <QDir>

namespace ExportPreview {

bool writeAndShow(QWidget* parent, AppServices& services,
                  const std::function<void(ExportText::LineWriter&)>& writeLines)
{
    const QString title = QStringLiteral("Print Preview");
    const QString path = QDir(services.applicationFolder).filePath(ExportText::FileName);
    if (const Outcome written = ExportText::writeFile(path, writeLines); !written) {
        services.messages.inform(parent, written.error, title);
        return false;
    }
    QCoreApplication::processEvents();
    if (!services.viewer.launch(services.applicationFolder, ExportText::FileName)) {
        services.messages.inform(
            parent,
            QStringLiteral("%1 was written, but no program to show it could be started.")
                .arg(QDir::toNativeSeparators(path)),
            title);
    }
    return true;
}

} // namespace ExportPreview

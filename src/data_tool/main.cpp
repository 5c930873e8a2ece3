#include "data_tool/DataTool.h"
#include "store/AppLocation.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as Orvo, so that the rule for the data folder finds Orvo's database.
    QCoreApplication::setApplicationName(QStringLiteral("orvo"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(ORVO_VERSION_MAJOR).arg(ORVO_VERSION_MINOR).arg(ORVO_VERSION_REVISION));

    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    DataTool tool(out, err);
    tool.setProgressShown(isatty(fileno(stderr)));
    tool.setDefaultFolder(AppLocation::applicationFolder);
    const int status = tool.run(QCoreApplication::arguments());
    out.flush();
    return status;
}

#include "RecordGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

// orvo_generate <records> <path>: writes a new database of generated records.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = false;
    const int count = arguments.size() == 3 ? arguments.at(1).toInt(&ok) : 0;
    if (!ok || count < 0) {
        err << "usage: orvo_generate <records> <path of the new database>\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const Outcome written =
        RecordGenerator::writeDatabase(arguments.at(2), count, RecordGenerator::DefaultSeed, [&err](int done) {
            err << done << " records\n" << Qt::flush;
        });
    if (!written) {
        err << written.error << '\n';
        return 1;
    }
    err << "Wrote " << count << " records to " << arguments.at(2) << " in " << timer.elapsed() / 1000.0 << " s\n";
    return 0;
}

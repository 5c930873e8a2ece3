#include "BenchReport.h"
#include "FloorOperations.h"
#include "OrvoOperations.h"
#include "RecordGenerator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <functional>
#include <sqlite3.h>

namespace {

struct Side
{
    std::function<qint64()> work;
    std::function<void()> prepare = [] {};
};

double timedMs(const std::function<qint64()>& work, qint64* rows)
{
    QElapsedTimer timer;
    timer.start();
    *rows = work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// One untimed round on each side first (caches, and the rows each side finds), then the
// timed rounds, Orvo and floor in turn so that both see the same noise.
BenchLine compare(const QString& operation, int runs, const Side& orvo, const Side& floor, BenchLine::Goal goal,
                  double limit, const std::function<QString()>& note = {})
{
    BenchLine line;
    line.operation = operation;
    line.goal = goal;
    line.limit = limit;
    qint64 orvoRows = 0;
    qint64 floorRows = 0;
    orvo.prepare();
    orvo.work();
    floor.prepare();
    floor.work();
    QVector<double> orvoTimes;
    QVector<double> floorTimes;
    for (int run = 0; run < runs; ++run) {
        orvo.prepare();
        orvoTimes << timedMs(orvo.work, &orvoRows);
        floor.prepare();
        floorTimes << timedMs(floor.work, &floorRows);
    }
    line.orvo = BenchReport::median(orvoTimes);
    line.floor = BenchReport::median(floorTimes);
    QStringList notes;
    if (orvoRows != floorRows)
        notes << QStringLiteral("rows differ: Orvo %1, floor %2").arg(orvoRows).arg(floorRows);
    else
        notes << QStringLiteral("%1 rows").arg(orvoRows);
    if (note && !note().isEmpty())
        notes << note();
    line.note = notes.join(QStringLiteral("; "));
    return line;
}

qint64 peakResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Run in a child process, so that only start-up and the full list count.
int memoryProbe(const QString& folder)
{
    OrvoOperations orvo(folder);
    if (!orvo.startUp())
        return 1;
    const int lines = orvo.find(true, false, false, QString());
    std::printf("%lld %d\n", peakResidentKilobytes(), lines);
    return 0;
}

BenchLine peakMemory(const QString& folder, int records)
{
    BenchLine line;
    line.operation = QStringLiteral("peak memory, full list shown");
    line.unit = QStringLiteral("MB");
    line.goal = BenchLine::Goal::AbsoluteBelow;
    line.limit = 400;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--records"), QString::number(records), QStringLiteral("--folder"), folder,
                 QStringLiteral("--memory-probe")});
    child.waitForFinished(-1);
    const QList<QByteArray> answer = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || answer.size() != 2) {
        line.note = QStringLiteral("the probe failed");
        return line;
    }
    line.orvo = answer.at(0).toDouble() / 1024.0;
    line.note = QStringLiteral("VmHWM of a process that started and listed %1 records").arg(QString(answer.at(1)));
    return line;
}

BenchLine notMeasured(const QString& operation, const QString& why)
{
    BenchLine line;
    line.operation = operation;
    line.note = why;
    return line;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times Orvo's operations against bare SQLite."));
    parser.addHelpOption();
    const QCommandLineOption recordsOption(QStringLiteral("records"), QStringLiteral("Records in the database."),
                                           QStringLiteral("count"), QStringLiteral("10000"));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Folder for the generated databases (one folder per size)."),
                                        QStringLiteral("folder"), QStringLiteral("bench-data"));
    const QCommandLineOption folderOption(QStringLiteral("folder"), QStringLiteral("Use exactly this folder."),
                                          QStringLiteral("folder"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Timed runs per operation."),
                                        QStringLiteral("count"));
    const QCommandLineOption onlyOption(QStringLiteral("only"),
                                        QStringLiteral("Run only the operations whose name contains this text."),
                                        QStringLiteral("text"));
    const QCommandLineOption probeOption(QStringLiteral("memory-probe"), QStringLiteral("Internal."));
    parser.addOptions({recordsOption, dataOption, folderOption, runsOption, onlyOption, probeOption});
    parser.process(app);

    const int records = parser.value(recordsOption).toInt();
    const QString folder = parser.isSet(folderOption)
                               ? parser.value(folderOption)
                               : QDir(parser.value(dataOption)).absoluteFilePath(QString::number(records));
    const QString database = QDir(folder).filePath(QStringLiteral("freqs.mdb"));
    if (parser.isSet(probeOption))
        return memoryProbe(folder);

    const int runs = parser.isSet(runsOption) ? parser.value(runsOption).toInt()
                                              : (records <= 10000    ? 9
                                                 : records <= 100000 ? 5
                                                                     : 3);
    if (!QFile::exists(database)) {
        QDir().mkpath(folder);
        QElapsedTimer timer;
        timer.start();
        std::printf("Generating %d records into %s ...\n", records, qPrintable(database));
        std::fflush(stdout);
        if (const Outcome written = RecordGenerator::writeDatabase(database, records); !written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.error));
            return 1;
        }
        std::printf("  done in %.1f s\n", timer.elapsed() / 1000.0);
    }
    std::printf("Orvo benchmark on %s (Qt %s, SQLite %s)\n", qPrintable(database), qVersion(), sqlite3_libversion());
    BenchReport::printHeader(records, runs);

    using Goal = BenchLine::Goal;
    const QString only = parser.value(onlyOption);
    const auto wanted = [&only](const QString& operation) {
        return only.isEmpty() || operation.contains(only, Qt::CaseInsensitive);
    };
    if (wanted(QStringLiteral("peak memory")))
        BenchReport::print(records, peakMemory(folder, records));

    OrvoOperations orvo(folder);
    FloorOperations floor(database);
    if (!floor.isOpen()) {
        std::fprintf(stderr, "Cannot open %s: %s\n", qPrintable(database), qPrintable(floor.error()));
        return 1;
    }
    const auto fastPath = [&orvo] {
        return orvo.fastPath().isEmpty() ? QString() : QStringLiteral("fast path: ") + orvo.fastPath();
    };
    const auto started = [&orvo] { return orvo.startUp() || (std::fprintf(stderr, "Orvo could not start\n"), false); };
    const auto find = [&orvo](bool description, bool comments, bool frequencies, const char* text) {
        return [&orvo, description, comments, frequencies, text] {
            return qint64(orvo.find(description, comments, frequencies, QLatin1String(text)));
        };
    };
    const auto descriptions = [&floor](const char* condition) {
        return [&floor, condition] { return floor.orderedDescriptions(QLatin1String(condition)); };
    };
    const QString floorFile = QDir(folder).filePath(QStringLiteral("floor-freq.txt"));
    const QString floorCopy = QDir(folder).filePath(QStringLiteral("floorFreq.mdb"));

    struct Operation
    {
        QString name;
        Side orvo;
        Side floor;
        Goal goal;
        double limit;
        // Untimed, once before the runs; false when the operation cannot run in this build.
        std::function<bool()> setUp;
        QString notAvailable;
    };
    const auto always = [] { return true; };
    const QVector<Operation> operations{
        {QStringLiteral("start-up (window shown, query bound)"),
         {[&] { return qint64(orvo.startUp()); }, [&] { orvo.shutDown(); }},
         {[&] { return floor.openAndFirstRow(); }},
         Goal::RatioAtMost,
         2,
         always,
         {}},
        {QStringLiteral("Find, Description, empty text"),
         {find(true, false, false, "")},
         {descriptions("")},
         Goal::RatioAtMost,
         1.5,
         started,
         {}},
        {QStringLiteral("Find, Description, \"eart\""),
         {find(true, false, false, "eart")},
         {descriptions("Description LIKE '%eart%'")},
         Goal::RatioAtMost,
         1.5,
         started,
         {}},
        {QStringLiteral("Find, Description + Comments, \"eart\""),
         {find(true, true, false, "eart")},
         {descriptions("Comments LIKE '%eart%' OR Description LIKE '%eart%'")},
         Goal::RatioAtMost,
         1.5,
         started,
         {}},
        {QStringLiteral("Find, Frequencies, \"728\""),
         {find(false, false, true, "728")},
         {[&] { return floor.frequencyScan(QStringLiteral("728")); }},
         Goal::RatioAtMost,
         0.1,
         started,
         {}},
        {QStringLiteral("Find, Frequencies, \"728~1\""),
         {find(false, false, true, "728~1")},
         {[&] { return floor.frequencyBandScan(QStringLiteral("727"), QStringLiteral("729")); }},
         Goal::RatioAtMost,
         0.1,
         started,
         {}},
        {QStringLiteral("Find, Frequencies, \"728~0.5%\""),
         {find(false, false, true, "728~0.5%")},
         {[&] { return floor.frequencyBandScan(QStringLiteral("724.36"), QStringLiteral("731.64")); }},
         Goal::RatioAtMost,
         0.1,
         started,
         {}},
        {QStringLiteral("Find, Frequencies, \"100-200\""),
         {find(false, false, true, "100-200")},
         {[&] { return floor.frequencyBandScan(QStringLiteral("100"), QStringLiteral("200")); }},
         Goal::RatioAtMost,
         0.1,
         started,
         {}},
        {QStringLiteral("letter \"M\""),
         {[&] { return qint64(orvo.letter('m')); }},
         {descriptions("Description LIKE 'm%'")},
         Goal::RatioAtMost,
         1.5,
         started,
         {}},
        {QStringLiteral("click on the last line of the full list"),
         {[&] { return qint64(orvo.clickLastLine()); }, [&] { orvo.clickFirstLine(); }},
         {[&] { return floor.pointRead(records); }},
         Goal::AbsoluteBelow,
         5,
         [&] { return started() && orvo.find(true, false, false, QString()) > 0; },
         {}},
        {QStringLiteral("Print Preview, full list, all boxes ticked"),
         {[&] { return qint64(orvo.printPreview() ? orvo.listedLines() : -1); }},
         {[&] { return floor.writeList(floorFile); }},
         Goal::RatioAtMost,
         2,
         [&] { return started() && orvo.find(true, false, false, QString()) > 0 && orvo.openPrintWindow(); },
         QStringLiteral("not measured: this build has no print window yet")},
        {QStringLiteral("Repair and Compact"),
         {[&] { return qint64(orvo.repair() == QLatin1String("Good News !")); }, [&] { floor.close(); }},
         {[&] { return floor.vacuumIntoAndRename(floorCopy); }, [&] { floor.reopen(); }},
         Goal::RatioAtMost,
         1.3,
         [&] { return started() && orvo.repair() == QLatin1String("Good News !"); },
         QStringLiteral("not measured: this build has no repair yet")},
    };
    for (const Operation& operation : operations) {
        if (!wanted(operation.name))
            continue;
        if (!operation.setUp()) {
            BenchReport::print(records, notMeasured(operation.name, operation.notAvailable));
            continue;
        }
        const bool search =
            operation.name.startsWith(QLatin1String("Find")) || operation.name.startsWith(QLatin1String("letter"));
        BenchReport::print(records, compare(operation.name, runs, operation.orvo, operation.floor, operation.goal,
                                            operation.limit, search ? fastPath : std::function<QString()>()));
    }
    orvo.shutDown();
    QFile::remove(floorFile);
    QFile::remove(floorCopy);
    return 0;
}

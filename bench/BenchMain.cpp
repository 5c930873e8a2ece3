#include "BenchData.h"
#include "BenchReport.h"
#include "BestFloor.h"
#include "Comparison.h"
#include "FloorOperations.h"
#include "ImportOperations.h"
#include "MemoryProbe.h"
#include "OrvoOperations.h"
#include "RecordGenerator.h"
#include "printing/ExportText.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sqlite3.h>

namespace {

// The lines of an export after its header, whose time differs from run to run.
QByteArray exportedLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("unreadable");
    const QByteArray all = file.readAll();
    return QCryptographicHash::hash(all.mid(all.indexOf('\n') + 1), QCryptographicHash::Md5);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times Orvo's operations against the best plain technique and bare SQLite."));
    parser.addHelpOption();
    const QCommandLineOption recordsOption(QStringLiteral("records"), QStringLiteral("Records in the database."),
                                           QStringLiteral("count"), QStringLiteral("10000"));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Folder for the generated databases (one folder per size)."),
                                        QStringLiteral("folder"), QStringLiteral("bench-data"));
    const QCommandLineOption folderOption(
        QStringLiteral("folder"),
        QStringLiteral("Time the freqs.mdb in exactly this folder, as it is (it is changed)."),
        QStringLiteral("folder"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Timed runs per operation."),
                                        QStringLiteral("count"));
    const QCommandLineOption onlyOption(QStringLiteral("only"),
                                        QStringLiteral("Run only the operations whose name contains this text."),
                                        QStringLiteral("text"));
    const QCommandLineOption dataToolOption(QStringLiteral("orvo-data"),
                                            QStringLiteral("The orvo-data program to time (default: the one built with "
                                                           "the benchmark)."),
                                            QStringLiteral("program"), QStringLiteral(ORVO_DATA_PROGRAM));
    const QCommandLineOption probeOption(QStringLiteral("memory-probe"), QStringLiteral("Internal."),
                                         QStringLiteral("mode"));
    parser.addOptions({recordsOption, dataOption, folderOption, runsOption, onlyOption, dataToolOption, probeOption});
    parser.process(app);

    const int records = parser.value(recordsOption).toInt();
    const QString folder = parser.isSet(folderOption)
                               ? parser.value(folderOption)
                               : QDir(parser.value(dataOption)).absoluteFilePath(QString::number(records));
    if (parser.isSet(probeOption))
        return MemoryProbe::run(parser.value(probeOption), folder);
    const QDir here(folder);
    const QString database = here.filePath(QStringLiteral("freqs.mdb"));
    // Every run starts from the file as generated; the operations (repair above all) change it.
    const QString generated = parser.isSet(folderOption) ? database : here.filePath(QStringLiteral("generated.mdb"));

    const int runs = parser.isSet(runsOption) ? parser.value(runsOption).toInt()
                                              : (records <= 10000    ? 9
                                                 : records <= 100000 ? 5
                                                                     : 3);
    if (!QFile::exists(generated)) {
        QDir().mkpath(folder);
        QElapsedTimer timer;
        timer.start();
        std::printf("Generating %d records into %s ...\n", records, qPrintable(generated));
        std::fflush(stdout);
        if (const Outcome written = RecordGenerator::writeDatabase(generated, records); !written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.error));
            return 1;
        }
        std::printf("  done in %.1f s\n", timer.elapsed() / 1000.0);
    }
    if (generated != database) {
        if (const Outcome copied = BenchData::copyDatabase(generated, database); !copied) {
            std::fprintf(stderr, "%s\n", qPrintable(copied.error));
            return 1;
        }
    }
    std::printf("\nOrvo benchmark on %s (Qt %s, SQLite %s)\n", qPrintable(database), qVersion(), sqlite3_libversion());
    BenchReport::printHeader(records, runs, BenchData::layout(database));

    using Goal = BenchLine::Goal;
    const QString only = parser.value(onlyOption);
    const auto wanted = [&only](const QString& operation) {
        return only.isEmpty() || operation.contains(only, Qt::CaseInsensitive);
    };
    if (wanted(QStringLiteral("peak memory"))) {
        for (const BenchLine& line : MemoryProbe::listLines(folder, QString()))
            BenchReport::print(records, line);
        const QString withoutIndex = here.filePath(QStringLiteral("without-index"));
        QDir().mkpath(withoutIndex);
        const QString copy = QDir(withoutIndex).filePath(QStringLiteral("freqs.mdb"));
        if (BenchData::copyWithoutFrequencyIndex(generated, copy))
            BenchReport::print(records, MemoryProbe::openLine(withoutIndex));
        QDir(withoutIndex).removeRecursively();
    }

    OrvoOperations orvo(folder);
    FloorOperations bare(database);
    if (!bare.isOpen()) {
        std::fprintf(stderr, "Cannot open %s: %s\n", qPrintable(database), qPrintable(bare.error()));
        return 1;
    }
    BestFloor best(bare);
    if (!best.loadList()) {
        std::fprintf(stderr, "Cannot read the list of %s\n", qPrintable(database));
        return 1;
    }
    const auto fastPath = [&orvo] {
        return orvo.fastPath().isEmpty() ? QString() : QStringLiteral("fast path: ") + orvo.fastPath();
    };
    const auto started = [&orvo] { return orvo.startUp() || (std::fprintf(stderr, "Orvo could not start\n"), false); };
    const auto find = [&orvo](bool description, bool comments, bool frequencies, const char* text) {
        return Side{[&orvo, description, comments, frequencies, text] {
                        return qint64(orvo.find(description, comments, frequencies, QLatin1String(text)));
                    },
                    [] {}, [&orvo] { return orvo.listedText(); }};
    };
    const auto descriptions = [&bare](const QString& condition) {
        return Side{[&bare, condition] { return bare.orderedDescriptions(condition); }, [] {},
                    [&bare, condition] {
                        QCryptographicHash lines(QCryptographicHash::Md5);
                        bare.orderedDescriptions(condition, &lines);
                        return lines.result();
                    }};
    };
    const auto bestFound = [&best](const std::function<qint64()>& search) {
        return Side{search, [] {}, [&best] { return best.foundLines(); }};
    };
    const auto exported = [](const QString& path) { return [path] { return exportedLines(path); }; };
    const QString orvoFile = here.filePath(ExportText::FileName);
    const QString floorFile = here.filePath(QStringLiteral("floor-freq.txt"));
    const QString bareFile = here.filePath(QStringLiteral("bare-freq.txt"));
    const QString floorCopy = here.filePath(QStringLiteral("floorFreq.mdb"));
    QSize windowSize;

    const QVector<Operation> operations{
        {QStringLiteral("start-up (window shown, query bound)"),
         {[&] { return qint64(orvo.startUp()); }, [&] { orvo.shutDown(); }},
         {[&] { return best.startUp(windowSize); }, [&] { best.closeWindow(); }},
         Side{[&] { return bare.openAndFirstRow(); }},
         Goal::RatioAtMost,
         1.5,
         0,
         [&] { return started() && (windowSize = orvo.windowSize()).isValid(); }},
        {QStringLiteral("Find, Description, empty text"), find(true, false, false, ""), descriptions(QString()),
         std::nullopt, Goal::RatioAtMost, 1.5, 40, started},
        {QStringLiteral("Find, Description, \"eart\""), find(true, false, false, "eart"),
         bestFound([&] { return best.findInDescriptions(QStringLiteral("eart")); }),
         descriptions(QStringLiteral("Description LIKE '%eart%'")), Goal::RatioAtMost, 1.5, 40, started},
        {QStringLiteral("Find, Description + Comments, \"eart\""), find(true, true, false, "eart"),
         bestFound([&] { return best.findInDescriptionsAndComments(QStringLiteral("eart")); }),
         descriptions(QStringLiteral("Comments LIKE '%eart%' OR Description LIKE '%eart%'")), Goal::RatioAtMost, 1.5, 0,
         started},
        {QStringLiteral("Find, Frequencies, \"728\""), find(false, false, true, "728"),
         descriptions(FloorOperations::frequencyCondition(QStringLiteral("728"))), std::nullopt, Goal::RatioAtMost, 0.1,
         0, started},
        {QStringLiteral("Find, Frequencies, \"728~1\""), find(false, false, true, "728~1"),
         descriptions(FloorOperations::frequencyBandCondition(QStringLiteral("727"), QStringLiteral("729"))),
         std::nullopt, Goal::RatioAtMost, 0.1, 0, started},
        {QStringLiteral("Find, Frequencies, \"728~0.5%\""), find(false, false, true, "728~0.5%"),
         descriptions(FloorOperations::frequencyBandCondition(QStringLiteral("724.36"), QStringLiteral("731.64"))),
         std::nullopt, Goal::RatioAtMost, 0.1, 0, started},
        {QStringLiteral("Find, Frequencies, \"100-200\""), find(false, false, true, "100-200"),
         descriptions(FloorOperations::frequencyBandCondition(QStringLiteral("100"), QStringLiteral("200"))),
         std::nullopt, Goal::RatioAtMost, 0.1, 0, started},
        {QStringLiteral("letter \"M\""),
         {[&] { return qint64(orvo.letter('m')); }, [] {}, [&] { return orvo.listedText(); }},
         descriptions(QStringLiteral("Description LIKE 'm%'")),
         std::nullopt,
         Goal::RatioAtMost,
         1.5,
         40,
         started},
        {QStringLiteral("click on the last line of the full list"),
         {[&] { return qint64(orvo.clickLastLine()); }, [&] { orvo.clickFirstLine(); }},
         {[&] { return bare.pointRead(records); }},
         std::nullopt,
         Goal::AbsoluteBelow,
         5,
         0,
         [&] { return started() && orvo.find(true, false, false, QString()) > 0; }},
        {QStringLiteral("Print Preview, full list, all boxes ticked"),
         {[&] { return qint64(orvo.printPreview() ? orvo.listedLines() : -1); }, [] {}, exported(orvoFile)},
         {[&] { return best.writeList(floorFile); }, [] {}, exported(floorFile)},
         Side{[&] { return bare.writeList(bareFile); }, [] {}, exported(bareFile)},
         Goal::RatioAtMost,
         1.5,
         0,
         [&] { return started() && orvo.find(true, false, false, QString()) > 0 && orvo.openPrintWindow(); }},
        // Before each run only the side that runs holds the file, so that its rename frees the file
        // it replaces, and no side frees one that another replaced.
        {QStringLiteral("Repair and Compact"),
         {[&] { return qint64(orvo.repair() == QLatin1String("Good News !")); },
          [&] {
              bare.close();
              orvo.takeUpFile();
          }},
         {[&] { return bare.vacuumIntoAndRename(floorCopy, true); },
          [&] {
              orvo.releaseFile();
              bare.reopen();
          }},
         Side{[&] { return bare.vacuumIntoAndRename(floorCopy, false); },
              [&] {
                  orvo.releaseFile();
                  bare.reopen();
              }},
         Goal::RatioAtMost,
         1.5,
         0,
         [&] { return started() && orvo.repair() == QLatin1String("Good News !"); }},
    };
    const auto measure = [records, runs](const Operation& operation, const std::function<QString()>& note) {
        if (operation.setUp()) {
            BenchReport::print(records, compare(operation, runs, note));
            return;
        }
        BenchLine line;
        line.operation = operation.name;
        line.note = QStringLiteral("not measured: it could not be set up");
        BenchReport::print(records, line);
    };
    for (const Operation& operation : operations) {
        const bool search =
            operation.name.startsWith(QLatin1String("Find")) || operation.name.startsWith(QLatin1String("letter"));
        if (wanted(operation.name))
            measure(operation, search ? fastPath : std::function<QString()>());
    }
    orvo.shutDown();
    bare.close();
    for (const QString& file : {orvoFile, floorFile, bareFile, floorCopy})
        QFile::remove(file);

    if (wanted(QStringLiteral("peak memory, after a repair"))) {
        if (!wanted(QStringLiteral("Repair and Compact")) && started())
            orvo.repair();
        orvo.shutDown();
        for (const BenchLine& line : MemoryProbe::listLines(folder, QStringLiteral(", after a repair")))
            BenchReport::print(records, line);
    }

    const int csvRows = records / 10;
    const QString importName = QStringLiteral("orvo-data import, %1 CSV rows").arg(csvRows);
    if (wanted(importName)) {
        const QString csv = here.filePath(QStringLiteral("import-%1.csv").arg(csvRows));
        const QDir targets(here.filePath(QStringLiteral("import")));
        const QString orvoTarget = targets.filePath(QStringLiteral("freqs.mdb"));
        const QString floorTarget = targets.filePath(QStringLiteral("floor.mdb"));
        const qint64 before = BenchData::recordCount(generated);
        const auto into = [&](const std::function<qint64()>& work, const QString& target) {
            return Side{work, [&generated, target] { BenchData::copyDatabase(generated, target); },
                        [before, target] { return ImportOperations::added(target, before); }};
        };
        const Operation import{
            importName,
            into([&] { return ImportOperations::orvoData(parser.value(dataToolOption), csv, orvoTarget); }, orvoTarget),
            into([&] { return ImportOperations::floor(csv, floorTarget); }, floorTarget),
            std::nullopt,
            Goal::RatioAtMost,
            1.5,
            0,
            [&] { return QDir().mkpath(targets.path()) && (QFile::exists(csv) || BenchData::writeCsv(csv, csvRows)); }};
        measure(import, [] { return QStringLiteral("orvo-data in a process of its own"); });
        QDir(targets.path()).removeRecursively();
    }
    return 0;
}

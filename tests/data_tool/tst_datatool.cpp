#include "data_tool/DataTool.h"
#include "store/OrvoDatabase.h"
#include "support/DatabaseFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QByteArray ThreeRecords = "Description,Comments,F1,F2\r\n"
                                "Schumann,\"Earth, ionosphere\",7.83,14.3\r\n"
                                "Alpha,,10,\r\n"
                                "\"Quote \"\"q\"\"\",\"two\r\nlines\",1,2\r\n";

// One run of the tool with its output caught.
struct Run
{
    int status = -1;
    QByteArray outBytes;
    QString out;
    QString err;
};

// The tool in process; the temporary folder stands for Orvo's, where the database is without --db.
struct ToolFixture
{
    Run run(const QStringList& arguments, bool progressShown = false)
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        DataTool tool(out, err);
        tool.setProgressShown(progressShown);
        tool.setDefaultFolder([this] { return folder.path(); });
        Run result;
        result.status = tool.run(QStringList{QStringLiteral("orvo-data")} + arguments);
        result.outBytes = out.data();
        result.out = QString::fromUtf8(out.data());
        result.err = QString::fromUtf8(err.data());
        return result;
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    QString csv(const QByteArray& bytes = ThreeRecords) const
    {
        writeFile(path(QStringLiteral("in.csv")), bytes);
        return path(QStringLiteral("in.csv"));
    }

    QTemporaryDir folder;
};

} // namespace

class TestDataTool : public QObject
{
    Q_OBJECT

private slots:
    void refusesWrongCommandLines_data();
    void refusesWrongCommandLines();
    void importsAndExportsOrvosDatabase();
    void writesToEveryKindOfTarget_data();
    void writesToEveryKindOfTarget();
    void findsFrequencies_data();
    void findsFrequencies();
    void refusedImportChangesNothing_data();
    void refusedImportChangesNothing();
    void importsAccessTableThroughMapping();
    void checks_data();
    void checks();
    void executableRuns();
};

void TestDataTool::refusesWrongCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList() << "Name a command";
    QTest::newRow("unknown command") << QStringList{"frob"} << "Unknown command frob";
    QTest::newRow("option of another command")
        << QStringList{"export", "--table", "T"} << "--table does not go with export.";
    QTest::newRow("import without file") << QStringList{"import"} << "import needs one FILE to read.";
    QTest::newRow("find without text") << QStringList{"find"} << "find needs one search TEXT.";
    QTest::newRow("bad map") << QStringList{"import", "x.csv", "--map", "F41=Hz"} << "--map: F41 is not a field";
}

void TestDataTool::refusesWrongCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    ToolFixture fixture;
    const Run run = fixture.run(arguments);
    QCOMPARE(run.status, int(DataTool::UsageError));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("--help")));
    QCOMPARE(QDir(fixture.folder.path()).entryList(QDir::Files), QStringList());
}

// Without --db the tool takes the database beside Orvo, the one Orvo itself uses.
void TestDataTool::importsAndExportsOrvosDatabase()
{
    ToolFixture fixture;
    const QString csv = fixture.csv();
    const QString nativeDb = QDir::toNativeSeparators(fixture.path(QStringLiteral("freqs.mdb")));
    Run run = fixture.run({"import", csv});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Created the database and imported 3 records into %1.\n").arg(nativeDb));
    QCOMPARE(run.err, QString()); // no progress unless asked
    run = fixture.run({"import", csv, "--skip-duplicates"}, true);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Imported 0 records into %1; 3 duplicates left out.\n").arg(nativeDb));
    QVERIFY2(run.err.contains(QStringLiteral("\rImporting 100%\n")), qPrintable(run.err));

    const QString exported = fixture.path(QStringLiteral("out.csv"));
    run = fixture.run({"export", "--out", exported, "--excel"}, true);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QStringLiteral("\rExporting 100%\nExported 3 records to %1.\n")
                          .arg(QDir::toNativeSeparators(exported)));
    QByteArray bytes;
    if (QFile file(exported); file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                             "Description,Comments,F1,F2,F3,"));
    run = fixture.run({"export"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.outBytes, bytes.mid(3));
    QCOMPARE(run.err, QStringLiteral("Exported 3 records.\n"));
}

void TestDataTool::writesToEveryKindOfTarget_data()
{
    QTest::addColumn<QString>("target"); // what --out names in the folder, or "-"
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // %1 is the target

    QTest::newRow("standard output") << "-" << 0 << "Exported 2 records.\n";
    // Renamed over, the pipe would become a plain file and its reader would get nothing.
    QTest::newRow("named pipe") << "pipe" << 0 << "Exported 2 records to %1.\n";
    // A node of /dev/full's kind made in the test's folder: a fault must not replace the machine's.
    QTest::newRow("full device") << "full" << 1 << "%1 cannot be written: No space left on device";
    QTest::newRow("binary value, refused") << "blob.csv" << 1 << "Record 2 (Echo) holds binary data in F2";
}

void TestDataTool::writesToEveryKindOfTarget()
{
    QFETCH(QString, target);
    QFETCH(int, status);
    QFETCH(QString, message);
    ToolFixture fixture;
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    createDatabase(db, {TestRecord::make(QStringLiteral("Echo"), QStringLiteral("c"), {"728"}),
                        TestRecord::make(QStringLiteral("Delta"))});
    const QByteArray csv = fixture.run({"export", "--db", db}).outBytes;
    QVERIFY(target != QLatin1String("blob.csv") ||
            DatabaseFiles::execute(db, QStringLiteral("UPDATE Main SET F2 = x'00ff' WHERE Description = 'Echo'")));
    const QString out = target == QLatin1String("-") ? target : fixture.path(target);
    const QByteArray node = QFile::encodeName(out);
    int pipe = -1;
    if (target == QLatin1String("pipe")) {
        QVERIFY(::mkfifo(node.constData(), 0600) == 0);
        // Open for reading and writing, the pipe has a reader at once and never blocks this test.
        QVERIFY((pipe = ::open(node.constData(), O_RDWR | O_NONBLOCK)) >= 0);
    } else if (target == QLatin1String("full") && ::mknod(node.constData(), S_IFCHR | 0600, makedev(1, 7)) != 0) {
        QSKIP("Making a device node takes root.");
    }

    const Run run = fixture.run({"export", "--db", db, "--out", out});
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message.arg(QDir::toNativeSeparators(out))), qPrintable(run.err));
    QByteArray written = run.outBytes;
    if (pipe >= 0) {
        written.resize(65536);
        written.resize(int(qMax<ssize_t>(0, ::read(pipe, written.data(), written.size()))));
        ::close(pipe);
    }
    QCOMPARE(written, status == 0 ? csv : QByteArray());
    QVERIFY(!QFileInfo(out).isFile()); // nothing half written, no node replaced
    struct stat kind = {};
    if (pipe >= 0 || target == QLatin1String("full"))
        QVERIFY(::stat(node.constData(), &kind) == 0 && (pipe >= 0 ? S_ISFIFO(kind.st_mode) : S_ISCHR(kind.st_mode)));
}

void TestDataTool::findsFrequencies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("found"); // descriptions, or the message

    QTest::newRow("tolerance") << "728 ~ 1" << 0 << QStringList{"alpha", "Bravo", "Echo"};
    QTest::newRow("one, written just so") << "728" << 0 << QStringList{"Echo"};
    QTest::newRow("below 1") << "0.5~1" << 2 << QStringList{"You need to enter a value 1 or greater"};
    QTest::newRow("unit") << "728 Hz" << 2 << QStringList{"The frequency search needs a number such as 728"};
}

// The band itself is tested with the search; a find writes the export's header and lines.
void TestDataTool::findsFrequencies()
{
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(QStringList, found);

    ToolFixture fixture;
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    createDatabase(db, {TestRecord::make(QStringLiteral("Echo"), QStringLiteral("c, \"q\""), {"728"}),
                        TestRecord::make(QStringLiteral("Delta"), QVariant(), {"abc", QVariant(), "731.64"}),
                        TestRecord::make(QStringLiteral("alpha"), QVariant(), {"727.5"}),
                        TestRecord::make(QStringLiteral("Bravo"), QVariant(), {"5", " 0729 "})});
    QVERIFY(DatabaseFiles::execute(db, QStringLiteral("DROP TABLE MainFrequencies"))); // a find adds no index
    const QByteArray before = fileHash(db);
    const Run run = fixture.run({"find", text, "--db", db});
    QCOMPARE(run.status, status);
    QCOMPARE(fileHash(db), before);
    if (status != 0) {
        QVERIFY2(run.err.contains(found.value(0)), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        return;
    }
    QCOMPARE(run.err, QStringLiteral("Found %1 record%2.\n").arg(found.size()).arg(found.size() == 1 ? "" : "s"));
    const QStringList exported = fixture.run({"export", "--db", db}).out.split(QStringLiteral("\r\n"));
    QString expected = exported.first() + QStringLiteral("\r\n");
    for (const QString& description : found) {
        for (const QString& line : exported) {
            if (line.startsWith(description + QLatin1Char(',')))
                expected += line + QStringLiteral("\r\n");
        }
    }
    QCOMPARE(run.out, expected);
}

void TestDataTool::refusedImportChangesNothing_data()
{
    QTest::addColumn<QByteArray>("file");     // CSV, or "sqlite" for an Orvo database
    QTest::addColumn<QByteArray>("database"); // its bytes, "records" for an Orvo database, "no folder", or none
    QTest::addColumn<QStringList>("messages"); // %1 is the file

    const QByteArray malformed = ThreeRecords + "Last,row\r\n";
    QTest::newRow("malformed CSV") << malformed << QByteArray("records")
                                   << QStringList{"%1: Line 6: 2 fields", "Nothing was imported; "};
    QTest::newRow("malformed CSV, no database made")
        << malformed << QByteArray() << QStringList{"Nothing was imported, and no database was created."};
    QTest::newRow("database is an Access file") << ThreeRecords << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20)
                                                << QStringList{"is an Access file. Start Orvo once to convert it"};
    QTest::newRow("file is an Orvo database") << QByteArray("sqlite") << QByteArray()
                                              << QStringList{"%1 is an SQLite database, not CSV."};
    QTest::newRow("no folder for the database")
        << ThreeRecords << QByteArray("no folder") << QStringList{"none of the database does not exist."};
}

void TestDataTool::refusedImportChangesNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, database);
    QFETCH(QStringList, messages);

    ToolFixture fixture;
    const QString input = fixture.path(QStringLiteral("in.csv"));
    if (file == "sqlite")
        createDatabase(input, {TestRecord::make(QStringLiteral("Elsewhere"))});
    else
        writeFile(input, file);
    const QString db = fixture.path(database == "no folder" ? "none/kept.mdb" : "kept.mdb");
    if (database == "records")
        createDatabase(db, {TestRecord::make(QStringLiteral("Kept"))});
    else if (!database.isEmpty() && database != "no folder")
        writeFile(db, database);
    const QByteArray before = fileHash(db); // empty while there is no file

    const Run run = fixture.run({"import", input, "--db", db});
    QCOMPARE(run.status, int(DataTool::Failure));
    for (const QString& message : messages)
        QVERIFY2(run.err.contains(message.arg(QDir::toNativeSeparators(input))), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(fileHash(db), before);
}

void TestDataTool::importsAccessTableThroughMapping()
{
    const QString access = QDir(QStringLiteral(ORVO_TESTDATA_DIR)).filePath(QStringLiteral("jet3-samples.mdb"));
    if (!QFile::exists(access))
        QSKIP(qPrintable(QStringLiteral("The sample Access file %1 is absent.").arg(access)));
    ToolFixture fixture;
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    createDatabase(db, {});

    Run run = fixture.run({"import", access, "--db", db, "--table", "order details", "--map",
                           "Description=ProductID,F1=Discount,F2=UnitPrice", "--skip-duplicates"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.startsWith(QStringLiteral("Imported ")), qPrintable(run.out + run.err));
    QVERIFY(run.err.contains(QStringLiteral("Left out the columns OrderID, Quantity.")));
}

void TestDataTool::checks_data()
{
    // What is at the database's place, or the SQL that spoils it; after "repair ", repaired instead.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");

    QTest::newRow("sound") << "sound" << 0 << "is sound: 300 records.";
    QTest::newRow("missing") << "missing" << 1 << "The file does not exist.";
    QTest::newRow("text file") << "text" << 1 << "not an SQLite database file";
    QTest::newRow("Access file") << "access" << 1 << "It is an Access database file";
    QTest::newRow("no table Main") << "ALTER TABLE Main RENAME TO Other" << 1 << "It has no table Main.";
    QTest::newRow("column missing") << "ALTER TABLE Main RENAME COLUMN F40 TO F41" << 1
                                    << "Table Main has no column F40.";
    QTest::newRow("damaged pages") << "damaged" << 1 << "is not sound:";
    // The engine reads the lost byte as a zero: its own check passes.
    QTest::newRow("cut short by a byte") << "cut" << 1 << "The file has been cut short";
    QTest::newRow("interrupted change") << "interrupted" << 3 << "a change that a program left unfinished";
    QTest::newRow("repair, sound") << "repair sound" << 0 << "has been repaired and compacted.";
    QTest::newRow("repair, damaged pages") << "repair damaged" << 0 << "was damaged. It has been repaired";
    QTest::newRow("repair, a folder") << "repair folder" << 1 << "failed while checking freqs.mdb: It is a folder";
}

void TestDataTool::checks()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, output);
    const QString command = kind.startsWith(QLatin1String("repair ")) ? QStringLiteral("repair") : "check";
    kind.remove(QLatin1String("repair "));

    ToolFixture fixture;
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(db));
    else if (kind == QLatin1String("text"))
        writeFile(db, "Description\r\n");
    else if (kind == QLatin1String("access"))
        writeFile(db, QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20));
    else if (kind != QLatin1String("missing"))
        createDatabase(db, DatabaseFiles::manyRecords(300));
    if (kind.startsWith(QLatin1String("ALTER")))
        QVERIFY(DatabaseFiles::execute(db, kind));
    if (kind == QLatin1String("damaged"))
        QVERIFY(DatabaseFiles::damagePage(db, DatabaseFiles::TableLeaf));
    QVERIFY(kind != QLatin1String("cut") || QFile::resize(db, QFileInfo(db).size() - 1));
    QVERIFY(kind != QLatin1String("interrupted") || DatabaseFiles::interruptChange(db));
    const QByteArray before = fileHash(db);

    const Run run = fixture.run({command, "--db", db});
    QCOMPARE(run.status, status);
    QVERIFY2((run.out + run.err).contains(output), qPrintable(run.out + run.err));
    if (command == QLatin1String("repair") && status == 0) {
        QCOMPARE(fixture.run({"check", "--db", db}).status, 0);
        return;
    }
    QVERIFY(run.out.contains(QDir::toNativeSeparators(db)) || command == QLatin1String("repair"));
    QCOMPARE(fileHash(db), before);
}

// The commands themselves are tested in process; this shows that the executable runs them.
void TestDataTool::executableRuns()
{
    ToolFixture fixture;
    const QString csv = fixture.csv();
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    auto runTool = [](const QStringList& arguments, QByteArray* out = nullptr, rlim_t memory = RLIM_INFINITY) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setChildProcessModifier([memory] {
            const rlimit limit{memory, memory};
            ::setrlimit(RLIMIT_AS, &limit);
        });
        process.start(QStringLiteral(ORVO_DATA_EXECUTABLE), arguments);
        if (!process.waitForFinished(30000))
            return -1;
        if (out)
            *out = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    QByteArray out;
    QCOMPARE(runTool({"--help"}, &out), 0);
    // Orvo's executable lies in the same folder, so both find the same database.
    const QString orvoFolder = QFileInfo(QStringLiteral(ORVO_DATA_EXECUTABLE)).absolutePath();
    QVERIFY2(QString::fromUtf8(out).contains(QDir::toNativeSeparators(QDir(orvoFolder).filePath("freqs.mdb"))),
             out.constData());
    QCOMPARE(runTool({"import", csv, "--db", db}), 0);
    QCOMPARE(runTool({"check", "--db", fixture.path(QStringLiteral("none.mdb"))}), 1);
    QCOMPARE(runTool({"import"}), 2);
    QCOMPARE(readDatabase(db).size(), 3);
#ifndef __SANITIZE_ADDRESS__ // whose shadow memory alone takes more than the limit
    // The keys of a large import outgrow a memory limit: an error like any other, not an abort.
    QByteArray wide = "Description\r\n";
    for (int i = 0; i < 400; ++i)
        wide += QByteArray::number(i) + QByteArray(100000, 'x') + "\r\n";
    writeFile(csv, wide);
    QCOMPARE(runTool({"import", csv, "--db", db, "--skip-duplicates"}, &out, rlim_t(100) << 20), 1);
    QVERIFY2(out.contains("Nothing was imported;"), out.constData());
    QCOMPARE(readDatabase(db).size(), 3);
#endif
}

QTEST_GUILESS_MAIN(TestDataTool)
#include "tst_datatool.moc"

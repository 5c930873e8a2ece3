#include "data_tool/DataTool.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sample(const QString& name)
{
    return QDir(QStringLiteral(ORVO_TESTDATA_DIR)).filePath(name);
}

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

class ToolFixture
{
public:
    ToolFixture() { m_defaultFolder = folder.path(); }

    Run run(const QStringList& arguments, bool progressShown = false)
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        DataTool tool(out, err);
        tool.setProgressShown(progressShown);
        tool.setDefaultFolder([this] { return m_defaultFolder; });
        Run result;
        result.status = tool.run(QStringList{QStringLiteral("orvo-data")} + arguments);
        result.outBytes = out.data();
        result.out = QString::fromUtf8(out.data());
        result.err = QString::fromUtf8(err.data());
        return result;
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;

private:
    QString m_defaultFolder;
};

} // namespace

class TestDataTool : public QObject
{
    Q_OBJECT

private slots:
    void refusesWrongCommandLines_data();
    void refusesWrongCommandLines();
    void reportsWhatImportAndExportDid();
    void findsFrequencies_data();
    void findsFrequencies();
    void malformedCsvChangesNothing();
    void importsAccessTableThroughMapping();
    void refusesDatabasesInTheWrongPlace();
    void checks_data();
    void checks();
    void usesOrvosDatabaseAndShowsProgressOnlyWhenAsked();
    void executableRuns();
};

void TestDataTool::refusesWrongCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList() << "Name a command";
    QTest::newRow("unknown command") << QStringList{"frob"} << "Unknown command frob";
    QTest::newRow("unknown option") << QStringList{"check", "--frob"} << "Unknown option 'frob'";
    QTest::newRow("option of another command")
        << QStringList{"export", "--table", "T"} << "--table does not go with export.";
    QTest::newRow("import without file") << QStringList{"import"} << "import needs one FILE to read.";
    QTest::newRow("find without text") << QStringList{"find"} << "find needs one search TEXT.";
    QTest::newRow("check with a file") << QStringList{"check", "x.csv"} << "check takes no FILE.";
    QTest::newRow("bad map") << QStringList{"import", "x.csv", "--map", "F41=Hz"} << "--map: F41 is not a field";
    QTest::newRow("value missing") << QStringList{"export", "--out"} << "Missing value after '--out'";
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

void TestDataTool::reportsWhatImportAndExportDid()
{
    ToolFixture fixture;
    const QString csv = fixture.path(QStringLiteral("in.csv"));
    writeFile(csv, ThreeRecords);
    const QString db = fixture.path(QStringLiteral("first.mdb"));
    const QString nativeDb = QDir::toNativeSeparators(db);
    Run run = fixture.run({"import", csv, "--db", db});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Created the database and imported 3 records into %1.\n").arg(nativeDb));
    run = fixture.run({"import", csv, "--db", db, "--skip-duplicates"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("Imported 0 records into %1; 3 duplicates left out.\n").arg(nativeDb));

    const QString exported = fixture.path(QStringLiteral("out.csv"));
    run = fixture.run({"export", "--db", db, "--out", exported, "--excel"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QStringLiteral("Exported 3 records to %1.\n").arg(QDir::toNativeSeparators(exported)));
    const QByteArray bytes = readFile(exported);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                             "Description,Comments,F1,F2,F3,"));
    run = fixture.run({"export", "--db", db});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.outBytes, bytes.mid(3));
    QCOMPARE(run.err, QStringLiteral("Exported 3 records.\n"));
}

void TestDataTool::findsFrequencies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("found"); // descriptions, or the message

    QTest::newRow("plain") << "728" << 0 << QStringList{"Echo"};
    QTest::newRow("tolerance") << "728 ~ 1" << 0 << QStringList{"alpha", "Bravo", "Echo"};
    QTest::newRow("percent") << "728~0.5%" << 0 << QStringList{"alpha", "Bravo", "Delta", "Echo"};
    QTest::newRow("reversed range") << "729-727.5" << 0 << QStringList{"alpha", "Bravo", "Echo"};
    QTest::newRow("nothing in the band") << "900-1000" << 0 << QStringList{};
    QTest::newRow("below 1") << "0.5~1" << 2 << QStringList{"You need to enter a value 1 or greater"};
    QTest::newRow("unit") << "728 Hz" << 2 << QStringList{"The frequency search needs a number such as 728"};
}

// A find writes the export's header and the export's very lines of the records found.
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
                        TestRecord::make(QStringLiteral("Zero"), QVariant(), {"0", "-728"}),
                        TestRecord::make(QStringLiteral("Bravo"), QVariant(), {"5", " 0729 "})});
    const QByteArray before = fileHash(db);
    const Run run = fixture.run({"find", text, "--db", db});
    QCOMPARE(run.status, status);
    QCOMPARE(fileHash(db), before);
    if (status != 0) {
        QVERIFY2(run.err.contains(found.value(0)), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        return;
    }
    QCOMPARE(run.err, QStringLiteral("Found %1 records.\n").arg(found.size()));
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

void TestDataTool::malformedCsvChangesNothing()
{
    ToolFixture fixture;
    const QString file = fixture.path(QStringLiteral("bad.csv"));
    writeFile(file, ThreeRecords + "Last,row\r\n");
    const QString db = fixture.path(QStringLiteral("kept.mdb"));
    createDatabase(db, {TestRecord::make(QStringLiteral("Kept"))});
    const QByteArray before = fileHash(db);

    Run run = fixture.run({"import", file, "--db", db});
    QCOMPARE(run.status, int(DataTool::Failure));
    QVERIFY2(run.err.contains(QDir::toNativeSeparators(file) + QStringLiteral(": Line 6: 2 fields")),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("Nothing was imported")), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(fileHash(db), before);

    // A database that the import would have created is not left behind.
    const QString fresh = fixture.path(QStringLiteral("fresh.mdb"));
    run = fixture.run({"import", file, "--db", fresh});
    QCOMPARE(run.status, int(DataTool::Failure));
    QVERIFY(!QFileInfo::exists(fresh));
}

void TestDataTool::importsAccessTableThroughMapping()
{
    const QString access = sample(QStringLiteral("jet3-samples.mdb"));
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

void TestDataTool::refusesDatabasesInTheWrongPlace()
{
    ToolFixture fixture;
    const QString csv = fixture.path(QStringLiteral("in.csv"));
    writeFile(csv, ThreeRecords);
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    writeFile(db, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    const QByteArray before = fileHash(db);
    const Run run = fixture.run({"import", csv, "--db", db});
    QCOMPARE(run.status, int(DataTool::Failure));
    QVERIFY2(run.err.contains(QStringLiteral("is an Access file. Start Orvo once to convert it")), qPrintable(run.err));
    QCOMPARE(fileHash(db), before);

    const QString other = fixture.path(QStringLiteral("other.mdb"));
    createDatabase(other, {TestRecord::make(QStringLiteral("Elsewhere"))});
    const Run sqlite = fixture.run({"import", other, "--db", fixture.path(QStringLiteral("target.mdb"))});
    QCOMPARE(sqlite.status, int(DataTool::Failure));
    QVERIFY2(sqlite.err.contains(QStringLiteral("is an SQLite database, not CSV.")), qPrintable(sqlite.err));
    QVERIFY(!QFileInfo::exists(fixture.path(QStringLiteral("target.mdb"))));
}

void TestDataTool::checks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");

    QTest::newRow("sound") << "sound" << 0 << "is sound: 300 records.";
    QTest::newRow("missing") << "missing" << 1 << "The file does not exist.";
    QTest::newRow("text file") << "text" << 1 << "not an SQLite database file";
    QTest::newRow("Access file") << "access" << 1 << "It is an Access database file";
    QTest::newRow("no table Main") << "no main" << 1 << "It has no table Main.";
    QTest::newRow("column missing") << "no F40" << 1 << "Table Main has no column F40.";
    QTest::newRow("damaged pages") << "damaged" << 1 << "is not sound:";
}

void TestDataTool::checks()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, output);

    ToolFixture fixture;
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    QVector<TestRecord> records;
    for (int i = 0; i < 300; ++i)
        records << TestRecord::make(QStringLiteral("Record %1 ").arg(i) + QString(200, QLatin1Char('x')),
                                    QString(300, QLatin1Char('c')), {QString::number(i)});
    if (kind == QLatin1String("sound") || kind == QLatin1String("damaged"))
        createDatabase(db, records);
    else if (kind == QLatin1String("text"))
        writeFile(db, "Description\r\n");
    else if (kind == QLatin1String("access"))
        writeFile(db, QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20));
    if (kind == QLatin1String("no main") || kind == QLatin1String("no F40")) {
        {
            QSqlDatabase sql = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            sql.setDatabaseName(db);
            QVERIFY(sql.open());
            QSqlQuery query(sql);
            QStringList columns = OrvoDatabase::fieldNames();
            columns.removeLast();
            QVERIFY(query.exec(kind == QLatin1String("no main")
                                   ? QStringLiteral("CREATE TABLE Other (A)")
                                   : QStringLiteral("CREATE TABLE Main (%1)").arg(columns.join(QLatin1Char(',')))));
            sql.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
    }
    if (kind == QLatin1String("damaged")) {
        QFile file(db);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8 * 4096);
        file.seek(3 * 4096 + 16);
        file.write(QByteArray(2000, '\x7f'));
    }
    const QByteArray before = fileHash(db);

    const Run run = fixture.run({"check", "--db", db});
    QCOMPARE(run.status, status);
    QVERIFY2(run.out.contains(output), qPrintable(run.out));
    QVERIFY(run.out.contains(QDir::toNativeSeparators(db)));
    QCOMPARE(fileHash(db), before);
}

// Without --db the tool takes the database beside Orvo, the one Orvo itself uses.
void TestDataTool::usesOrvosDatabaseAndShowsProgressOnlyWhenAsked()
{
    ToolFixture fixture;
    const QString csv = fixture.path(QStringLiteral("in.csv"));
    writeFile(csv, ThreeRecords);
    Run run = fixture.run({"import", csv});
    QCOMPARE(run.status, 0);
    QVERIFY(!run.err.contains(QLatin1Char('%')));
    QCOMPARE(readDatabase(fixture.path(QStringLiteral("freqs.mdb"))).size(), 3);
    run = fixture.run({"check"});
    QVERIFY2(run.out.contains(QStringLiteral("is sound: 3 records.")), qPrintable(run.out));
    run = fixture.run({"import", csv}, true);
    QVERIFY2(run.err.contains(QStringLiteral("\rImporting 100%\n")), qPrintable(run.err));
    run = fixture.run({"export", "--out", fixture.path(QStringLiteral("o.csv"))}, true);
    QVERIFY2(run.err.startsWith(QStringLiteral("\rExporting 100%\nExported 6 records")), qPrintable(run.err));
}

// The commands themselves are tested in process; this shows that the executable runs them.
void TestDataTool::executableRuns()
{
    ToolFixture fixture;
    const QString csv = fixture.path(QStringLiteral("in.csv"));
    writeFile(csv, ThreeRecords);
    const QString db = fixture.path(QStringLiteral("freqs.mdb"));
    auto runTool = [](const QStringList& arguments, QByteArray* out = nullptr) {
        QProcess process;
        process.start(QStringLiteral(ORVO_DATA_EXECUTABLE), arguments);
        if (!process.waitForFinished(30000))
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    QByteArray out;
    QCOMPARE(runTool({"--help"}, &out), 0);
    // Orvo's executable lies in the same folder, so both find the same database.
    const QString orvoFolder = QFileInfo(QStringLiteral(ORVO_DATA_EXECUTABLE)).absolutePath();
    QVERIFY2(QString::fromUtf8(out).contains(QDir::toNativeSeparators(QDir(orvoFolder).filePath("freqs.mdb"))),
             out.constData());
    QCOMPARE(runTool({"import", csv, "--db", db}), 0);
    QCOMPARE(runTool({"export", "--db", db}, &out), 0);
    QCOMPARE(out.count("\r\n"), 5); // header, three records, one line break inside a field
    QCOMPARE(runTool({"check", "--db", fixture.path(QStringLiteral("none.mdb"))}), 1);
    QCOMPARE(runTool({"import"}), 2);
}

QTEST_GUILESS_MAIN(TestDataTool)
#include "tst_datatool.moc"

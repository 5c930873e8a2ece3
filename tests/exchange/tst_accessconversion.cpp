#include "query/RecordFields.h"
#include "exchange/AccessConversion.h"
#include "exchange/TableSource.h"
#include "main_window/Form1.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

namespace {

// The first bytes of a Jet file: enough for the program to take it for an Access database.
const QByteArray AccessHead = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2028, '\x5a');

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Three records of table Main, with a null, a comma and quotes, a line break and non-ASCII text.
QVector<SourceRow> threeRecords()
{
    QVector<SourceRow> rows(3, SourceRow(RecordFields::names().size()));
    rows[0][0] = QStringLiteral("Schumann");
    rows[0][2] = QStringLiteral("7.83");
    rows[1][0] = QStringLiteral("Ändern, \"so\"");
    rows[1][1] = QStringLiteral("line\r\nbreak");
    rows[2][0] = QStringLiteral("Alpha");
    return rows;
}

// Table Main as a test hands it over; it can fail on opening or on a given row, or claim more rows.
struct FakeTable : TableSource
{
    bool open() override { return failure.isEmpty(); }
    QStringList columns() const override { return RecordFields::names(); }
    bool next(SourceRow& row) override
    {
        if (at == failAt)
            failure = QStringLiteral("Row %1: the page cannot be read.").arg(at + 1);
        if (!failure.isEmpty() || at >= rows.size())
            return false;
        row = rows.at(at++);
        return true;
    }
    QString error() const override { return failure; }
    QString rowName() const override { return QStringLiteral("Row %1").arg(at); }
    qint64 declaredRows() const override { return declared; }

    QVector<SourceRow> rows = threeRecords();
    int at = 0;
    int failAt = -1;
    qint64 declared = -1;
    QString failure;
};

} // namespace

class TestAccessConversion : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void leavesEverythingWhenItCannot_data();
    void leavesEverythingWhenItCannot();
    void startupShowsTheConversion();
    void startupRefusesUnreadableAccessFile();
};

void TestAccessConversion::cleanup()
{
    AccessConversion::setSourceFactory({});
}

void TestAccessConversion::leavesEverythingWhenItCannot_data()
{
    QTest::addColumn<QString>("present"); // a file in the folder before the conversion
    QTest::addColumn<QString>("openError");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<int>("declared");
    QTest::addColumn<QString>("error");

    const auto row = [](const char* name, const char* present, const char* openError, int failAt, int declared,
                        const char* error) {
        QTest::newRow(name) << QString(present) << QString(openError) << failAt << declared << QString(error);
    };
    row("kept name already taken", "freqs-access.mdb", "", -1, -1,
        "freqs-access.mdb already exists, and Orvo does not overwrite it.");
    row("table cannot be opened", "", "It has no table Main.", -1, -1, "It has no table Main.");
    row("read fails half way", "", "", 1, -1, "Row 2: the page cannot be read.");
    row("fewer rows than declared", "", "", -1, 5, "The table should hold 5 rows, but 3 were read");
    row("stale temporary file is replaced, then removed", "freqs.mdb.converting", "", 1, -1,
        "Row 2: the page cannot be read.");
}

void TestAccessConversion::leavesEverythingWhenItCannot()
{
    QFETCH(QString, present);
    QFETCH(QString, openError);
    QFETCH(int, failAt);
    QFETCH(int, declared);
    QFETCH(QString, error);

    QTemporaryDir folder;
    const QString dbPath = folder.filePath(QStringLiteral("freqs.mdb"));
    writeFile(dbPath, AccessHead);
    if (!present.isEmpty())
        writeFile(folder.filePath(present), "left from before");
    QMap<QString, QByteArray> hashes; // of what must stay, byte for byte
    for (const QString& name : folderEntries(folder.path())) {
        if (!name.endsWith(QLatin1String(".converting")))
            hashes.insert(name, fileHash(folder.filePath(name)));
    }

    const AccessConversion::Result result = AccessConversion::convert(dbPath, [&](const QString&) {
        auto table = std::make_unique<FakeTable>();
        table->failure = openError;
        table->failAt = failAt;
        table->declared = declared;
        return table;
    });
    QVERIFY(!result.outcome.ok);
    QVERIFY2(result.outcome.error.contains(error), qPrintable(result.outcome.error));
    QCOMPARE(result.records, qint64(0));
    QCOMPARE(folderEntries(folder.path()), QStringList(hashes.keys()));
    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
        QCOMPARE(fileHash(folder.filePath(it.key())), it.value());
}

void TestAccessConversion::startupShowsTheConversion()
{
    MainWindowFixture fixture;
    writeFile(fixture.dbPath(), AccessHead);
    const QByteArray accessHash = fileHash(fixture.dbPath());
    QString openedPath;
    AccessConversion::setSourceFactory([&](const QString& path) {
        openedPath = path;
        auto table = std::make_unique<FakeTable>();
        table->declared = 3;
        return table;
    });

    fixture.form = std::make_unique<Form1>(fixture.services);
    QVERIFY(fixture.form->Form_Load());
    QCOMPARE(openedPath, fixture.dbPath());
    QCOMPARE(fileHash(QDir(fixture.folder.path()).filePath(QStringLiteral("freqs-access.mdb"))), accessHash);
    QCOMPARE(OrvoDatabase::fileKind(fixture.dbPath()), OrvoDatabase::FileKind::SQLite);

    QCOMPARE(fixture.boxes.shown.size(), 1);
    QCOMPARE(fixture.boxes.shown.at(0).prompt,
             QStringLiteral("Your Access database was converted: 3 records. The original file is kept as "
                            "freqs-access.mdb."));
    QCOMPARE(fixture.boxes.shown.at(0).title, QStringLiteral("Database Converted"));
    QCOMPARE(fixture.boxes.shown.at(0).style, MessageBoxes::OkOnly);
    QCOMPARE(fixture.form->data1().recordCount(), 3);
}

// The reader's own reasons are tested with the reader; here a damaged file stops the start.
void TestAccessConversion::startupRefusesUnreadableAccessFile()
{
    MainWindowFixture fixture;
    writeFile(fixture.dbPath(), AccessHead);
    const QByteArray before = fileHash(fixture.dbPath());

    fixture.form = std::make_unique<Form1>(fixture.services);
    QVERIFY(!fixture.form->Form_Load());

    QCOMPARE(fixture.boxes.shown.size(), 1);
    const QString prompt = fixture.boxes.shown.at(0).prompt;
    const QString start =
        QStringLiteral("Orvo cannot convert the Access database %1: ").arg(QDir::toNativeSeparators(fixture.dbPath()));
    QVERIFY2(prompt.startsWith(start), qPrintable(prompt));
    QVERIFY2(prompt.size() > start.size() + 10, qPrintable(prompt));
    QCOMPARE(fixture.boxes.shown.at(0).title, QStringLiteral("Database Error"));
    QCOMPARE(folderEntries(fixture.folder.path()), QStringList{QStringLiteral("freqs.mdb")});
    QCOMPARE(fileHash(fixture.dbPath()), before);
}

QTEST_MAIN(TestAccessConversion)
#include "tst_accessconversion.moc"

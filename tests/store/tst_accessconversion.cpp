#include "main_window/Form1.h"
#include "exchange/AccessConversion.h"
#include "store/OrvoDatabase.h"
#include "exchange/TableSource.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QListView>
#include <QTest>

namespace {

// The first bytes of a Jet file: enough for the program to take it for an Access database.
const QByteArray AccessHead = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2028, '\x5a');

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A table Main as a test writes it; it can fail on a given row, or claim more rows than it has.
class FakeTable : public TableSource
{
public:
    FakeTable(QStringList columns, QVector<SourceRow> rows) : m_columns(std::move(columns)), m_rows(std::move(rows)) {}

    bool open() override
    {
        if (!m_openError.isEmpty())
            m_error = m_openError;
        return m_error.isEmpty();
    }
    QStringList columns() const override { return m_columns; }
    bool next(SourceRow& row) override
    {
        if (m_next == m_failAt) {
            m_error = QStringLiteral("Row %1: the page cannot be read.").arg(m_next + 1);
            return false;
        }
        if (m_next >= m_rows.size())
            return false;
        row = m_rows.at(m_next++);
        return true;
    }
    QString error() const override { return m_error; }
    QString rowName() const override { return QStringLiteral("Row %1").arg(m_next); }
    qint64 declaredRows() const override { return m_declared; }

    QString m_openError;
    int m_failAt = -1;
    qint64 m_declared = -1;

private:
    QStringList m_columns;
    QVector<SourceRow> m_rows;
    int m_next = 0;
    QString m_error;
};

SourceRow mainRow(const SourceValue& description, const SourceValue& comments, const QStringList& frequencies = {})
{
    SourceRow row(42);
    row[0] = description;
    row[1] = comments;
    for (int i = 0; i < frequencies.size(); ++i)
        row[2 + i] = frequencies.at(i);
    return row;
}

QVector<SourceRow> threeRecords()
{
    return {mainRow(QStringLiteral("Schumann"), QStringLiteral("Earth"), {QStringLiteral("7.83")}),
            mainRow(QStringLiteral("Ändern, \"so\""), SourceValue(), {QStringLiteral("1"), QStringLiteral("2.5")}),
            mainRow(QStringLiteral("Alpha"), QStringLiteral("line\r\nbreak"), {})};
}

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
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("error");

    QTest::newRow("kept name already taken") << "kept exists"
                                             << "freqs-access.mdb already exists, and Orvo does not overwrite it.";
    QTest::newRow("table cannot be opened") << "open fails"
                                            << "It has no table Main.";
    QTest::newRow("read fails half way") << "row fails"
                                         << "Row 2: the page cannot be read.";
    QTest::newRow("fewer rows than declared") << "rows missing"
                                              << "The table should hold 5 rows, but 3 were read";
    QTest::newRow("stale temporary file is replaced, then removed") << "stale temporary"
                                                                    << "Row 2: the page cannot be read.";
}

void TestAccessConversion::leavesEverythingWhenItCannot()
{
    QFETCH(QString, problem);
    QFETCH(QString, error);

    QTemporaryDir folder;
    const QString dbPath = folder.filePath(QStringLiteral("freqs.mdb"));
    writeFile(dbPath, AccessHead);
    if (problem == QLatin1String("kept exists"))
        writeFile(folder.filePath(QStringLiteral("freqs-access.mdb")), "an earlier copy");
    if (problem == QLatin1String("stale temporary"))
        writeFile(dbPath + QStringLiteral(".converting"), "left from a crash");
    const QStringList entries = folderEntries(folder.path());
    QMap<QString, QByteArray> hashes;
    for (const QString& name : entries) {
        if (!name.endsWith(QLatin1String(".converting")))
            hashes.insert(name, fileHash(folder.filePath(name)));
    }

    const AccessConversion::Result result = AccessConversion::convert(dbPath, [&](const QString&) {
        auto table = std::make_unique<FakeTable>(OrvoDatabase::fieldNames(), threeRecords());
        if (problem == QLatin1String("open fails"))
            table->m_openError = QStringLiteral("It has no table Main.");
        if (problem == QLatin1String("row fails") || problem == QLatin1String("stale temporary"))
            table->m_failAt = 1;
        if (problem == QLatin1String("rows missing"))
            table->m_declared = 5;
        return table;
    });
    QVERIFY(!result.outcome.ok);
    QVERIFY2(result.outcome.error.contains(error), qPrintable(result.outcome.error));
    QCOMPARE(result.records, qint64(0));
    QStringList expected = entries;
    expected.removeAll(QStringLiteral("freqs.mdb.converting"));
    QCOMPARE(folderEntries(folder.path()), expected);
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
        auto table = std::make_unique<FakeTable>(OrvoDatabase::fieldNames(), threeRecords());
        table->m_declared = 3;
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

    // The next start finds the converted database and says nothing.
    fixture.form.reset();
    fixture.boxes.shown.clear();
    fixture.form = std::make_unique<Form1>(fixture.services);
    QVERIFY(fixture.form->Form_Load());
    QCOMPARE(fixture.boxes.shown.size(), 0);
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

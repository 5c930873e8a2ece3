#include "store/CsvReader.h"
#include "store/FieldMapping.h"
#include "store/OrvoDatabase.h"
#include "store/RecordExport.h"
#include "store/RecordImport.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(QVector<TestRecord>)

namespace {

const QString Connection = QStringLiteral("csv-import-test");

// A record as comparable texts: "<null>" for null, the text in quotes otherwise.
QStringList texts(const TestRecord& record)
{
    QStringList list;
    auto add = [&list](const QVariant& value) {
        list << (value.isNull() ? QStringLiteral("<null>") : QLatin1Char('"') + value.toString() + QLatin1Char('"'));
    };
    add(record.description);
    add(record.comments);
    for (const QVariant& frequency : record.frequencies)
        add(frequency);
    return list;
}

QVector<QStringList> texts(const QVector<TestRecord>& records)
{
    QVector<QStringList> list;
    for (const TestRecord& record : records)
        list << texts(record);
    return list;
}

QString headerLine()
{
    return OrvoDatabase::fieldNames().join(QLatin1Char(','));
}

TestRecord allSlots(const QString& description)
{
    QVariantList frequencies;
    for (int i = 1; i <= 40; ++i)
        frequencies << QString::number(i * 11.25);
    return TestRecord::make(description, QStringLiteral("every slot"), frequencies);
}

class ImportFixture
{
public:
    explicit ImportFixture(const QVector<TestRecord>& records) { createDatabase(path(), records); }

    QString path() const { return m_folder.filePath(QStringLiteral("freqs.mdb")); }

    ImportReport import(const QByteArray& csv, const FieldMapping& mapping = {}, ImportOptions options = {})
    {
        QBuffer buffer;
        buffer.setData(csv);
        buffer.open(QIODevice::ReadOnly);
        CsvReader reader(buffer);
        ImportReport report;
        {
            const Outcome opened = OrvoDatabase::open(path(), Connection);
            if (!opened) {
                report.outcome = opened;
                return report;
            }
            report = RecordImport::run(reader, mapping, QSqlDatabase::database(Connection, false), options);
            QSqlDatabase::database(Connection, false).close();
        }
        QSqlDatabase::removeDatabase(Connection);
        return report;
    }

    QByteArray exported(bool byteOrderMark = false, qint64* count = nullptr)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        qint64 written = 0;
        {
            const Outcome opened = OrvoDatabase::open(path(), Connection);
            if (opened) {
                RecordExport::Options options;
                options.byteOrderMark = byteOrderMark;
                const Outcome done =
                    RecordExport::toCsv(QSqlDatabase::database(Connection, false), buffer, options, &written);
                if (!done)
                    qWarning("%s", qPrintable(done.error));
                QSqlDatabase::database(Connection, false).close();
            }
        }
        QSqlDatabase::removeDatabase(Connection);
        if (count)
            *count = written;
        return buffer.data();
    }

private:
    QTemporaryDir m_folder;
};

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private slots:
    void exportWritesHeaderAndDescriptionOrder();
    void exportThenImportGivesTheRecordsBack_data();
    void exportThenImportGivesTheRecordsBack();
    void malformedCsvLeavesDatabaseUnchanged_data();
    void malformedCsvLeavesDatabaseUnchanged();
    void skipsDuplicates_data();
    void skipsDuplicates();
    void mapsColumns_data();
    void mapsColumns();
    void rejectsMappingText_data();
    void rejectsMappingText();
};

void TestCsvImport::exportWritesHeaderAndDescriptionOrder()
{
    ImportFixture fixture({TestRecord::make(QStringLiteral("beta"), nullText(), {QStringLiteral("2")}),
                           TestRecord::make(QStringLiteral("Alpha"), QStringLiteral("x"), {}),
                           TestRecord::make(QStringLiteral("alpha"), QStringLiteral(""), {})});
    qint64 count = 0;
    const QByteArray csv = fixture.exported(false, &count);
    QCOMPARE(count, qint64(3));
    const QList<QByteArray> lines = csv.split('\n');
    QCOMPARE(lines.at(0), headerLine().toUtf8() + "\r");
    QCOMPARE(lines.at(1), QByteArray("Alpha,x") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(2), QByteArray("alpha,\"\"") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(3), QByteArray("beta,,2") + QByteArray(39, ',') + "\r");
    QCOMPARE(lines.at(4), QByteArray());
    QVERIFY(fixture.exported(true).startsWith("\xEF\xBB\xBF"
                                              "Description,"));
}

void TestCsvImport::exportThenImportGivesTheRecordsBack_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<bool>("byteOrderMark");

    // Listed in description order, the order of the export.
    const QVector<TestRecord> awkward{
        TestRecord::make(QStringLiteral(""), QStringLiteral("empty description"), {}),
        TestRecord::make(QStringLiteral("\"Quoted\" name"), QStringLiteral("He said \"\"."), {QStringLiteral("1")}),
        TestRecord::make(QStringLiteral(","), QStringLiteral("\""), {QStringLiteral("\r"), QStringLiteral("\n")}),
        allSlots(QStringLiteral("All forty slots")),
        TestRecord::make(QStringLiteral("Comma, inside"), QStringLiteral("a,b,,c"), {QStringLiteral("7.83")}),
        TestRecord::make(QStringLiteral("Line\r\nbreaks"), QStringLiteral("one\ntwo\r\nthree\rfour\n"),
                         {QStringLiteral("2"), nullText(), QStringLiteral("3")}),
        TestRecord::make(QStringLiteral("Null comments"), nullText(), {QStringLiteral("0"), QStringLiteral("")}),
        TestRecord::make(QStringLiteral("Spaces "), QStringLiteral("  both ends  "), {QStringLiteral(" 5 ")}),
        TestRecord::make(QString::fromUtf8("Ünïcødé ✓ 中文 🎵"), QString::fromUtf8("Grüße, „Anführung“"),
                         {QStringLiteral("432")}),
    };
    QTest::newRow("awkward records") << awkward << false;
    QTest::newRow("awkward records with a byte-order mark") << awkward << true;
    QTest::newRow("no records") << QVector<TestRecord>{} << false;
}

void TestCsvImport::exportThenImportGivesTheRecordsBack()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(bool, byteOrderMark);

    ImportFixture source(records);
    const QByteArray csv = source.exported(byteOrderMark);
    ImportFixture target({});
    const ImportReport report = target.import(csv);
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(records.size()));
    QCOMPARE(report.unusedColumns, QStringList());
    QCOMPARE(texts(readDatabase(target.path())), texts(records));
    QCOMPARE(target.exported(byteOrderMark), csv);
}

void TestCsvImport::malformedCsvLeavesDatabaseUnchanged_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error");

    const QByteArray good = "Description,Comments,F1\r\nA,x,1\r\nB,\"multi\r\nline\",2\r\nC,,3\r\n";
    QTest::newRow("short row after good ones") << good + "D,y\r\n" << QStringLiteral("Line 6: 2 fields");
    QTest::newRow("unclosed quote at the end") << good + "F,\"never closed,5\r\n"
                                               << QStringLiteral("Line 6: the quoted field");
    QTest::newRow("no Description column")
        << QByteArray("Name,Comments\r\nA,x\r\n") << QStringLiteral("There is no column Description");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("Line 1: the file is empty");
}

void TestCsvImport::malformedCsvLeavesDatabaseUnchanged()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, error);

    const QVector<TestRecord> stored{TestRecord::make(QStringLiteral("Kept"), QStringLiteral("k"), {})};
    ImportFixture fixture(stored);
    const QByteArray before = fileHash(fixture.path());
    const ImportReport report = fixture.import(csv);
    QVERIFY(!report.outcome.ok);
    QVERIFY2(report.outcome.error.startsWith(error), qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(0));
    QCOMPARE(texts(readDatabase(fixture.path())), texts(stored));
    QCOMPARE(fileHash(fixture.path()), before);
}

void TestCsvImport::skipsDuplicates_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("skipped");

    // Stored: "Alpha" with comments "x" and F1 "1"; "Beta" with null comments. F2 is null in both.
    QTest::newRow("equal record left out") << true << QByteArray("Alpha,x,1,\r\n") << 0 << 1;
    QTest::newRow("equal record added without the option") << false << QByteArray("Alpha,x,1,\r\n") << 1 << 0;
    QTest::newRow("letter case differs") << true << QByteArray("alpha,x,1,\r\n") << 1 << 0;
    QTest::newRow("one slot differs") << true << QByteArray("Alpha,x,1.0,\r\n") << 1 << 0;
    QTest::newRow("slot empty instead of null") << true << QByteArray("Alpha,x,1,\"\"\r\n") << 1 << 0;
    QTest::newRow("null comments equal") << true << QByteArray("Beta,,,\r\n") << 0 << 1;
    QTest::newRow("empty comments are not null") << true << QByteArray("Beta,\"\",,\r\n") << 1 << 0;
    QTest::newRow("repeated within the file") << true << QByteArray("New,n,5,\r\nNew,n,5,\r\nNew,n,5,\r\n") << 1 << 2;
    QTest::newRow("mixed") << true << QByteArray("Alpha,x,1,\r\nGamma,,,\r\nBeta,,,\r\nGamma,,,\r\n") << 1 << 3;
}

void TestCsvImport::skipsDuplicates()
{
    QFETCH(bool, skip);
    QFETCH(QByteArray, rows);
    QFETCH(int, added);
    QFETCH(int, skipped);

    ImportFixture fixture({TestRecord::make(QStringLiteral("Alpha"), QStringLiteral("x"), {QStringLiteral("1")}),
                           TestRecord::make(QStringLiteral("Beta"), nullText(), {})});
    ImportOptions options;
    options.skipDuplicates = skip;
    const ImportReport report = fixture.import("Description,Comments,F1,F2\r\n" + rows, {}, options);
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(added));
    QCOMPARE(report.skipped, qint64(skipped));
    QCOMPARE(readDatabase(fixture.path()).size(), 2 + added);
}

void TestCsvImport::mapsColumns_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("expected"); // Description|Comments|F1|F2 of the one record, "-" for null
    QTest::addColumn<QString>("unused");
    QTest::addColumn<QString>("error");

    const auto row = [](const char* name, const QString& map, const QByteArray& csv, const QString& expected,
                        const QString& unused = QString(), const QString& error = QString()) {
        QTest::newRow(name) << map << csv << expected << unused << error;
    };
    row("names with other letter case", "", "DESCRIPTION,comments,f2\nA,b,3\n", "A|b|-|3");
    row("other columns left out", "", "Description,Hz,F1\nA,9,1\n", "A|-|1|-", "Hz");
    row("mapped names", "Description=Name, F1 = Hz ,comments=Notes", "Name,Notes,Hz,F2\nA,n,7.83,8\n", "A|n|7.83|8");
    row("a mapped column is not also taken by its name", "F1=Comments", "Description,Comments\nA,5\n", "A|-|5|-");
    row("one column for two fields", "F1=Hz,F2=Hz", "Description,Hz\nA,5\n", "A|-|5|5");
    row("exact name wins over case twins", "", "description,Description\nA,B\n", "B|-|-|-", "description");
    row("mapped column missing", "F1=Hz", "Description,Freq\nA,5\n", "", "",
        "There is no column Hz for F1 (the columns are: Description, Freq).");
    row("Description column taken by another field", "Comments=Description", "Description\nA\n", "", "",
        "The column Description is mapped to another field");
    row("names differing only in case", "", "description,DESCRIPTION\nA,B\n", "", "",
        "The columns description and DESCRIPTION differ");
}

void TestCsvImport::mapsColumns()
{
    QFETCH(QString, map);
    QFETCH(QByteArray, csv);
    QFETCH(QString, expected);
    QFETCH(QString, unused);
    QFETCH(QString, error);

    FieldMapping mapping;
    QString parseError;
    QVERIFY2(mapping.parse(map, &parseError), qPrintable(parseError));
    ImportFixture fixture({});
    const ImportReport report = fixture.import(csv, mapping);
    if (!error.isEmpty()) {
        QVERIFY2(report.outcome.error.startsWith(error), qPrintable(report.outcome.error));
        QCOMPARE(readDatabase(fixture.path()).size(), 0);
        return;
    }
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.unusedColumns.join(QLatin1Char(',')), unused);
    const QVector<TestRecord> records = readDatabase(fixture.path());
    QCOMPARE(records.size(), 1);
    const TestRecord& record = records.first();
    QStringList shown;
    for (const QVariant& value :
         {record.description, record.comments, record.frequencies.at(0), record.frequencies.at(1)})
        shown << (value.isNull() ? QStringLiteral("-") : value.toString());
    QCOMPARE(shown.join(QLatin1Char('|')), expected);
}

void TestCsvImport::rejectsMappingText_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<QString>("error");

    QTest::newRow("no equals sign") << QStringLiteral("Description") << QStringLiteral("\"Description\" is not");
    QTest::newRow("no column") << QStringLiteral("F1=") << QStringLiteral("\"F1=\" is not FIELD=COLUMN.");
    QTest::newRow("no field") << QStringLiteral("=Hz") << QStringLiteral("\"=Hz\" is not FIELD=COLUMN.");
    QTest::newRow("unknown field") << QStringLiteral("F41=Hz") << QStringLiteral("F41 is not a field");
    QTest::newRow("field twice") << QStringLiteral("f1=A,F1=B") << QStringLiteral("F1 is mapped twice.");
}

void TestCsvImport::rejectsMappingText()
{
    QFETCH(QString, map);
    QFETCH(QString, error);

    FieldMapping mapping;
    QString parseError;
    QVERIFY(!mapping.parse(map, &parseError));
    QVERIFY2(parseError.startsWith(error), qPrintable(parseError));
}

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"

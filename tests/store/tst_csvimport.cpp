#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"
#include "exchange/FieldMapping.h"
#include "store/OrvoDatabase.h"
#include "exchange/RecordExport.h"
#include "exchange/RecordImport.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SourceValue)
Q_DECLARE_METATYPE(SourceRow)
Q_DECLARE_METATYPE(QVector<SourceRow>)

namespace QTest {
template <> char* toString(const SourceValue& value)
{
    return value ? QTest::toString(QStringLiteral("\"%1\"").arg(*value)) : qstrdup("null");
}
template <> char* toString(const SourceRow& row)
{
    QStringList texts;
    for (const SourceValue& value : row)
        texts << (value ? QStringLiteral("\"%1\"").arg(*value) : QStringLiteral("null"));
    return QTest::toString(QStringLiteral("[") + texts.join(QStringLiteral(", ")) + QStringLiteral("]"));
}
} // namespace QTest

namespace {

const SourceValue Null;

SourceValue text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct Parsed
{
    bool opened = false;
    QStringList columns;
    QVector<SourceRow> rows;
    QStringList rowNames;
    QString error;
};

Parsed parse(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    Parsed parsed;
    parsed.opened = reader.open();
    parsed.columns = reader.columns();
    SourceRow row;
    while (parsed.opened && reader.next(row)) {
        parsed.rows << row;
        parsed.rowNames << reader.rowName();
    }
    parsed.error = reader.error();
    return parsed;
}

QByteArray written(const QVector<SourceRow>& rows, bool byteOrderMark = false)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvWriter writer(buffer, byteOrderMark);
    for (const SourceRow& row : rows)
        writer.writeRow(row);
    return buffer.data();
}

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

    QByteArray exported(qint64* count = nullptr)
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        qint64 written = 0;
        {
            const Outcome opened = OrvoDatabase::open(path(), Connection);
            if (opened) {
                const Outcome done =
                    RecordExport::toCsv(QSqlDatabase::database(Connection, false), buffer, {}, &written);
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
    void writesField_data();
    void writesField();
    void writesRowsWithCrLfAndOptionalMark();
    void reads_data();
    void reads();
    void namesRowsByTheirFirstLine();
    void reportsProgress();
    void malformedCsvLeavesDatabaseUnchanged_data();
    void malformedCsvLeavesDatabaseUnchanged();
    void exportWritesHeaderAndDescriptionOrder();
    void importTakesBackWhatExportWrote();
    void skipsDuplicates_data();
    void skipsDuplicates();
    void mapsColumns_data();
    void mapsColumns();
    void rejectsMappingText_data();
    void rejectsMappingText();
};

void TestCsvImport::writesField_data()
{
    QTest::addColumn<SourceValue>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("null is nothing") << Null << QString();
    QTest::newRow("empty text is quoted") << text("") << QStringLiteral("\"\"");
    QTest::newRow("plain") << text("Schumann 7.83") << QStringLiteral("Schumann 7.83");
    QTest::newRow("blanks kept unquoted") << text("  a b  ") << QStringLiteral("  a b  ");
    QTest::newRow("comma") << text("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quote doubled") << text("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("lone quote") << text("\"") << QStringLiteral("\"\"\"\"");
    QTest::newRow("line feed") << text("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("carriage return") << text("a\rb") << QStringLiteral("\"a\rb\"");
    QTest::newRow("non-ASCII unquoted") << text("Grüße ✓") << QString::fromUtf8("Grüße ✓");
}

void TestCsvImport::writesField()
{
    QFETCH(SourceValue, value);
    QFETCH(QString, expected);
    QCOMPARE(CsvWriter::field(value), expected);
}

void TestCsvImport::writesRowsWithCrLfAndOptionalMark()
{
    const QVector<SourceRow> rows{{text("A"), text("B")}, {Null, text("é")}};
    QCOMPARE(written(rows), QByteArray("A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written(rows, true), QByteArray("\xEF\xBB\xBF"
                                             "A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written({}, true), QByteArray()); // the mark comes with the first row
}

void TestCsvImport::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QVector<SourceRow>>("rows");

    const QStringList ab{QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("LF") << QByteArray("A,B\nx,y\n") << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("CRLF") << QByteArray("A,B\r\nx,y\r\n") << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("CR only") << QByteArray("A,B\rx,y\r") << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("no final line break") << QByteArray("A,B\nx,y") << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("header only") << QByteArray("A,B\r\n") << ab << QVector<SourceRow>{};
    QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBF"
                                                           "A,B\nx,y\n")
                                             << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("repeated byte-order mark is no part of a name") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                                                 "A,B\nx,y\n")
                                                                   << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("header names trimmed")
        << QByteArray(" A , B\nx,y\n") << ab << QVector<SourceRow>{{text("x"), text("y")}};
    QTest::newRow("empty unquoted is null, quoted is empty")
        << QByteArray("A,B\n,\"\"\n\"\",\n") << ab << QVector<SourceRow>{{Null, text("")}, {text(""), Null}};
    QTest::newRow("blanks in a field kept")
        << QByteArray("A,B\n  x , y\n") << ab << QVector<SourceRow>{{text("  x "), text(" y")}};
    QTest::newRow("quoted comma and doubled quotes") << QByteArray("A,B\n\"a,b\",\"say \"\"hi\"\"\"\n") << ab
                                                     << QVector<SourceRow>{{text("a,b"), text("say \"hi\"")}};
    QTest::newRow("line breaks inside quotes kept as written")
        << QByteArray("A,B\n\"1\r\n2\",\"3\n4\r5\"\n") << ab << QVector<SourceRow>{{text("1\r\n2"), text("3\n4\r5")}};
    QTest::newRow("blank lines skipped") << QByteArray("A,B\n\nx,y\r\n\r\n\nz,w\n\n") << ab
                                         << QVector<SourceRow>{{text("x"), text("y")}, {text("z"), text("w")}};
    QTest::newRow("UTF-8 text") << QByteArray("A,B\nGr\xC3\xBC\xC3\x9F"
                                              "e,\xE2\x9C\x93\n")
                                << ab << QVector<SourceRow>{{text("Grüße"), text("✓")}};
    QTest::newRow("trailing comma is a null field")
        << QByteArray("A,B,C\nx,,\n") << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}
        << QVector<SourceRow>{{text("x"), Null, Null}};
}

void TestCsvImport::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, columns);
    QFETCH(QVector<SourceRow>, rows);

    const Parsed parsed = parse(bytes);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.columns, columns);
    QCOMPARE(parsed.rows, rows);
}

void TestCsvImport::namesRowsByTheirFirstLine()
{
    const Parsed parsed = parse("A,B\r\n\"1\r\n2\r\n3\",x\r\n\r\ny,z\r\n");
    QCOMPARE(parsed.rowNames, (QStringList{QStringLiteral("Line 2"), QStringLiteral("Line 6")}));
}

void TestCsvImport::reportsProgress()
{
    QBuffer buffer;
    buffer.setData("A\nx\ny\nz\n");
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    QVERIFY(reader.open());
    SourceRow row;
    double last = reader.progress();
    QVERIFY(last > 0 && last < 1);
    while (reader.next(row)) {
        QVERIFY(reader.progress() >= last);
        last = reader.progress();
    }
    QCOMPARE(last, 1.0);
}

void TestCsvImport::malformedCsvLeavesDatabaseUnchanged_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error");

    const QByteArray header = "Description,Comments\n";
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("Line 1: the file is empty");
    QTest::newRow("nameless column") << QByteArray("Description,,F1\n")
                                     << QStringLiteral("Line 1: column 2 of the header");
    QTest::newRow("no Description column")
        << QByteArray("Name,Comments\r\nA,x\r\n") << QStringLiteral("There is no column Description");
    QTest::newRow("too few fields after a multi-line field")
        << header + "A,x\nB,\"multi\r\nline\"\nC\n"
        << QStringLiteral("Line 5: 1 fields, but the header names 2 columns.");
    QTest::newRow("quote inside unquoted field") << header + "A,x\nab\"c,d\n"
                                                 << QStringLiteral("Line 3: a quote inside a field");
    QTest::newRow("text after closing quote") << header + "\"x\"y,z\n"
                                              << QStringLiteral("Line 2: text after the closing quote");
    QTest::newRow("quote never closed") << header + "A,x\nz,\"open\n\nmore\n"
                                        << QStringLiteral("Line 3: the quoted field that begins here is never closed.");
    QTest::newRow("not UTF-8") << header + "A,x\nLatin-1 \xE9t\xE9,z\n"
                               << QStringLiteral("Line 3: the text is not UTF-8");
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

void TestCsvImport::exportWritesHeaderAndDescriptionOrder()
{
    ImportFixture fixture({TestRecord::make(QStringLiteral("beta"), nullText(), {QStringLiteral("2")}),
                           TestRecord::make(QStringLiteral("Alpha"), QStringLiteral("x"), {}),
                           TestRecord::make(QStringLiteral("alpha"), QStringLiteral(""), {})});
    qint64 count = 0;
    const QByteArray csv = fixture.exported(&count);
    QCOMPARE(count, qint64(3));
    const QList<QByteArray> lines = csv.split('\n');
    QCOMPARE(lines.at(0), headerLine().toUtf8() + "\r");
    QCOMPARE(lines.at(1), QByteArray("Alpha,x") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(2), QByteArray("alpha,\"\"") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(3), QByteArray("beta,,2") + QByteArray(39, ',') + "\r");
    QCOMPARE(lines.at(4), QByteArray());
}

// The quoting itself is in the tables above; this is about nulls, empty texts and all forty slots.
void TestCsvImport::importTakesBackWhatExportWrote()
{
    // Listed in description order, the order of the export.
    const QVector<TestRecord> records{
        TestRecord::make(QStringLiteral(""), QStringLiteral("empty description"), {}),
        allSlots(QStringLiteral("All forty slots")),
        TestRecord::make(QStringLiteral("Line\r\nbreaks"), QStringLiteral("one\ntwo\r\nthree\rfour\n"),
                         {QStringLiteral("2"), nullText(), QStringLiteral("3")}),
        TestRecord::make(QStringLiteral("Null comments"), nullText(), {QStringLiteral("0"), QStringLiteral("")}),
        TestRecord::make(QString::fromUtf8("Ünïcødé ✓ 中文 🎵"), QStringLiteral("  both ends  "),
                         {QStringLiteral(" 5 ")}),
    };
    ImportFixture source(records);
    const QByteArray csv = source.exported();
    ImportFixture target({});
    const ImportReport report = target.import(csv);
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(records.size()));
    QCOMPARE(report.unusedColumns, QStringList());
    QCOMPARE(texts(readDatabase(target.path())), texts(records));
    QCOMPARE(target.exported(), csv);
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

#include "query/RecordFields.h"
#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"
#include "exchange/FieldMapping.h"
#include "exchange/RecordExport.h"
#include "exchange/RecordImport.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

namespace {

const SourceValue Null;

SourceValue text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// "-" for a null, "" for an empty text. A null QString counts as null: the driver stores it as NULL.
QString shown(const QVariant& value)
{
    if (value.isNull() || value.toString().isNull())
        return QStringLiteral("-");
    return value.toString().isEmpty() ? QStringLiteral("\"\"") : value.toString();
}

// The fields of a row, or of a record, joined by |.
QString shown(const SourceRow& row)
{
    QStringList fields;
    for (const SourceValue& value : row)
        fields << shown(value ? QVariant(*value) : QVariant());
    return fields.join(QLatin1Char('|'));
}

QStringList shown(const QVector<TestRecord>& records)
{
    QStringList list;
    for (const TestRecord& record : records) {
        QStringList fields{shown(record.description), shown(record.comments)};
        for (const QVariant& frequency : record.frequencies)
            fields << shown(frequency);
        list << fields.join(QLatin1Char('|'));
    }
    return list;
}

struct Parsed
{
    QStringList rows; // the header first
    QStringList rowNames;
    QString error;
};

Parsed parse(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    Parsed parsed;
    if (reader.open()) {
        parsed.rows << reader.columns().join(QLatin1Char('|'));
        for (SourceRow row; reader.next(row);) {
            parsed.rows << shown(row);
            parsed.rowNames << reader.rowName();
        }
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

// A database in a folder of its own, created with these records.
struct Database
{
    explicit Database(const QVector<TestRecord>& records = {}) { createDatabase(path, records); }

    ImportReport import(QByteArray csv, const FieldMapping& mapping = {}, const ImportOptions& options = {}) const
    {
        QBuffer buffer(&csv);
        buffer.open(QIODevice::ReadOnly);
        CsvReader reader(buffer);
        ImportReport report;
        onOrvoDatabase(path, [&](const QSqlDatabase& db) { report = RecordImport::run(reader, mapping, db, options); });
        return report;
    }

    QByteArray exported() const
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        qint64 written = 0;
        onOrvoDatabase(path, [&](const QSqlDatabase& db) {
            const Outcome done = RecordExport::toCsv(db, buffer, {}, &written);
            QVERIFY2(done.ok, qPrintable(done.error));
        });
        return buffer.data();
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
};

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT

private slots:
    void writesRowsWithCrLfAndOptionalMark();
    void reads_data();
    void reads();
    void namesRowsByTheirFirstLine();
    void importTakesBackWhatExportWrote();
    void skipsDuplicates_data();
    void skipsDuplicates();
    void mapsColumns_data();
    void mapsColumns();
};

// Only what needs it is quoted: an empty text, so that it stays apart from a null, and
// commas, quotes and line breaks; blanks and non-ASCII text are written as they are.
void TestCsvImport::writesRowsWithCrLfAndOptionalMark()
{
    const QVector<SourceRow> rows{{text("A"), text("B")}, {Null, text("é")}};
    QCOMPARE(written(rows), QByteArray("A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written(rows, true), QByteArray("\xEF\xBB\xBF"
                                             "A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written({}, true), QByteArray()); // the mark comes with the first row
    const SourceRow fields{Null, text(""), text(" Grüße 7.83 "), text("a,b"),
                           text("say \"hi\""), text("a\nb"), text("a\rb")};
    QCOMPARE(written({fields}), QByteArray(",\"\", Gr\xC3\xBC\xC3\x9F"
                                           "e 7.83 ,\"a,b\",\"say \"\"hi\"\"\",\"a\nb\",\"a\rb\"\r\n"));
}

// Reading back what the writer wrote is fuzzed; these rows pin what other programs write.
void TestCsvImport::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows"); // the rows read before an error
    QTest::addColumn<QString>("error");

    const auto row = [](const char* name, const QByteArray& bytes, const QStringList& rows, const char* error = "") {
        QTest::newRow(name) << bytes << rows << QString::fromLatin1(error);
    };
    row("LF, CRLF, CR and no line end", "A,B\nw,x\r\ny,z\rv,u", {"A|B", "w|x", "y|z", "v|u"});
    row("header only", "A,B\r\n", {"A|B"});
    row("byte-order marks skipped, names trimmed", "\xEF\xBB\xBF\xEF\xBB\xBF A , B\nx,y\n", {"A|B", "x|y"});
    row("empty unquoted is null, quoted is empty text", "A,B\n,\"\"\n\"\",\n", {"A|B", "-|\"\"", "\"\"|-"});
    row("trailing comma is a null field", "A,B,C\nx,,\n", {"A|B|C", "x|-|-"});
    row("blanks in a field kept", "A,B\n  x , y\n", {"A|B", "  x | y"});
    row("quoted comma, quotes and line breaks", "A,B\n\"a,\"\"b\"\"\",\"1\r\n2\n3\r4\"\n",
        {"A|B", "a,\"b\"|1\r\n2\n3\r4"});
    row("blank lines skipped", "A,B\n\nx,y\r\n\r\n\nz,w\n\n", {"A|B", "x|y", "z|w"});
    row("UTF-8 text", "A,B\nGr\xC3\xBC\xC3\x9F" "e,\xE2\x9C\x93\n", {"A|B", QString::fromUtf8("Grüße|✓")});
    row("empty file", "", {}, "Line 1: the file is empty");
    row("nameless column", "A,,B\n", {}, "Line 1: column 2 of the header");
    row("too few fields after a multi-line field", "A,B\nx,\"multi\r\nline\"\nC\n", {"A|B", "x|multi\r\nline"},
        "Line 4: 1 fields, but the header names 2 columns.");
    row("quote inside unquoted field", "A,B\nx,y\nab\"c,d\n", {"A|B", "x|y"}, "Line 3: a quote inside a field");
    row("text after closing quote", "A,B\n\"x\"y,z\n", {"A|B"}, "Line 2: text after the closing quote");
    row("quote never closed", "A,B\nx,y\nz,\"open\n\nmore\n", {"A|B", "x|y"},
        "Line 3: the quoted field that begins here is never closed.");
    row("not UTF-8", "A,B\nx,y\nLatin-1 \xE9t\xE9,z\n", {"A|B", "x|y"}, "Line 3: the text is not UTF-8");
}

void TestCsvImport::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(QString, error);

    const Parsed parsed = parse(bytes);
    QVERIFY2(error.isEmpty() ? parsed.error.isEmpty() : parsed.error.startsWith(error), qPrintable(parsed.error));
    QCOMPARE(parsed.rows, rows);
}

void TestCsvImport::namesRowsByTheirFirstLine()
{
    const Parsed parsed = parse("A,B\r\n\"1\r\n2\r\n3\",x\r\n\r\ny,z\r\n");
    QCOMPARE(parsed.rowNames, (QStringList{QStringLiteral("Line 2"), QStringLiteral("Line 6")}));
}

// The export's bytes, then nulls, empty texts and all forty slots through export and import.
void TestCsvImport::importTakesBackWhatExportWrote()
{
    QVariantList everySlot;
    for (int i = 1; i <= 40; ++i)
        everySlot << (i % 7 ? QVariant(QString::number(i * 11.25)) : nullText());
    // In description order, the order of the export; stored in another order.
    const QVector<TestRecord> records{TestRecord::make(QStringLiteral(""), QStringLiteral("empty description")),
                                      TestRecord::make(QStringLiteral("Alpha"), QStringLiteral("x"), everySlot),
                                      TestRecord::make(QStringLiteral("alpha"), QStringLiteral("")),
                                      TestRecord::make(QStringLiteral("beta"), nullText(),
                                                       {QStringLiteral("2"), QStringLiteral("")})};
    const Database source({records.at(3), records.at(1), records.at(0), records.at(2)});
    const QByteArray csv = source.exported();
    const QList<QByteArray> lines = csv.split('\n');
    QCOMPARE(lines.size(), records.size() + 2);
    QCOMPARE(lines.at(0), RecordFields::names().join(QLatin1Char(',')).toUtf8() + "\r");
    QCOMPARE(lines.at(1), QByteArray("\"\",empty description") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(3), QByteArray("alpha,\"\"") + QByteArray(40, ',') + "\r");
    QCOMPARE(lines.at(4), QByteArray("beta,,2,\"\"") + QByteArray(38, ',') + "\r");

    const Database target;
    const ImportReport report = target.import(csv);
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(records.size()));
    QCOMPARE(report.unusedColumns, QStringList());
    QCOMPARE(shown(readDatabase(target.path)), shown(records));
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
    QTest::newRow("repeated within the file") << true << QByteArray("New,n,5,\r\nNew,n,5,\r\nNew,n,5,\r\n") << 1 << 2;
}

void TestCsvImport::skipsDuplicates()
{
    QFETCH(bool, skip);
    QFETCH(QByteArray, rows);
    QFETCH(int, added);
    QFETCH(int, skipped);

    const Database database({TestRecord::make(QStringLiteral("Alpha"), QStringLiteral("x"), {QStringLiteral("1")}),
                             TestRecord::make(QStringLiteral("Beta"), nullText(), {})});
    ImportOptions options;
    options.skipDuplicates = skip;
    const ImportReport report = database.import("Description,Comments,F1,F2\r\n" + rows, {}, options);
    QVERIFY2(report.outcome.ok, qPrintable(report.outcome.error));
    QCOMPARE(report.added, qint64(added));
    QCOMPARE(report.skipped, qint64(skipped));
    QCOMPARE(readDatabase(database.path).size(), 2 + added);
}

void TestCsvImport::mapsColumns_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("expected"); // Description|Comments|F1|F2 of the one record
    QTest::addColumn<QString>("unused");
    QTest::addColumn<QString>("error"); // of the mapping text, or of the import

    const auto row = [](const char* name, const QString& map, const QByteArray& csv, const QString& expected,
                        const QString& unused = QString(), const QString& error = QString()) {
        QTest::newRow(name) << map << csv << expected << unused << error;
    };
    const auto refused = [&row](const char* name, const QString& map, const QString& error) {
        row(name, map, "Description\nA\n", "", "", error);
    };
    row("names with other letter case", "", "DESCRIPTION,comments,f2\nA,b,3\n", "A|b|-|3");
    row("other columns left out", "", "Description,Hz,F1\nA,9,1\n", "A|-|1|-", "Hz");
    row("mapped names", "Description=Name, F1 = Hz ,comments=Notes", "Name,Notes,Hz,F2\nA,n,7.83,8\n", "A|n|7.83|8");
    row("a mapped column is not also taken by its name", "F1=Comments", "Description,Comments\nA,5\n", "A|-|5|-");
    row("one column for two fields", "F1=Hz,F2=Hz", "Description,Hz\nA,5\n", "A|-|5|5");
    row("exact name wins over case twins", "", "description,Description\nA,B\n", "B|-|-|-", "description");
    row("no Description column", "", "Name,Comments\r\nA,x\r\n", "", "", "There is no column Description");
    row("mapped column missing", "F1=Hz", "Description,Freq\nA,5\n", "", "",
        "There is no column Hz for F1 (the columns are: Description, Freq).");
    row("Description column taken by another field", "Comments=Description", "Description\nA\n", "", "",
        "The column Description is mapped to another field");
    row("names differing only in case", "", "description,DESCRIPTION\nA,B\n", "", "",
        "The columns description and DESCRIPTION differ");
    row("a column named twice", "", "Description,F1,Description\nA,1,B\n", "", "",
        "The header names the column Description twice");
    refused("no equals sign", "Description", "\"Description\" is not");
    refused("no field", "=Hz", "\"=Hz\" is not FIELD=COLUMN.");
    refused("unknown field", "F41=Hz", "F41 is not a field");
    refused("field twice", "f1=A,F1=B", "F1 is mapped twice.");
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
    if (!mapping.parse(map, &parseError)) {
        QVERIFY2(!error.isEmpty() && parseError.startsWith(error), qPrintable(parseError));
        return;
    }
    const Database database;
    const ImportReport report = database.import(csv, mapping);
    QCOMPARE(report.outcome.ok, error.isEmpty());
    QVERIFY2(report.outcome.error.startsWith(error), qPrintable(report.outcome.error));
    QCOMPARE(report.unusedColumns.join(QLatin1Char(',')), unused);
    const QStringList records = shown(readDatabase(database.path));
    QCOMPARE(records.size(), error.isEmpty() ? 1 : 0);
    QCOMPARE(records.value(0).section(QLatin1Char('|'), 0, 3), expected);
}

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"

#include "exchange/AccessReader.h"
#include "exchange/FieldMapping.h"
#include "exchange/RecordImport.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The shared sample files are read in place; they are not part of the repository.
QString sample(const QString& name)
{
    return QDir(QStringLiteral(ORVO_TESTDATA_DIR)).filePath(name);
}

#define REQUIRE_SAMPLE(path)                                                                                           \
    if (!QFile::exists(path))                                                                                          \
        QSKIP(qPrintable(                                                                                              \
            QStringLiteral("The sample Access file %1 is absent; these tests need the shared test data.").arg(path)));

struct Table
{
    bool opened = false;
    QString error;
    QStringList columns;
    QVector<SourceRow> rows;
    qint64 declared = -1;
};

Table readAll(const QString& path, const QString& tableName)
{
    AccessReader reader(path, tableName);
    Table table;
    table.opened = reader.open();
    table.columns = reader.columns();
    table.declared = reader.declaredRows();
    SourceRow row;
    while (table.opened && reader.next(row))
        table.rows << row;
    table.error = reader.error();
    return table;
}

ImportReport importInto(const QString& dbPath, AccessReader& reader, const FieldMapping& mapping)
{
    ImportReport report;
    onOrvoDatabase(dbPath, [&](const QSqlDatabase& db) { report = RecordImport::run(reader, mapping, db); });
    return report;
}

QString shown(const QVariant& value)
{
    return value.isNull() ? QStringLiteral("<null>") : QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

} // namespace

class TestAccessReader : public QObject
{
    Q_OBJECT

private slots:
    void readsValues_data();
    void readsValues();
    void refusesBinaryColumn();
    void refuses_data();
    void refuses();
};

void TestAccessReader::readsValues_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("expected"); // as shown(): quoted text or <null>

    const auto row = [](const char* name, const char* file, const QString& table, int rows, int row, const char* column,
                        const QString& expected) {
        QTest::newRow(name) << QString(file) << table << rows << row << QString(column) << expected;
    };
    const char* jet4 = "jet4-datetest.mdb";
    const char* jet3 = "jet3-samples.mdb";
    row("jet4 memo with line break", jet4, "DateTest", 6, 5, "LongTextCol", "\"New line\r\nin field\"");
    row("jet4 backslashes stay", jet4, "DateTest", 6, 4, "ShortTextCol", "\"Escaped new line \\r\\n in field\"");
    row("jet4 far date", jet4, "DateTest", 6, 1, "DateCol", "\"9999-01-01 00:00:00\"");
    row("jet4 date before 1900", jet4, "DateTest", 6, 2, "DateCol", "\"1899-01-01 00:00:00\"");
    row("jet3 currency cents", jet3, "Products", 77, 27, "UnitPrice", "\"45.6\"");
    row("jet3 yes/no", jet3, "Products", 77, 27, "Discontinued", "\"1\"");
    row("jet3 non-ASCII", jet3, "Products", 77, 27, "ProductName", "\"Rössle Sauerkraut\"");
    row("jet3 null", jet3, "Customers", 91, 0, "Region", "<null>");
    row("jet3 single, shortest text", jet3, "Order Details", 2155, 6, "Discount", "\"0.15\"");
    row("jet3 table with non-ASCII name", jet3, QStringLiteral("Umsätze"), -1, 0, "CustomerID", "\"LILAS\"");
}

void TestAccessReader::readsValues()
{
    QFETCH(QString, file);
    QFETCH(QString, table);
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(QString, column);
    QFETCH(QString, expected);

    const QString path = sample(file);
    REQUIRE_SAMPLE(path);
    const QByteArray before = fileHash(path);
    const Table read = readAll(path, table);
    QVERIFY2(read.opened && read.error.isEmpty(), qPrintable(read.error));
    if (rows >= 0)
        QCOMPARE(read.rows.size(), rows);
    QCOMPARE(qint64(read.rows.size()), read.declared);
    QVERIFY2(read.columns.contains(column), qPrintable(read.columns.join(QLatin1Char(','))));
    const SourceValue value = read.rows.at(row).at(read.columns.indexOf(column));
    QCOMPARE(shown(value ? QVariant(*value) : QVariant()), expected);
    QCOMPARE(fileHash(path), before);
}

// Mapping has its own tests; a binary column mapped to a text field is the reader's own refusal.
void TestAccessReader::refusesBinaryColumn()
{
    const QString path = sample(QStringLiteral("jet3-samples.mdb"));
    REQUIRE_SAMPLE(path);
    QTemporaryDir folder;
    const QString dbPath = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(dbPath, {});
    FieldMapping mapping;
    mapping.map(QStringLiteral("Comments"), QStringLiteral("Picture"));
    AccessReader categories(path, QStringLiteral("Categories"));
    QCOMPARE(importInto(dbPath, categories, mapping).outcome.error,
             QStringLiteral("Column Picture holds binary data, which cannot be kept as text."));
    QCOMPARE(readDatabase(dbPath).size(), 0);

}

void TestAccessReader::refuses_data()
{
    QTest::addColumn<QString>("content"); // a sample's name, or text to write into a file
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("error");

    const auto row = [](const char* name, const char* content, const char* table, const char* error) {
        QTest::newRow(name) << QString(content) << QString(table) << QString(error);
    };
    row("no such table", "jet4-datetest.mdb", "Main", "It has no table Main (its tables are: DateTest).");
    row("not an Access file", "text:Description,Comments\n", "Main", "It is not an Access database file.");
    row("missing file", "", "Main", "It is not an Access database file.");
    row("only the first page", "head:jet4-datetest.mdb", "DateTest", "");
}

void TestAccessReader::refuses()
{
    QFETCH(QString, content);
    QFETCH(QString, table);
    QFETCH(QString, error);

    REQUIRE_SAMPLE(sample(QStringLiteral("jet4-datetest.mdb")));
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    if (content.startsWith(QLatin1String("text:"))) {
        writeFile(path, content.mid(5).toUtf8());
    } else if (content.startsWith(QLatin1String("head:"))) {
        QFile in(sample(content.mid(5)));
        QVERIFY(in.open(QIODevice::ReadOnly));
        writeFile(path, in.read(4096));
    } else if (!content.isEmpty()) {
        path = sample(content);
    }
    const QByteArray before = fileHash(path);
    const Table read = readAll(path, table);
    QVERIFY(!read.opened || !read.error.isEmpty());
    if (error.isEmpty())
        QVERIFY2(!read.error.isEmpty(), "a damaged file needs a reason");
    else
        QCOMPARE(read.error, error);
    QCOMPARE(fileHash(path), before);
}

QTEST_GUILESS_MAIN(TestAccessReader)
#include "tst_accessreader.moc"

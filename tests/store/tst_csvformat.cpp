#include "store/CsvReader.h"
#include "store/CsvWriter.h"

#include <QBuffer>
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

} // namespace

class TestCsvFormat : public QObject
{
    Q_OBJECT

private slots:
    void writesField_data();
    void writesField();
    void writesRowsWithCrLfAndOptionalMark();
    void reads_data();
    void reads();
    void namesRowsByTheirFirstLine();
    void rejectsMalformed_data();
    void rejectsMalformed();
    void reportsProgress();
};

void TestCsvFormat::writesField_data()
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

void TestCsvFormat::writesField()
{
    QFETCH(SourceValue, value);
    QFETCH(QString, expected);
    QCOMPARE(CsvWriter::field(value), expected);
}

void TestCsvFormat::writesRowsWithCrLfAndOptionalMark()
{
    const QVector<SourceRow> rows{{text("A"), text("B")}, {Null, text("é")}};
    QCOMPARE(written(rows), QByteArray("A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written(rows, true), QByteArray("\xEF\xBB\xBF"
                                             "A,B\r\n,\xC3\xA9\r\n"));
    QCOMPARE(written({}, true), QByteArray()); // the mark comes with the first row
}

void TestCsvFormat::reads_data()
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

void TestCsvFormat::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, columns);
    QFETCH(QVector<SourceRow>, rows);

    const Parsed parsed = parse(bytes);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.columns, columns);
    QCOMPARE(parsed.rows, rows);
}

void TestCsvFormat::namesRowsByTheirFirstLine()
{
    const Parsed parsed = parse("A,B\r\n\"1\r\n2\r\n3\",x\r\n\r\ny,z\r\n");
    QCOMPARE(parsed.rowNames, (QStringList{QStringLiteral("Line 2"), QStringLiteral("Line 6")}));
}

void TestCsvFormat::rejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty file") << QByteArray() << QStringLiteral("Line 1: the file is empty");
    QTest::newRow("nameless column") << QByteArray("A,,C\n") << QStringLiteral("Line 1: column 2 of the header");
    QTest::newRow("too few fields") << QByteArray("A,B\nx,y\nz\n")
                                    << QStringLiteral("Line 3: 1 fields, but the header names 2 columns.");
    QTest::newRow("count after a multi-line field")
        << QByteArray("A,B\n\"1\n2\n3\",x\nz\n") << QStringLiteral("Line 5: 1 fields");
    QTest::newRow("quote inside unquoted field")
        << QByteArray("A,B\nx,y\nab\"c,d\n") << QStringLiteral("Line 3: a quote inside a field");
    QTest::newRow("text after closing quote")
        << QByteArray("A,B\n\"x\"y,z\n") << QStringLiteral("Line 2: text after the closing quote");
    QTest::newRow("quote never closed") << QByteArray("A,B\nx,y\nz,\"open\n\nmore\n")
                                        << QStringLiteral("Line 3: the quoted field that begins here is never closed.");
    QTest::newRow("not UTF-8") << QByteArray("A,B\nx,y\nLatin-1 \xE9t\xE9,z\n")
                               << QStringLiteral("Line 3: the text is not UTF-8");
}

void TestCsvFormat::rejectsMalformed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);

    const Parsed parsed = parse(bytes);
    QVERIFY2(parsed.error.startsWith(error), qPrintable(parsed.error));
}

void TestCsvFormat::reportsProgress()
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

QTEST_GUILESS_MAIN(TestCsvFormat)
#include "tst_csvformat.moc"

#include "printing/ResultListExport.h"
#include "store/Data1.h"
#include "main_window/Module1.h"
#include "query/QueryTexts.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using ResultListExport::PrintOptions;

Q_DECLARE_METATYPE(QVector<TestRecord>)
Q_DECLARE_METATYPE(PrintOptions)

// What the result-list export writes for a record set over exactly these records, and how its
// progress runs; changing the boxes during a run is tst_form5's.
class TestResultListExport : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void readsWhatARecordAtATimeReads_data();
    void readsWhatARecordAtATimeReads();
};

void TestResultListExport::layout_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<int>("resultCount");
    QTest::addColumn<PrintOptions>("options");
    QTest::addColumn<QStringList>("recordLines");
    QTest::addColumn<QList<int>>("progress");

    const PrintOptions all{true, true, true};
    const QVector<TestRecord> two{TestRecord::make("Alpha", "first", {7.83}), TestRecord::make("Gamma", "third", {})};
    QTest::newRow("no box ticked: descriptions only")
        << two << 2 << PrintOptions{} << QStringList{"Alpha", "Gamma"} << QList<int>{1, 2};
    QTest::newRow("all boxes ticked: four lines per record; progress held at ResultCount")
        << two << 1 << all
        << QStringList{"Alpha", "first", "Frequencies:  7.83", " ",
                       "Gamma", "third", "Frequencies: No Frequencies Listed - See Comments", " "}
        << QList<int>{1, 1};
    QTest::newRow("only F1 = 728: two blanks after the colon")
        << QVector<TestRecord>{TestRecord::make("A", "c", {728})} << 1 << PrintOptions{false, true, false}
        << QStringList{"A", "Frequencies:  728"} << QList<int>{1};
    QTest::newRow("null description, empty and null comments: empty lines; before the first search")
        << QVector<TestRecord>{TestRecord::make("A", ""), TestRecord::make("B", nullText()),
                               TestRecord::make(nullText(), "c")}
        << 0 << PrintOptions{true, false, false} << QStringList{"", "c", "A", "", "B", ""} << QList<int>{0, 0, 0};
    QTest::newRow("empty record set: header and spacer only")
        << QVector<TestRecord>{} << 0 << all << QStringList{} << QList<int>{};
}

void TestResultListExport::layout()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(int, resultCount);
    QFETCH(PrintOptions, options);
    QFETCH(QStringList, recordLines);
    QFETCH(QList<int>, progress);
    QTemporaryDir folder;
    createDatabase(folder.filePath(QStringLiteral("freqs.mdb")), records);
    Data1 data1;
    QVERIFY(openRecords(data1, folder.filePath(QStringLiteral("freqs.mdb"))).ok);
    Module1 module;
    module.ResultCount = resultCount;
    // The export starts from the first record and from 1 whatever record was current.
    if (!records.isEmpty()) {
        QVERIFY(data1.moveTo(records.size() - 1));
        module.RecordCounter = records.size() - 1;
    }

    QList<int> seen;
    ResultListExport::RunHooks hooks;
    hooks.options = [&] { return options; };
    hooks.yield = [] {};
    hooks.progress = [&](int value) { seen << value; };
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ExportText::LineWriter out(buffer);
    ResultListExport::writeList(out, data1, module, QDateTime(QDate(2026, 12, 4), QTime(15, 7)), hooks);
    out.flush();

    // The time's trailing blank and the date's two: three blanks before the day.
    QByteArray expected = "Frequency Selection   3:07 pm   4," +
                          QLocale::system().monthName(12, QLocale::ShortFormat).toUtf8() + " 2026\r\n \r\n";
    for (const QString& line : recordLines)
        expected += line.toUtf8() + "\r\n";
    QCOMPARE(bytes, expected);
    QCOMPARE(seen, progress);
    QCOMPARE(module.RecordCounter, progress.isEmpty() ? 0 : progress.last());
    QVERIFY(data1.isEof());
}

// The export reads the records in file order, straight from the engine's rows; what it writes
// must be what a walk reading one record at a time (the record view's way) makes of them.
void TestResultListExport::readsWhatARecordAtATimeReads_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("storedValues"); // SET clauses for records 1, 2, ...
    QTest::addColumn<bool>("deleteRecord2");

    QTest::newRow("byte order mark, bytes that are not UTF-8, numbers and binary data")
        << 3 << QString()
        << QStringList{"Description = CAST(x'EFBBBF42' AS TEXT), Comments = CAST(x'41FF0D0A42' AS TEXT)",
                       "F1 = 728, F2 = 7.83, F3 = x'3132', F4 = ' 0727 ', F5 = '7.8' || char(160), F6 = '5,9'",
                       "Description = 5, Comments = 1.5, F40 = '1E+3'"}
        << false;
    QTest::newRow("a record deleted by another program after the search") << 3 << QString() << QStringList{} << true;
    // 300 of 2100 records, spread over the whole file: read by key a block at a time.
    QTest::newRow("a list spread thin over the file")
        << 2100 << QueryTexts::letterQuery(QStringLiteral("Z")) << QStringList{} << false;
}

void TestResultListExport::readsWhatARecordAtATimeReads()
{
    QFETCH(int, records);
    QFETCH(QString, query);
    QFETCH(QStringList, storedValues);
    QFETCH(bool, deleteRecord2);
    QVector<TestRecord> made;
    for (int i = 0; i < records; ++i)
        made << TestRecord::make(QStringLiteral("%1 %2").arg(i % 7 == 0 ? "Zeta" : "Record").arg(records - i),
                                 QStringLiteral("c %1").arg(i), {i, 0, i * 0.5});
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, made);
    onOrvoDatabase(path, [&](QSqlDatabase db) {
        for (int record = 1; record <= storedValues.size(); ++record)
            QVERIFY(QSqlQuery(db).exec(
                QStringLiteral("UPDATE Main SET %1 WHERE rowid = %2").arg(storedValues.at(record - 1)).arg(record)));
    });
    Data1 data1;
    QVERIFY(openRecords(data1, path, query).ok);
    QVERIFY(data1.recordCount() > 0);
    if (deleteRecord2)
        onOrvoDatabase(path, [](QSqlDatabase db) { QVERIFY(QSqlQuery(db).exec("DELETE FROM Main WHERE rowid = 2")); });

    Module1 module;
    QByteArray expected;
    for (data1.moveFirst(); !data1.isEof(); data1.moveNext()) {
        QVERIFY(data1.readCurrent().ok);
        ResultListExport::MakeFreqStr(data1, module);
        for (const QString& line : {data1.field("Description").toString(), data1.field("Comments").toString(),
                                    "Frequencies: " + (module.FreqString.isEmpty() ? ResultListExport::NoFrequencies
                                                                                   : module.FreqString),
                                    QStringLiteral(" ")})
            expected += line.toUtf8() + "\r\n";
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ExportText::LineWriter out(buffer);
    ResultListExport::RunHooks hooks;
    hooks.options = [] { return PrintOptions{true, true, true}; };
    QVERIFY(ResultListExport::writeList(out, data1, module, QDateTime::currentDateTime(), hooks).ok);
    out.flush();
    QCOMPARE(bytes.mid(bytes.indexOf("\r\n \r\n") + 5), expected);
}

QTEST_GUILESS_MAIN(TestResultListExport)
#include "tst_resultlistexport.moc"

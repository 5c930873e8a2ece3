#include "printing/ResultListExport.h"
#include "store/Data1.h"
#include "store/Module1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using ResultListExport::PrintOptions;

Q_DECLARE_METATYPE(QVector<TestRecord>)
Q_DECLARE_METATYPE(PrintOptions)

namespace {

const QDateTime Clock(QDate(2026, 12, 4), QTime(15, 7));

QByteArray crlfLines(const QStringList& recordLines)
{
    // The time's trailing blank and the date's two: three blanks before the day.
    QByteArray bytes = "Frequency Selection   3:07 pm   4," +
                       QLocale::system().monthName(12, QLocale::ShortFormat).toUtf8() + " 2026\r\n \r\n";
    for (const QString& line : recordLines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

// A record set over exactly these records, all of them, by description.
struct RecordSet
{
    explicit RecordSet(const QVector<TestRecord>& records)
    {
        createDatabase(folder.filePath(QStringLiteral("freqs.mdb")), records);
        data1.setDatabaseName(folder.filePath(QStringLiteral("freqs.mdb")));
        data1.setRecordSource(QueryTexts::allRecordsQuery());
        data1.refresh();
    }

    // Runs the export; options(n) answers the n-th time the options are asked for.
    QByteArray run(const std::function<PrintOptions(int call)>& options, QList<int>* progress = nullptr)
    {
        QByteArray bytes;
        int calls = 0;
        ResultListExport::RunHooks hooks;
        hooks.options = [&] { return options(++calls); };
        hooks.yield = [] {};
        hooks.progress = [&](int value) {
            if (progress)
                *progress << value;
        };
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ExportText::LineWriter out(buffer);
        ResultListExport::writeList(out, data1, module, Clock, hooks);
        return bytes;
    }

    QTemporaryDir folder;
    Data1 data1;
    Module1 module;
};

} // namespace

class TestResultListExport : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void optionsTakeEffectFromTheNextRecord();
    void progress_data();
    void progress();
};

void TestResultListExport::layout_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<PrintOptions>("options");
    QTest::addColumn<QStringList>("recordLines");

    const PrintOptions all{true, true, true};
    const QVector<TestRecord> two{TestRecord::make("Alpha", "first", {7.83}), TestRecord::make("Gamma", "third", {})};
    QTest::newRow("no box ticked: descriptions only") << two << PrintOptions{} << QStringList{"Alpha", "Gamma"};
    QTest::newRow("all boxes ticked: four lines per record")
        << two << all << QStringList{"Alpha",
                                     "first",
                                     "Frequencies:  7.83",
                                     " ",
                                     "Gamma",
                                     "third",
                                     "Frequencies: No Frequencies Listed - See Comments",
                                     " "};
    QTest::newRow("only F1 = 728: two blanks after the colon")
        << QVector<TestRecord>{TestRecord::make("A", "c", {728})} << PrintOptions{false, true, false}
        << QStringList{"A", "Frequencies:  728"};
    QTest::newRow("null description, empty and null comments: empty lines")
        << QVector<TestRecord>{TestRecord::make("A", ""), TestRecord::make("B", nullText()),
                               TestRecord::make(nullText(), "c")}
        << PrintOptions{true, false, false} << QStringList{"", "c", "A", "", "B", ""};
    QTest::newRow("empty record set: header and spacer only") << QVector<TestRecord>{} << all << QStringList{};
}

void TestResultListExport::layout()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(PrintOptions, options);
    QFETCH(QStringList, recordLines);
    RecordSet set(records);
    set.module.ResultCount = records.size();
    QCOMPARE(set.run([&](int) { return options; }), crlfLines(recordLines));
}

void TestResultListExport::optionsTakeEffectFromTheNextRecord()
{
    RecordSet set({TestRecord::make("A", "a", {1}), TestRecord::make("B", "b", {2}), TestRecord::make("C", "c", {3})});
    set.module.ResultCount = 3;
    // Comments ticked while the first record is out, frequencies cleared after the second.
    QCOMPARE(set.run([](int call) {
        return PrintOptions{call >= 2, call <= 2, false};
    }),
             crlfLines({"A", "Frequencies:  1", "B", "b", "Frequencies:  2", "C", "c"}));
}

void TestResultListExport::progress_data()
{
    QTest::addColumn<int>("recordCount");
    QTest::addColumn<int>("resultCount");
    QTest::addColumn<int>("standingOn");
    QTest::addColumn<QList<int>>("values");

    QTest::newRow("one record ends full") << 1 << 1 << -1 << QList<int>{1};
    QTest::newRow("from 1 whatever record was current") << 4 << 4 << 2 << QList<int>{1, 2, 3, 4};
    QTest::newRow("more records than ResultCount: held at it") << 5 << 3 << -1 << QList<int>{1, 2, 3, 3, 3};
    QTest::newRow("before the first search: ResultCount 0") << 2 << 0 << -1 << QList<int>{0, 0};
    QTest::newRow("empty record set") << 0 << 0 << -1 << QList<int>{};
}

void TestResultListExport::progress()
{
    QFETCH(int, recordCount);
    QFETCH(int, resultCount);
    QFETCH(int, standingOn);
    QFETCH(QList<int>, values);
    QVector<TestRecord> records;
    for (int i = 1; i <= recordCount; ++i)
        records << TestRecord::make(QStringLiteral("Record %1").arg(i));
    RecordSet set(records);
    set.module.ResultCount = resultCount;
    if (standingOn >= 0) {
        QVERIFY(set.data1.moveTo(standingOn));
        set.module.RecordCounter = standingOn;
    }
    QList<int> seen;
    set.run([](int) { return PrintOptions{}; }, &seen);
    QCOMPARE(seen, values);
    QCOMPARE(set.module.RecordCounter, values.isEmpty() ? 0 : values.last());
    // The bar's top is ResultCount, but never 0, so that it always has a range.
    QCOMPARE(ResultListExport::progressMaximum(resultCount), qMax(resultCount, 1));
    QVERIFY(set.data1.isEof());
}

QTEST_GUILESS_MAIN(TestResultListExport)
#include "tst_resultlistexport.moc"

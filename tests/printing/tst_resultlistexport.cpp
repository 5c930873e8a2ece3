#include "printing/ResultListExport.h"

#include "store/Data1.h"
#include "store/Module1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using ResultListExport::PrintOptions;

Q_DECLARE_METATYPE(QVector<TestRecord>)

namespace {

const QDateTime Clock(QDate(2026, 12, 4), QTime(15, 7));

QString expectedHeader()
{
    // The time's trailing blank and the date's two: three blanks before the day.
    return QStringLiteral("Frequency Selection   3:07 pm   4,") + QLocale::system().monthName(12, QLocale::ShortFormat)
        + QStringLiteral(" 2026");
}

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

// A record set over exactly these records, all of them, by description.
struct RecordSet
{
    explicit RecordSet(const QVector<TestRecord>& records)
    {
        const QString path = QDir(folder.path()).filePath(QStringLiteral("freqs.mdb"));
        createDatabase(path, records);
        data1.setDatabaseName(path);
        data1.setRecordSource(QueryTexts::allRecordsQuery());
        const Outcome opened = data1.refresh();
        if (!opened)
            qWarning("%s", qPrintable(opened.error));
    }

    QTemporaryDir folder;
    Data1 data1;
};

struct Run
{
    QByteArray bytes;
    QStringList log;
};

Run runExport(Data1& data1, Module1& module, const std::function<PrintOptions(int call)>& options)
{
    Run run;
    int calls = 0;
    ResultListExport::RunHooks hooks;
    hooks.options = [&] {
        run.log << QStringLiteral("options");
        return options(++calls);
    };
    hooks.yield = [&] { run.log << QStringLiteral("yield"); };
    hooks.progress = [&](int value) { run.log << QStringLiteral("progress %1").arg(value); };
    QBuffer buffer(&run.bytes);
    buffer.open(QIODevice::WriteOnly);
    ExportText::LineWriter out(buffer);
    ResultListExport::writeList(out, data1, module, Clock, hooks);
    return run;
}

QStringList progressValues(const QStringList& log)
{
    QStringList values;
    for (const QString& entry : log) {
        if (entry.startsWith(QLatin1String("progress ")))
            values << entry.mid(9);
    }
    return values;
}

TestRecord withFrequencies(const QString& description, const QVariantList& frequencies)
{
    return TestRecord::make(description, QStringLiteral("c"), frequencies);
}

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
    void stateAfterRun_data();
    void stateAfterRun();
    void makeFreqStr();
    void refusingDeviceStopsTheWalk();
    void progressMaximum_data();
    void progressMaximum();
};

void TestResultListExport::layout_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<bool>("comments");
    QTest::addColumn<bool>("frequencies");
    QTest::addColumn<bool>("blankLine");
    QTest::addColumn<QStringList>("recordLines");

    const QVector<TestRecord> three{TestRecord::make("Alpha", "first", {7.83}),
                                    TestRecord::make("Beta", "second", {"20"}),
                                    TestRecord::make("Gamma", "third", {})};
    QTest::newRow("no box ticked: descriptions only")
        << three << false << false << false << QStringList{"Alpha", "Beta", "Gamma"};
    QTest::newRow("all boxes ticked: four lines per record")
        << three << true << true << true
        << QStringList{"Alpha", "first", "Frequencies:  7.83", " ",
                       "Beta",  "second", "Frequencies:  20", " ",
                       "Gamma", "third", "Frequencies: No Frequencies Listed - See Comments", " "};
    QTest::newRow("comments only") << three << true << false << false
                                   << QStringList{"Alpha", "first", "Beta", "second", "Gamma", "third"};
    QTest::newRow("blank line only") << three << false << false << true
                                     << QStringList{"Alpha", " ", "Beta", " ", "Gamma", " "};

    QTest::newRow("only F1 = 728: two blanks after the colon")
        << QVector<TestRecord>{withFrequencies("A", {728})} << false << true << false
        << QStringList{"A", "Frequencies:  728"};
    QTest::newRow("several values, stored as text")
        << QVector<TestRecord>{withFrequencies("A", {"7.830", "20", "727.5"})} << false << true << false
        << QStringList{"A", "Frequencies:  7.83,  20,  727.5"};
    QTest::newRow("F1 null, F2 = 20: the separator comes first")
        << QVector<TestRecord>{withFrequencies("A", {nullText(), 20})} << false << true << false
        << QStringList{"A", "Frequencies: ,  20"};
    QTest::newRow("all fields zero or null")
        << QVector<TestRecord>{withFrequencies("A", {0, "0", nullText(), -5})} << false << true << false
        << QStringList{"A", "Frequencies: No Frequencies Listed - See Comments"};
    QTest::newRow("a record without frequencies after one with them")
        << QVector<TestRecord>{withFrequencies("A", {1, 2}), withFrequencies("B", {})} << false << true << false
        << QStringList{"A", "Frequencies:  1,  2", "B", "Frequencies: No Frequencies Listed - See Comments"};

    QTest::newRow("empty comments: an empty line")
        << QVector<TestRecord>{TestRecord::make("A", "")} << true << false << false << QStringList{"A", ""};
    QTest::newRow("null comments: an empty line, not Null")
        << QVector<TestRecord>{TestRecord::make("A", nullText())} << true << false << false << QStringList{"A", ""};
    QTest::newRow("a blank comment stays a blank")
        << QVector<TestRecord>{TestRecord::make("A", " ")} << true << false << false << QStringList{"A", " "};
    QTest::newRow("comments with a line break span two lines")
        << QVector<TestRecord>{TestRecord::make("A", "line one\r\nline two")} << true << false << false
        << QStringList{"A", "line one", "line two"};
    QTest::newRow("null description: an empty line")
        << QVector<TestRecord>{TestRecord::make(nullText(), "c")} << true << false << false << QStringList{"", "c"};
    QTest::newRow("two records with one description")
        << QVector<TestRecord>{TestRecord::make("Same", "one"), TestRecord::make("Same", "two")} << true << false
        << false << QStringList{"Same", "one", "Same", "two"};
    QTest::newRow("text beyond ASCII") << QVector<TestRecord>{TestRecord::make("Résonance µ", "Größe")} << true
                                       << false << false << QStringList{"Résonance µ", "Größe"};

    QTest::newRow("empty record set: header and spacer only")
        << QVector<TestRecord>{} << true << true << true << QStringList{};
}

void TestResultListExport::layout()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(bool, comments);
    QFETCH(bool, frequencies);
    QFETCH(bool, blankLine);
    QFETCH(QStringList, recordLines);

    RecordSet set(records);
    Module1 module;
    module.ResultCount = records.size();
    const Run run = runExport(set.data1, module, [&](int) { return PrintOptions{comments, frequencies, blankLine}; });

    const QByteArray expected = crlfLines(QStringList{expectedHeader(), " "} + recordLines);
    QCOMPARE(run.bytes, expected);
}

void TestResultListExport::optionsTakeEffectFromTheNextRecord()
{
    RecordSet set({TestRecord::make("A", "a", {1}), TestRecord::make("B", "b", {2}), TestRecord::make("C", "c", {3})});
    Module1 module;
    module.ResultCount = 3;
    // Comments ticked while the first record is out, frequencies cleared after the second.
    const Run run = runExport(set.data1, module, [](int call) { return PrintOptions{call >= 2, call <= 2, false}; });

    QCOMPARE(run.bytes, crlfLines({expectedHeader(), " ", "A", "Frequencies:  1", "B", "b", "Frequencies:  2", "C",
                                   "c"}));
}

void TestResultListExport::progress_data()
{
    QTest::addColumn<int>("recordCount");
    QTest::addColumn<int>("resultCount");
    QTest::addColumn<int>("standingOn");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("three records") << 3 << 3 << -1 << QStringList{"1", "2", "3"};
    QTest::newRow("one record ends full") << 1 << 1 << -1 << QStringList{"1"};
    QTest::newRow("whatever line was clicked before") << 4 << 4 << 2 << QStringList{"1", "2", "3", "4"};
    QTest::newRow("more records than ResultCount: held at it")
        << 5 << 3 << -1 << QStringList{"1", "2", "3", "3", "3"};
    QTest::newRow("before the first search: ResultCount 0") << 2 << 0 << -1 << QStringList{"0", "0"};
    QTest::newRow("empty record set") << 0 << 0 << -1 << QStringList{};
}

void TestResultListExport::progress()
{
    QFETCH(int, recordCount);
    QFETCH(int, resultCount);
    QFETCH(int, standingOn);
    QFETCH(QStringList, values);

    QVector<TestRecord> records;
    for (int i = 1; i <= recordCount; ++i)
        records << TestRecord::make(QStringLiteral("Record %1").arg(i));
    RecordSet set(records);
    Module1 module;
    module.ResultCount = resultCount;
    if (standingOn >= 0) {
        QVERIFY(set.data1.moveTo(standingOn));
        module.RecordCounter = standingOn;
    }
    const Run run = runExport(set.data1, module, [](int) { return PrintOptions{}; });

    QCOMPARE(progressValues(run.log), values);
    QCOMPARE(module.RecordCounter, values.isEmpty() ? 0 : values.last().toInt());
    // Waiting events run once per record, before the bar moves and the record is written.
    QStringList expectedLog;
    for (const QString& value : values)
        expectedLog << QStringLiteral("yield") << QStringLiteral("progress ") + value << QStringLiteral("options");
    QCOMPARE(run.log, expectedLog);
}

void TestResultListExport::stateAfterRun_data()
{
    QTest::addColumn<bool>("frequencies");
    QTest::addColumn<QVariantList>("lastFrequencies");
    QTest::addColumn<QString>("freqString");

    QTest::newRow("frequencies ticked: the last record's text") << true << QVariantList{5, 6} << " 5,  6";
    QTest::newRow("frequencies ticked, last record has none")
        << true << QVariantList{} << "No Frequencies Listed - See Comments";
    QTest::newRow("frequencies not ticked: FreqString kept") << false << QVariantList{5} << "from the record view";
}

void TestResultListExport::stateAfterRun()
{
    QFETCH(bool, frequencies);
    QFETCH(QVariantList, lastFrequencies);
    QFETCH(QString, freqString);

    RecordSet set({TestRecord::make("A", "a", {1}), TestRecord::make("B", "b", lastFrequencies)});
    Module1 module;
    module.ResultCount = 2;
    module.FreqString = QStringLiteral("from the record view");
    QVERIFY(set.data1.moveTo(0));
    runExport(set.data1, module, [&](int) { return PrintOptions{false, frequencies, false}; });

    QVERIFY(set.data1.isEof());
    QVERIFY(!set.data1.hasCurrentRecord());
    QCOMPARE(module.FreqString, freqString);
}

void TestResultListExport::makeFreqStr()
{
    RecordSet set({TestRecord::make("A", "a", {7.83, 20, 727.5}), TestRecord::make("B", "b", {0, 0.5}),
                   TestRecord::make("C", "c", {0, nullText()})});
    Module1 module;
    const QStringList expected{" 7.83,  20,  727.5", ",  .5", ""};
    for (int position = 0; position < 3; ++position) {
        QVERIFY(set.data1.moveTo(position));
        ResultListExport::MakeFreqStr(set.data1, module);
        QCOMPARE(module.FreqString, expected.at(position));
        QCOMPARE(set.data1.position(), position);
    }
}

void TestResultListExport::refusingDeviceStopsTheWalk()
{
    RecordSet set({TestRecord::make("A"), TestRecord::make("B")});
    Module1 module;
    module.ResultCount = 2;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ExportText::LineWriter out(buffer);
    int yields = 0;
    ResultListExport::RunHooks hooks;
    hooks.yield = [&] { ++yields; };
    for (int line = 0; line < 2; ++line)
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
    ResultListExport::writeList(out, set.data1, module, Clock, hooks);

    QVERIFY(out.failed());
    QCOMPARE(yields, 0);
    QVERIFY(set.data1.isEof());
}

void TestResultListExport::progressMaximum_data()
{
    QTest::addColumn<int>("resultCount");
    QTest::addColumn<int>("maximum");
    QTest::newRow("no results yet") << 0 << 1;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("many") << 40000 << 40000;
}

void TestResultListExport::progressMaximum()
{
    QFETCH(int, resultCount);
    QFETCH(int, maximum);
    QCOMPARE(ResultListExport::progressMaximum(resultCount), maximum);
}

QTEST_GUILESS_MAIN(TestResultListExport)
#include "tst_resultlistexport.moc"

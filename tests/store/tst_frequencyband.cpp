#include "store/Data1.h"
#include "query/FindSearch.h"
#include "store/QueryPlanner.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Plain, tolerance and range searches against records whose numbers sit on, just inside and
// just outside the bounds, in every spelling a field may hold.
class TestFrequencyBand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();

private:
    QStringList found(const RecordQuery& search, bool reference, QueryPlan::Strategy* strategy);

    QTemporaryDir m_folder;
    QString m_path;
};

void TestFrequencyBand::initTestCase()
{
    m_path = QDir(m_folder.path()).filePath(QStringLiteral("freqs.mdb"));
    // Each description names the value it holds; some values stand in other fields than F1.
    const auto record = [](const char* description, QVariantList frequencies) {
        return TestRecord::make(QString::fromUtf8(description), QStringLiteral("No Comments"), frequencies);
    };
    createDatabase(m_path, {
                               record("728", {"728"}),
                               record("0728 in F17", {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                                                      "0", "0", "0", "0728"}),
                               record("728.0", {"728.0"}),
                               record("blanks 728", {" 728 "}),
                               record("nbsp 728", {QString::fromUtf8("\u00a0728")}),
                               record("727 and 729", {"727", "729"}),
                               record("726.99", {"726.99"}),
                               record("729.01", {"729.01"}),
                               record("724.36", {"724.36"}),
                               record("731.64", {"731.64"}),
                               record("724.35", {"724.35"}),
                               record("731.6400001", {"731.6400001"}),
                               record("7.75", {"7.75"}),
                               record("7.85", {"7.85"}),
                               record("7.7499", {"7.7499"}),
                               record("7.8500000000000000001", {"7.8500000000000000001"}),
                               record("100", {"100"}),
                               record("200", {"200"}),
                               record("1.5E+2", {"1.5E+2"}),
                               record("99.999", {"99.999"}),
                               record("200.001", {"200.001"}),
                               // Texts that CAST AS REAL rounds one step past them, up and down.
                               record("308.86...", {"308.8635328391991095008714"}),
                               record("301.99...", {"301.9959897760587921341227"}),
                               record("not numbers", {"728 Hz", "abc", "", "+-1", "7.28e2x"}),
                               record("zero and below", {"0", "-728", "0.0", "-0"}),
                               record("null fields", {nullText(), nullText()}),
                           });
}

QStringList TestFrequencyBand::found(const RecordQuery& search, bool reference, QueryPlan::Strategy* strategy)
{
    Data1 data;
    PlannerOptions planner;
    planner.reference = reference;
    data.setPlannerOptions(planner);
    data.setDatabaseName(m_path);
    data.setRecordSource(search);
    if (const Outcome refreshed = data.refresh(); !refreshed)
        return {QStringLiteral("failed: ") + refreshed.error};
    *strategy = data.strategy();
    return data.descriptions();
}

void TestFrequencyBand::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // in list order; empty for a refusal
    QTest::addColumn<int>("refusal");

    const int runs = int(FindPlan::Kind::Run);
    const QStringList every728{"0728 in F17", "728", "728.0", "blanks 728", "nbsp 728"};
    const QStringList within1{"0728 in F17", "727 and 729", "728", "728.0", "blanks 728", "nbsp 728"};
    const QStringList halfPercent{"0728 in F17", "724.36", "726.99", "727 and 729", "728",
                                  "728.0",       "729.01", "731.64", "blanks 728",  "nbsp 728"};
    QTest::newRow("within 1") << "728~1" << within1 << runs;
    QTest::newRow("blanks everywhere") << "  728 ~ 1  " << within1 << runs;
    QTest::newRow("within 0: every spelling") << "728~0" << every728 << runs;
    QTest::newRow("within .5") << "728~.5" << every728 << runs;
    QTest::newRow("percent: bounds found") << "728~0.5%" << halfPercent << runs;
    QTest::newRow("percent with blanks") << "728 ~ 0.5 %" << halfPercent << runs;
    QTest::newRow("decimal bounds exact") << "7.8~0.05" << QStringList{"7.75", "7.85"} << runs;
    QTest::newRow("range") << "100-200" << QStringList{"1.5E+2", "100", "200"} << runs;
    QTest::newRow("range reversed") << "200 - 100" << QStringList{"1.5E+2", "100", "200"} << runs;
    QTest::newRow("range of one") << "7.85-7.85" << QStringList{"7.85"} << runs;
    QTest::newRow("upper bound that rounds up") << "308-308.8635328391991095008714" << QStringList{"308.86..."}
                                                << runs;
    QTest::newRow("lower bound that rounds down") << "301.9959897760587921341227-302" << QStringList{"301.99..."}
                                                  << runs;
    QTest::newRow("nothing in it") << "5000~1" << QStringList{} << runs;
    QTest::newRow("range down to zero") << "1-0" << QStringList{} << runs;
    // A plain number is the text of the number typed, compared with the text a field holds.
    for (const char* typed : {"728", "728.0", "728.", "0728", " 728.000 "})
        QTest::newRow(typed) << typed << QStringList{"728"} << runs;
    QTest::newRow("7.") << "7." << QStringList{} << runs;

    const int small = int(FindPlan::Kind::ValueTooSmall);
    const int unreadable = int(FindPlan::Kind::UnreadableFrequency);
    QTest::newRow("leading number below 1") << "0.5~1" << QStringList{} << small;
    QTest::newRow("no leading number") << "~1" << QStringList{} << small;
    QTest::newRow("no tolerance") << "728~" << QStringList{} << unreadable;
    QTest::newRow("unit") << "728 Hz" << QStringList{} << unreadable;
    QTest::newRow("three parts") << "7-8-9" << QStringList{} << unreadable;
    QTest::newRow("percent on a range") << "720-730%" << QStringList{} << unreadable;
    QTest::newRow("two points") << "728~1.2.3" << QStringList{} << unreadable;
    QTest::newRow("negative tolerance") << "728~-1" << QStringList{} << unreadable;
    QTest::newRow("exponent") << "728~1e1" << QStringList{} << unreadable;
}

void TestFrequencyBand::search()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(int, refusal);

    const FindPlan plan = FindSearch::plan({false, false, true}, text);
    QCOMPARE(int(plan.kind), refusal);
    if (!plan.runs()) {
        QCOMPARE(plan.title, QStringLiteral("Enter a Value !"));
        return;
    }
    QueryPlan::Strategy strategy;
    QCOMPARE(found(plan.search, false, &strategy), expected);
    QVERIFY(strategy != QueryPlan::Strategy::Reference);
    QCOMPARE(found(plan.search, true, &strategy), expected);
    QCOMPARE(strategy, QueryPlan::Strategy::Reference);
}

QTEST_GUILESS_MAIN(TestFrequencyBand)
#include "tst_frequencyband.moc"

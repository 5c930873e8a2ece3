#include "query/FindSearch.h"
#include "query/QueryTexts.h"
#include "store/SqlTranslation.h"

#include <QTest>

Q_DECLARE_METATYPE(FindOptions)

class TestQueryTexts : public QObject
{
    Q_OBJECT

private slots:
    void queries_data();
    void queries();
    void findPlan_data();
    void findPlan();
    void translation_data();
    void translation();
};

namespace {
// Every field in order, with two blanks after F10, F20 and F30.
QString selectList()
{
    QString select = QStringLiteral("SELECT DISTINCTROW Main.Description, Main.Comments, Main.F1");
    for (int n = 2; n <= 40; ++n)
        select += QLatin1String(n % 10 == 1 ? ",  Main.F" : ", Main.F") + QString::number(n);
    return select + QLatin1Char(' ');
}
} // namespace

void TestQueryTexts::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tail");

    QTest::newRow("comments") << QueryTexts::wordSearchQuery(false, true, QStringLiteral("heart"))
                              << " From Main WHERE ((Main.Comments Like '*heart' Or Main.Comments Like '*heart*' Or "
                                 "Main.Comments Like 'heart*')) ORDER BY Main.Description;";
    QTest::newRow("comments then description")
        << QueryTexts::wordSearchQuery(true, true, QStringLiteral("heart"))
        << " From Main WHERE ((Main.Comments Like '*heart' Or Main.Comments Like '*heart*' Or Main.Comments Like "
           "'heart*' Or Main.Description Like '*heart' Or Main.Description Like '*heart*' Or Main.Description Like "
           "'heart*')) ORDER BY Main.Description;";
    QTest::newRow("quote doubled") << QueryTexts::wordSearchQuery(true, false, QStringLiteral("O'Brien"))
                                   << " From Main WHERE ((Main.Description Like '*O''Brien' Or Main.Description Like "
                                      "'*O''Brien*' Or Main.Description Like 'O''Brien*')) ORDER BY Main.Description;";
    QTest::newRow("all records") << QueryTexts::allRecordsQuery() << " From Main ORDER BY Main.Description;";
    QTest::newRow("letter m") << QueryTexts::letterQuery(QStringLiteral("m"))
                              << " From Main WHERE ((Main.Description Like 'm*')) ORDER BY Main.Description;";

    // Every frequency field in turn, F1 to F40.
    const auto everyField = [](const QString& term) {
        QString tail = QStringLiteral(" From Main WHERE ((Main.F1") + term;
        for (int n = 2; n <= 40; ++n)
            tail += QStringLiteral(" Or Main.F%1").arg(n) + term;
        return tail + QStringLiteral(")) ORDER BY Main.Description;");
    };
    QTest::newRow("frequencies") << QueryTexts::frequencySearchQuery(QStringLiteral("728"))
                                 << everyField(QStringLiteral(" Like 728"));
    // The bounds are worked out exactly and written without needless zeros.
    const auto bandTail = [&](const char* low, const char* high) {
        return everyField(QStringLiteral(" Between %1 And %2").arg(QLatin1String(low), QLatin1String(high)));
    };
    const auto band = [](const char* text) {
        return FindSearch::plan({false, false, true}, QLatin1String(text)).query;
    };
    QTest::newRow("tolerance") << band("728~1") << bandTail("727", "729");
    QTest::newRow("below zero") << band("1~5") << bandTail("-4", "6");
    QTest::newRow("range reversed") << band("730.50-720") << bandTail("720", "730.5");
    QTest::newRow("more digits than a double") << band("123456789012345678901234567890~0.000000000000000000001")
                                               << bandTail("123456789012345678901234567889.999999999999999999999",
                                                           "123456789012345678901234567890.000000000000000000001");
}

void TestQueryTexts::queries()
{
    QFETCH(QString, query);
    QFETCH(QString, tail);
    QCOMPARE(query, selectList() + tail);
}

void TestQueryTexts::findPlan_data()
{
    QTest::addColumn<FindOptions>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");

    const int run = int(FindPlan::Kind::Run);
    const int small = int(FindPlan::Kind::ValueTooSmall);
    const FindOptions frequencies{false, false, true};
    QTest::newRow("no option") << FindOptions{} << "x" << int(FindPlan::Kind::NoOption) << "Make a Choice !";
    QTest::newRow("comments") << FindOptions{false, true, false} << "" << run << "";
    QTest::newRow("728") << frequencies << "728" << run << "";
    QTest::newRow("blanks around") << frequencies << "  728 " << run << "";
    QTest::newRow("empty") << frequencies << "" << small << "Enter a Value !";
    QTest::newRow("0.5") << frequencies << "0.5" << small << "Enter a Value !";
    QTest::newRow("full-width digits") << frequencies << "\uFF17\uFF12\uFF18" << small << "Enter a Value !";
    QTest::newRow("wildcard") << frequencies << "728*" << int(FindPlan::Kind::UnreadableFrequency)
                              << "Enter a Value !";
}

void TestQueryTexts::findPlan()
{
    QFETCH(FindOptions, options);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, title);

    const FindPlan plan = FindSearch::plan(options, text);
    QCOMPARE(int(plan.kind), kind);
    QCOMPARE(plan.title, title);
    QCOMPARE(plan.takesSearchText(), kind != int(FindPlan::Kind::NoOption));
    QCOMPARE(plan.query.isEmpty(), !plan.runs());
}

void TestQueryTexts::translation_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("keys");

    const QString select = selectList();
    QTest::newRow("all records") << QueryTexts::allRecordsQuery()
                                 << "SELECT Main.rowid, Main.Description From Main ORDER BY Main.Description COLLATE "
                                    "NOCASE, Main.rowid";
    QTest::newRow("quoted keywords stay") << select + " From Main WHERE ((Main.Description Like '* From ORDER BY "
                                                      "x*')) ORDER BY Main.Description;"
                                          << "SELECT Main.rowid, Main.Description From Main WHERE ((Main.Description "
                                             "Like '* From ORDER BY x*')) ORDER BY Main.Description COLLATE NOCASE, "
                                             "Main.rowid";
    QTest::newRow("frequency Between compares numbers")
        << select + " From Main WHERE ((Main.F1 Between -4 And 6 Or Main.Comments Like '*Main.F2 Between 1 And 2*' "
                    "Or main.f40 between .5 and 7.)) ORDER BY Main.Description;"
        << "SELECT Main.rowid, Main.Description From Main WHERE ((OrvoFrequencyBetween(Main.F1, '-4', '6') Or "
           "Main.Comments Like '*Main.F2 Between 1 And 2*' Or OrvoFrequencyBetween(Main.f40, '.5', '7.'))) ORDER BY "
           "Main.Description COLLATE NOCASE, Main.rowid";
}

void TestQueryTexts::translation()
{
    QFETCH(QString, query);
    QFETCH(QString, keys);
    const TranslatedQuery translated = SqlTranslation::translate(query);
    QVERIFY2(translated.ok, qPrintable(translated.error));
    QCOMPARE(translated.keysSql(), keys);
    QCOMPARE(translated.fields.size(), 42);
    QCOMPARE(translated.fields.first(), QStringLiteral("Description"));
    QCOMPARE(translated.fields.last(), QStringLiteral("F40"));
}

QTEST_GUILESS_MAIN(TestQueryTexts)
#include "tst_querytexts.moc"

#include "store/FindSearch.h"
#include "store/QueryTexts.h"
#include "store/SqlTranslation.h"

#include <QTest>

class TestQueryTexts : public QObject
{
    Q_OBJECT

private slots:
    void selectListIsExact();
    void queries_data();
    void queries();
    void findPlan_data();
    void findPlan();
    void translation_data();
    void translation();
};

void TestQueryTexts::selectListIsExact()
{
    const QString select = QueryTexts::selectList();
    QCOMPARE(select.size(), 445);
    QVERIFY(select.startsWith(QLatin1String("SELECT DISTINCTROW Main.Description, Main.Comments, Main.F1, ")));
    QVERIFY(select.contains(QLatin1String("Main.F10,  Main.F11")));
    QVERIFY(select.contains(QLatin1String("Main.F20,  Main.F21")));
    QVERIFY(select.contains(QLatin1String("Main.F30,  Main.F31")));
    QVERIFY(select.endsWith(QLatin1String("Main.F39, Main.F40 ")));

    const QString all = QueryTexts::allRecordsQuery();
    QCOMPARE(all.size(), 482);
    QVERIFY(all.endsWith(QLatin1String("Main.F40  From Main ORDER BY Main.Description;")));
}

void TestQueryTexts::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tail");

    QTest::newRow("description") << QueryTexts::wordSearchQuery(true, false, QStringLiteral("heart"))
                                 << " From Main WHERE ((Main.Description Like '*heart' Or Main.Description Like "
                                    "'*heart*' Or Main.Description Like 'heart*')) ORDER BY Main.Description;";
    QTest::newRow("comments") << QueryTexts::wordSearchQuery(false, true, QStringLiteral("heart"))
                              << " From Main WHERE ((Main.Comments Like '*heart' Or Main.Comments Like '*heart*' Or "
                                 "Main.Comments Like 'heart*')) ORDER BY Main.Description;";
    QTest::newRow("comments then description")
        << QueryTexts::wordSearchQuery(true, true, QStringLiteral("heart"))
        << " From Main WHERE ((Main.Comments Like '*heart' Or Main.Comments Like '*heart*' Or Main.Comments Like "
           "'heart*' Or Main.Description Like '*heart' Or Main.Description Like '*heart*' Or Main.Description Like "
           "'heart*')) ORDER BY Main.Description;";
    QTest::newRow("empty text") << QueryTexts::wordSearchQuery(true, false, QString())
                                << " From Main WHERE ((Main.Description Like '*' Or Main.Description Like '**' Or "
                                   "Main.Description Like '*')) ORDER BY Main.Description;";
    QTest::newRow("quote doubled") << QueryTexts::wordSearchQuery(true, false, QStringLiteral("O'Brien"))
                                   << " From Main WHERE ((Main.Description Like '*O''Brien' Or Main.Description Like "
                                      "'*O''Brien*' Or Main.Description Like 'O''Brien*')) ORDER BY Main.Description;";
    QTest::newRow("star kept") << QueryTexts::wordSearchQuery(true, false, QStringLiteral("a*b"))
                               << " From Main WHERE ((Main.Description Like '*a*b' Or Main.Description Like "
                                  "'*a*b*' Or Main.Description Like 'a*b*')) ORDER BY Main.Description;";
    QTest::newRow("letter m") << QueryTexts::letterQuery(QStringLiteral("m"))
                              << " From Main WHERE ((Main.Description Like 'm*')) ORDER BY Main.Description;";

    QString frequencies = QStringLiteral(" From Main WHERE ((Main.F1 Like 728");
    for (int n = 2; n <= 40; ++n)
        frequencies += QStringLiteral(" Or Main.F%1 Like 728").arg(n);
    QTest::newRow("frequencies") << QueryTexts::frequencySearchQuery(QStringLiteral("728"))
                                 << frequencies + QStringLiteral(")) ORDER BY Main.Description;");

    // The bounds are worked out exactly and written without needless zeros.
    const auto bandTail = [](const char* low, const char* high) {
        const QString between = QStringLiteral(" Between %1 And %2").arg(QLatin1String(low), QLatin1String(high));
        QString tail = QStringLiteral(" From Main WHERE ((Main.F1") + between;
        for (int n = 2; n <= 40; ++n)
            tail += QStringLiteral(" Or Main.F%1").arg(n) + between;
        return tail + QStringLiteral(")) ORDER BY Main.Description;");
    };
    const auto band = [](const char* text) {
        return FindSearch::plan({false, false, true}, QLatin1String(text)).query;
    };
    QTest::newRow("tolerance") << band("728~1") << bandTail("727", "729");
    QTest::newRow("percent") << band("728~0.5%") << bandTail("724.36", "731.64");
    QTest::newRow("decimal tolerance") << band("7.8~0.05") << bandTail("7.75", "7.85");
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
    QCOMPARE(query, QueryTexts::selectList() + tail);
    QVERIFY(query.contains(QLatin1String("Main.F40  From")));
}

void TestQueryTexts::findPlan_data()
{
    QTest::addColumn<bool>("description");
    QTest::addColumn<bool>("comments");
    QTest::addColumn<bool>("frequencies");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");

    const int run = int(FindPlan::Kind::Run);
    const int none = int(FindPlan::Kind::NoOption);
    const int small = int(FindPlan::Kind::ValueTooSmall);
    const int plain = int(FindPlan::Kind::UnreadableFrequency);
    QTest::newRow("no option") << false << false << false << "x" << none << "Make a Choice !";
    QTest::newRow("description") << true << false << false << "x" << run << "";
    QTest::newRow("comments") << false << true << false << "" << run << "";
    QTest::newRow("728") << false << false << true << "728" << run << "";
    QTest::newRow("7.83") << false << false << true << "7.83" << run << "";
    QTest::newRow("blanks around") << false << false << true << "  728 " << run << "";
    QTest::newRow("empty") << false << false << true << "" << small << "Enter a Value !";
    QTest::newRow("0.5") << false << false << true << "0.5" << small << "Enter a Value !";
    QTest::newRow("word") << false << false << true << "abc" << small << "Enter a Value !";
    QTest::newRow("full-width digits") << false << false << true << "\uFF17\uFF12\uFF18" << small
                                       << "Enter a Value !";
    QTest::newRow("728 Hz") << false << false << true << "728 Hz" << plain << "Enter a Value !";
    QTest::newRow("wildcard") << false << false << true << "728*" << plain << "Enter a Value !";
}

void TestQueryTexts::findPlan()
{
    QFETCH(bool, description);
    QFETCH(bool, comments);
    QFETCH(bool, frequencies);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, title);

    const FindPlan plan = FindSearch::plan({description, comments, frequencies}, text);
    QCOMPARE(int(plan.kind), kind);
    QCOMPARE(plan.title, title);
    QCOMPARE(plan.takesSearchText(), kind != int(FindPlan::Kind::NoOption));
    QCOMPARE(plan.query.isEmpty(), !plan.runs());
}

void TestQueryTexts::translation_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("keys");

    const QString select = QueryTexts::selectList();
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

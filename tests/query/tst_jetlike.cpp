#include "query/JetLike.h"
#include "store/OrvoDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using LikeOutcome = JetLike::Outcome;

Q_DECLARE_METATYPE(JetLike::Outcome)

namespace {
const QString Connection = QStringLiteral("tst_jetlike");
} // namespace

// The plain ASCII cases are checked against a slow reference matcher by fuzz_jetlike; these rows
// pin what it does not reach: text beyond ASCII, long values and the SQL binding.
class TestJetLike : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void match_data();
    void match();
    void sql_data();
    void sql();
};

void TestJetLike::initTestCase()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(db.open());
    QString error;
    QVERIFY2(JetLike::registerOn(OrvoDatabase::handle(db), &error), qPrintable(error));
    QSqlQuery query(db);
    QVERIFY(query.exec(QStringLiteral("CREATE TABLE Main (Description TEXT, F1)")));
    QVERIFY(query.exec(QStringLiteral(
        "INSERT INTO Main VALUES ('Heart', 728), ('Liver', '728'), ('Lung', 727.5), ('Skin', NULL)")));
}

void TestJetLike::cleanupTestCase()
{
    QSqlDatabase::database(Connection, false).close();
    QSqlDatabase::removeDatabase(Connection);
}

void TestJetLike::match_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<LikeOutcome>("expected");

    const LikeOutcome yes = LikeOutcome::Match;
    const LikeOutcome no = LikeOutcome::NoMatch;
    const auto row = [](const char* name, const QString& pattern, const QString& value, LikeOutcome expected) {
        QTest::newRow(name) << pattern << value << expected;
    };
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80");
    row("whole value, not a prefix", "Heart", "Hearts", no);
    row("star gives back characters", "*ab*ab", "xabyabab", yes);
    row("hash takes 9", "#", "9", yes);
    row("unclosed set", "a[bc", "abc", LikeOutcome::BadPattern);
    row("question, surrogate pair is one", "a?b", "a" + smiley + "b", yes);
    row("hash only 0-9", "#", QString(QChar(0x0663)), no);
    row("accented capitals", QStringLiteral("ÉCOLE"), QStringLiteral("école"), yes);
    row("accent is not ignored", "ecole", QStringLiteral("école"), no);
    row("sharp s, capital in pattern", QStringLiteral("stra\u1E9Ee"), QStringLiteral("straße"), yes);
    row("final sigma", QStringLiteral("ΟΔΟΣ"), QStringLiteral("οδος"), yes);
    row("case outside the basic plane", QString::fromUtf8("\xF0\x90\x90\x80"), QString::fromUtf8("\xF0\x90\x90\xA8"),
        yes);
    row("accented range, other case", QStringLiteral("[À-Ý]"), QStringLiteral("é"), yes);
    row("accented set, other case", QStringLiteral("[!É]"), QStringLiteral("é"), no);
    // Exponential backtracking would not finish within the test's time limit.
    const QString manyA(20000, QLatin1Char('a'));
    row("many stars, no b", "*a*a*a*a*a*a*a*a*a*a*b", manyA, no);
    row("sets between stars", "*[a]*[a]*[a]*[!a]", manyA, no);
}

void TestJetLike::match()
{
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(LikeOutcome, expected);

    QCOMPARE(JetLike::match(pattern, value), expected);
    QCOMPARE(JetLike::matchUtf8(pattern.toStdString(), value.toStdString()), expected);
}

void TestJetLike::sql_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected"); // the first column of every row, or the error

    const auto where = [](const char* condition) {
        return QStringLiteral("SELECT Description FROM Main WHERE %1 ORDER BY Description").arg(condition);
    };
    QTest::newRow("operands are not swapped") << "SELECT '*EART' LIKE 'Heart'" << "0";
    QTest::newRow("null value") << "SELECT NULL LIKE '*'" << "null";
    QTest::newRow("null pattern") << "SELECT 'a' LIKE NULL" << "null";
    QTest::newRow("underscore is no wildcard") << "SELECT 'abc' LIKE 'a_c'" << "0";
    QTest::newRow("utf-8 case") << QStringLiteral("SELECT 'École' LIKE 'é*'") << "1";
    QTest::newRow("bad pattern") << "SELECT 'x' LIKE 'a[b'" << "Invalid pattern string in Like: a[b";
    QTest::newRow("number pattern, number and text") << where("F1 LIKE 728") << "Heart,Liver";
    QTest::newRow("real value as text") << where("F1 LIKE '727*'") << "Lung";
    QTest::newRow("star skips null") << where("F1 LIKE '*'") << "Heart,Liver,Lung";
    QTest::newRow("digit pattern on a number") << where("F1 LIKE '7#8'") << "Heart,Liver";
    QTest::newRow("lower-case pattern") << where("Description LIKE 'l*'") << "Liver,Lung";
}

void TestJetLike::sql()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);

    QSqlQuery query(QSqlDatabase::database(Connection, false));
    const bool ran = query.exec(sql);
    QStringList found;
    while (query.next())
        found << (query.value(0).isNull() ? QStringLiteral("null") : query.value(0).toString());
    if (!ran || query.lastError().isValid())
        found << query.lastError().databaseText();
    QCOMPARE(found.join(QLatin1Char(',')), expected);
}

QTEST_GUILESS_MAIN(TestJetLike)
#include "tst_jetlike.moc"

#include "store/JetLike.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using JetLike::Outcome;

Q_DECLARE_METATYPE(JetLike::Outcome)

namespace {
class MemoryDatabase
{
public:
    explicit MemoryDatabase(const QString& name) : m_name(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
    }

    ~MemoryDatabase()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

QVariant firstValue(const QSqlDatabase& db, const QString& sql, QString* error = nullptr)
{
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next()) {
        if (error) {
            *error = query.lastError().databaseText();
        }
        return QStringLiteral("failed");
    }
    return query.value(0);
}
} // namespace

class TestJetLike : public QObject
{
    Q_OBJECT

private slots:
    void match_data();
    void match();
    void sqlLike_data();
    void sqlLike();
    void sqlBadPattern();
    void sqlWhereOverStoredTypes();
    void registerNeedsOpenConnection();
};

void TestJetLike::match_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<Outcome>("expected");

    const Outcome yes = Outcome::Match;
    const Outcome no = Outcome::NoMatch;
    const Outcome bad = Outcome::BadPattern;
    const auto row = [](const char* name, const QString& pattern, const QString& value, Outcome expected) {
        QTest::newRow(name) << pattern << value << expected;
    };
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80");
    row("empty matches empty", "", "", yes);
    row("empty pattern wants empty value", "", "a", no);
    row("whole value, not a prefix", "Heart", "Hearts", no);
    row("star alone, empty value", "*", "", yes);
    row("leading star", "*EART", "Heart", yes);
    row("trailing star takes empty run", "Heart*", "Heart", yes);
    row("inner star, wrong end", "H*x", "Heart", no);
    row("star gives back characters", "*ab*ab", "xabyabab", yes);
    row("last star cannot cover the end", "*a*b", "aXbXa", no);
    row("question one", "H?art", "Heart", yes);
    row("question not zero", "H?art", "Hart", no);
    row("question, surrogate pair is one", "a?b", "a" + smiley + "b", yes);
    row("two questions, one pair", "??", smiley, no);
    row("hash digit", "7##", "728", yes);
    row("hash only 0-9", "#", QString(QChar(0x0663)), no);
    row("range", "[a-c]x", "bx", yes);
    row("negated set", "[!abc]", "d", yes);
    row("negated range ignores case", "[!a-c]", "B", no);
    row("negated set still takes one", "[!a]", "", no);
    row("star in set is literal", "[*]", "*", yes);
    row("hash in set is literal", "[#]", "1", no);
    row("open bracket in set", "a[[]b", "a[b", yes);
    row("close bracket alone is literal", "a]", "a]", yes);
    row("hyphen last in set", "[a-]", "-", yes);
    row("exclamation not first in set", "[a!]", "!", yes);
    row("empty set is the empty run", "a[]b", "ab", yes);
    row("negated empty set takes one", "[!]", "x", yes);
    row("upper range, lower value", "[A-C]", "b", yes);
    row("range does not stretch over non-letters", "[1-B]", "[", no);
    row("accented capitals", QStringLiteral("ÉCOLE"), QStringLiteral("école"), yes);
    row("accent is not ignored", "ecole", QStringLiteral("école"), no);
    row("sharp s, capital in pattern", QStringLiteral("stra\u1E9Ee"), QStringLiteral("straße"), yes);
    row("final sigma", QStringLiteral("ΟΔΟΣ"), QStringLiteral("οδος"), yes);
    row("case outside the basic plane", QString::fromUtf8("\xF0\x90\x90\x80"), QString::fromUtf8("\xF0\x90\x90\xA8"),
        yes);
    row("accented range, other case", QStringLiteral("[À-Ý]"), QStringLiteral("é"), yes);
    row("accented set, other case", QStringLiteral("[!É]"), QStringLiteral("é"), no);
    row("unclosed set", "[", "", bad);
    row("unclosed set after text", "a[bc", "abc", bad);
    row("descending range", "[z-a]", "m", bad);
    // Exponential backtracking would not finish within the test's time limit.
    const QString manyA(20000, QLatin1Char('a'));
    row("many stars, no b", "*a*a*a*a*a*a*a*a*a*a*b", manyA, no);
    row("many stars, b at the end", "*a*a*a*a*a*a*a*a*a*a*b", manyA + "b", yes);
    row("sets between stars", "*[a]*[a]*[a]*[!a]", manyA, no);
}

void TestJetLike::match()
{
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(Outcome, expected);

    QCOMPARE(JetLike::match(pattern, value), expected);
    QCOMPARE(JetLike::matchUtf8(pattern.toStdString(), value.toStdString()), expected);
}

void TestJetLike::sqlLike_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected");

    const QVariant null = QVariant(QMetaType::fromType<int>());
    QTest::newRow("value LIKE pattern") << "SELECT 'Heart' LIKE '*EART'" << QVariant(1);
    QTest::newRow("operands are not swapped") << "SELECT '*EART' LIKE 'Heart'" << QVariant(0);
    QTest::newRow("null value") << "SELECT NULL LIKE '*'" << null;
    QTest::newRow("null pattern") << "SELECT 'a' LIKE NULL" << null;
    QTest::newRow("number value, digit pattern") << "SELECT 728 LIKE '7#8'" << QVariant(1);
    QTest::newRow("percent is no wildcard") << "SELECT 'abc' LIKE 'a%'" << QVariant(0);
    QTest::newRow("underscore is no wildcard") << "SELECT 'abc' LIKE 'a_c'" << QVariant(0);
    QTest::newRow("underscore matches itself") << "SELECT 'a_c' LIKE 'a_c'" << QVariant(1);
    QTest::newRow("utf-8 case") << QStringLiteral("SELECT 'École' LIKE 'é*'") << QVariant(1);
    QTest::newRow("not like") << "SELECT 'heart' NOT LIKE 'H*'" << QVariant(0);
}

void TestJetLike::sqlLike()
{
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);

    MemoryDatabase database(QStringLiteral("tst_jetlike_sql"));
    QString error;
    QVERIFY2(JetLike::registerOn(database.db(), &error), qPrintable(error));
    const QVariant result = firstValue(database.db(), sql, &error);
    QVERIFY2(result != QVariant(QStringLiteral("failed")), qPrintable(error));
    QCOMPARE(result.isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(result.toInt(), expected.toInt());
    }
}

void TestJetLike::sqlBadPattern()
{
    MemoryDatabase database(QStringLiteral("tst_jetlike_bad"));
    QString error;
    QVERIFY2(JetLike::registerOn(database.db(), &error), qPrintable(error));
    QCOMPARE(firstValue(database.db(), QStringLiteral("SELECT 'x' LIKE 'a[b'"), &error), QVariant("failed"));
    QCOMPARE(error, QStringLiteral("Invalid pattern string in Like: a[b"));
}

void TestJetLike::sqlWhereOverStoredTypes()
{
    MemoryDatabase database(QStringLiteral("tst_jetlike_where"));
    QString error;
    QVERIFY2(JetLike::registerOn(database.db(), &error), qPrintable(error));
    QSqlQuery query(database.db());
    QVERIFY(query.exec(QStringLiteral("CREATE TABLE Main (Description TEXT, F1)")));
    QVERIFY(query.prepare(QStringLiteral("INSERT INTO Main VALUES (?, ?)")));
    const QList<QPair<QString, QVariant>> rows = {{QStringLiteral("Heart"), 728},
                                                  {QStringLiteral("Liver"), QStringLiteral("728")},
                                                  {QStringLiteral("Lung"), 727.5},
                                                  {QStringLiteral("Skin"), QVariant(QMetaType::fromType<int>())}};
    for (const auto& row : rows) {
        query.addBindValue(row.first);
        query.addBindValue(row.second);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }

    const auto descriptions = [&](const QString& where) {
        QStringList found;
        QSqlQuery select(database.db());
        if (select.exec(QStringLiteral("SELECT Description FROM Main WHERE %1 ORDER BY Description").arg(where))) {
            while (select.next()) {
                found << select.value(0).toString();
            }
        }
        return found;
    };
    QCOMPARE(descriptions(QStringLiteral("F1 LIKE 728")), QStringList({"Heart", "Liver"}));
    QCOMPARE(descriptions(QStringLiteral("F1 LIKE '727*'")), QStringList({"Lung"}));
    QCOMPARE(descriptions(QStringLiteral("F1 LIKE '*'")), QStringList({"Heart", "Liver", "Lung"}));
    QCOMPARE(descriptions(QStringLiteral("Description LIKE 'l*'")), QStringList({"Liver", "Lung"}));
}

void TestJetLike::registerNeedsOpenConnection()
{
    QString error;
    QVERIFY(!JetLike::registerOn(static_cast<sqlite3*>(nullptr), &error));
    QVERIFY(!error.isEmpty());

    error.clear();
    {
        QSqlDatabase closed =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_jetlike_closed"));
        QVERIFY(!JetLike::registerOn(closed, &error));
        QVERIFY(!error.isEmpty());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst_jetlike_closed"));
}

QTEST_GUILESS_MAIN(TestJetLike)
#include "tst_jetlike.moc"

#include "RecordGenerator.h"
#include "query/FindSearch.h"
#include "query/RecordFields.h"
#include "store/Data1.h"
#include "store/OrvoDatabase.h"
#include "store/QueryPlanner.h"
#include "store/RecordKeys.h"
#include "support/DatabaseFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(RecordQuery)

// Every strategy must find exactly the rows, in exactly the order, that the reference scan
// finds, and so must the search's query text translated as it is written.
class TestFastPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameRowsInSameOrder_data();
    void sameRowsInSameOrder();
    void indexFollowsTheFile_data();
    void indexFollowsTheFile();
    void walkReadsTheSameFields();
    void listGivesTheIndexRange_data();
    void listGivesTheIndexRange();

private:
    QVector<qint64> keys(const RecordQuery& search, bool reference, QString* taken = nullptr);
    QVector<qint64> translatedKeys(const RecordQuery& search);

    QTemporaryDir m_folder;
    QString m_path;
};

namespace {

// Index rows that Main's values do not give, and values that the index lacks, as text.
QString indexDifference(const QString& path)
{
    QString difference;
    onOrvoDatabase(path, [&](const QSqlDatabase& db) {
        QStringList values;
        for (int i = 1; i <= RecordFields::Frequencies; ++i)
            values << QStringLiteral("SELECT rowid AS RecordId, CAST(F%1 AS TEXT) AS Value FROM Main").arg(i);
        const QString expected = QStringLiteral("SELECT DISTINCT RecordId, lower(Value) FROM (%1) WHERE Value IS NOT "
                                                "NULL AND Value <> '0'")
                                     .arg(values.join(QStringLiteral(" UNION ALL ")));
        const QString stored = QStringLiteral("SELECT RecordId, lower(Value) FROM MainFrequencies");
        QSqlQuery query(db);
        for (const auto& [left, right] : {std::pair(expected, stored), std::pair(stored, expected)}) {
            if (!query.exec(QStringLiteral("SELECT count(*) FROM (%1 EXCEPT %2)").arg(left, right)) || !query.next())
                difference += query.lastError().text();
            else if (query.value(0).toInt() != 0)
                difference += QStringLiteral("%1 rows differ; ").arg(query.value(0).toInt());
        }
    });
    return difference;
}

RecordQuery frequencySearch(const char* text)
{
    return FindSearch::plan({false, false, true}, QLatin1String(text)).search;
}

} // namespace

void TestFastPath::initTestCase()
{
    m_path = QDir(m_folder.path()).filePath(QStringLiteral("freqs.mdb"));
    const Outcome written = RecordGenerator::writeDatabase(m_path, 10000);
    QVERIFY2(written.ok, qPrintable(written.error));

    // Records that the generator makes rarely or never: characters that fold to ASCII letters
    // from beyond ASCII, wildcard characters and quotes in the text, stored numbers in other
    // spellings, a null description.
    const QList<QVariantList> records{
        {QString::fromUtf8("\u212aettle drum"), "heart", "728", "728"},
        {QString::fromUtf8("\u017fong of the lark"), QString::fromUtf8("\u212aelvin EART"), "1E+3"},
        {"kestrel call", "[h]eart *x* 50% #1 it's", "1e+3", "1E+3"},
        {"Sparrow, it's [draft] *note* #7 ?", QString(), "728.5", "0728", "728.50"},
        {"_underscore ]bracket", QVariant(), "7.83", " 728", "728 "},
        {"", "no description", "728"},
        {"M", "", "0", "0", "0"}};
    onOrvoDatabase(m_path, [&](const QSqlDatabase& db) {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Main (Description, Comments, F1, F2, F3) VALUES (?, ?, ?, ?, ?)"));
        for (const QVariantList& record : records) {
            for (int i = 0; i < 5; ++i)
                insert.addBindValue(record.value(i).isValid() ? record.value(i) : nullText());
            QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        }
        QVERIFY(insert.exec(QStringLiteral("UPDATE Main SET Description = NULL WHERE Description = ''")));
    });
}

// The keys a search lists, {-1} when it fails; *taken gets the strategy or the error.
QVector<qint64> TestFastPath::keys(const RecordQuery& search, bool reference, QString* taken)
{
    Data1 data;
    PlannerOptions options;
    options.reference = reference;
    data.setPlannerOptions(options);
    data.setDatabaseName(m_path);
    data.setRecordSource(search);
    const Outcome refreshed = data.refresh();
    if (taken)
        *taken = refreshed.ok ? QString::fromLatin1(QueryPlanner::name(data.strategy())) : refreshed.error;
    return refreshed.ok ? data.keys() : QVector<qint64>{-1};
}

QVector<qint64> TestFastPath::translatedKeys(const RecordQuery& search)
{
    Data1 data;
    if (!openRecords(data, m_path).ok)
        return {-2};
    KeyRows rows;
    RecordKeys::read(OrvoDatabase::handle(data.database()), QueryPlanner::planText(toQueryText(search)), false, rows);
    return rows.outcome ? rows.keys : QVector<qint64>{-1};
}

void TestFastPath::sameRowsInSameOrder_data()
{
    QTest::addColumn<RecordQuery>("search");
    QTest::addColumn<QString>("strategy");

    const QStringList words{"eart", "EART", "",     "*",      "ea*t",   "e?rt",   "#",      "[h]eart",
                            "[!h]", "[a-c]", "it's", "50%",    "_",      "]",      "\u00c9CHO", "kelvin",
                            "song", " "};
    for (const QString& word : words) {
        const QByteArray name = word.toUtf8();
        QTest::newRow(("description " + name).constData()) << RecordQuery::words(true, false, word) << "contains";
        QTest::newRow(("comments " + name).constData()) << RecordQuery::words(false, true, word) << "contains";
        QTest::newRow(("both " + name).constData()) << RecordQuery::words(true, true, word) << "contains";
    }
    for (const char* number : {"728", "728.50", "0728", "7.830", "1", "1000", "  728  ", "0.5", "1.", "728.0",
                               "99999999999999999999"})
        QTest::newRow((QByteArray("frequency ") + number).constData())
            << RecordQuery::frequencyText(QLatin1String(number)) << "frequency index";
    for (const char* band : {"728~1", "728~0.5%", "200-100", "7.83~0", "1000~0", "1-1.5", "1~5", "1~100%",
                             "99999999999999999999~1"})
        QTest::newRow((QByteArray("band ") + band).constData()) << frequencySearch(band) << "frequency band";
    // Zero is left out of the index; the reference scan answers it.
    for (const char* zero : {"0", "0.0"})
        QTest::newRow((QByteArray("frequency ") + zero).constData())
            << RecordQuery::frequencyText(QLatin1String(zero)) << "reference";
    for (char letter = 'a'; letter <= 'z'; ++letter)
        QTest::newRow(QByteArray("letter ").append(letter).constData())
            << RecordQuery::letter(QString(QLatin1Char(letter))) << "description range";
    for (const char* start : {"M", "Kes", "_", "]", "x-", "1", "no", "it's"})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << RecordQuery::letter(QLatin1String(start)) << "description range";
    for (const char* start : {"*", "m?", "[m]", "#", "\u00e9", ""})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << RecordQuery::letter(QString::fromUtf8(start)) << "reference";
    QTest::newRow("all records") << RecordQuery::allRecords() << "all records";
    QTest::newRow("bad pattern") << RecordQuery::words(true, true, QStringLiteral("[unclosed")) << "";
}

void TestFastPath::sameRowsInSameOrder()
{
    QFETCH(RecordQuery, search);
    QFETCH(QString, strategy);

    QString taken;
    QString referenceTaken;
    const QVector<qint64> found = keys(search, false, &taken);
    const QVector<qint64> reference = keys(search, true, &referenceTaken);
    QCOMPARE(found, reference);
    QCOMPARE(translatedKeys(search), reference);
    // The query text reads back as the search it was made from.
    const std::optional<RecordQuery> parsed = fromQueryText(toQueryText(search));
    QVERIFY(parsed && toQueryText(*parsed) == toQueryText(search) && parsed->kind == search.kind);
    if (reference == QVector<qint64>{-1}) {
        // Every way refuses the pattern.
        QVERIFY2(taken.startsWith(QLatin1String("Invalid pattern string in Like: ")), qPrintable(taken));
        QVERIFY2(referenceTaken.startsWith(QLatin1String("Invalid pattern string in Like: ")),
                 qPrintable(referenceTaken));
    } else {
        QCOMPARE(taken, strategy);
        QCOMPARE(referenceTaken, QStringLiteral("reference"));
    }
}

void TestFastPath::indexFollowsTheFile_data()
{
    QTest::addColumn<RecordQuery>("search");
    QTest::addColumn<QString>("drop");
    QTest::addColumn<QString>("strategy");

    QTest::newRow("728, a trigger gone") << frequencySearch("728") << "DROP TRIGGER MainFrequenciesDelete"
                                         << "frequency index";
    QTest::newRow("band, a trigger gone") << frequencySearch("728~0.5%") << "DROP TRIGGER MainFrequenciesDelete"
                                          << "frequency band";
    // As in a file from before the index kept numbers.
    QTest::newRow("band, no index of numbers") << frequencySearch("728~0.5%") << "DROP INDEX MainFrequenciesNumber"
                                               << "frequency band";
}

void TestFastPath::indexFollowsTheFile()
{
    QFETCH(RecordQuery, search);
    QFETCH(QString, drop);
    QFETCH(QString, strategy);

    const QString original = m_path;
    m_path = QDir(m_folder.path()).filePath(QStringLiteral("copy.mdb"));
    QFile::remove(m_path);
    QVERIFY(QFile::copy(original, m_path));
    const QVector<qint64> expected = keys(search, true);
    QVERIFY(expected.size() > 3);

    // The index goes while the file is open: the next search does without it.
    Data1 data;
    data.setDatabaseName(m_path);
    data.setRecordSource(search);
    QVERIFY(data.refresh().ok);
    QCOMPARE(QueryPlanner::name(data.strategy()), strategy);
    QVERIFY(DatabaseFiles::execute(m_path, drop));
    QVERIFY(data.refresh().ok);
    QCOMPARE(data.strategy(), QueryPlan::Strategy::Reference);
    QCOMPARE(data.keys(), expected);
    data.close();

    // Opening builds the whole index again, and the search uses it.
    QString taken;
    QCOMPARE(keys(search, false, &taken), expected);
    QCOMPARE(taken, strategy);
    QCOMPARE(indexDifference(m_path), QString());

    // Adding, editing and deleting records keep it in step.
    QVERIFY(data.refresh().ok);
    data.addNew();
    data.setField(QStringLiteral("Description"), QStringLiteral("added"));
    data.setField(QStringLiteral("F17"), QStringLiteral("728"));
    QVERIFY(data.update().ok);
    QVERIFY(data.moveTo(0));
    data.edit();
    for (const char* field : {"F1", "F2", "F3"})
        data.setField(QLatin1String(field), QStringLiteral("729"));
    QVERIFY(data.update().ok);
    QVERIFY(data.moveTo(1));
    QVERIFY(data.deleteCurrent().ok);
    data.close();
    QCOMPARE(indexDifference(m_path), QString());
    QCOMPARE(keys(search, false, &taken), keys(search, true));
    QCOMPARE(taken, strategy);
    m_path = original;
}

void TestFastPath::walkReadsTheSameFields()
{
    Data1 walked;
    QVERIFY(openRecords(walked, m_path).ok);
    // Before anything needs the whole record set, the first row is there already.
    QVERIFY(walked.hasCurrentRecord());
    const QVariant first = walked.field(QStringLiteral("Description"));
    const QVector<qint64> order = walked.keys();
    QCOMPARE(walked.field(QStringLiteral("Description")), first);
    QCOMPARE(walked.descriptions().size(), order.size());
    // The file was only ever added to, so rowids run from 1 and a record's place is its rowid - 1.
    const QVector<TestRecord> stored = readDatabase(m_path);
    QCOMPARE(stored.size(), order.size());
    QCOMPARE(*std::max_element(order.begin(), order.end()), qint64(stored.size()));
    const auto compareFields = [&](int row) {
        const TestRecord& record = stored.at(order.at(row) - 1);
        QCOMPARE(walked.field(QStringLiteral("Description")), record.description);
        QCOMPARE(walked.field(QStringLiteral("comments")), record.comments);
        for (int i = 0; i < RecordFields::Frequencies; ++i)
            QCOMPARE(walked.field(QStringLiteral("F%1").arg(i + 1)), record.frequencies.at(i));
    };
    // The walk reads ahead in blocks; a jump reads the one row.
    int row = 0;
    for (walked.moveFirst(); !walked.isEof(); walked.moveNext(), ++row)
        compareFields(row);
    QCOMPARE(row, order.size());
    QVERIFY(walked.moveTo(order.size() / 2));
    compareFields(order.size() / 2);
}

// A letter is answered from the list of every record, kept in memory, by a binary search over
// its texts: the stretch must be the one the description index gives, whatever else the
// descriptions hold (nulls and numbers sort before every text, binary data after).
void TestFastPath::listGivesTheIndexRange_data()
{
    QTest::addColumn<QString>("start");
    for (const char* start : {"a", "m", "M", "ma", "z", "1", "5", "-", "_", " ", "x-", "it'", "{"})
        QTest::newRow(start) << QString::fromLatin1(start);
}

void TestFastPath::listGivesTheIndexRange()
{
    QFETCH(QString, start);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, {});
    onOrvoDatabase(path, [](const QSqlDatabase& db) {
        QSqlQuery insert(db);
        for (const char* value :
             {"'mango'", "NULL", "5", "x'616172647661726b'", "'Mango'", "'m'", "'-1'", "-1.5", "'a' || char(0) || 'z'",
              "'ma' || char(0)", "x'6d'", "''", "'MA'", "'zebra'", "1E+3", "'{'", "NULL", "'_x'", "'x-ray'", "' m'",
              "'it''s'", "x'7a7a'", "'Aardvark'", "'m\u00e4'", "5", "55", "5.5", "500", "'5th'", "5E+3", "50"})
            QVERIFY(insert.exec(QStringLiteral("INSERT INTO Main (Description) VALUES (%1)").arg(value)));
    });
    Data1 data;
    QVERIFY(openRecords(data, path).ok);
    sqlite3* handle = OrvoDatabase::handle(data.database());
    RecordList list;
    RecordKeys::read(handle, QueryPlanner::plan(RecordQuery::allRecords(), {}), false, list.rows);
    QVERIFY(list.rows.outcome.ok);
    const QueryPlan plan = QueryPlanner::plan(RecordQuery::letter(start), {});
    QVERIFY(plan.descriptionsFrom);
    KeyRows fromList;
    KeyRows fromIndex;
    RecordKeys::read(handle, plan, false, fromList, &list);
    RecordKeys::read(handle, plan, false, fromIndex);
    QVERIFY(fromIndex.outcome.ok);
    QCOMPARE(fromList.keys, fromIndex.keys);
    QCOMPARE(fromList.descriptions.toList(), fromIndex.descriptions.toList());
}

QTEST_GUILESS_MAIN(TestFastPath)
#include "tst_fastpath.moc"

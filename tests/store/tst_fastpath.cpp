#include "RecordGenerator.h"
#include "store/Data1.h"
#include "store/FindSearch.h"
#include "store/OrvoDatabase.h"
#include "store/QueryTexts.h"
#include "store/SqlTranslation.h"
#include "support/DatabaseFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>

// The shortcuts of the translation and of the data control must give exactly the rows, in
// exactly the order, that the plain translation gives.
class TestFastPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sameRowsInSameOrder_data();
    void sameRowsInSameOrder();
    void indexFollowsTheFile_data();
    void indexFollowsTheFile();
    void walkReadsTheSameFields();

private:
    QVector<qint64> keys(const QString& query, bool fast, QString* fastPath = nullptr);

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
        for (int i = 1; i <= OrvoDatabase::FrequencyFields; ++i)
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

QString bandQuery(const char* text)
{
    return FindSearch::plan({false, false, true}, QLatin1String(text)).query;
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

void TestFastPath::cleanupTestCase()
{
    SqlTranslation::setFastPathsEnabled(true);
}

// The keys the query lists, {-1} when it fails; *fastPath gets the shortcut taken or the error.
QVector<qint64> TestFastPath::keys(const QString& query, bool fast, QString* fastPath)
{
    SqlTranslation::setFastPathsEnabled(fast);
    Data1 data;
    const Outcome refreshed = openRecords(data, m_path, query);
    SqlTranslation::setFastPathsEnabled(true);
    if (fastPath)
        *fastPath = refreshed.ok ? data.fastPath() : refreshed.error;
    return refreshed.ok ? data.keys() : QVector<qint64>{-1};
}

void TestFastPath::sameRowsInSameOrder_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("fastPath");

    const QString prefix = QStringLiteral("prefix range");
    const QStringList words{"eart", "EART", "",     "*",      "ea*t",   "e?rt",   "#",      "[h]eart",
                            "[!h]", "[a-c]", "it's", "50%",    "_",      "]",      "\u00c9CHO", "kelvin",
                            "song", " "};
    for (const QString& word : words) {
        const QByteArray name = word.toUtf8();
        QTest::newRow(("description " + name).constData())
            << QueryTexts::wordSearchQuery(true, false, word) << "contains";
        QTest::newRow(("comments " + name).constData()) << QueryTexts::wordSearchQuery(false, true, word) << "contains";
        QTest::newRow(("both " + name).constData()) << QueryTexts::wordSearchQuery(true, true, word) << "contains";
    }
    for (const char* number : {"728", "728.50", "0728", "7.830", "1", "1000", "  728  ", "0.5", "1.", "728.0",
                               "99999999999999999999"})
        QTest::newRow((QByteArray("frequency ") + number).constData())
            << QueryTexts::frequencySearchQuery(QLatin1String(number)) << "frequency index";
    for (const char* band : {"728~1", "728~0.5%", "200-100", "7.83~0", "1000~0", "1-1.5", "1~5", "1~100%",
                             "99999999999999999999~1"})
        QTest::newRow((QByteArray("band ") + band).constData()) << bandQuery(band) << "frequency band";
    // Zero is left out of the index; the plain query answers it.
    for (const char* zero : {"0", "0.0"})
        QTest::newRow((QByteArray("frequency ") + zero).constData())
            << QueryTexts::frequencySearchQuery(QLatin1String(zero)) << QString();
    for (char letter = 'a'; letter <= 'z'; ++letter)
        QTest::newRow(QByteArray("letter ").append(letter).constData())
            << QueryTexts::letterQuery(QString(QLatin1Char(letter))) << prefix;
    for (const char* start : {"M", "Kes", "_", "]", "x-", "1", "no"})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << QueryTexts::letterQuery(QLatin1String(start)) << prefix;
    for (const char* start : {"*", "m?", "[m]", "#", "\u00e9", "it's"})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << QueryTexts::letterQuery(QString::fromUtf8(start)) << QString();
    QTest::newRow("all records") << QueryTexts::allRecordsQuery() << QString();
    QTest::newRow("bad pattern") << QueryTexts::wordSearchQuery(true, true, QStringLiteral("[unclosed"))
                                 << "Invalid pattern string in Like: *[unclosed";
}

void TestFastPath::sameRowsInSameOrder()
{
    QFETCH(QString, query);
    QFETCH(QString, fastPath);

    QString taken;
    QString plainPath;
    const QVector<qint64> fast = keys(query, true, &taken);
    const QVector<qint64> plain = keys(query, false, &plainPath);
    QCOMPARE(fast, plain);
    if (fast == QVector<qint64>{-1}) {
        // Both refuse the query; the shortcut may name another of its patterns.
        QCOMPARE(plainPath, fastPath);
        QVERIFY2(taken.startsWith(QLatin1String("Invalid pattern string in Like: ")), qPrintable(taken));
    } else {
        QCOMPARE(taken, fastPath);
        QVERIFY(plainPath.isEmpty());
    }
}

void TestFastPath::indexFollowsTheFile_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("drop");
    QTest::addColumn<QString>("fastPath");

    QTest::newRow("728, a trigger gone") << QueryTexts::frequencySearchQuery(QStringLiteral("728"))
                                         << "DROP TRIGGER MainFrequenciesDelete"
                                         << "frequency index";
    QTest::newRow("band, a trigger gone") << bandQuery("728~0.5%") << "DROP TRIGGER MainFrequenciesDelete"
                                          << "frequency band";
    // As in a file from before the index kept numbers.
    QTest::newRow("band, no index of numbers") << bandQuery("728~0.5%") << "DROP INDEX MainFrequenciesNumber"
                                               << "frequency band";
}

void TestFastPath::indexFollowsTheFile()
{
    QFETCH(QString, search);
    QFETCH(QString, drop);
    QFETCH(QString, fastPath);

    const QString original = m_path;
    m_path = QDir(m_folder.path()).filePath(QStringLiteral("copy.mdb"));
    QFile::remove(m_path);
    QVERIFY(QFile::copy(original, m_path));
    const QVector<qint64> expected = keys(search, false);
    QVERIFY(expected.size() > 3);

    // The index goes while the file is open: the next search does without it.
    Data1 data;
    QVERIFY(openRecords(data, m_path, search).ok);
    QCOMPARE(data.fastPath(), fastPath);
    QVERIFY(DatabaseFiles::execute(m_path, drop));
    QVERIFY(data.refresh().ok);
    QVERIFY(data.fastPath().isEmpty());
    QCOMPARE(data.keys(), expected);
    data.close();

    // Opening builds the whole index again, and the search uses it.
    QString taken;
    QCOMPARE(keys(search, true, &taken), expected);
    QCOMPARE(taken, fastPath);
    QCOMPARE(indexDifference(m_path), QString());

    // Adding, editing and deleting records keep it in step.
    QVERIFY(openRecords(data, m_path, search).ok);
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
    QCOMPARE(keys(search, true, &taken), keys(search, false));
    QCOMPARE(taken, fastPath);
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
        for (int i = 0; i < OrvoDatabase::FrequencyFields; ++i)
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

QTEST_GUILESS_MAIN(TestFastPath)
#include "tst_fastpath.moc"

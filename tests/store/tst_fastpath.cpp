#include "RecordGenerator.h"
#include "store/Data1.h"
#include "store/FindSearch.h"
#include "store/OrvoDatabase.h"
#include "store/QueryTexts.h"
#include "store/SqlTranslation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The shortcuts of the translation and of the data control must give exactly the rows, in
// exactly the order, that the plain translation gives.
class TestFastPath : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void sameRowsInSameOrder_data();
    void sameRowsInSameOrder();
    void badPatternFailsBothWays();
    void indexFollowsWrites();
    void readOnlyFileWithoutIndex_data();
    void readOnlyFileWithoutIndex();
    void walkReadsTheSameFields();
    void startUpReadsLazily();

private:
    QVector<qint64> keys(const QString& query, bool fast, QString* fastPath = nullptr);
    QString indexDifference(const QString& path);
    QString copyOfDatabase(const QString& name);

    QTemporaryDir m_folder;
    QString m_path;
};

namespace {

const QString Connection = QStringLiteral("fastpath-writer");

void insertRecord(QSqlDatabase& db, const QString& description, const QVariant& comments,
                  const QVariantList& frequencies)
{
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO Main (Description, Comments, F1, F2, F3, F40) VALUES (?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(description);
    insert.addBindValue(comments.isValid() ? comments : QVariant(QMetaType(QMetaType::QString)));
    for (int i = 0; i < 4; ++i)
        insert.addBindValue(frequencies.value(i, QVariant(QMetaType(QMetaType::QString))));
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
}

QString wordQuery(bool description, bool comments, const QString& text)
{
    return QueryTexts::wordSearchQuery(description, comments, text);
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
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
    db.setDatabaseName(m_path);
    QVERIFY(db.open());
    insertRecord(db, QString::fromUtf8("\u212aettle drum"), QStringLiteral("heart"), {"728", "728"});
    insertRecord(db, QString::fromUtf8("\u017fong of the lark"), QString::fromUtf8("\u212aelvin EART"), {"1E+3"});
    insertRecord(db, QStringLiteral("kestrel call"), QStringLiteral("[h]eart *x* 50% #1 it's"), {"1e+3", "1E+3"});
    insertRecord(db, QStringLiteral("Sparrow, it's [draft] *note* #7 ?"), QString(), {"728.5", "0728", "728.50"});
    insertRecord(db, QStringLiteral("_underscore ]bracket"), QVariant(), {"7.83", " 728", "728 "});
    insertRecord(db, QString(), QStringLiteral("no description"), {"728"});
    insertRecord(db, QStringLiteral("M"), QStringLiteral(""), {"0", "0", "0"});
    QSqlQuery nullDescription(db);
    QVERIFY(nullDescription.exec(QStringLiteral("UPDATE Main SET Description = NULL WHERE Description = ''")));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(Connection);
}

void TestFastPath::cleanupTestCase()
{
    SqlTranslation::setFastPathsEnabled(true);
}

void TestFastPath::init()
{
    SqlTranslation::setFastPathsEnabled(true);
}

QVector<qint64> TestFastPath::keys(const QString& query, bool fast, QString* fastPath)
{
    SqlTranslation::setFastPathsEnabled(fast);
    Data1 data;
    data.setDatabaseName(m_path);
    data.setRecordSource(query);
    const Outcome refreshed = data.refresh();
    SqlTranslation::setFastPathsEnabled(true);
    if (!refreshed.ok)
        qWarning("%s", qPrintable(refreshed.error));
    if (fastPath)
        *fastPath = data.fastPath();
    return refreshed.ok ? data.keys() : QVector<qint64>{-1};
}

void TestFastPath::sameRowsInSameOrder_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("fastPath");

    const QString contains = QStringLiteral("contains");
    const QString prefix = QStringLiteral("prefix range");
    const QString frequency = QStringLiteral("frequency index");
    const QStringList words{"eart", "EART",      "heart",     "",       "*",      "**",   "ea*t",  "e?rt",
                            "#",    "[h]eart",   "[!h]",      "[a-c]",  "x-ray",  "it's", "50%",   "_",
                            "]",    "\u00e9cho", "\u00c9CHO", "kelvin", "KETTLE", "song", "no. 1", " "};
    for (const QString& word : words) {
        const QByteArray name = word.toUtf8();
        QTest::newRow(("description " + name).constData()) << wordQuery(true, false, word) << contains;
        QTest::newRow(("comments " + name).constData()) << wordQuery(false, true, word) << contains;
        QTest::newRow(("both " + name).constData()) << wordQuery(true, true, word) << contains;
    }
    for (const char* number : {"728", "728.5", "728.50", "0728", "7.83", "7.830", "1", "20000", "880", "1000",
                               "  728  ", "0.5", "1.", "0.0", "99999999999999999999"})
        QTest::newRow((QByteArray("frequency ") + number).constData())
            << QueryTexts::frequencySearchQuery(QLatin1String(number)) << frequency;
    for (const char* band : {"728~1", "728~0.5%", "100-200", "200-100", "7.83~0", "1000~0", "1-1.5", "1~5", "1~100%",
                             "99999999999999999999~1"})
        QTest::newRow((QByteArray("band ") + band).constData())
            << FindSearch::plan({false, false, true}, QLatin1String(band)).query << QStringLiteral("frequency band");
    // Zero is left out of the index; the plain query answers it.
    QTest::newRow("frequency 0") << QueryTexts::frequencySearchQuery(QStringLiteral("0")) << QString();
    for (char letter = 'a'; letter <= 'z'; ++letter)
        QTest::newRow(QByteArray("letter ").append(letter).constData())
            << QueryTexts::letterQuery(QString(QLatin1Char(letter))) << prefix;
    for (const char* start : {"M", "ok", "sk", "ks", "Kes", "_", "]", "x-", "1", "no"})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << QueryTexts::letterQuery(QLatin1String(start)) << prefix;
    for (const char* start : {"*", "m?", "[m]", "#", "\u00e9", "it's"})
        QTest::newRow((QByteArray("starts with ") + start).constData())
            << QueryTexts::letterQuery(QString::fromUtf8(start)) << QString();
    QTest::newRow("all records") << QueryTexts::allRecordsQuery() << QString();
}

void TestFastPath::sameRowsInSameOrder()
{
    QFETCH(QString, query);
    QFETCH(QString, fastPath);

    QString taken;
    const QVector<qint64> fast = keys(query, true, &taken);
    QCOMPARE(taken, fastPath);
    QString plainPath;
    const QVector<qint64> plain = keys(query, false, &plainPath);
    QVERIFY(plainPath.isEmpty());
    QVERIFY(plain != QVector<qint64>{-1});
    QCOMPARE(fast, plain);
}

void TestFastPath::badPatternFailsBothWays()
{
    for (const bool fast : {true, false}) {
        SqlTranslation::setFastPathsEnabled(fast);
        Data1 data;
        data.setDatabaseName(m_path);
        data.setRecordSource(wordQuery(true, true, QStringLiteral("[unclosed")));
        const Outcome refreshed = data.refresh();
        QVERIFY(!refreshed.ok);
        QVERIFY2(refreshed.error.contains(QLatin1String("pattern")), qPrintable(refreshed.error));
    }
}

QString TestFastPath::copyOfDatabase(const QString& name)
{
    const QString path = QDir(m_folder.path()).filePath(name);
    QFile::remove(path);
    if (!QFile::copy(m_path, path))
        return {};
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

// Index rows that Main's values do not give, and values that the index lacks, as text.
QString TestFastPath::indexDifference(const QString& path)
{
    QString difference;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
        db.setDatabaseName(path);
        if (!db.open())
            return QStringLiteral("cannot open");
        QStringList values;
        for (int i = 1; i <= OrvoDatabase::FrequencyFields; ++i)
            values << QStringLiteral("SELECT rowid AS RecordId, CAST(F%1 AS TEXT) AS Value FROM Main").arg(i);
        const QString expected =
            QStringLiteral("SELECT DISTINCT RecordId, lower(Value) FROM (%1) WHERE Value IS NOT NULL "
                           "AND Value <> '0'")
                .arg(values.join(QStringLiteral(" UNION ALL ")));
        const QString stored = QStringLiteral("SELECT RecordId, lower(Value) FROM MainFrequencies");
        QSqlQuery query(db);
        for (const auto& [left, right] : {std::pair(expected, stored), std::pair(stored, expected)}) {
            if (!query.exec(QStringLiteral("SELECT count(*) FROM (%1 EXCEPT %2)").arg(left, right)) || !query.next())
                difference += query.lastError().text();
            else if (query.value(0).toInt() != 0)
                difference += QStringLiteral("%1 rows differ; ").arg(query.value(0).toInt());
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(Connection);
    return difference;
}

void TestFastPath::indexFollowsWrites()
{
    const QString original = m_path;
    m_path = copyOfDatabase(QStringLiteral("writes.mdb"));
    QVERIFY(!m_path.isEmpty());
    QCOMPARE(indexDifference(m_path), QString());
    const QString search728 = QueryTexts::frequencySearchQuery(QStringLiteral("728"));
    {
        Data1 data;
        data.setDatabaseName(m_path);
        data.setRecordSource(search728);
        QVERIFY(data.refresh().ok);
        QVERIFY(data.recordCount() > 3);

        data.addNew();
        data.setField(QStringLiteral("Description"), QStringLiteral("added"));
        data.setField(QStringLiteral("F17"), QStringLiteral("728"));
        QVERIFY(data.update().ok);
        QVERIFY(data.moveTo(0));
        data.edit();
        data.setField(QStringLiteral("F1"), QStringLiteral("729"));
        data.setField(QStringLiteral("F2"), QStringLiteral("729"));
        data.setField(QStringLiteral("F3"), QStringLiteral("729"));
        QVERIFY(data.update().ok);
        QVERIFY(data.moveTo(1));
        QVERIFY(data.deleteCurrent().ok);
    }
    QCOMPARE(indexDifference(m_path), QString());
    const QString band = FindSearch::plan({false, false, true}, QStringLiteral("728~1")).query;
    for (const auto& [search, path] : {std::pair(search728, "frequency index"), std::pair(band, "frequency band")}) {
        QString taken;
        const QVector<qint64> fast = keys(search, true, &taken);
        QCOMPARE(taken, QLatin1String(path));
        QCOMPARE(fast, keys(search, false));
    }
    m_path = original;
}

void TestFastPath::readOnlyFileWithoutIndex_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("drop");
    QTest::addColumn<QString>("fastPath");

    const QString band = FindSearch::plan({false, false, true}, QStringLiteral("728~0.5%")).query;
    QTest::newRow("728, a trigger gone") << QueryTexts::frequencySearchQuery(QStringLiteral("728"))
                                         << "DROP TRIGGER MainFrequenciesDelete"
                                         << "frequency index";
    QTest::newRow("band, a trigger gone") << band << "DROP TRIGGER MainFrequenciesDelete"
                                          << "frequency band";
    // As in a file from before the index kept numbers.
    QTest::newRow("band, no index of numbers") << band << "DROP INDEX MainFrequenciesNumber"
                                               << "frequency band";
}

void TestFastPath::readOnlyFileWithoutIndex()
{
    QFETCH(QString, search);
    QFETCH(QString, drop);
    QFETCH(QString, fastPath);

    const QString original = m_path;
    m_path = copyOfDatabase(QStringLiteral("noindex.mdb"));
    QVERIFY(!m_path.isEmpty());
    const QVector<qint64> expected = keys(search, false);
    QVERIFY(expected.size() > 3);
    const auto dropIndex = [this, &drop] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
            db.setDatabaseName(m_path);
            QVERIFY(db.open());
            QVERIFY(OrvoDatabase::exec(db, drop).ok);
            db.close();
        }
        QSqlDatabase::removeDatabase(Connection);
    };

    // The index goes while the file is open: the next search does without it.
    Data1 data;
    data.setDatabaseName(m_path);
    data.setRecordSource(search);
    QVERIFY(data.refresh().ok);
    QCOMPARE(data.fastPath(), fastPath);
    dropIndex();
    QVERIFY(data.refresh().ok);
    QVERIFY(data.fastPath().isEmpty());
    QCOMPARE(data.keys(), expected);
    data.close();

    // A file that cannot be written is searched without it (not testable as root, who may
    // write any file).
    QVERIFY(QFile(m_path).setPermissions(QFileDevice::ReadOwner));
    if (!QFileInfo(m_path).isWritable()) {
        QString taken;
        QCOMPARE(keys(search, true, &taken), expected);
        QVERIFY(taken.isEmpty());
    }

    // Writable again: opening builds the whole index, and the search uses it.
    QVERIFY(QFile(m_path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QString taken;
    QCOMPARE(keys(search, true, &taken), expected);
    QCOMPARE(taken, fastPath);
    QCOMPARE(indexDifference(m_path), QString());
    m_path = original;
}

void TestFastPath::walkReadsTheSameFields()
{
    Data1 walked;
    walked.setDatabaseName(m_path);
    walked.setRecordSource(QueryTexts::allRecordsQuery());
    QVERIFY(walked.refresh().ok);
    const QVector<qint64> order = walked.keys();

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
    db.setDatabaseName(m_path);
    QVERIFY(db.open());
    {
        QSqlQuery one(db);
        one.prepare(QStringLiteral("SELECT ") + OrvoDatabase::fieldNames().join(QStringLiteral(", ")) +
                    QStringLiteral(" FROM Main WHERE rowid = ?"));
        int row = 0;
        // Every seventh row only: the walk reads ahead in blocks, the check reads row by row.
        for (walked.moveFirst(); !walked.isEof(); walked.moveNext(), ++row) {
            const QVariant description = walked.field(QStringLiteral("Description"));
            if (row % 7 != 0)
                continue;
            one.addBindValue(order.at(row));
            QVERIFY(one.exec() && one.next());
            QCOMPARE(description, one.value(0));
            for (int i = 1; i < OrvoDatabase::fieldNames().size(); ++i)
                QCOMPARE(walked.field(OrvoDatabase::fieldNames().at(i)), one.value(i));
        }
        QCOMPARE(row, order.size());
        // A jump reads the one row.
        QVERIFY(walked.moveTo(order.size() / 2));
        one.addBindValue(order.at(order.size() / 2));
        QVERIFY(one.exec() && one.next());
        QCOMPARE(walked.field(QStringLiteral("comments")), one.value(1));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(Connection);
}

void TestFastPath::startUpReadsLazily()
{
    Data1 data;
    data.setDatabaseName(m_path);
    data.setRecordSource(QueryTexts::allRecordsQuery());
    QVERIFY(data.refresh().ok);
    // Before anything needs the whole record set, the first row is there already.
    QVERIFY(data.hasCurrentRecord());
    QVERIFY(!data.isEof());
    QCOMPARE(data.position(), 0);
    const QVariant first = data.field(QStringLiteral("Description"));
    QCOMPARE(data.recordCount(), 10007);
    QCOMPARE(data.field(QStringLiteral("Description")), first);
    QCOMPARE(data.keys(), keys(QueryTexts::allRecordsQuery(), false));
    QCOMPARE(data.descriptions().size(), 10007);
}

QTEST_GUILESS_MAIN(TestFastPath)
#include "tst_fastpath.moc"

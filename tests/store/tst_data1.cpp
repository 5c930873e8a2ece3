#include "store/Data1.h"
#include "store/OrvoDatabase.h"
#include "store/QueryTexts.h"
#include "support/DatabaseFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestData1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsInCaseBlindOrderWithStoredOrderForTies();
    void addsEditsAndDeletes();
    void refusesForeignFiles_data();
    void refusesForeignFiles();
    void createsDemoDatabase();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_path;
};

void TestData1::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_path = QDir(m_folder->path()).filePath(QStringLiteral("freqs.mdb"));
}

void TestData1::readsInCaseBlindOrderWithStoredOrderForTies()
{
    createDatabase(m_path, {TestRecord::make("Zebra"), TestRecord::make("apple", "first"), TestRecord::make("Mango"),
                            TestRecord::make("apple", "second"), TestRecord::make(nullText()),
                            TestRecord::make("APPLE", "third"),
                            TestRecord::make("Heart", nullText(), {"0727", nullText(), "7.830"})});
    Data1 data;
    QVERIFY(openRecords(data, m_path).ok);
    QCOMPARE(data.descriptions(), QStringList({"", "apple", "apple", "APPLE", "Heart", "Mango", "Zebra"}));
    QVERIFY(data.hasCurrentRecord());
    QCOMPARE(data.position(), 0);
    data.moveTo(1);
    QCOMPARE(data.field("Comments").toString(), QStringLiteral("first"));
    data.moveTo(3);
    QCOMPARE(data.field("comments").toString(), QStringLiteral("third"));
    data.moveTo(4);
    QVERIFY(data.field("Comments").isNull());
    QCOMPARE(data.field("F1").toString(), QStringLiteral("0727"));
    QVERIFY(data.field("F2").isNull());
    QCOMPARE(data.field("F3").toString(), QStringLiteral("7.830"));
    QVERIFY(!data.moveTo(7));
    QCOMPARE(data.field("Description").toString(), QStringLiteral("Heart"));
    data.moveToEnd();
    QVERIFY(data.isEof());
    QVERIFY(data.moveTo(6));
    data.moveNext();
    QVERIFY(data.isEof() && !data.hasCurrentRecord());
    QVERIFY(data.field("Description").isNull());
}

void TestData1::addsEditsAndDeletes()
{
    createDatabase(m_path, {TestRecord::make("keep"), TestRecord::make("change"), TestRecord::make("remove")});
    Data1 data;
    QVERIFY(openRecords(data, m_path).ok);
    data.addNew();
    data.setField("Description", "added");
    data.setField("F1", "0727");
    QVERIFY(data.update().ok);
    QVERIFY(data.moveTo(0)); // change
    data.edit();
    data.setField("Comments", "edited");
    QVERIFY(data.update().ok);
    QCOMPARE(data.field("Comments").toString(), QStringLiteral("edited"));
    QVERIFY(data.moveTo(2)); // remove
    QVERIFY(data.deleteCurrent().ok);
    QVERIFY(!data.hasCurrentRecord());
    data.close();

    const QVector<TestRecord> stored = readDatabase(m_path);
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored.at(0).description.toString(), QStringLiteral("keep"));
    QCOMPARE(stored.at(1).comments.toString(), QStringLiteral("edited"));
    QCOMPARE(stored.at(2).description.toString(), QStringLiteral("added"));
    QCOMPARE(stored.at(2).frequencies.at(0).toString(), QStringLiteral("0727"));
    QVERIFY(stored.at(2).frequencies.at(1).isNull());
}

void TestData1::refusesForeignFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // the file, or a table Main to create
    QTest::addColumn<QString>("reason");

    QByteArray access(4096, '\0');
    access.replace(4, 15, "Standard Jet DB");
    QTest::newRow("access") << access << "Access";
    QTest::newRow("column missing") << QByteArray("Description TEXT, Comments TEXT, F1 TEXT") << "no column F2";
    QTest::newRow("damaged") << QByteArray("SQLite format 3", 16) + QByteArray(4000, '\x5a') << "";
}

void TestData1::refusesForeignFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    if (content.startsWith("Description"))
        QVERIFY(DatabaseFiles::execute(m_path, QStringLiteral("CREATE TABLE Main (%1)").arg(content)));
    else
        writeFile(m_path, content);
    const QByteArray before = fileHash(m_path);
    Data1 data;
    const Outcome opened = openRecords(data, m_path);
    QVERIFY2(!opened.ok && opened.error.contains(reason), qPrintable(opened.error));
    data.close();
    QCOMPARE(fileHash(m_path), before);
}

void TestData1::createsDemoDatabase()
{
    QVERIFY(OrvoDatabase::createWithDemoRecords(m_path).ok);
    QVERIFY(!QFile::exists(m_path + QStringLiteral(".creating")));
    const QVector<TestRecord> records = readDatabase(m_path);
    QVERIFY(records.size() >= 150);
    QString initials;
    bool nullComments = false;
    bool emptyComments = false;
    for (const TestRecord& record : records) {
        initials += record.description.toString().left(1).toUpper();
        nullComments |= record.comments.isNull();
        emptyComments |= !record.comments.isNull() && record.comments.toString().isEmpty();
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        QVERIFY2(initials.contains(QLatin1Char(letter)), QByteArray(1, letter).constData());
    QVERIFY(nullComments && emptyComments);
    QVERIFY(!OrvoDatabase::createWithDemoRecords(m_path).ok); // never over an existing file
}

QTEST_GUILESS_MAIN(TestData1)
#include "tst_data1.moc"

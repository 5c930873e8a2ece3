#include "store/Data1.h"
#include "store/OrvoDatabase.h"
#include "query/QueryTexts.h"
#include "support/DatabaseFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

class TestData1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsInCaseBlindOrderWithStoredOrderForTies();
    void addsEditsAndDeletes();
    void changesOnlyWhatItRead_data();
    void changesOnlyWhatItRead();
    void searchesSeeEveryWrite_data();
    void searchesSeeEveryWrite();
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

// Two record sets on one file, as two windows: mine changes or deletes the record it read,
// after the other one changed it, deleted it, or deleted it and added one.
void TestData1::changesOnlyWhatItRead_data()
{
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<bool>("deleting"); // mine deletes the record instead of changing it
    QTest::addColumn<QStringList>("stored"); // rowid and comments

    QTest::newRow("nobody else wrote") << "" << false << QStringList{"i1|t", "i2|tmine"};
    QTest::newRow("changed meanwhile") << "change" << false << QStringList{"i1|t", "i2|ttheirs"};
    QTest::newRow("deleted meanwhile") << "delete" << false << QStringList{"i1|t"};
    QTest::newRow("deleted and one added, under a new key") << "delete, add" << false << QStringList{"i1|t", "i3|tadded"};
    QTest::newRow("delete after a change") << "change" << true << QStringList{"i1|t", "i2|ttheirs"};
    QTest::newRow("file replaced, as by a repair") << "replace" << false << QStringList{"i1|t", "i2|tmine"};
}

void TestData1::changesOnlyWhatItRead()
{
    QFETCH(QString, theirs);
    QFETCH(bool, deleting);
    QFETCH(QStringList, stored);
    createDatabase(m_path, {TestRecord::make("Old", ""), TestRecord::make("Newest", "as read")});
    Data1 mine;
    Data1 other;
    QVERIFY(openRecords(mine, m_path).ok && openRecords(other, m_path).ok);
    QCOMPARE(mine.field("Comments").toString(), QStringLiteral("as read"));
    if (theirs.startsWith("delete"))
        QVERIFY(other.deleteCurrent().ok);
    if (theirs == "replace")
        QVERIFY(QFile::copy(m_path, m_path + ".new") && std::rename(qPrintable(m_path + ".new"), qPrintable(m_path)) == 0);
    if (theirs == "change" || theirs == "delete, add") {
        theirs == "change" ? other.edit() : other.addNew();
        other.setField("Description", "Newest");
        other.setField("Comments", theirs == "change" ? "theirs" : "added");
        QVERIFY(other.update().ok);
    }

    if (!deleting) {
        mine.edit();
        mine.setField("Comments", "mine");
    }
    const Outcome outcome = deleting ? mine.deleteCurrent() : mine.update();
    QVERIFY2(stored.contains("i2|tmine") ? outcome.ok : outcome.error.startsWith("another program changed or deleted it"),
             qPrintable(outcome.error));
    QCOMPARE(DatabaseFiles::rowsOf(m_path, "SELECT rowid, Comments FROM Main ORDER BY rowid"), stored);
}

// A description search answered from the list of every record that the record set keeps:
// a write by another connection, or by the record set itself, between two searches shows.
void TestData1::searchesSeeEveryWrite_data()
{
    QTest::addColumn<QString>("change"); // SQL on another connection, or a description this one adds
    QTest::addColumn<QStringList>("found");

    QTest::newRow("another inserts") << "INSERT INTO Main (Description) VALUES ('Organ')"
                                     << QStringList{"Drum", "Horn", "Organ"};
    QTest::newRow("another deletes") << "DELETE FROM Main WHERE Description = 'Horn'" << QStringList{"Drum"};
    QTest::newRow("another edits") << "UPDATE Main SET Description = 'Bell two' WHERE Description = 'Drum'"
                                   << QStringList{"Horn"};
    QTest::newRow("this one adds") << "Harp" << QStringList{"Drum", "Harp", "Horn"};
}

void TestData1::searchesSeeEveryWrite()
{
    QFETCH(QString, change);
    QFETCH(QStringList, found);
    createDatabase(m_path, {TestRecord::make("Horn"), TestRecord::make("Drum"), TestRecord::make("Bell")});
    Data1 data;
    data.setDatabaseName(m_path);
    data.setRecordSource(RecordQuery::words(true, false, QStringLiteral("R")));
    QVERIFY(data.refresh().ok);
    QCOMPARE(data.descriptions(), QStringList({"Drum", "Horn"}));
    if (change.contains(' ')) {
        QVERIFY(DatabaseFiles::execute(m_path, change));
    } else {
        data.addNew();
        data.setField("Description", change);
        QVERIFY(data.update().ok);
    }
    QVERIFY(data.refresh().ok);
    QCOMPARE(data.descriptions(), found);
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

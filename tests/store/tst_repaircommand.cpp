#include "DatabaseFiles.h"
#include "main_window/Form1.h"
#include "main_window/ResultListModel.h"
#include "store/QueryTexts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(TestRecord)

// File > Repair and Compact Database as the user meets it in the main window; what the repair
// does to the file itself is tst_databaserepair's.
class TestRepairCommand : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture.emplace(); }
    void cleanup() { m_fixture.reset(); }
    void emptiesTheWindowAndKeepsRecords_data();
    void emptiesTheWindowAndKeepsRecords();
    void failureIsReportedAndQueryBoundAgain();

private:
    QListView* list() const { return m_fixture->child<QListView>("List1"); }
    QStringList findAll()
    {
        m_fixture->child<QLineEdit>("Text1")->clear();
        QTest::mouseClick(m_fixture->child<QPushButton>("Command1"), Qt::LeftButton);
        return static_cast<ResultListModel*>(list()->model())->lines();
    }
    void repairFromMenu() { m_fixture->form->findChild<QAction*>(QStringLiteral("RandCDB"))->trigger(); }

    std::optional<MainWindowFixture> m_fixture;
};

void TestRepairCommand::emptiesTheWindowAndKeepsRecords_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");

    QTest::newRow("records") << QVector<TestRecord>{TestRecord::make("Zebra crossing", "black and white", {"7.83"}),
                                                    TestRecord::make("apple orchard", nullText(), {"10000"})};
    QTest::newRow("empty table") << QVector<TestRecord>();
}

void TestRepairCommand::emptiesTheWindowAndKeepsRecords()
{
    QFETCH(QVector<TestRecord>, records);
    QVERIFY(m_fixture->start(records));
    const QStringList before = DatabaseFiles::content(m_fixture->dbPath());
    const QStringList listed = findAll();
    QCOMPARE(listed.size(), records.size());
    if (!records.isEmpty())
        list()->setCurrentIndex(list()->model()->index(0, 0));
    m_fixture->child<QLineEdit>("Text1")->setText(QStringLiteral("typed"));
    m_fixture->module.QuerySql = QueryTexts::letterQuery(QStringLiteral("z"));

    repairFromMenu();

    QVERIFY(static_cast<ResultListModel*>(list()->model())->lines().isEmpty());
    QVERIFY(m_fixture->child<QLineEdit>("Text1")->text().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text3")->toPlainText().isEmpty());
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().prompt,
             QStringLiteral("FREQ.MDB file successfully repaired and compacted."));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Good News !"));
    QCOMPARE(m_fixture->boxes.shown.first().style, MessageBoxes::OkOnly);
    QCOMPARE(DatabaseFiles::content(m_fixture->dbPath()), before);
    QVERIFY(!QFileInfo::exists(QDir(m_fixture->folder.path()).filePath(QStringLiteral("newFreq.mdb"))));
    // All records bound again, on the first one; a search lists as before.
    QCOMPARE(m_fixture->module.QuerySql, QueryTexts::allRecordsQuery());
    QCOMPARE(m_fixture->form->data1().recordCount(), records.size());
    QCOMPARE(m_fixture->form->data1().position(), 0);
    QCOMPARE(findAll(), listed);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
}

void TestRepairCommand::failureIsReportedAndQueryBoundAgain()
{
    QVERIFY(m_fixture->start({TestRecord::make("one"), TestRecord::make("two")}));
    const QByteArray before = DatabaseFiles::fileBytes(m_fixture->dbPath());
    // A leftover that is a folder cannot be removed, so the repair stops at its first step.
    QVERIFY(QDir(m_fixture->folder.path()).mkpath(QStringLiteral("newFreq.mdb/inside")));

    repairFromMenu();

    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const QString prompt = m_fixture->boxes.shown.first().prompt;
    QVERIFY2(prompt.startsWith(QLatin1String("Repairing and compacting freqs.mdb failed while removing the file "
                                             "newFreq.mdb left by an earlier run: ")) &&
                 prompt.endsWith(QLatin1String("freqs.mdb has not been changed.")),
             qPrintable(prompt));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Repair and Compact Database"));
    QVERIFY(DatabaseFiles::fileBytes(m_fixture->dbPath()) == before);
    QVERIFY(QFileInfo(QDir(m_fixture->folder.path()).filePath(QStringLiteral("newFreq.mdb/inside"))).isDir());
    QCOMPARE(m_fixture->form->data1().recordCount(), 2);
    QCOMPARE(findAll(), (QStringList{"one", "two"}));
}

QTEST_MAIN(TestRepairCommand)
#include "tst_repaircommand.moc"

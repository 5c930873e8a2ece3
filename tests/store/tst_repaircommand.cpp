#include "DatabaseFiles.h"
#include "main_window/Form1.h"
#include "main_window/ResultListModel.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace DatabaseFiles;

Q_DECLARE_METATYPE(TestRecord)

// File > Repair and Compact Database as the user meets it in the main window.
class TestRepairCommand : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptiesTheWindowAndKeepsRecords_data();
    void emptiesTheWindowAndKeepsRecords();
    void failureIsReportedAndQueryBoundAgain();
    void damagedDatabaseIsRebuilt();

private:
    QStringList listLines() const;
    void findAll();
    void repairFromMenu();

    std::unique_ptr<MainWindowFixture> m_fixture;
};

void TestRepairCommand::init()
{
    m_fixture = std::make_unique<MainWindowFixture>();
}

void TestRepairCommand::cleanup()
{
    m_fixture.reset();
}

QStringList TestRepairCommand::listLines() const
{
    return static_cast<ResultListModel*>(m_fixture->child<QListView>("List1")->model())->lines();
}

void TestRepairCommand::findAll()
{
    m_fixture->child<QLineEdit>("Text1")->clear();
    QTest::mouseClick(m_fixture->child<QPushButton>("Command1"), Qt::LeftButton);
}

void TestRepairCommand::repairFromMenu()
{
    QAction* item = m_fixture->form->findChild<QAction*>(QStringLiteral("RandCDB"));
    QVERIFY(item);
    item->trigger();
}

void TestRepairCommand::emptiesTheWindowAndKeepsRecords_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");

    QTest::newRow("records") << QVector<TestRecord>{
        TestRecord::make("Zebra crossing", "black and white", {"7.83", "0", "728"}),
        TestRecord::make("apple orchard", nullText(), {"10000"}),
        TestRecord::make("École bell", "ringing", {nullText(), "440"}),
    };
    QTest::newRow("empty table") << QVector<TestRecord>();
}

void TestRepairCommand::emptiesTheWindowAndKeepsRecords()
{
    QFETCH(QVector<TestRecord>, records);
    QVERIFY(m_fixture->start(records));
    const QStringList before = content(m_fixture->dbPath());
    findAll();
    const QStringList listed = listLines();
    QCOMPARE(listed.size(), records.size());
    if (!records.isEmpty()) {
        m_fixture->child<QListView>("List1")->setCurrentIndex(
            m_fixture->child<QListView>("List1")->model()->index(0, 0));
        QVERIFY(!m_fixture->child<QPlainTextEdit>("Text3")->toPlainText().isEmpty());
    }
    m_fixture->child<QLineEdit>("Text1")->setText(QStringLiteral("typed"));
    const QString caption = m_fixture->child<QLabel>("Label2_0")->text();
    const QString freqString = m_fixture->module.FreqString;
    m_fixture->module.QuerySql = QueryTexts::letterQuery(QStringLiteral("z"));

    repairFromMenu();

    QVERIFY(listLines().isEmpty());
    QVERIFY(m_fixture->child<QLineEdit>("Text1")->text().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text3")->toPlainText().isEmpty());
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().prompt,
             QStringLiteral("FREQ.MDB file successfully repaired and compacted."));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Good News !"));
    QCOMPARE(m_fixture->boxes.shown.first().style, MessageBoxes::OkOnly);
    QCOMPARE(content(m_fixture->dbPath()), before);
    QVERIFY(!QFileInfo::exists(QDir(m_fixture->folder.path()).filePath(QStringLiteral("newFreq.mdb"))));

    // All records bound again, on the first one; the label and FreqString keep what they held.
    Form1& form = *m_fixture->form;
    QCOMPARE(m_fixture->module.QuerySql, QueryTexts::allRecordsQuery());
    QCOMPARE(form.data1().recordCount(), records.size());
    QCOMPARE(form.data1().hasCurrentRecord(), !records.isEmpty());
    QCOMPARE(form.data1().position(), 0);
    QCOMPARE(m_fixture->child<QLabel>("Label2_0")->text(), caption);
    QCOMPARE(m_fixture->module.FreqString, freqString);

    findAll();
    QCOMPARE(listLines(), listed);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
}

void TestRepairCommand::failureIsReportedAndQueryBoundAgain()
{
    QVERIFY(m_fixture->start({TestRecord::make("one"), TestRecord::make("two")}));
    const QByteArray before = fileBytes(m_fixture->dbPath());
    // A leftover that is a folder cannot be removed, so the repair stops at its first step.
    QVERIFY(QDir(m_fixture->folder.path()).mkpath(QStringLiteral("newFreq.mdb/inside")));

    repairFromMenu();

    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const QString prompt = m_fixture->boxes.shown.first().prompt;
    QVERIFY2(prompt.contains(QLatin1String("removing the file newFreq.mdb left by an earlier run")),
             qPrintable(prompt));
    QVERIFY(prompt.endsWith(QLatin1String("freqs.mdb has not been changed.")));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Repair and Compact Database"));
    QVERIFY(fileBytes(m_fixture->dbPath()) == before);
    QCOMPARE(m_fixture->form->data1().recordCount(), 2);
    findAll();
    QCOMPARE(listLines(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
}

void TestRepairCommand::damagedDatabaseIsRebuilt()
{
    QVERIFY(m_fixture->start(manyRecords(400)));
    m_fixture->form->data1().close();
    QVERIFY(damagePage(m_fixture->dbPath(), TableLeaf));

    repairFromMenu();

    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const QString prompt = m_fixture->boxes.shown.first().prompt;
    QVERIFY2(prompt.startsWith(QLatin1String("freqs.mdb was damaged.")), qPrintable(prompt));
    QVERIFY(prompt.endsWith(QLatin1String("The damaged file has been kept as freqs-damaged.mdb.")));
    const int saved = prompt.section(QLatin1String("Records saved: "), 1).section(QLatin1Char('\n'), 0, 0).toInt();
    QVERIFY(saved > 0 && saved < 400);
    QCOMPARE(m_fixture->form->data1().recordCount(), saved);
    QVERIFY(QFileInfo::exists(QDir(m_fixture->folder.path()).filePath(QStringLiteral("freqs-damaged.mdb"))));
    findAll();
    QCOMPARE(listLines().size(), saved);
}

QTEST_MAIN(TestRepairCommand)
#include "tst_repaircommand.moc"

#include "support/DatabaseFiles.h"
#include "main_window/Form1.h"
#include "query/QueryTexts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// File > Repair and Compact Database as the user meets it in the main window; what the repair
// does to the file itself is tst_databaserepair's.
class TestRepairCommand : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture.emplace(); }
    void cleanup() { m_fixture.reset(); }
    void emptiesTheWindowAndBindsAllRecords_data();
    void emptiesTheWindowAndBindsAllRecords();

private:
    QListView* list() const { return m_fixture->child<QListView>("List1"); }
    QStringList findAll()
    {
        m_fixture->child<QLineEdit>("Text1")->clear();
        QTest::mouseClick(m_fixture->child<QPushButton>("Command1"), Qt::LeftButton);
        return m_fixture->resultLines();
    }

    std::optional<MainWindowFixture> m_fixture;
};

void TestRepairCommand::emptiesTheWindowAndBindsAllRecords_data()
{
    QTest::addColumn<bool>("leftoverFolder");
    QTest::addColumn<QString>("prompt"); // its start
    QTest::addColumn<QString>("title");

    QTest::newRow("repaired") << false << "FREQ.MDB file successfully repaired and compacted." << "Good News !";
    // A leftover that is a folder cannot be removed, so the repair stops at its first step.
    QTest::newRow("failed") << true
                            << "Repairing and compacting freqs.mdb failed while removing the file newFreq.mdb left "
                               "by an earlier run: "
                            << "Repair and Compact Database";
}

void TestRepairCommand::emptiesTheWindowAndBindsAllRecords()
{
    QFETCH(bool, leftoverFolder);
    QFETCH(QString, prompt);
    QFETCH(QString, title);
    QVERIFY(m_fixture->start({TestRecord::make("Zebra crossing", "black and white", {"7.83"}),
                              TestRecord::make("apple orchard", nullText(), {"10000"})}));
    const QStringList before = DatabaseFiles::content(m_fixture->dbPath());
    const QString leftover = QDir(m_fixture->folder.path()).filePath(QStringLiteral("newFreq.mdb/inside"));
    QVERIFY(!leftoverFolder || QDir().mkpath(leftover));
    const QStringList listed = findAll();
    QCOMPARE(listed.size(), 2);
    list()->setCurrentIndex(list()->model()->index(0, 0));
    m_fixture->child<QLineEdit>("Text1")->setText(QStringLiteral("typed"));
    m_fixture->module.QuerySql = QueryTexts::letterQuery(QStringLiteral("z"));

    m_fixture->form->findChild<QAction*>(QStringLiteral("RandCDB"))->trigger();

    QVERIFY(m_fixture->resultLines().isEmpty());
    QVERIFY(m_fixture->child<QLineEdit>("Text1")->text().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
    QVERIFY(m_fixture->child<QPlainTextEdit>("Text3")->toPlainText().isEmpty());
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const ScriptedMessageBoxes::Shown shown = m_fixture->boxes.shown.first();
    QVERIFY2(shown.prompt.startsWith(prompt) &&
                 shown.prompt.endsWith(leftoverFolder ? "freqs.mdb has not been changed." : "compacted."),
             qPrintable(shown.prompt));
    QCOMPARE(shown.title, title);
    QCOMPARE(shown.style, MessageBoxes::OkOnly);
    QCOMPARE(DatabaseFiles::content(m_fixture->dbPath()), before);
    QCOMPARE(QFileInfo(leftover).isDir(), leftoverFolder);
    // All records bound again, on the first one; a search lists as before.
    QCOMPARE(m_fixture->module.QuerySql, QueryTexts::allRecordsQuery());
    QCOMPARE(m_fixture->form->data1().recordCount(), 2);
    QCOMPARE(m_fixture->form->data1().position(), 0);
    QCOMPARE(findAll(), listed);
}

QTEST_MAIN(TestRepairCommand)
#include "tst_repaircommand.moc"

#include "editor/Form2.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTest>

// A second program holds freqs.mdb locked: a write waits for it a short time, then says so,
// and the same command succeeds once the lock is gone.
class TestDatabaseBusy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deleteReportsBusyThenSucceeds();
    void saveReportsBusyThenSucceeds_data();
    void saveReportsBusyThenSucceeds();

private:
    void holdLock();
    void releaseLock();
    void selectLine(int row);
    Form2* openEditor() const;

    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<QProcess> m_holder;
};

namespace {

const QString BusyPrompt = QStringLiteral("The database is in use by another program. Try again.");
const QString BusyTitle = QStringLiteral("Database Busy");

QStringList storedDescriptions(const QString& path)
{
    QStringList descriptions;
    for (const TestRecord& record : readDatabase(path))
        descriptions << record.description.toString();
    return descriptions;
}

} // namespace

void TestDatabaseBusy::init()
{
    m_f = std::make_unique<MainWindowFixture>();
    QVERIFY(m_f->start({TestRecord::make("Alpha", "a", {"728"}), TestRecord::make("Bravo", "b", {"20"})}));
}

void TestDatabaseBusy::cleanup()
{
    if (m_holder && m_holder->state() != QProcess::NotRunning)
        releaseLock();
    m_holder.reset();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form2*>(window))
            delete window;
    }
    m_f.reset();
}

void TestDatabaseBusy::holdLock()
{
    m_holder = std::make_unique<QProcess>();
    m_holder->start(QStringLiteral(ORVO_LOCK_HOLDER), {m_f->dbPath()});
    QVERIFY(m_holder->waitForStarted(10000));
    QVERIFY(m_holder->waitForReadyRead(10000));
    QCOMPARE(m_holder->readLine().trimmed(), QByteArray("locked"));
}

void TestDatabaseBusy::releaseLock()
{
    m_holder->write("\n");
    m_holder->closeWriteChannel();
    QVERIFY(m_holder->waitForFinished(10000));
    QCOMPARE(m_holder->exitCode(), 0);
}

void TestDatabaseBusy::selectLine(int row)
{
    m_f->form->Command1_Click();
    auto* list = m_f->child<QListView>(QStringLiteral("List1"));
    list->setCurrentIndex(list->model()->index(row, 0));
    QVERIFY(m_f->form->data1().hasCurrentRecord());
}

Form2* TestDatabaseBusy::openEditor() const
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* editor = qobject_cast<Form2*>(window); editor && editor->isVisible())
            return editor;
    }
    return nullptr;
}

void TestDatabaseBusy::deleteReportsBusyThenSucceeds()
{
    selectLine(0);
    holdLock();
    QElapsedTimer waited;
    waited.start();
    m_f->form->Command7_Click();
    // It waited for the other program before giving up.
    QVERIFY(waited.elapsed() >= 1000);
    QCOMPARE(m_f->boxes.shown.size(), 2);
    QCOMPARE(m_f->boxes.shown.last().prompt, BusyPrompt);
    QCOMPARE(m_f->boxes.shown.last().title, BusyTitle);
    QCOMPARE(m_f->boxes.shown.last().style, MessageBoxes::OkOnly);
    releaseLock();
    QCOMPARE(storedDescriptions(m_f->dbPath()), QStringList({"Alpha", "Bravo"}));

    // The record is still the current one: the same command now deletes it.
    m_f->form->Command7_Click();
    QCOMPARE(m_f->boxes.shown.size(), 3);
    QCOMPARE(storedDescriptions(m_f->dbPath()), QStringList({"Bravo"}));
}

void TestDatabaseBusy::saveReportsBusyThenSucceeds_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("afterSave");

    QTest::newRow("new record") << "Command5" << QStringList({"Alpha", "Bravo", "Charlie"});
    QTest::newRow("edited record") << "Command6" << QStringList({"Charlie", "Bravo"});
}

void TestDatabaseBusy::saveReportsBusyThenSucceeds()
{
    QFETCH(QString, button);
    QFETCH(QStringList, afterSave);
    selectLine(0);
    QTest::mouseClick(m_f->child<QPushButton>(button), Qt::LeftButton);
    Form2* editor = openEditor();
    QVERIFY(editor);
    auto* description = editor->findChild<QLineEdit*>(QStringLiteral("Text1"));
    QVERIFY(description);
    description->setText(QStringLiteral("Charlie"));

    holdLock();
    editor->Command1_Click();
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.last().prompt, BusyPrompt);
    QCOMPARE(m_f->boxes.shown.last().title, BusyTitle);
    // The editor stays open with what was typed.
    QCOMPARE(openEditor(), editor);
    QCOMPARE(description->text(), QStringLiteral("Charlie"));
    releaseLock();
    QCOMPARE(storedDescriptions(m_f->dbPath()), QStringList({"Alpha", "Bravo"}));

    editor->Command1_Click();
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QVERIFY(!openEditor());
    QCOMPARE(storedDescriptions(m_f->dbPath()), afterSave);
}

QTEST_MAIN(TestDatabaseBusy)
#include "tst_databasebusy.moc"

#include "editor/Form2.h"
#include "main_window/Form1.h"
#include "printing/Form5.h"
#include "support/TestSupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

// A second program holds freqs.mdb locked: a read or a write waits for it a short time, then
// says so and changes nothing, and the same command succeeds once the lock is gone.
class TestDatabaseBusy : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_f.emplace().start({TestRecord::make("Alpha", "a", {"728"}), TestRecord::make("Bravo", "b", {"20"})}));
    }
    void cleanup();
    void writeReportsBusyThenSucceeds_data();
    void writeReportsBusyThenSucceeds();
    void readReportsBusyThenSucceeds_data();
    void readReportsBusyThenSucceeds();

private:
    void holdLock()
    {
        m_holder = std::make_unique<QProcess>();
        m_holder->start(QStringLiteral(ORVO_LOCK_HOLDER), {m_f->dbPath()});
        QVERIFY(m_holder->waitForReadyRead(10000) && m_holder->readLine().trimmed() == "locked");
    }
    void releaseLock()
    {
        m_holder->write("\n");
        m_holder->closeWriteChannel();
        QVERIFY(m_holder->waitForFinished(10000) && m_holder->exitCode() == 0);
    }

    std::optional<MainWindowFixture> m_f;
    std::unique_ptr<QProcess> m_holder;
};

namespace {

QStringList storedDescriptions(const QString& path)
{
    QStringList descriptions;
    for (const TestRecord& record : readDatabase(path))
        descriptions << record.description.toString();
    return descriptions;
}

} // namespace

void TestDatabaseBusy::cleanup()
{
    m_holder.reset(); // ends a holder that a failed check left running
    qDeleteAll(windowsOf<Form2>(false));
    m_f.reset();
}

void TestDatabaseBusy::writeReportsBusyThenSucceeds_data()
{
    QTest::addColumn<QString>("button"); // on the main window
    QTest::addColumn<int>("boxesPerTry"); // before the busy box: a delete asks first
    QTest::addColumn<QStringList>("afterWrite");

    QTest::newRow("delete") << "Command7" << 1 << QStringList({"Bravo"});
    QTest::newRow("new record") << "Command5" << 0 << QStringList({"Alpha", "Bravo", "Charlie"});
    QTest::newRow("edited record") << "Command6" << 0 << QStringList({"Charlie", "Bravo"});
}

void TestDatabaseBusy::writeReportsBusyThenSucceeds()
{
    QFETCH(QString, button);
    QFETCH(int, boxesPerTry);
    QFETCH(QStringList, afterWrite);
    m_f->form->Command1_Click();
    auto* list = m_f->child<QListView>(QStringLiteral("List1"));
    list->setCurrentIndex(list->model()->index(0, 0));
    // A delete writes at once; a save writes when the editor's Save is clicked.
    const bool deletes = button == QLatin1String("Command7");
    Form2* editor = nullptr;
    QLineEdit* description = nullptr;
    if (!deletes) {
        QTest::mouseClick(m_f->child<QPushButton>(button), Qt::LeftButton);
        QVERIFY((editor = windowsOf<Form2>().value(0)) && (description = editor->findChild<QLineEdit*>(QStringLiteral("Text1"))));
        description->setText(QStringLiteral("Charlie"));
    }
    const auto write = [&] {
        QTest::mouseClick(deletes ? m_f->child<QPushButton>(button)
                                  : editor->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
    };

    holdLock();
    QElapsedTimer waited;
    waited.start();
    write();
    // It waited for the other program before giving up.
    QVERIFY(waited.elapsed() >= 1000);
    QCOMPARE(m_f->boxes.shown.size(), boxesPerTry + 1);
    QCOMPARE(m_f->boxes.shown.last().prompt, QStringLiteral("The database is in use by another program. Try again."));
    QCOMPARE(m_f->boxes.shown.last().title, QStringLiteral("Database Busy"));
    // The editor stays open with what was typed; the record is still the current one.
    QCOMPARE(windowsOf<Form2>().value(0), editor);
    QVERIFY(!description || description->text() == QLatin1String("Charlie"));
    releaseLock();
    QCOMPARE(storedDescriptions(m_f->dbPath()), QStringList({"Alpha", "Bravo"}));

    write();
    QCOMPARE(m_f->boxes.shown.size(), 2 * boxesPerTry + 1);
    QVERIFY(!windowsOf<Form2>().value(0));
    QCOMPARE(storedDescriptions(m_f->dbPath()), afterWrite);
}

// Under the lock nothing that a read would fill changes: the boxes, FreqString, the current
// record, the editor, freq.txt. Nothing of the failed read is kept for the next try.
void TestDatabaseBusy::readReportsBusyThenSucceeds_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("record view") << "List1";
    QTest::newRow("Send to Buffer") << "Command3";
    QTest::newRow("Edit") << "Command6";
    QTest::newRow("Print Preview") << "pLr";
}

void TestDatabaseBusy::readReportsBusyThenSucceeds()
{
    QFETCH(QString, command);
    auto* list = m_f->child<QListView>(QStringLiteral("List1"));
    const bool view = command == QLatin1String("List1");
    // The buttons act on the first record, current since start-up and not read yet; the record
    // view goes from Bravo, read, to Alpha.
    if (view)
        m_f->form->Command1_Click();
    list->setCurrentIndex(view ? list->model()->index(1, 0) : QModelIndex());
    if (command == QLatin1String("pLr"))
        m_f->form->pLr_Click();
    QWidget* buttons = windowsOf<Form5>().isEmpty() ? static_cast<QWidget*>(m_f->form.get()) : windowsOf<Form5>()[0];
    const auto run = [&] {
        if (view)
            list->setCurrentIndex(list->model()->index(0, 0));
        else
            QTest::mouseClick(buttons->findChild<QPushButton*>(buttons == m_f->form.get() ? command : "Command1"),
                              Qt::LeftButton);
    };
    const auto state = [&] {
        return QStringList{m_f->child<QPlainTextEdit>(QStringLiteral("Text2"))->toPlainText(), m_f->module.FreqString}
               << QString::number(m_f->form->data1().position()) << QString::number(m_f->module.BufNext)
               << QString::number(windowsOf<Form2>().size()) << QString::number(m_f->viewer.launches.size())
               << QString::number(list->selectionModel()->selectedRows().value(0).row());
    };
    const QStringList before = state();

    holdLock();
    run();
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.last().prompt, QStringLiteral("The database is in use by another program. Try again."));
    QCOMPARE(state(), before);
    releaseLock();

    run();
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QVERIFY(state() != before);
}

QTEST_MAIN(TestDatabaseBusy)
#include "tst_databasebusy.moc"

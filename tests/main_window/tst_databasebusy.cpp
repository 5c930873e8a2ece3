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
    void init()
    {
        QVERIFY(m_f.emplace().start({TestRecord::make("Alpha", "a", {"728"}), TestRecord::make("Bravo", "b", {"20"})}));
    }
    void cleanup();
    void writeReportsBusyThenSucceeds_data();
    void writeReportsBusyThenSucceeds();

private:
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

    m_holder = std::make_unique<QProcess>();
    m_holder->start(QStringLiteral(ORVO_LOCK_HOLDER), {m_f->dbPath()});
    QVERIFY(m_holder->waitForReadyRead(10000) && m_holder->readLine().trimmed() == "locked");
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
    m_holder->write("\n");
    m_holder->closeWriteChannel();
    QVERIFY(m_holder->waitForFinished(10000) && m_holder->exitCode() == 0);
    QCOMPARE(storedDescriptions(m_f->dbPath()), QStringList({"Alpha", "Bravo"}));

    write();
    QCOMPARE(m_f->boxes.shown.size(), 2 * boxesPerTry + 1);
    QVERIFY(!windowsOf<Form2>().value(0));
    QCOMPARE(storedDescriptions(m_f->dbPath()), afterWrite);
}

QTEST_MAIN(TestDatabaseBusy)
#include "tst_databasebusy.moc"

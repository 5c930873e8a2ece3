#include "main_window/Form1.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

QVector<TestRecord> sampleRecords()
{
    return {
        TestRecord::make("Alpha", "first comments", {"7.83", "20", "727.5"}),
        TestRecord::make("Bravo", nullText(), {QVariant(), "20"}),
        TestRecord::make("Charlie", "", {"0", "0.5"}),
        TestRecord::make("Delta", " ", {"1"}),
        TestRecord::make("mike lower", "m lower"),
        TestRecord::make("Mike upper", "m upper"),
        TestRecord::make("Twin", "twin one", {"1"}),
        TestRecord::make("Twin", "twin two", {"2"}),
        TestRecord::make(nullText(), "no description"),
    };
}

} // namespace

// The record view, the letter index, Send to Buffer and Delete, on a list of every record.
class TestRecordCommands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_f.emplace().start(sampleRecords()));
        find(QString());
    }
    void cleanup() { m_f.reset(); }
    void recordView_data();
    void recordView();
    void letters_data();
    void letters();
    void sendToBufferFillsSlotsUntilFull();
    void commandsNeedACurrentRecord_data();
    void commandsNeedACurrentRecord();
    void deleteAsksThenRepeatsTheSearch();

private:
    QString text(const char* name) const { return m_f->child<QPlainTextEdit>(name)->toPlainText(); }
    void selectLine(int row)
    {
        QListView* list = m_f->child<QListView>("List1");
        const QRect place = list->visualRect(list->model()->index(row, 0));
        QVERIFY(list->viewport()->rect().contains(place.center()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
    }
    void find(const QString& text)
    {
        m_f->child<QLineEdit>("Text1")->setText(text);
        m_f->form->Command1_Click();
    }

    std::optional<MainWindowFixture> m_f;
};

// How the frequencies are spelled is tst_frequencytext's; these show what reaches the boxes.
// The second Twin is reached with the arrow key: a record is found by its row, not its text.
void TestRecordCommands::recordView_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("arrowKey"); // from the line before
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QString>("frequencies");

    QTest::newRow("null comments") << "Bravo" << false << "No Comments" << ",  20";
    QTest::newRow("blank comments kept") << "Delta" << false << " " << " 1";
    QTest::newRow("second twin") << "Twin" << true << "twin two" << " 2";
}

void TestRecordCommands::recordView()
{
    QFETCH(QString, description);
    QFETCH(bool, arrowKey);
    QFETCH(QString, comments);
    QFETCH(QString, frequencies);

    const int first = m_f->resultLines().indexOf(description);
    QVERIFY(first >= 0);
    selectLine(first);
    const int row = first + (arrowKey ? 1 : 0);
    if (arrowKey) {
        QListView* list = m_f->child<QListView>("List1");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
    }
    QCOMPARE(text("Text2"), comments);
    QCOMPARE(text("Text3"), frequencies);
    QCOMPARE(m_f->module.FreqString, frequencies);
    QCOMPARE(m_f->module.RecordCounter, row);
    QCOMPARE(m_f->module.MoveCounter, row);
    QCOMPARE(m_f->form->data1().field("Description").toString(), description);
}

void TestRecordCommands::letters_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("M, either case") << "m" << QStringList{"mike lower", "Mike upper"};
    QTest::newRow("C item passes c") << "C" << QStringList{"Charlie"};
    QTest::newRow("no records") << "z" << QStringList{};
}

void TestRecordCommands::letters()
{
    QFETCH(QString, item);
    QFETCH(QStringList, lines);

    m_f->child<QLineEdit>("Text1")->setText("kept");
    m_f->form->findChild<QAction*>(item)->trigger();
    QCOMPARE(m_f->resultLines(), lines);
    QCOMPARE(m_f->resultsCaption(), QStringLiteral("Results :  %1 records found").arg(lines.size()));
    QCOMPARE(m_f->module.SearchText, item.toLower());
    QCOMPARE(m_f->child<QLineEdit>("Text1")->text(), QStringLiteral("kept"));
    QVERIFY(m_f->child<QCheckBox>("Check1_0")->isChecked());
    QVERIFY(m_f->boxes.shown.isEmpty());
}

void TestRecordCommands::sendToBufferFillsSlotsUntilFull()
{
    for (const char* description : {"Charlie", "Alpha", "Bravo", "Alpha"}) {
        selectLine(m_f->resultLines().indexOf(description));
        QTest::mouseClick(m_f->child<QPushButton>("Command3"), Qt::LeftButton);
    }
    Module1& shared = m_f->module;
    QStringList sent;
    for (int n = 1; n < shared.BufNext; ++n)
        sent << shared.BufDescription[n] + '|' + shared.BufComments[n] + '|' + shared.BufFrequencies[n];
    const QString alpha = QStringLiteral("Alpha|first comments| 7.83,  20,  727.5");
    QCOMPARE(sent, QStringList({"Charlie|No Comment|,  .5", alpha, "Bravo|No Comment|,  20", alpha}));
    QCOMPARE(m_f->beeps, 4);

    // The 500th record still goes in; the next is refused.
    shared.BufNext = 500;
    m_f->form->Command3_Click();
    QCOMPARE(shared.BufDescription[500], QStringLiteral("Alpha"));
    m_f->form->Command3_Click();
    QCOMPARE(shared.BufNext, 501);
    QCOMPARE(m_f->beeps, 5);
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.first().title, QStringLiteral("Buffer Full"));
}

// After a search no line is chosen: the list taking the focus, by Tab or back from a menu,
// chooses none either, and the boxes keep the record viewed before.
void TestRecordCommands::commandsNeedACurrentRecord_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("focusReason"); // how the list got the focus, -1 for not at all
    QTest::newRow("Send to Buffer, Tab into the list") << "Command3" << int(Qt::TabFocusReason);
    QTest::newRow("Delete") << "Command7" << -1;
    QTest::newRow("Edit, a menu closed over the list") << "Command6" << int(Qt::PopupFocusReason);
}

void TestRecordCommands::commandsNeedACurrentRecord()
{
    QFETCH(QString, button);
    QFETCH(int, focusReason);
    selectLine(1);
    find(QString());
    auto* list = m_f->child<QListView>("List1");
    if (focusReason >= 0) {
        QFocusEvent focus(QEvent::FocusIn, Qt::FocusReason(focusReason));
        QApplication::sendEvent(list, &focus);
    }
    QCOMPARE(text("Text2") + '|' + text("Text3") + '|' + m_f->module.FreqString,
             QStringLiteral("No Comments|,  20|,  20"));
    QTest::mouseClick(m_f->child<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.first().title, QStringLiteral("No Record Selected"));
    QCOMPARE(readDatabase(m_f->dbPath()).size(), sampleRecords().size());
    QVERIFY(m_f->form->isEnabled());
    // The first key that moves the selection chooses the first line.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(m_f->module.RecordCounter, 0);
}

// A cancelled or refused delete keeps the record; a delete from a letter's list then runs Find
// with the search box's text, not the letter's query.
void TestRecordCommands::deleteAsksThenRepeatsTheSearch()
{
    find("h");
    QCOMPARE(m_f->resultLines(), QStringList({"Alpha", "Charlie"}));
    m_f->form->findChild<QAction*>("a")->trigger();
    selectLine(0);
    m_f->boxes.queueAnswer(MessageBoxes::Cancel);
    m_f->form->Command7_Click();
    // A read-only connection makes the engine refuse the DELETE for real.
    const QSqlDatabase db = m_f->form->data1().database();
    QVERIFY(OrvoDatabase::exec(db, "PRAGMA query_only = ON").ok);
    m_f->form->Command7_Click();
    QCOMPARE(m_f->boxes.shown.size(), 3);
    QVERIFY(m_f->boxes.shown.last().prompt.startsWith("The record could not be deleted: "));
    QCOMPARE(m_f->boxes.shown.last().title, QStringLiteral("Delete A Record"));
    QCOMPARE(m_f->resultLines(), QStringList({"Alpha"}));
    QCOMPARE(readDatabase(m_f->dbPath()).size(), sampleRecords().size());

    QVERIFY(OrvoDatabase::exec(db, "PRAGMA query_only = OFF").ok);
    m_f->form->Command7_Click();
    for (int i : {0, 1, 3}) {
        QCOMPARE(m_f->boxes.shown.at(i).prompt,
                 QStringLiteral("You are about to permanently DELETE the select record !"));
        QCOMPARE(m_f->boxes.shown.at(i).style, MessageBoxes::OkCancel);
    }
    QCOMPARE(m_f->resultLines(), QStringList({"Charlie"}));
    QCOMPARE(m_f->resultsCaption(), QStringLiteral("Results :  1 records found"));
    QVERIFY(m_f->form->data1().isEof());
    const QVector<TestRecord> stored = readDatabase(m_f->dbPath());
    QCOMPARE(stored.size(), sampleRecords().size() - 1);
    QCOMPARE(stored.first().description.toString(), QStringLiteral("Bravo"));
}

QTEST_MAIN(TestRecordCommands)
#include "tst_recordcommands.moc"

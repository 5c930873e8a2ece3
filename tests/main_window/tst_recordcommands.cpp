#include "main_window/Form1.h"
#include "main_window/ResultListModel.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The record view, the letter index, Send to Buffer and Delete.
class TestRecordCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordView_data();
    void recordView();
    void keysMoveTheRecordView();
    void duplicateDescriptionsReachTheirOwnRecords();
    void letters_data();
    void letters();
    void sendToBufferFillsSlotsInOrder();
    void sendToBufferRefusesWhenFull();
    void commandsNeedACurrentRecord_data();
    void commandsNeedACurrentRecord();
    void deleteCancelledChangesNothing();
    void deleteRemovesRecordAndRunsFind();
    void deleteRepeatsAToleranceSearch();
    void refusedDeleteKeepsRecord();

private:
    QStringList listLines() const;
    void selectLine(int row);
    void find(const QString& text);

    std::unique_ptr<MainWindowFixture> m_fixture;
};

namespace {

QVariantList fieldValues(std::initializer_list<std::pair<int, QVariant>> values)
{
    QVariantList fields(40);
    for (const auto& [number, value] : values)
        fields[number - 1] = value;
    return fields;
}

QVector<TestRecord> sampleRecords()
{
    return {
        TestRecord::make("Alpha", "first comments", {"7.83", "20", "727.5"}),
        TestRecord::make("Bravo", nullText(), fieldValues({{2, "20"}})),
        TestRecord::make("Charlie", "", fieldValues({{1, "0"}, {2, "0.5"}})),
        TestRecord::make("Delta", " ", fieldValues({{1, "1"}, {5, "5"}})),
        TestRecord::make("Echo", "multi\nline", fieldValues({{40, "728"}})),
        TestRecord::make("mike lower", "m lower"),
        TestRecord::make("Mike upper", "m upper"),
        TestRecord::make("9 digits first", "digit"),
        TestRecord::make("Twin", "twin one", {"1"}),
        TestRecord::make("Twin", "twin two", {"2"}),
        TestRecord::make(nullText(), "no description"),
    };
}

} // namespace

void TestRecordCommands::init()
{
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(m_fixture->start(sampleRecords()));
    find(QString());
}

void TestRecordCommands::cleanup()
{
    m_fixture.reset();
}

QStringList TestRecordCommands::listLines() const
{
    return static_cast<ResultListModel*>(m_fixture->child<QListView>("List1")->model())->lines();
}

void TestRecordCommands::selectLine(int row)
{
    QListView* list = m_fixture->child<QListView>("List1");
    const QRect place = list->visualRect(list->model()->index(row, 0));
    if (place.isValid() && list->viewport()->rect().contains(place.center())) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
    } else {
        list->setCurrentIndex(list->model()->index(row, 0));
    }
}

void TestRecordCommands::find(const QString& text)
{
    m_fixture->child<QLineEdit>("Text1")->setText(text);
    m_fixture->form->Command1_Click();
}

// How the frequencies are spelled is tst_frequencytext's; these show what reaches the boxes.
void TestRecordCommands::recordView_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QString>("frequencies");

    QTest::newRow("null comments") << "Bravo" << "No Comments" << ",  20";
    QTest::newRow("blank comments kept") << "Delta" << " " << " 1,  5";
    QTest::newRow("F40 only, two lines") << "Echo" << "multi\nline" << ",  728";
}

void TestRecordCommands::recordView()
{
    QFETCH(QString, description);
    QFETCH(QString, comments);
    QFETCH(QString, frequencies);

    const int row = listLines().indexOf(description);
    QVERIFY(row >= 0);
    selectLine(row);
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText(), comments);
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text3")->toPlainText(), frequencies);
    QCOMPARE(m_fixture->module.FreqString, frequencies);
    QCOMPARE(m_fixture->module.RecordCounter, row);
    QCOMPARE(m_fixture->module.MoveCounter, row);
    QCOMPARE(m_fixture->form->data1().field("Description").toString(), description);
}

void TestRecordCommands::keysMoveTheRecordView()
{
    QListView* list = m_fixture->child<QListView>("List1");
    selectLine(0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(m_fixture->module.RecordCounter, 1);
    QCOMPARE(m_fixture->form->data1().field("Description").toString(), listLines().at(1));
}

void TestRecordCommands::duplicateDescriptionsReachTheirOwnRecords()
{
    const int first = listLines().indexOf("Twin");
    QCOMPARE(listLines().at(first + 1), QStringLiteral("Twin"));
    selectLine(first);
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText(), QStringLiteral("twin one"));
    selectLine(first + 1);
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText(), QStringLiteral("twin two"));
    QCOMPARE(m_fixture->module.FreqString, QStringLiteral(" 2"));
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

    m_fixture->child<QLineEdit>("Text1")->setText("kept");
    m_fixture->form->findChild<QAction*>(item)->trigger();
    QCOMPARE(listLines(), lines);
    QCOMPARE(m_fixture->child<QLabel>("Label2_0")->text(),
             QStringLiteral("Results :  %1 records found").arg(lines.size()));
    QCOMPARE(m_fixture->module.SearchText, item.toLower());
    QCOMPARE(m_fixture->child<QLineEdit>("Text1")->text(), QStringLiteral("kept"));
    QVERIFY(m_fixture->child<QCheckBox>("Check1_0")->isChecked());
    QVERIFY(m_fixture->boxes.shown.isEmpty());
    // No letter reaches a description that begins with a digit.
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        m_fixture->form->findChild<QAction*>(letter == 'c' ? QStringLiteral("C") : QString(QLatin1Char(letter)))
            ->trigger();
        QVERIFY(!listLines().contains("9 digits first"));
    }
}

void TestRecordCommands::sendToBufferFillsSlotsInOrder()
{
    const QStringList order{"Charlie", "Alpha", "Bravo", "Alpha"};
    for (const QString& description : order) {
        selectLine(listLines().indexOf(description));
        QTest::mouseClick(m_fixture->child<QPushButton>("Command3"), Qt::LeftButton);
    }
    const Module1& shared = m_fixture->module;
    QCOMPARE(shared.BufNext, 5);
    QCOMPARE(m_fixture->beeps, 4);
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(shared.BufDescription[n], order.at(n - 1));
    QCOMPARE(shared.BufComments[1], QStringLiteral("No Comment"));
    QCOMPARE(shared.BufComments[2], QStringLiteral("first comments"));
    QCOMPARE(shared.BufComments[3], QStringLiteral("No Comment"));
    QCOMPARE(shared.BufFrequencies[1], QStringLiteral(",  .5"));
    QCOMPARE(shared.BufFrequencies[2], QStringLiteral(" 7.83,  20,  727.5"));
    QCOMPARE(shared.BufFrequencies[4], shared.BufFrequencies[2]);
}

void TestRecordCommands::sendToBufferRefusesWhenFull()
{
    selectLine(0);
    m_fixture->module.BufNext = 500;
    m_fixture->form->Command3_Click();
    QCOMPARE(m_fixture->module.BufNext, 501);
    QCOMPARE(m_fixture->module.BufDescription[500], listLines().at(0));
    m_fixture->form->Command3_Click();
    QCOMPARE(m_fixture->module.BufNext, 501);
    QCOMPARE(m_fixture->beeps, 1);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Buffer Full"));
    QCOMPARE(m_fixture->boxes.shown.first().prompt,
             QStringLiteral("The buffer is full: it holds 500 records. Clear it in View Buffer before adding more."));
}

void TestRecordCommands::commandsNeedACurrentRecord_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Send to Buffer") << "Command3";
    QTest::newRow("Delete") << "Command7";
    QTest::newRow("Edit") << "Command6";
}

void TestRecordCommands::commandsNeedACurrentRecord()
{
    QFETCH(QString, button);
    const int records = readDatabase(m_fixture->dbPath()).size();
    QTest::mouseClick(m_fixture->child<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().prompt, QStringLiteral("Select a record in the list first."));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("No Record Selected"));
    QCOMPARE(m_fixture->module.BufNext, 1);
    QCOMPARE(readDatabase(m_fixture->dbPath()).size(), records);
    QVERIFY(m_fixture->form->isEnabled());
}

void TestRecordCommands::deleteCancelledChangesNothing()
{
    selectLine(0);
    const QStringList before = listLines();
    m_fixture->boxes.queueAnswer(MessageBoxes::Cancel);
    m_fixture->form->Command7_Click();
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().prompt,
             QStringLiteral("You are about to permanently DELETE the select record !"));
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Delete A Record"));
    QCOMPARE(m_fixture->boxes.shown.first().style, MessageBoxes::OkCancel);
    QCOMPARE(listLines(), before);
    QCOMPARE(readDatabase(m_fixture->dbPath()).size(), sampleRecords().size());
    QVERIFY(m_fixture->form->data1().hasCurrentRecord());
}

void TestRecordCommands::deleteRemovesRecordAndRunsFind()
{
    find("i");
    m_fixture->form->findChild<QAction*>("m")->trigger();
    QCOMPARE(listLines(), QStringList({"mike lower", "Mike upper"}));
    selectLine(1);
    m_fixture->form->Command7_Click();

    // Find ran with the search box's "i", not the letter's query.
    QVERIFY(!listLines().contains("Mike upper"));
    QVERIFY(listLines().contains("Charlie"));
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text2")->toPlainText(), QStringLiteral("m upper"));
    QVERIFY(m_fixture->form->data1().isEof());
    const QVector<TestRecord> stored = readDatabase(m_fixture->dbPath());
    QCOMPARE(stored.size(), sampleRecords().size() - 1);
    for (const TestRecord& record : stored)
        QVERIFY(record.description.toString() != QLatin1String("Mike upper"));
}

void TestRecordCommands::deleteRepeatsAToleranceSearch()
{
    // Description first: ticking Frequencies beside it would untick both.
    m_fixture->child<QCheckBox>("Check1_0")->click();
    m_fixture->child<QCheckBox>("Check1_2")->click();
    find(" 728 ~ 1 ");
    QCOMPARE(listLines(), QStringList({"Alpha", "Echo"}));
    QCOMPARE(m_fixture->child<QLabel>("Label2_0")->text(), QStringLiteral("Results :  2 records found"));
    QVERIFY(m_fixture->form->module().QuerySql.contains(QStringLiteral("Main.F40 Between 727 And 729")));
    selectLine(0);
    QCOMPARE(m_fixture->child<QPlainTextEdit>("Text3")->toPlainText(), QStringLiteral(" 7.83,  20,  727.5"));
    m_fixture->form->Command7_Click();
    QCOMPARE(listLines(), QStringList({"Echo"}));
    QCOMPARE(m_fixture->child<QLabel>("Label2_0")->text(), QStringLiteral("Results :  1 records found"));
}

void TestRecordCommands::refusedDeleteKeepsRecord()
{
    selectLine(0);
    // A read-only connection makes the engine refuse the DELETE for real.
    QVERIFY(OrvoDatabase::exec(m_fixture->form->data1().database(), "PRAGMA query_only = ON").ok);
    const QStringList before = listLines();
    m_fixture->form->Command7_Click();
    QCOMPARE(m_fixture->boxes.shown.size(), 2);
    QVERIFY(m_fixture->boxes.shown.last().prompt.startsWith("The record could not be deleted: "));
    QCOMPARE(listLines(), before);
    QCOMPARE(readDatabase(m_fixture->dbPath()).size(), sampleRecords().size());
}

QTEST_MAIN(TestRecordCommands)
#include "tst_recordcommands.moc"

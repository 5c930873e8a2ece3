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
    void arrowKeyReachesTheTwinRecord();
    void letters_data();
    void letters();
    void sendToBufferFillsSlotsUntilFull();
    void commandsNeedACurrentRecord_data();
    void commandsNeedACurrentRecord();
    void cancelledOrRefusedDeleteKeepsRecord();
    void deleteRepeatsAToleranceSearch();

private:
    QStringList listLines() const
    {
        return static_cast<ResultListModel*>(m_f->child<QListView>("List1")->model())->lines();
    }
    QString text(const char* name) const { return m_f->child<QPlainTextEdit>(name)->toPlainText(); }
    QString caption() const { return m_f->child<QLabel>("Label2_0")->text(); }
    void selectLine(int row)
    {
        QListView* list = m_f->child<QListView>("List1");
        const QRect place = list->visualRect(list->model()->index(row, 0));
        if (place.isValid() && list->viewport()->rect().contains(place.center()))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
        else
            list->setCurrentIndex(list->model()->index(row, 0));
    }
    void find(const QString& text)
    {
        m_f->child<QLineEdit>("Text1")->setText(text);
        m_f->form->Command1_Click();
    }

    std::optional<MainWindowFixture> m_f;
};

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
    QCOMPARE(text("Text2"), comments);
    QCOMPARE(text("Text3"), frequencies);
    QCOMPARE(m_f->module.FreqString, frequencies);
    QCOMPARE(m_f->module.RecordCounter, row);
    QCOMPARE(m_f->module.MoveCounter, row);
    QCOMPARE(m_f->form->data1().field("Description").toString(), description);
}

void TestRecordCommands::arrowKeyReachesTheTwinRecord()
{
    const int first = listLines().indexOf("Twin");
    QCOMPARE(listLines().at(first + 1), QStringLiteral("Twin"));
    selectLine(first);
    QCOMPARE(text("Text2"), QStringLiteral("twin one"));
    QListView* list = m_f->child<QListView>("List1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(text("Text2"), QStringLiteral("twin two"));
    QCOMPARE(m_f->module.FreqString, QStringLiteral(" 2"));
    QCOMPARE(m_f->module.RecordCounter, first + 1);
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
    QCOMPARE(listLines(), lines);
    QCOMPARE(caption(), QStringLiteral("Results :  %1 records found").arg(lines.size()));
    QCOMPARE(m_f->module.SearchText, item.toLower());
    QCOMPARE(m_f->child<QLineEdit>("Text1")->text(), QStringLiteral("kept"));
    QVERIFY(m_f->child<QCheckBox>("Check1_0")->isChecked());
    QVERIFY(m_f->boxes.shown.isEmpty());
}

void TestRecordCommands::sendToBufferFillsSlotsUntilFull()
{
    const QStringList order{"Charlie", "Alpha", "Bravo", "Alpha"};
    for (const QString& description : order) {
        selectLine(listLines().indexOf(description));
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
    QCOMPARE(shared.BufNext, 501);
    QCOMPARE(shared.BufDescription[500], QStringLiteral("Alpha"));
    m_f->form->Command3_Click();
    QCOMPARE(shared.BufNext, 501);
    QCOMPARE(m_f->beeps, 5);
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.first().title, QStringLiteral("Buffer Full"));
    QCOMPARE(m_f->boxes.shown.first().prompt,
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
    QTest::mouseClick(m_f->child<QPushButton>(button), Qt::LeftButton);
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.first().prompt, QStringLiteral("Select a record in the list first."));
    QCOMPARE(m_f->boxes.shown.first().title, QStringLiteral("No Record Selected"));
    QCOMPARE(m_f->module.BufNext, 1);
    QCOMPARE(readDatabase(m_f->dbPath()).size(), sampleRecords().size());
    QVERIFY(m_f->form->isEnabled());
}

void TestRecordCommands::cancelledOrRefusedDeleteKeepsRecord()
{
    selectLine(0);
    const QStringList before = listLines();
    m_f->boxes.queueAnswer(MessageBoxes::Cancel);
    m_f->form->Command7_Click();
    // A read-only connection makes the engine refuse the DELETE for real.
    QVERIFY(OrvoDatabase::exec(m_f->form->data1().database(), "PRAGMA query_only = ON").ok);
    m_f->form->Command7_Click();

    QCOMPARE(m_f->boxes.shown.size(), 3);
    for (int i : {0, 1}) {
        QCOMPARE(m_f->boxes.shown.at(i).prompt,
                 QStringLiteral("You are about to permanently DELETE the select record !"));
        QCOMPARE(m_f->boxes.shown.at(i).style, MessageBoxes::OkCancel);
    }
    QVERIFY(m_f->boxes.shown.last().prompt.startsWith("The record could not be deleted: "));
    for (const ScriptedMessageBoxes::Shown& shown : m_f->boxes.shown)
        QCOMPARE(shown.title, QStringLiteral("Delete A Record"));
    QCOMPARE(listLines(), before);
    QCOMPARE(readDatabase(m_f->dbPath()).size(), sampleRecords().size());
    QVERIFY(m_f->form->data1().hasCurrentRecord());
}

void TestRecordCommands::deleteRepeatsAToleranceSearch()
{
    // Description first: ticking Frequencies beside it would untick both.
    m_f->child<QCheckBox>("Check1_0")->click();
    m_f->child<QCheckBox>("Check1_2")->click();
    find(" 728 ~ 1 ");
    QCOMPARE(listLines(), QStringList({"Alpha", "Echo"}));
    QCOMPARE(caption(), QStringLiteral("Results :  2 records found"));
    QVERIFY(m_f->form->module().QuerySql.contains(QStringLiteral("Main.F40 Between 727 And 729")));

    // Deleting from a letter's list runs Find with the search box's text, not the letter's query.
    m_f->form->findChild<QAction*>("a")->trigger();
    QCOMPARE(listLines(), QStringList({"Alpha"}));
    selectLine(0);
    QCOMPARE(text("Text3"), QStringLiteral(" 7.83,  20,  727.5"));
    m_f->form->Command7_Click();
    QCOMPARE(listLines(), QStringList({"Echo"}));
    QCOMPARE(caption(), QStringLiteral("Results :  1 records found"));
    QCOMPARE(text("Text2"), QStringLiteral("first comments"));
    QVERIFY(m_f->form->data1().isEof());
    const QVector<TestRecord> stored = readDatabase(m_f->dbPath());
    QCOMPARE(stored.size(), sampleRecords().size() - 1);
    for (const TestRecord& record : stored)
        QVERIFY(record.description.toString() != QLatin1String("Alpha"));
}

QTEST_MAIN(TestRecordCommands)
#include "tst_recordcommands.moc"

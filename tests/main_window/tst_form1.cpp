#include "main_window/Form1.h"
#include "main_window/ResultListModel.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// Start-up, the option rule and Find.
class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsEmptyWithDescriptionTicked();
    void hasFileMenuAndLetters();
    void accessibleNamesAndFocusOrder();
    void optionRule_data();
    void optionRule();
    void find_data();
    void find();
    void enterRunsFind();
    void refusalsKeepTheList_data();
    void refusalsKeepTheList();
    void rejectedQueryKeepsEverything();
    void createsDemoDatabaseWhenMissing();
    void refusesForeignDatabaseUntouched();
    void exitEndsWithoutClosingHandler();

private:
    QStringList listLines() const;
    QString caption() const;
    void setOptions(bool description, bool comments, bool frequencies);
    void findText(const QString& text);

    std::unique_ptr<MainWindowFixture> m_fixture;
};

namespace {

QVector<TestRecord> sampleRecords()
{
    return {
        TestRecord::make("Zebra crossing", "black and white"),
        TestRecord::make("apple orchard", nullText(), {"7.83"}),
        TestRecord::make("Heart rhythm", "", {"1.2"}),
        TestRecord::make("École bell", "ringing heart of the village", {"440"}),
        TestRecord::make("Seventeen", "has 728 in F17", QVariantList(16, nullText()) << "728"),
        TestRecord::make("Near miss", "heart", {"7280", "72.8"}),
        TestRecord::make("O'Brien's bell", "quoted"),
    };
}

} // namespace

void TestForm1::init()
{
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(m_fixture->start(sampleRecords()));
}

void TestForm1::cleanup()
{
    m_fixture.reset();
}

QStringList TestForm1::listLines() const
{
    return static_cast<ResultListModel*>(m_fixture->child<QListView>("List1")->model())->lines();
}

QString TestForm1::caption() const
{
    return m_fixture->child<QLabel>("Label2_0")->text();
}

void TestForm1::setOptions(bool description, bool comments, bool frequencies)
{
    // Set through the rule's own order: clear first so that no box clears another.
    const std::array<bool, 3> wanted{description, comments, frequencies};
    for (int i = 0; i < 3; ++i)
        m_fixture->child<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->setChecked(false);
    for (int i = 0; i < 3; ++i)
        if (wanted[i])
            m_fixture->child<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->setChecked(true);
}

void TestForm1::findText(const QString& text)
{
    m_fixture->child<QLineEdit>("Text1")->setText(text);
    QTest::mouseClick(m_fixture->child<QPushButton>("Command1"), Qt::LeftButton);
}

void TestForm1::startsEmptyWithDescriptionTicked()
{
    Form1& form = *m_fixture->form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Orvo - v 1.0"));
    QVERIFY(listLines().isEmpty());
    QCOMPARE(caption(), QStringLiteral("Results :"));
    QVERIFY(m_fixture->child<QCheckBox>("Check1_0")->isChecked());
    QVERIFY(!m_fixture->child<QCheckBox>("Check1_1")->isChecked());
    QVERIFY(!m_fixture->child<QCheckBox>("Check1_2")->isChecked());
    QCOMPARE(m_fixture->module.BufNext, 1);
    QCOMPARE(m_fixture->module.QuerySql, QueryTexts::allRecordsQuery());
    QCOMPARE(m_fixture->module.DbPath, QDir(m_fixture->folder.path()).filePath("freqs.mdb"));
    QVERIFY(form.data1().hasCurrentRecord());
    QVERIFY(m_fixture->boxes.shown.isEmpty());
    QTRY_COMPARE(QApplication::focusWidget(), m_fixture->child<QWidget>("Command7"));
}

void TestForm1::hasFileMenuAndLetters()
{
    const QList<QAction*> top = m_fixture->form->menuBar()->actions();
    QCOMPARE(top.size(), 27);
    QCOMPARE(top.first()->text(), QStringLiteral("File"));
    QStringList fileItems;
    for (QAction* item : top.first()->menu()->actions())
        fileItems << (item->isSeparator() ? QStringLiteral("-") : item->objectName() + '=' + item->text());
    QCOMPARE(fileItems, QStringList({"pLr=Print List Results", "TipsandHelp=Tips and About",
                                     "RandCDB=Repair and Compact Database", "-", "Exit=Exit"}));
    for (int i = 0; i < 26; ++i) {
        const QChar letter = QLatin1Char(char('A' + i));
        QCOMPARE(top.at(i + 1)->text(), QStringLiteral("&") + letter);
        QCOMPARE(top.at(i + 1)->objectName(), letter == 'C' ? QStringLiteral("C") : QString(letter.toLower()));
    }
}

void TestForm1::accessibleNamesAndFocusOrder()
{
    const std::pair<const char*, const char*> accessibleNames[] = {
        {"List1", "Results"},           {"Text1", "Search"},   {"Command1", "Find"},
        {"Check1_2", "Frequencies"},    {"Text2", "Comments"}, {"Text3", "Frequencies"},
        {"Command3", "Send to Buffer"}, {"Command7", "Delete"}, {"Label2_3", "Frequencies"}};
    for (const auto& [name, accessibleName] : accessibleNames)
        QCOMPARE(m_fixture->child<QWidget>(name)->accessibleName(), QString(accessibleName));
    const QStringList expected{"Command7", "Command6", "Command5",  "Command4",  "Command3",  "Text3",   "Text2",
                               "List1",    "Check1_2", "Check1_1", "Check1_0", "Text1", "Command1"};
    QWidget* widget = m_fixture->child<QWidget>("Command7");
    QStringList order;
    for (int i = 0; i < expected.size(); ++i) {
        order << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty()
               || !expected.contains(widget->objectName()))
            widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, expected);
}

void TestForm1::optionRule_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("after");

    QTest::newRow("D, click C") << "D.." << 1 << "DC.";
    QTest::newRow("D, click D") << "D.." << 0 << "...";
    QTest::newRow("DC, click D") << "DC." << 0 << ".C.";
    QTest::newRow("D, click F") << "D.." << 2 << "...";
    QTest::newRow("F, click D") << "..F" << 0 << "...";
    QTest::newRow("none, click F") << "..." << 2 << "..F";
}

void TestForm1::optionRule()
{
    QFETCH(QString, before);
    QFETCH(int, clicked);
    QFETCH(QString, after);
    setOptions(before.at(0) == 'D', before.at(1) == 'C', before.at(2) == 'F');
    QTest::mouseClick(m_fixture->child<QCheckBox>(QStringLiteral("Check1_%1").arg(clicked)), Qt::LeftButton,
                      {}, QPoint(5, 10));
    QString state;
    for (int i = 0; i < 3; ++i)
        state += m_fixture->child<QCheckBox>(QStringLiteral("Check1_%1").arg(i))->isChecked() ? QString("DCF").at(i)
                                                                                               : QChar('.');
    QCOMPARE(state, after);
}

void TestForm1::find_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    // NOCASE folds ASCII letters only, so "École" sorts after every ASCII description.
    const QStringList all{"apple orchard",  "Heart rhythm", "Near miss", "O'Brien's bell",
                          "Seventeen", "Zebra crossing", "École bell"};
    QTest::newRow("description, empty: every record") << "D" << "" << all;
    QTest::newRow("comments, empty: null left out")
        << "C" << "" << QStringList{"Heart rhythm", "Near miss", "O'Brien's bell", "Seventeen",
                                    "Zebra crossing", "École bell"};
    QTest::newRow("both, listed once") << "DC" << "heart" << QStringList{"Heart rhythm", "Near miss", "École bell"};
    QTest::newRow("frequency 728 only exact") << "F" << "728" << QStringList{"Seventeen"};
    QTest::newRow("nothing found") << "D" << "xyzzy" << QStringList{};
}

void TestForm1::find()
{
    QFETCH(QString, options);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    setOptions(options.contains('D'), options.contains('C'), options.contains('F'));
    findText(text);
    QVERIFY(m_fixture->boxes.shown.isEmpty());
    QCOMPARE(listLines(), lines);
    QCOMPARE(caption(), QStringLiteral("Results :  %1 records found").arg(lines.size()));
    QCOMPARE(m_fixture->module.ResultCount, lines.size());
    QCOMPARE(m_fixture->module.SearchText, text);
    QVERIFY(m_fixture->form->data1().isEof());
}

void TestForm1::enterRunsFind()
{
    QLineEdit* search = m_fixture->child<QLineEdit>("Text1");
    search->setFocus();
    QTest::keyClicks(search, "bell");
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(listLines(), QStringList({"O'Brien's bell", "École bell"}));
    QCOMPARE(caption(), QStringLiteral("Results :  2 records found"));
}

void TestForm1::refusalsKeepTheList_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("searchText");

    QTest::newRow("no option") << ""
                               << "new"
                               << "You need to check Description or Comments or Frequencies."
                               << "Make a Choice !"
                               << "bell";
    QTest::newRow("below one") << "F"
                               << "0.5"
                               << "You need to enter a value 1 or greater in the search box."
                               << "Enter a Value !"
                               << "0.5";
    QTest::newRow("not plain") << "F"
                               << "728 Hz"
                               << "The frequency search needs a number such as 728, a tolerance such as 728~1 or "
                                  "728~0.5%, or a range such as 720-730."
                               << "Enter a Value !"
                               << "728 Hz";
}

void TestForm1::refusalsKeepTheList()
{
    QFETCH(QString, options);
    QFETCH(QString, text);
    QFETCH(QString, prompt);
    QFETCH(QString, title);
    QFETCH(QString, searchText);

    findText("bell");
    const QString query = m_fixture->module.QuerySql;
    setOptions(options.contains('D'), options.contains('C'), options.contains('F'));
    findText(text);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().prompt, prompt);
    QCOMPARE(m_fixture->boxes.shown.first().title, title);
    QCOMPARE(m_fixture->boxes.shown.first().style, MessageBoxes::OkOnly);
    QCOMPARE(listLines(), QStringList({"O'Brien's bell", "École bell"}));
    QCOMPARE(caption(), QStringLiteral("Results :  2 records found"));
    QCOMPARE(m_fixture->module.QuerySql, query);
    QCOMPARE(m_fixture->module.SearchText, searchText);
}

void TestForm1::rejectedQueryKeepsEverything()
{
    findText("bell");
    const QString query = m_fixture->module.QuerySql;
    findText("[unclosed");
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.first().title, QStringLiteral("Search Failed"));
    QVERIFY(m_fixture->boxes.shown.first().prompt.contains("Invalid pattern"));
    QCOMPARE(listLines(), QStringList({"O'Brien's bell", "École bell"}));
    QCOMPARE(m_fixture->module.QuerySql, query);
    QCOMPARE(m_fixture->form->data1().recordCount(), 2);
}

void TestForm1::createsDemoDatabaseWhenMissing()
{
    MainWindowFixture fresh;
    fresh.form = std::make_unique<Form1>(fresh.services);
    QVERIFY(fresh.form->Form_Load());
    QVERIFY(QFile::exists(fresh.dbPath()));
    QVERIFY(fresh.form->data1().recordCount() >= 150);
}

void TestForm1::refusesForeignDatabaseUntouched()
{
    MainWindowFixture foreign;
    writeFile(foreign.dbPath(), "this is somebody's letter, not a database\r\n");
    const QByteArray before = fileHash(foreign.dbPath());

    foreign.form = std::make_unique<Form1>(foreign.services);
    QVERIFY(!foreign.form->Form_Load());
    QCOMPARE(foreign.boxes.shown.size(), 1);
    QCOMPARE(foreign.boxes.shown.first().title, QStringLiteral("Database Error"));
    QVERIFY(foreign.boxes.shown.first().prompt.contains(QDir::toNativeSeparators(foreign.dbPath())));
    QVERIFY(foreign.boxes.shown.first().prompt.contains("not an Orvo database"));
    QCOMPARE(fileHash(foreign.dbPath()), before);
}

void TestForm1::exitEndsWithoutClosingHandler()
{
    QAction* exit = m_fixture->form->findChild<QAction*>("Exit");
    exit->trigger();
    QCOMPARE(m_fixture->quits, 1);
    QVERIFY(!m_fixture->form->data1().isOpen());
    QVERIFY(m_fixture->form->isVisible());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

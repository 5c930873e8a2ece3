#include "main_window/AppIcon.h"
#include "main_window/Form1.h"
#include "query/QueryTexts.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

QVector<TestRecord> sampleRecords()
{
    return {
        TestRecord::make("Zebra crossing", "black and white"), TestRecord::make("Heart rhythm", "", {"1.2"}),
        TestRecord::make("École bell", "ringing heart of the village", {"440"}),
        TestRecord::make("Near miss", "heart", {"7280", "72.8"}), TestRecord::make("O'Brien's bell", "quoted")};
}

} // namespace

// Start-up, the option rule, Find, and the icon of every window.
class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_f.emplace().start(sampleRecords())); }
    void cleanup() { m_f.reset(); }
    void startUpAndExit();
    void optionRule_data();
    void optionRule();
    void find_data();
    void find();
    void startsOnMissingOrForeignFile_data();
    void startsOnMissingOrForeignFile();
    void everyWindowShowsTheIcon();

private:
    QCheckBox* option(int i) const { return m_f->child<QCheckBox>(QStringLiteral("Check1_%1").arg(i)); }
    // The ticked options as "DCF" letters; set by clearing all first, so that the rule clears no wanted box.
    QString options() const
    {
        QString ticked;
        for (int i = 0; i < 3; ++i)
            ticked += option(i)->isChecked() ? QString(QLatin1String("DCF").at(i)) : QString();
        return ticked;
    }
    void setOptions(const QString& wanted)
    {
        for (int i = 0; i < 6; ++i)
            option(i % 3)->setChecked(i >= 3 && wanted.contains(QLatin1String("DCF").at(i % 3)));
    }

    std::optional<MainWindowFixture> m_f;
};

void TestForm1::startUpAndExit()
{
    QCOMPARE(m_f->form->windowTitle(), QStringLiteral("Orvo - v 1.0"));
    QVERIFY(m_f->resultLines().isEmpty());
    QCOMPARE(m_f->resultsCaption(), QStringLiteral("Results :"));
    QCOMPARE(options(), QStringLiteral("D"));
    QCOMPARE(m_f->module.BufNext, 1);
    QCOMPARE(m_f->module.QuerySql, QueryTexts::allRecordsQuery());
    QCOMPARE(m_f->module.DbPath, QDir(m_f->folder.path()).filePath("freqs.mdb"));
    QVERIFY(m_f->boxes.shown.isEmpty());
    QTRY_COMPARE(QApplication::focusWidget(), m_f->child<QWidget>("Command7"));

    // The File menu, then one item per letter; only the item for C has a capital name.
    const QList<QAction*> top = m_f->form->menuBar()->actions();
    QCOMPARE(top.first()->text(), QStringLiteral("File"));
    QCOMPARE(top.first()->menu()->font(), m_f->form->menuBar()->font()); // a window of its own
    QStringList items;
    for (QAction* item : top.first()->menu()->actions() + top.mid(1))
        items << (item->isSeparator() ? QStringLiteral("-") : item->objectName() + '=' + item->text());
    QStringList expected{"pLr=Print List Results", "TipsandHelp=Tips and About",
                         "RandCDB=Repair and Compact Database", "-", "Exit=Exit"};
    for (char letter = 'a'; letter <= 'z'; ++letter)
        expected << (letter == 'c' ? QStringLiteral("C") : QString(QLatin1Char(letter))) + "=&"
                        + QChar(letter).toUpper();
    QCOMPARE(items, expected);

    for (const char* pair : {"List1=Results", "Text1=Search", "Command1=Find", "Check1_2=Frequencies",
                             "Text2=Comments", "Text3=Frequencies", "Command3=Send to Buffer", "Command7=Delete"}) {
        const QStringList named = QString::fromLatin1(pair).split('=');
        QCOMPARE(m_f->child<QWidget>(named.first())->accessibleName(), named.last());
    }
    const QStringList focusOrder{"Command7", "Command6", "Command5", "Command4", "Command3", "Text3",   "Text2",
                                 "List1",    "Check1_2", "Check1_1", "Check1_0", "Text1",    "Command1"};
    QStringList visited;
    for (QWidget* widget = m_f->child<QWidget>("Command7"); visited.size() < focusOrder.size();
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() != Qt::NoFocus && focusOrder.contains(widget->objectName()))
            visited << widget->objectName();
    }
    QCOMPARE(visited, focusOrder);

    // Exit ends the program without a closing handler of its own.
    m_f->form->findChild<QAction*>("Exit")->trigger();
    QCOMPARE(m_f->quits, 1);
    QVERIFY(!m_f->form->data1().isOpen());
    QVERIFY(m_f->form->isVisible());
}

void TestForm1::optionRule_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QString>("after");

    QTest::newRow("D, click C") << "D" << 1 << "DC";
    QTest::newRow("DC, click D") << "DC" << 0 << "C";
    QTest::newRow("DC, click F: all clear") << "DC" << 2 << "";
    QTest::newRow("F, click D: all clear") << "F" << 0 << "";
    QTest::newRow("none, click F") << "" << 2 << "F";
}

void TestForm1::optionRule()
{
    QFETCH(QString, before);
    QFETCH(int, clicked);
    QFETCH(QString, after);
    setOptions(before);
    QTest::mouseClick(option(clicked), Qt::LeftButton, {}, QPoint(5, 10));
    QCOMPARE(options(), after);
}

void TestForm1::find_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("title"); // of the box that refuses the search, empty when it runs
    QTest::addColumn<QString>("prompt"); // ending in ": ", the engine's own words follow

    // NOCASE folds ASCII letters only, so "École" sorts after every ASCII description.
    QTest::newRow("both, listed once") << "DC" << "heart" << QStringList{"Heart rhythm", "Near miss", "École bell"}
                                       << "" << "";
    QTest::newRow("nothing found") << "D" << "xyzzy" << QStringList{} << "" << "";
    // Refused: the list of the search before stays.
    const QStringList bell{"O'Brien's bell", "École bell"};
    QTest::newRow("no option") << "" << "new" << bell << "Make a Choice !"
                               << "You need to check Description or Comments or Frequencies.";
    QTest::newRow("below one") << "F" << "0.5" << bell << "Enter a Value !"
                               << "You need to enter a value 1 or greater in the search box.";
    QTest::newRow("rejected by the database") << "D" << "[unclosed" << bell << "Search Failed"
                                              << "The database could not run the search: ";
}

// Enter in the search box runs Find as its button does.
void TestForm1::find()
{
    QFETCH(QString, options);
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(QString, title);
    QFETCH(QString, prompt);

    auto* search = m_f->child<QLineEdit>("Text1");
    search->setText("bell");
    QTest::mouseClick(m_f->child<QPushButton>("Command1"), Qt::LeftButton);
    const QString query = m_f->module.QuerySql;
    setOptions(options);
    search->clear();
    QTest::keyClicks(search, text);
    QTest::keyClick(search, Qt::Key_Return);

    QCOMPARE(m_f->boxes.shown.size(), title.isEmpty() ? 0 : 1);
    if (!title.isEmpty()) {
        const ScriptedMessageBoxes::Shown& shown = m_f->boxes.shown.first();
        QCOMPARE(shown.title, title);
        QCOMPARE(shown.style, MessageBoxes::OkOnly);
        QVERIFY2(prompt.endsWith(": ") ? shown.prompt.startsWith(prompt) : shown.prompt == prompt,
                 qPrintable(shown.prompt));
        QCOMPARE(m_f->module.QuerySql, query);
    }
    QCOMPARE(m_f->resultLines(), lines);
    QCOMPARE(m_f->resultsCaption(), QStringLiteral("Results :  %1 records found").arg(lines.size()));
    QCOMPARE(m_f->module.ResultCount, lines.size());
    QCOMPARE(m_f->module.SearchText, options.isEmpty() ? QStringLiteral("bell") : text);
    QVERIFY(m_f->form->data1().isEof());
}

void TestForm1::startsOnMissingOrForeignFile_data()
{
    QTest::addColumn<QString>("kind");   // what lies where freqs.mdb belongs
    QTest::addColumn<QString>("reason"); // the box's; none: it starts on the demo records

    QTest::newRow("missing") << "missing" << "";
    QTest::newRow("missing, a killed repair's files left") << "leftovers" << "";
    QTest::newRow("a letter") << "letter" << "It is not an Orvo database";
    QTest::newRow("a folder") << "folder" << "It is a folder, not a file.";
    QTest::newRow("a link to nothing") << "link" << "It is a link to ";
    QTest::newRow("an empty file") << "empty" << "The file is empty.";
    QTest::newRow("a damaged table list") << "damaged" << "To repair it, run: orvo-data repair --db ";
}

// A missing file is created with the demo records; any other file that is not a sound database
// is left alone, and the box names the cause.
void TestForm1::startsOnMissingOrForeignFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    MainWindowFixture f;
    const QString db = f.dbPath();
    const QString elsewhere = f.folder.filePath(QStringLiteral("elsewhere.mdb"));
    if (kind == QLatin1String("leftovers")) {
        writeFile(f.folder.filePath("newFreq.mdb"), "part of a copy");
        writeFile(f.folder.filePath("newFreq.mdb-journal"), "its journal");
    }
    if (kind == QLatin1String("letter") || kind == QLatin1String("empty"))
        writeFile(db, kind == QLatin1String("empty") ? "" : "this is somebody's letter, not a database\r\n");
    QVERIFY(kind != QLatin1String("folder") || QDir().mkpath(db));
    QVERIFY(kind != QLatin1String("link") || QFile::link(elsewhere, db));
    if (kind == QLatin1String("damaged")) {
        createDatabase(db, sampleRecords());
        QFile file(db); // the header of the page that lists the tables
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(100) && file.write(QByteArray(8, '\xff')) == 8);
    }
    const QByteArray before = fileHash(db);

    f.form = std::make_unique<Form1>(f.services);
    QCOMPARE(f.form->Form_Load(), reason.isEmpty());
    if (reason.isEmpty()) {
        QVERIFY(f.form->data1().recordCount() >= 150);
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files), QStringList{"freqs.mdb"});
        return;
    }
    QCOMPARE(f.boxes.shown.size(), 1);
    QCOMPARE(f.boxes.shown.first().title, QStringLiteral("Database Error"));
    QVERIFY2(f.boxes.shown.first().prompt.contains(reason), qPrintable(f.boxes.shown.first().prompt));
    QCOMPARE(fileHash(db), before);
    QVERIFY(!QFileInfo::exists(elsewhere));
}

// No window replaces the program's icon with its own.
void TestForm1::everyWindowShowsTheIcon()
{
    QApplication::setWindowIcon(AppIcon::icon());
    const qint64 appIcon = QApplication::windowIcon().cacheKey();
    m_f->form->Command5_Click();
    m_f->form->Command4_Click();
    m_f->form->pLr_Click();
    m_f->form->TipsandHelp_Click();

    QStringList seen;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        seen << window->objectName() + (window->windowIcon().cacheKey() == appIcon ? "" : " without the icon");
        // The other windows refer to the main window: they go first.
        if (window != m_f->form.get())
            window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    seen.sort();
    QCOMPARE(seen, QStringList({"Form1", "Form2", "Form3", "Form4", "Form5"}));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

#include "editor/Form2.h"
#include "main_window/WindowGeometry.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

Q_DECLARE_METATYPE(TestRecord)

namespace {

constexpr int NewMode = 1;
constexpr int EditMode = 2;
// Edit the record that start-up left current, without a search first.
constexpr int NoSearch = -1;

const QString NoDescriptionPrompt = QStringLiteral("You need to enter information in the Description Box.");
const QString NoDescriptionTitle = QStringLiteral("No Data In Description");

// Listed by description: Bell (0), Drum (1), Flute (2); stored in this order too.
QVector<TestRecord> sampleRecords()
{
    return {TestRecord::make("Bell", "Bronze, struck", {"7.830", "20", "727.5"}),
            TestRecord::make("Drum", nullText(), {nullText(), "20"}), TestRecord::make("Flute", "", {"440"})};
}

QStringList texts(const TestRecord& record)
{
    QStringList result{record.description.toString(), record.comments.toString()};
    for (const QVariant& frequency : record.frequencies)
        result << frequency.toString();
    return result;
}

QVector<QStringList> texts(const QVector<TestRecord>& records)
{
    QVector<QStringList> result;
    for (const TestRecord& record : records)
        result << texts(record);
    return result;
}

// Description, comments and forty frequencies, the ones given first and "0" for the rest.
QStringList storedRecord(const QString& description, const QString& comments, QStringList frequencies = {})
{
    while (frequencies.size() < 40)
        frequencies << QStringLiteral("0");
    return QStringList{description, comments} + frequencies;
}

QStringList listLines(QListView* list)
{
    QStringList lines;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        lines << list->model()->index(row, 0).data().toString();
    return lines;
}

// Holds the database file with an exclusive lock, as another program writing to it would.
class FileLock
{
public:
    explicit FileLock(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        db.setDatabaseName(path);
        m_locked = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    ~FileLock() { release(); }
    bool locked() const { return m_locked; }
    void release()
    {
        if (!QSqlDatabase::contains(name()))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(name(), false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name());
    }

private:
    static QString name() { return QStringLiteral("other-program"); }
    bool m_locked = false;
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newEntryOpensEmpty();
    void editEntryShowsRecord_data();
    void editEntryShowsRecord();
    void editEntryKeepsPreviousFrequencies();
    void editWithoutCurrentRecordIsRefused();
    void controlsArePlacedAsDrawn_data();
    void controlsArePlacedAsDrawn();
    void windowHasFixedSizeAndPlace();
    void focusOrder_data();
    void focusOrder();
    void frequencyBoxSelectsWholeText_data();
    void frequencyBoxSelectsWholeText();
    void saveNewWithOnlyDescription();
    void saveStoresAsTyped_data();
    void saveStoresAsTyped();
    void emptyDescriptionRefusedEachTime_data();
    void emptyDescriptionRefusedEachTime();
    void saveStillClosesWhenFindRefuses();
    void saveRefusedByDatabase_data();
    void saveRefusedByDatabase();
    void leavingWritesNothing_data();
    void leavingWritesNothing();

private:
    Form2* openEditor(int mode, int row = 0);
    Form2* openEditor() const;
    void typeInto(Form2* editor, const QString& name, const QString& text);
    void clickFind() { QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton); }
    QListView* list() const { return m_f->child<QListView>(QStringLiteral("List1")); }

    template <typename T> static T* in(Form2* editor, const QString& name)
    {
        T* widget = editor->findChild<T*>(name);
        if (!widget)
            qWarning("no control %s", qPrintable(name));
        return widget;
    }
    static QLineEdit* box(Form2* editor, int index)
    {
        return in<QLineEdit>(editor, QStringLiteral("Text3_%1").arg(index));
    }

    std::unique_ptr<MainWindowFixture> m_f;
};

void TestForm2::init()
{
    m_f = std::make_unique<MainWindowFixture>();
    QVERIFY(m_f->start(sampleRecords()));
}

void TestForm2::cleanup()
{
    // An editor still open refers to the main window: it goes first.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<Form2*>(window))
            delete window;
    }
    m_f.reset();
}

Form2* TestForm2::openEditor() const
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* editor = qobject_cast<Form2*>(window); editor && editor->isVisible())
            return editor;
    }
    return nullptr;
}

Form2* TestForm2::openEditor(int mode, int row)
{
    if (mode == EditMode) {
        if (row != NoSearch) {
            clickFind();
            list()->setCurrentIndex(list()->model()->index(row, 0));
        }
        QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command6")), Qt::LeftButton);
    } else {
        QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command5")), Qt::LeftButton);
    }
    return openEditor();
}

void TestForm2::typeInto(Form2* editor, const QString& name, const QString& text)
{
    if (auto* line = editor->findChild<QLineEdit*>(name)) {
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, text);
    } else if (auto* memo = editor->findChild<QPlainTextEdit*>(name)) {
        memo->setPlainText(text);
    } else {
        QFAIL(qPrintable(QStringLiteral("no box %1").arg(name)));
    }
}

void TestForm2::newEntryOpensEmpty()
{
    Form2* editor = openEditor(NewMode);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Orvo - NEW Database Entry"));
    QVERIFY(!m_f->form->isEnabled());
    QVERIFY(in<QLineEdit>(editor, QStringLiteral("Text1"))->text().isEmpty());
    QVERIFY(in<QPlainTextEdit>(editor, QStringLiteral("Text2"))->toPlainText().isEmpty());
    for (int k = 0; k < 40; ++k)
        QVERIFY2(box(editor, k)->text().isEmpty(), qPrintable(QString::number(k)));
    QVERIFY(!in<QPlainTextEdit>(editor, QStringLiteral("Text4"))->isVisible());
    QVERIFY(!in<QLabel>(editor, QStringLiteral("Label4"))->isVisible());
}

void TestForm2::editEntryShowsRecord_data()
{
    QTest::addColumn<TestRecord>("record");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("listed");

    QTest::newRow("values as stored") << TestRecord::make("Bell", "Bronze", {"7.830", "0727", "x"})
                                      << storedRecord("Bell", "Bronze", {"7.830", "0727", "x"}) << true;
    QTest::newRow("null comments, null F1") << TestRecord::make("Drum", nullText(), {nullText(), "20"})
                                            << storedRecord("Drum", "No Comments", {"0", "20"}) << true;
    QTest::newRow("empty comments, empty F7")
        << TestRecord::make("Flute", "", {"1", "2", "3", "4", "5", "6", "", "8"})
        << storedRecord("Flute", "No Comments", {"1", "2", "3", "4", "5", "6", "0", "8"}) << true;
    // No search lists a record without a description; start-up leaves it current.
    QTest::newRow("null description opens empty")
        << TestRecord::make(nullText(), "c") << storedRecord("", "c") << false;
}

void TestForm2::editEntryShowsRecord()
{
    QFETCH(TestRecord, record);
    QFETCH(QStringList, shown);
    QFETCH(bool, listed);
    m_f = std::make_unique<MainWindowFixture>();
    QVERIFY(m_f->start({record}));

    Form2* editor = openEditor(EditMode, listed ? 0 : NoSearch);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Orvo - EDIT Database Entry"));
    QVERIFY(!m_f->form->isEnabled());
    QStringList boxes{in<QLineEdit>(editor, QStringLiteral("Text1"))->text(),
                      in<QPlainTextEdit>(editor, QStringLiteral("Text2"))->toPlainText()};
    for (int k = 0; k < 40; ++k)
        boxes << box(editor, k)->text();
    QCOMPARE(boxes, shown);
    QVERIFY(in<QPlainTextEdit>(editor, QStringLiteral("Text4"))->isVisible());
    QVERIFY(in<QLabel>(editor, QStringLiteral("Label4"))->isVisible());
}

void TestForm2::editEntryKeepsPreviousFrequencies()
{
    Form2* editor = openEditor(EditMode, 0);
    QVERIFY(editor);
    const QString shownByMainWindow = m_f->child<QPlainTextEdit>(QStringLiteral("Text3"))->toPlainText();
    QCOMPARE(shownByMainWindow, QStringLiteral(" 7.83,  20,  727.5"));
    auto* previous = in<QPlainTextEdit>(editor, QStringLiteral("Text4"));
    QCOMPARE(previous->toPlainText(), m_f->module.FreqString);
    QCOMPARE(previous->toPlainText(), shownByMainWindow);

    typeInto(editor, QStringLiteral("Text3_1"), QStringLiteral("99"));
    typeInto(editor, QStringLiteral("Text3_5"), QStringLiteral("6"));
    QCOMPARE(previous->toPlainText(), shownByMainWindow);
}

void TestForm2::editWithoutCurrentRecordIsRefused()
{
    clickFind(); // the listing leaves no current record
    QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command6")), Qt::LeftButton);
    QVERIFY(!openEditor());
    QVERIFY(m_f->form->isEnabled());
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.at(0).prompt, QStringLiteral("Select a record in the list first."));
    QCOMPARE(m_f->boxes.shown.at(0).title, QStringLiteral("No Record Selected"));
}

void TestForm2::controlsArePlacedAsDrawn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QRect>("twips");

    const auto row = [](const QString& name, const QString& caption, const QString& accessible, QRect twips) {
        QTest::newRow(qPrintable(name)) << name << caption << accessible << twips;
    };
    row("Label2", "Description", "Description", {720, 240, 855, 255});
    row("Text1", "", "Description", {600, 480, 3855, 285});
    row("Label3", "Comments", "Comments", {720, 960, 855, 255});
    row("Text2", "", "Comments", {600, 1200, 3855, 1470});
    row("Command1", "Save and Exit", "Save and Exit", {5160, 360, 2655, 375});
    row("Command2", "Exit - Do Not Save", "Exit - Do Not Save", {5160, 960, 2655, 375});
    const QString previous = QStringLiteral("Your frequencies prior to you editing them ;-)");
    row("Label4", previous, previous, {4920, 1560, 3255, 255});
    row("Text4", "", previous, {4800, 1800, 3495, 855});
    for (int index = 0; index < 4; ++index) {
        const QString caption = QStringLiteral("F%1").arg(10 * index + 1);
        row(QStringLiteral("Label1_%1").arg(index), caption, caption, {600, 3030 + 480 * index, 375, 255});
    }
    for (int k = 0; k < 40; ++k)
        row(QStringLiteral("Text3_%1").arg(k), "", QStringLiteral("F%1").arg(k + 1),
            {960 + 720 * (k % 10), 3000 + 480 * (k / 10), 615, 285});
}

void TestForm2::controlsArePlacedAsDrawn()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, accessibleName);
    QFETCH(QRect, twips);

    Form2* editor = openEditor(EditMode, 0);
    QVERIFY(editor);
    auto* control = editor->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), editor);
    QCOMPARE(control->geometry(), WindowGeometry::fromTwips(twips.x(), twips.y(), twips.width(), twips.height()));
    QCOMPARE(control->accessibleName(), accessibleName);
    QVERIFY(control->isVisible());

    QString shownCaption;
    if (auto* label = qobject_cast<QLabel*>(control))
        shownCaption = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(control))
        shownCaption = button->text();
    QCOMPARE(shownCaption, caption);
    if (!caption.isEmpty()) {
        // A caption wider than its control would be cut off on screen.
        QVERIFY2(control->fontMetrics().horizontalAdvance(caption) <= control->width(), qPrintable(caption));
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
        QVERIFY(memo->tabChangesFocus());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
    if (name == QLatin1String("Text4"))
        QCOMPARE(control->palette().color(QPalette::Base), QColor(192, 192, 192));
}

void TestForm2::windowHasFixedSizeAndPlace()
{
    Form2* editor = openEditor(NewMode);
    QVERIFY(editor);
    const QSize client(WindowGeometry::px(8625), WindowGeometry::px(5025));
    QCOMPARE(editor->size(), client);
    QCOMPARE(editor->minimumSize(), client);
    QCOMPARE(editor->maximumSize(), client);
    QVERIFY(!(editor->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(editor->windowFlags() & Qt::WindowCloseButtonHint);

    // Centred across the screen, raised 1000 twips above the middle. The window is placed before
    // it has a frame, so the frame's thickness is the tolerance.
    const QRect screen = editor->screen()->geometry();
    const QRect outer = editor->frameGeometry();
    const int frame = outer.width() - editor->width();
    const int top = screen.top() + (screen.height() - outer.height()) / 2 - WindowGeometry::px(1000);
    QVERIFY2(qAbs(outer.center().x() - screen.center().x()) <= frame, qPrintable(QString::number(outer.x())));
    QVERIFY2(qAbs(outer.top() - top) <= frame, qPrintable(QString::number(outer.top())));
}

void TestForm2::focusOrder_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("order");

    QStringList order{QStringLiteral("Text1"), QStringLiteral("Text2")};
    for (int k = 0; k < 40; ++k)
        order << QStringLiteral("Text3_%1").arg(k);
    order << QStringLiteral("Command1") << QStringLiteral("Command2");
    // The hidden previous-frequencies box takes no focus in new mode.
    QTest::newRow("new") << NewMode << (order + QStringList{QStringLiteral("Text1")});
    QTest::newRow("edit") << EditMode << (order + QStringList{QStringLiteral("Text4"), QStringLiteral("Text1")});
}

void TestForm2::focusOrder()
{
    QFETCH(int, mode);
    QFETCH(QStringList, order);

    Form2* editor = openEditor(mode, 0);
    QVERIFY(editor);
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QStringList visited;
    for (int step = 0; step < order.size(); ++step) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        visited << focused->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(visited, order);
}

void TestForm2::frequencyBoxSelectsWholeText_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("index");

    QTest::newRow("tab into a box") << "tab" << 1;
    QTest::newRow("shift+tab into a box") << "backtab" << 0;
    QTest::newRow("click into a box") << "click" << 2;
    QTest::newRow("click again on the selected text") << "second click" << 2;
    QTest::newRow("click after typing in the box") << "click after typing" << 0;
    QTest::newRow("click into the last box") << "click" << 39;
}

void TestForm2::frequencyBoxSelectsWholeText()
{
    QFETCH(QString, how);
    QFETCH(int, index);

    Form2* editor = openEditor(EditMode, 0); // Bell: 7.830, 20, 727.5, then "0"
    QVERIFY(editor);
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QLineEdit* target = box(editor, index);
    const auto clickIn = [](QLineEdit* line) {
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() / 2, line->height() / 2));
    };

    if (how == QLatin1String("tab")) {
        clickIn(box(editor, index - 1));
        QTest::keyClick(box(editor, index - 1), Qt::Key_Tab);
    } else if (how == QLatin1String("backtab")) {
        clickIn(box(editor, index + 1));
        QTest::keyClick(box(editor, index + 1), Qt::Key_Backtab, Qt::ShiftModifier);
    } else if (how == QLatin1String("click")) {
        clickIn(target);
    } else if (how == QLatin1String("second click")) {
        clickIn(target);
        QTRY_COMPARE(target->selectedText(), target->text());
        clickIn(target);
    } else if (how == QLatin1String("click after typing")) {
        clickIn(target);
        QTRY_COMPARE(target->selectedText(), target->text());
        QTest::keyClick(target, Qt::Key_End);
        QTest::keyClicks(target, QStringLiteral("5"));
        QVERIFY(!target->hasSelectedText());
        clickIn(target);
    }
    QVERIFY(target->hasFocus());
    QVERIFY(!target->text().isEmpty());
    QTRY_COMPARE(target->selectedText(), target->text());
    QCOMPARE(target->selectionStart(), 0);
}

void TestForm2::saveNewWithOnlyDescription()
{
    clickFind();
    QPointer<Form2> editor = openEditor(NewMode);
    QVERIFY(editor);
    typeInto(editor, QStringLiteral("Text1"), QStringLiteral("Gong"));
    QTest::mouseClick(in<QPushButton>(editor, QStringLiteral("Command1")), Qt::LeftButton);

    QVERIFY(m_f->boxes.shown.isEmpty());
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QVector<QStringList> expected = texts(sampleRecords());
    expected << storedRecord("Gong", "No Comments");
    QCOMPARE(texts(readDatabase(m_f->dbPath())), expected);
    QCOMPARE(listLines(list()), (QStringList{"Bell", "Drum", "Flute", "Gong"}));
    QCOMPARE(m_f->child<QLabel>(QStringLiteral("Label2_0"))->text(), QStringLiteral("Results :  4 records found"));
}

void TestForm2::saveStoresAsTyped_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("typed"); // "box=text" pairs
    QTest::addColumn<QStringList>("stored");

    QTest::newRow("new, one blank as description")
        << NewMode << 0 << QStringList{"Text1= "} << storedRecord(" ", "No Comments");
    QStringList typedFrequencies = QStringList{"0727", "0", "about 9 Hz"} + QStringList(37, QStringLiteral("0"));
    typedFrequencies[39] = QStringLiteral("-1");
    QTest::newRow("new, values kept as typed")
        << NewMode << 0
        << QStringList{"Text1= Gong  ", "Text2=struck\nthen left", "Text3_0=0727", "Text3_2=about 9 Hz", "Text3_39=-1"}
        << storedRecord(" Gong  ", "struck\nthen left", typedFrequencies);
    QTest::newRow("edit, No Comments shown and stored")
        << EditMode << 1 << QStringList{} << storedRecord("Drum", "No Comments", {"0", "20"});
    QTest::newRow("edit, emptied boxes stored as 0")
        << EditMode << 0 << QStringList{"Text1=Bell, big", "Text2=", "Text3_1=", "Text3_2=7,5"}
        << storedRecord("Bell, big", "No Comments", {"7.830", "0", "7,5"});
}

void TestForm2::saveStoresAsTyped()
{
    QFETCH(int, mode);
    QFETCH(int, row);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, stored);

    QPointer<Form2> editor = openEditor(mode, row);
    QVERIFY(editor);
    for (const QString& entry : typed) {
        const int split = entry.indexOf(QLatin1Char('='));
        typeInto(editor, entry.left(split), entry.mid(split + 1));
    }
    QTest::mouseClick(in<QPushButton>(editor, QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(m_f->boxes.shown.isEmpty());
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());

    QVector<QStringList> expected = texts(sampleRecords());
    if (mode == NewMode)
        expected << stored;
    else
        expected[row] = stored; // stored and listed in the same order
    QCOMPARE(texts(readDatabase(m_f->dbPath())), expected);
    QVERIFY(listLines(list()).contains(stored.at(0)));
}

void TestForm2::emptyDescriptionRefusedEachTime_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("new") << NewMode;
    QTest::newRow("edit") << EditMode;
}

void TestForm2::emptyDescriptionRefusedEachTime()
{
    QFETCH(int, mode);
    QPointer<Form2> editor = openEditor(mode, 2);
    QVERIFY(editor);
    typeInto(editor, QStringLiteral("Text1"), QString());
    typeInto(editor, QStringLiteral("Text2"), QStringLiteral("kept"));
    typeInto(editor, QStringLiteral("Text3_3"), QString());
    auto* save = in<QPushButton>(editor, QStringLiteral("Command1"));

    for (int attempt = 1; attempt <= 3; ++attempt) {
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(m_f->boxes.shown.size(), attempt);
        QCOMPARE(m_f->boxes.shown.last().prompt, NoDescriptionPrompt);
        QCOMPARE(m_f->boxes.shown.last().title, NoDescriptionTitle);
        QCOMPARE(m_f->boxes.shown.last().style, MessageBoxes::OkOnly);
        QVERIFY(editor && editor->isVisible());
        QVERIFY(!m_f->form->isEnabled());
    }
    QCOMPARE(in<QPlainTextEdit>(editor, QStringLiteral("Text2"))->toPlainText(), QStringLiteral("kept"));
    QVERIFY(box(editor, 3)->text().isEmpty());
    QCOMPARE(texts(readDatabase(m_f->dbPath())), texts(sampleRecords()));

    // The refusals left nothing half-begun: the next save stores exactly one record.
    typeInto(editor, QStringLiteral("Text1"), QStringLiteral("Harp"));
    QTest::mouseClick(save, Qt::LeftButton);
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QVector<QStringList> expected = texts(sampleRecords());
    if (mode == NewMode)
        expected << storedRecord("Harp", "kept");
    else
        expected[2] = storedRecord("Harp", "kept", {"440"});
    QCOMPARE(texts(readDatabase(m_f->dbPath())), expected);
}

void TestForm2::saveStillClosesWhenFindRefuses()
{
    clickFind();
    // With no search option ticked Find refuses to search.
    m_f->child<QCheckBox>(QStringLiteral("Check1_0"))->click();
    QPointer<Form2> editor = openEditor(NewMode);
    QVERIFY(editor);
    typeInto(editor, QStringLiteral("Text1"), QStringLiteral("Gong"));
    QTest::mouseClick(in<QPushButton>(editor, QStringLiteral("Command1")), Qt::LeftButton);

    QCOMPARE(m_f->boxes.shown.size(), 1);
    QVERIFY(m_f->boxes.shown.at(0).title != NoDescriptionTitle);
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QCOMPARE(texts(readDatabase(m_f->dbPath())).size(), 4);
    QCOMPARE(texts(readDatabase(m_f->dbPath())).last(), storedRecord("Gong", "No Comments"));
    QCOMPARE(listLines(list()), (QStringList{"Bell", "Drum", "Flute"}));
}

void TestForm2::saveRefusedByDatabase_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("lockFile");
    QTest::addColumn<QString>("reason");

    // Tests run as root, which ignores file modes; these two make the engine refuse for real.
    QTest::newRow("new, read-only database") << NewMode << false << "readonly";
    QTest::newRow("edit, read-only database") << EditMode << false << "readonly";
    QTest::newRow("new, file locked by another program") << NewMode << true << "locked";
    QTest::newRow("edit, file locked by another program") << EditMode << true << "locked";
}

void TestForm2::saveRefusedByDatabase()
{
    QFETCH(int, mode);
    QFETCH(bool, lockFile);
    QFETCH(QString, reason);

    QPointer<Form2> editor = openEditor(mode, 0);
    QVERIFY(editor);
    typeInto(editor, QStringLiteral("Text1"), QStringLiteral("Gong"));
    typeInto(editor, QStringLiteral("Text2"), QStringLiteral("typed"));
    typeInto(editor, QStringLiteral("Text3_4"), QStringLiteral("55"));
    typeInto(editor, QStringLiteral("Text3_5"), QString());

    std::unique_ptr<FileLock> lock;
    const QSqlDatabase ownConnection = m_f->form->data1().database();
    if (lockFile) {
        // Another connection's exclusive transaction: the write waits out the busy timeout, then fails.
        lock = std::make_unique<FileLock>(m_f->dbPath());
        QVERIFY(lock->locked());
    } else {
        // The data control's own connection made read-only: the engine refuses every write on it.
        QVERIFY(QSqlQuery(ownConnection).exec(QStringLiteral("PRAGMA query_only = ON")));
    }
    auto* save = in<QPushButton>(editor, QStringLiteral("Command1"));
    QTest::mouseClick(save, Qt::LeftButton);

    QCOMPARE(m_f->boxes.shown.size(), 1);
    if (lockFile) {
        // A lock is worth another try, and the box says so.
        QCOMPARE(m_f->boxes.shown.at(0).title, QStringLiteral("Database Busy"));
        QCOMPARE(m_f->boxes.shown.at(0).prompt, QStringLiteral("The database is in use by another program. Try again."));
    } else {
        QCOMPARE(m_f->boxes.shown.at(0).title, QStringLiteral("Record Not Saved"));
        QVERIFY2(m_f->boxes.shown.at(0).prompt.startsWith(QStringLiteral("The record could not be saved: ")),
                 qPrintable(m_f->boxes.shown.at(0).prompt));
        QVERIFY2(m_f->boxes.shown.at(0).prompt.contains(reason), qPrintable(m_f->boxes.shown.at(0).prompt));
    }
    QVERIFY(editor && editor->isVisible());
    QVERIFY(!m_f->form->isEnabled());
    QCOMPARE(in<QLineEdit>(editor, QStringLiteral("Text1"))->text(), QStringLiteral("Gong"));
    QCOMPARE(in<QPlainTextEdit>(editor, QStringLiteral("Text2"))->toPlainText(), QStringLiteral("typed"));
    QCOMPARE(box(editor, 4)->text(), QStringLiteral("55"));
    QVERIFY(box(editor, 5)->text().isEmpty());

    if (lock)
        lock->release();
    else
        QVERIFY(QSqlQuery(ownConnection).exec(QStringLiteral("PRAGMA query_only = OFF")));
    QCOMPARE(texts(readDatabase(m_f->dbPath())), texts(sampleRecords()));

    // Once the database takes writes again, the same boxes save as usual.
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QVector<QStringList> expected = texts(sampleRecords());
    const QStringList saved = mode == NewMode ? storedRecord("Gong", "typed", {"0", "0", "0", "0", "55"})
                                              : storedRecord("Gong", "typed", {"7.830", "20", "727.5", "0", "55"});
    if (mode == NewMode)
        expected << saved;
    else
        expected[0] = saved;
    QCOMPARE(texts(readDatabase(m_f->dbPath())), expected);
}

void TestForm2::leavingWritesNothing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("closeBox");

    QTest::newRow("new, Exit - Do Not Save") << NewMode << false;
    QTest::newRow("edit, Exit - Do Not Save") << EditMode << false;
    QTest::newRow("new, close box") << NewMode << true;
    QTest::newRow("edit, close box") << EditMode << true;
}

void TestForm2::leavingWritesNothing()
{
    QFETCH(int, mode);
    QFETCH(bool, closeBox);

    QPointer<Form2> editor = openEditor(mode, 0);
    QVERIFY(editor);
    typeInto(editor, QStringLiteral("Text1"), QStringLiteral("Gong"));
    typeInto(editor, QStringLiteral("Text3_0"), QStringLiteral("1"));
    if (closeBox)
        QVERIFY(editor->close());
    else
        QTest::mouseClick(in<QPushButton>(editor, QStringLiteral("Command2")), Qt::LeftButton);

    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QVERIFY(m_f->boxes.shown.isEmpty());
    QCOMPARE(texts(readDatabase(m_f->dbPath())), texts(sampleRecords()));

    // The next opening loads afresh.
    Form2* next = openEditor(NewMode);
    QVERIFY(next);
    QVERIFY(in<QLineEdit>(next, QStringLiteral("Text1"))->text().isEmpty());
    QVERIFY(box(next, 0)->text().isEmpty());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"

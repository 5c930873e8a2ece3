#include "editor/Form2.h"
#include "editor/RecordForm.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

Q_DECLARE_METATYPE(TestRecord)

namespace {

constexpr int NewMode = 1;
constexpr int EditMode = 2;

// Drum's comments hold both kinds of line break that stored texts have.
const QString DrumComments = QStringLiteral("Skin,\r\nstruck\nsoftly");

// Listed by description: Bell (0), Drum (1), Flute (2); stored in this order too.
QVector<TestRecord> sampleRecords()
{
    return {TestRecord::make("Bell", "Bronze, struck", {"7.830", "20", "727.5"}),
            TestRecord::make("Drum", DrumComments, {nullText(), "20"}), TestRecord::make("Flute", "", {"440"})};
}

QVector<QStringList> texts(const QVector<TestRecord>& records)
{
    QVector<QStringList> result;
    for (const TestRecord& record : records) {
        result << QStringList{record.description.toString(), record.comments.toString()};
        for (const QVariant& frequency : record.frequencies)
            result.last() << frequency.toString();
    }
    return result;
}

// Description, comments and forty frequencies, the ones given first and "0" for the rest.
QStringList storedRecord(const QString& description, const QString& comments, QStringList frequencies = {})
{
    while (frequencies.size() < 40)
        frequencies << QStringLiteral("0");
    return QStringList{description, comments} + frequencies;
}

// The sample records after a save: added when new, in Drum's place when editing (stored and listed in
// the same order); nothing saved leaves them as they were.
QVector<QStringList> storedAfter(int mode, const QStringList& saved)
{
    QVector<QStringList> expected = texts(sampleRecords());
    if (!saved.isEmpty() && mode == NewMode)
        expected << saved;
    else if (!saved.isEmpty())
        expected[1] = saved;
    return expected;
}

// Drum as the editor shows it: a null F1 reads as its default.
const QStringList Drum = storedRecord("Drum", "Skin,\nstruck\nsoftly", {"0", "20"});

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_f.emplace().start(sampleRecords())); }
    void cleanup()
    {
        // An editor still open refers to the main window: it goes first.
        qDeleteAll(windowsOf<Form2>(false));
        m_f.reset();
    }
    void captionsAndFocusOrder();
    void openTypeAndLeave_data();
    void openTypeAndLeave();
    void refusedSave_data();
    void refusedSave();
    void recordFormShowsTheRecord_data();
    void recordFormShowsTheRecord();

private:
    Form2* openEditor(int mode);
    void click(QWidget* parent, const char* name)
    {
        QTest::mouseClick(parent->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    QStringList boxes(Form2* editor) const;
    void typeInto(Form2* editor, const QString& name, const QString& text);
    QVector<QStringList> stored() const { return texts(readDatabase(m_f->dbPath())); }

    std::optional<MainWindowFixture> m_f;
};

// Lists every record with Find first; Edit then takes Drum.
Form2* TestForm2::openEditor(int mode)
{
    click(m_f->form.get(), "Command1");
    auto* list = m_f->child<QListView>(QStringLiteral("List1"));
    if (mode == EditMode)
        list->setCurrentIndex(list->model()->index(1, 0));
    click(m_f->form.get(), mode == EditMode ? "Command6" : "Command5");
    return windowsOf<Form2>().value(0);
}

QStringList TestForm2::boxes(Form2* editor) const
{
    QStringList shown{editor->findChild<QLineEdit*>("Text1")->text(),
                      editor->findChild<QPlainTextEdit*>("Text2")->toPlainText()};
    for (int k = 0; k < 40; ++k)
        shown << editor->findChild<QLineEdit*>(QStringLiteral("Text3_%1").arg(k))->text();
    return shown;
}

void TestForm2::typeInto(Form2* editor, const QString& name, const QString& text)
{
    if (auto* line = editor->findChild<QLineEdit*>(name)) {
        line->selectAll();
        line->insert(text);
    } else {
        editor->findChild<QPlainTextEdit*>(name)->setPlainText(text);
    }
}

void TestForm2::captionsAndFocusOrder()
{
    QApplication::setPalette(QPalette(Qt::darkGray, Qt::black)); // a dark desktop's light text
    Form2* editor = openEditor(EditMode);
    QVERIFY(editor);
    QCOMPARE(editor->findChild<QPlainTextEdit*>("Text4")->palette().color(QPalette::Text), QColor(Qt::black));
    // name, caption or accessible name
    const std::pair<const char*, QString> controls[] = {
        {"Text1", "Description"}, {"Command1", "Save and Exit"}, {"Command2", "Exit - Do Not Save"},
        {"Text3_39", "F40"},      {"Label1_0", "F1"},            {"Label1_3", "F31"},
        {"Label4", "Your frequencies prior to you editing them ;-)"}};
    for (const auto& [name, caption] : controls) {
        auto* widget = editor->findChild<QWidget*>(name);
        QCOMPARE(widget->accessibleName(), caption);
        if (!qobject_cast<QLineEdit*>(widget))
            QCOMPARE(widget->property("text").toString(), caption);
    }

    QStringList order{"Text1", "Text2"};
    for (int k = 0; k < 40; ++k)
        order << QStringLiteral("Text3_%1").arg(k);
    order += QStringList{"Command1", "Command2", "Text4", "Text1"};
    QCOMPARE(tabOrder(editor, order.size()), order);

    // A click into a frequency box selects all of it, so that typing replaces the value.
    auto* box = editor->findChild<QLineEdit*>("Text3_1");
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(box->selectedText(), QStringLiteral("20"));
}

void TestForm2::openTypeAndLeave_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("typed"); // "box=text" pairs
    QTest::addColumn<QString>("leave"); // a button, or the close box
    QTest::addColumn<QStringList>("saved"); // empty: nothing is stored

    // A line break typed into the comments is stored as CR LF.
    QStringList asTyped = storedRecord(" Gong  ", "struck\r\nthen left", {"0727", "0", "about 9 Hz"});
    asTyped[41] = QStringLiteral("-1");
    QTest::newRow("new, values kept as typed")
        << NewMode
        << QStringList{"Text1= Gong  ", "Text2=struck\nthen left", "Text3_0=0727", "Text3_2=about 9 Hz", "Text3_39=-1"}
        << "Command1" << asTyped;
    QTest::newRow("edit, untouched comments saved byte for byte")
        << EditMode << QStringList{"Text3_0=5"} << "Command1" << storedRecord("Drum", DrumComments, {"5", "20"});
    QTest::newRow("new, a blank as description, while Find refuses to search")
        << NewMode << QStringList{"Text1= "} << "Command1 while Find refuses" << storedRecord(" ", "No Comments");
    // Beyond a line box's default limit of 32,767 characters.
    const QString longText(40000, QLatin1Char('9'));
    QTest::newRow("edit, long texts kept whole") << EditMode << QStringList{"Text1=" + longText, "Text3_1=" + longText}
                                                 << "Command1" << storedRecord(longText, DrumComments, {"0", longText});
    const QStringList changes{"Text1=Gong", "Text3_0=1"};
    QTest::newRow("new, Exit - Do Not Save") << NewMode << changes << "Command2" << QStringList{};
    QTest::newRow("edit, close box") << EditMode << changes << "close box" << QStringList{};
}

void TestForm2::openTypeAndLeave()
{
    QFETCH(int, mode);
    QFETCH(QStringList, typed);
    QFETCH(QString, leave);
    QFETCH(QStringList, saved);

    QPointer<Form2> editor = openEditor(mode);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(),
             QString(mode == NewMode ? "Orvo - NEW Database Entry" : "Orvo - EDIT Database Entry"));
    QVERIFY(!m_f->form->isEnabled());
    QCOMPARE(boxes(editor), mode == NewMode ? QStringList(42, QString()) : Drum);
    QCOMPARE(editor->findChild<QLineEdit*>("Text1")->cursorPosition(), 0); // a long text shows its start
    // The frequencies as the main window built them, shown only when editing.
    auto* previous = editor->findChild<QPlainTextEdit*>("Text4");
    QCOMPARE(previous->isVisible(), mode == EditMode);
    QCOMPARE(editor->findChild<QLabel*>("Label4")->isVisible(), mode == EditMode);
    QCOMPARE(previous->toPlainText(), mode == EditMode ? m_f->module.FreqString : QString());

    for (const QString& entry : typed)
        typeInto(editor, entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    const bool findRefuses = leave.endsWith("while Find refuses");
    if (findRefuses) // with no search option ticked
        m_f->child<QCheckBox>(QStringLiteral("Check1_0"))->setChecked(false);
    if (leave == "close box")
        QVERIFY(editor->close());
    else
        click(editor, leave.section(QLatin1Char(' '), 0, 0).toLatin1().constData());
    QTRY_VERIFY(editor.isNull());
    QVERIFY(m_f->form->isEnabled());
    QCOMPARE(m_f->boxes.shown.size(), findRefuses ? 1 : 0);
    QCOMPARE(stored(), storedAfter(mode, saved));
    if (saved.isEmpty())
        return;
    // Find ran again and listed the saved record, unless it refused to search.
    const QAbstractItemModel* list = m_f->child<QListView>(QStringLiteral("List1"))->model();
    QCOMPARE(list->rowCount(), findRefuses ? 3 : stored().size());
    QCOMPARE(list->match(list->index(0, 0), Qt::DisplayRole, saved.at(0), 1, Qt::MatchExactly).size(),
             findRefuses ? 0 : 1);
}

void TestForm2::refusedSave_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");

    const QString empty = QStringLiteral("You need to enter information in the Description Box.");
    QTest::newRow("new, empty description") << NewMode << false << "No Data In Description" << empty;
    // Tests run as root, which ignores file modes; a read-only connection makes the engine refuse.
    const QString notSaved = QStringLiteral("The record could not be saved: ");
    QTest::newRow("new, read-only database") << NewMode << true << "Record Not Saved" << notSaved;
    QTest::newRow("edit, read-only database") << EditMode << true << "Record Not Saved" << notSaved;
}

void TestForm2::refusedSave()
{
    QFETCH(int, mode);
    QFETCH(bool, readOnly);
    QFETCH(QString, title);
    QFETCH(QString, prompt);

    QPointer<Form2> editor = openEditor(mode);
    QVERIFY(editor);
    typeInto(editor, "Text1", readOnly ? "Harp" : "");
    typeInto(editor, "Text2", "kept");
    typeInto(editor, "Text3_4", "55");
    const QStringList typed = boxes(editor);
    const QSqlDatabase connection = m_f->form->data1().database();
    if (readOnly)
        QVERIFY(QSqlQuery(connection).exec(QStringLiteral("PRAGMA query_only = ON")));

    click(editor, "Command1");
    QCOMPARE(m_f->boxes.shown.size(), 1);
    QCOMPARE(m_f->boxes.shown.last().title, title);
    QVERIFY2(m_f->boxes.shown.last().prompt.startsWith(prompt), qPrintable(m_f->boxes.shown.last().prompt));
    QVERIFY(editor && editor->isVisible());
    QVERIFY(!m_f->form->isEnabled());
    QCOMPARE(boxes(editor), typed);
    if (readOnly)
        QVERIFY(QSqlQuery(connection).exec(QStringLiteral("PRAGMA query_only = OFF")));
    QCOMPARE(stored(), storedAfter(mode, {}));

    // The refusal left nothing half-begun: the next save stores exactly one record.
    typeInto(editor, "Text1", "Harp");
    click(editor, "Command1");
    QTRY_VERIFY(editor.isNull());
    const QStringList harp = storedRecord("Harp", "kept", {"0", mode == EditMode ? "20" : "0", "0", "0", "55"});
    QCOMPARE(stored(), storedAfter(mode, harp));
}

// What the plain form shows of a record, without a window.
void TestForm2::recordFormShowsTheRecord_data()
{
    QTest::addColumn<TestRecord>("record");
    QTest::addColumn<QStringList>("shown");

    TestRecord asText = TestRecord::make("Bell", " ", {"7.830", "0727", "about 9 Hz"});
    asText.frequencies[39] = QStringLiteral("4000");
    QStringList lastBox = storedRecord("Bell", " ", {"7.830", "0727", "about 9 Hz"});
    lastBox[41] = QStringLiteral("4000");
    QTest::newRow("texts as stored, a blank comment, F40 in the last box") << asText << lastBox;
    QTest::newRow("null description and comments, empty F2")
        << TestRecord::make(nullText(), nullText(), {"1", "", "3"}) << storedRecord("", "No Comments", {"1", "0", "3"});
}

void TestForm2::recordFormShowsTheRecord()
{
    QFETCH(TestRecord, record);
    QFETCH(QStringList, shown);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, {record});
    Data1 data;
    QVERIFY(openRecords(data, path).ok && data.hasCurrentRecord());

    const RecordForm form = RecordForm::fromCurrentRecord(data);
    QCOMPARE(QStringList({form.description, form.comments}) +
                 QStringList(form.frequencies.begin(), form.frequencies.end()),
             shown);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"

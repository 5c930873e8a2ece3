#include "editor/Form2.h"

#include "main_window/AppServices.h"
#include "main_window/WindowHost.h"
#include "main_window/MessageBoxes.h"
#include "main_window/WindowGeometry.h"
#include "main_window/Module1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <algorithm>
#include <limits>

using WindowGeometry::fromTwips;
using WindowGeometry::placeControl;
using WindowGeometry::placeMemo;

namespace {

constexpr int NewRecordMode = 1;
constexpr int EditRecordMode = 2;

void setTextIfChanged(QLineEdit* box, const QString& text)
{
    // Leaves the cursor and undo history of a box that already holds the text.
    if (box->text() != text)
        box->setText(text);
}

} // namespace

Form2::Form2(WindowHost& main)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    WindowGeometry::useLayoutFont(this);
    setFixedSize(WindowGeometry::px(8625), WindowGeometry::px(5025));
    buildControls();
    Form_Load();
}

void Form2::buildControls()
{
    Label2 = placeControl<QLabel>(this, QStringLiteral("Label2"), QStringLiteral("Description"),
                                  fromTwips(720, 240, 855, 255));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    // A line box keeps at most 32,767 characters unless told otherwise; a stored description or
    // frequency may be longer, and a save must not cut it.
    Text1->setMaxLength(std::numeric_limits<int>::max());
    Text1->setAccessibleName(Label2->text());
    Text1->setGeometry(fromTwips(600, 480, 3855, 285));
    Label2->setBuddy(Text1);

    Label3 =
        placeControl<QLabel>(this, QStringLiteral("Label3"), QStringLiteral("Comments"), fromTwips(720, 960, 855, 255));
    Text2 = placeMemo(this, QStringLiteral("Text2"), Label3->text(), fromTwips(600, 1200, 3855, 1470));
    Label3->setBuddy(Text2);

    Command1 = placeControl<QPushButton>(this, QStringLiteral("Command1"), QStringLiteral("Save and Exit"),
                                         fromTwips(5160, 360, 2655, 375));
    Command2 = placeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("Exit - Do Not Save"),
                                         fromTwips(5160, 960, 2655, 375));

    Label4 = placeControl<QLabel>(this, QStringLiteral("Label4"),
                                  QStringLiteral("Your frequencies prior to you editing them ;-)"),
                                  fromTwips(4920, 1560, 3255, 255));
    Text4 = placeMemo(this, QStringLiteral("Text4"), Label4->text(), fromTwips(4800, 1800, 3495, 855));
    QPalette grey = Text4->palette();
    grey.setColor(QPalette::Base, QColor(192, 192, 192));
    grey.setColor(QPalette::Text, Qt::black); // not a dark desktop's light text on the grey
    Text4->setPalette(grey);
    Label4->setBuddy(Text4);

    for (int row = 0; row < 4; ++row)
        Label1[row] =
            placeControl<QLabel>(this, QStringLiteral("Label1_%1").arg(row), QStringLiteral("F%1").arg(10 * row + 1),
                                 fromTwips(600, 3030 + 480 * row, 375, 255));
    for (int k = 0; k < RecordForm::FrequencyBoxes; ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text3_%1").arg(k));
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setAccessibleName(QStringLiteral("F%1").arg(k + 1));
        box->setGeometry(fromTwips(960 + 720 * (k % 10), 3000 + 480 * (k / 10), 615, 285));
        box->installEventFilter(this);
        Text3[k] = box;
    }
    for (int row = 0; row < 4; ++row)
        Label1[row]->setBuddy(Text3[10 * row]);

    QWidget* previous = Text1;
    const auto follow = [this, &previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    follow(Text2);
    for (QLineEdit* box : Text3)
        follow(box);
    follow(Command1);
    follow(Command2);
    follow(Text4);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

void Form2::Form_Load()
{
    const Module1& shared = m_main.module();
    QString title;
    if (shared.EditMode == NewRecordMode) {
        title = QStringLiteral("Orvo - NEW Database Entry");
        Text4->setVisible(false);
        Label4->setVisible(false);
    } else if (shared.EditMode == EditRecordMode) {
        Text4->setVisible(true);
        Label4->setVisible(true);
        title = QStringLiteral("Orvo - EDIT Database Entry");
        const RecordForm record = RecordForm::fromCurrentRecord(m_main.data1());
        showRecord(record);
        m_commentsLoaded = record.comments;
        // A long description opens at its start, not scrolled to its end.
        Text1->setCursorPosition(0);
        Text4->setPlainText(shared.FreqString);
    }
    // The box's own text keeps no-break spaces that its plain text would turn into blanks.
    m_commentsShown = Text2->document()->toRawText();
    setWindowTitle(title);
    WindowGeometry::placeOnScreen(this, 1000);
    Text1->setFocus();
}

void Form2::showRecord(const RecordForm& record)
{
    setTextIfChanged(Text1, record.description);
    if (Text2->toPlainText() != record.comments)
        Text2->setPlainText(record.comments);
    for (int k = 0; k < RecordForm::FrequencyBoxes; ++k)
        setTextIfChanged(Text3[k], record.frequencies[k]);
}

RecordForm Form2::typedRecord() const
{
    RecordForm record;
    record.description = Text1->text();
    const QString comments = Text2->document()->toRawText();
    record.comments = comments == m_commentsShown ? m_commentsLoaded : RecordForm::commentsFromBox(comments);
    for (int k = 0; k < RecordForm::FrequencyBoxes; ++k)
        record.frequencies[k] = Text3[k]->text();
    return record;
}

void Form2::selectWholeBox(int index)
{
    QLineEdit* box = Text3.at(index);
    box->setSelection(0, box->text().size());
}

void Form2::Text3_Click(int index)
{
    selectWholeBox(index);
}

void Form2::Text3_GotFocus(int index)
{
    selectWholeBox(index);
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    const auto box = std::find(Text3.begin(), Text3.end(), watched);
    if (box != Text3.end()) {
        const int index = int(box - Text3.begin());
        if (event->type() == QEvent::FocusIn) {
            Text3_GotFocus(index);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // The press has just placed the cursor; selecting on release makes the selection hold.
            Text3_Click(index);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::Command1_Click()
{
    MessageBoxes& messages = m_main.services().messages;
    if (!typedRecord().hasDescription()) {
        messages.inform(this, QStringLiteral("You need to enter information in the Description Box."),
                        QStringLiteral("No Data In Description"));
        return;
    }
    const RecordForm record = typedRecord().withStoredDefaults();
    const auto target =
        m_main.module().EditMode == NewRecordMode ? RecordForm::Target::NewRecord : RecordForm::Target::CurrentRecord;
    if (const Outcome stored = record.store(m_main.data1(), target); !stored) {
        if (stored.busy) {
            messages.inform(this, stored.error, QStringLiteral("Database Busy"));
            return;
        }
        messages.inform(this, QStringLiteral("The record could not be saved: %1").arg(stored.error),
                        QStringLiteral("Record Not Saved"));
        return;
    }
    // The boxes show what was stored while Find runs; a refused save left them as typed.
    showRecord(record);
    m_main.runFind();
    close();
    m_main.setHostEnabled(true);
}

void Form2::Command2_Click()
{
    close();
    m_main.setHostEnabled(true);
}

void Form2::closeEvent(QCloseEvent* event)
{
    m_main.setHostEnabled(true);
    event->accept();
}

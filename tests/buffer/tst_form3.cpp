#include "buffer/Form3.h"
#include "main_window/WindowGeometry.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using WindowGeometry::fromTwips;

namespace {

// Follows the time's own trailing blank: four blanks in all between am or pm and the day.
const QString HeaderDate = QStringLiteral("   5,Dec 2026");

QVector<TestRecord> records()
{
    return {TestRecord::make("C record", "Comments of C", {3}),
            TestRecord::make("A record", "Comments of A", {728, 7.83}), TestRecord::make("B record", nullText(), {})};
}

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

Form3* openForm3()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->objectName() == QLatin1String("Form3") && window->isVisible())
            return qobject_cast<Form3*>(window);
    }
    return nullptr;
}

bool monthsAreEnglish()
{
    return QLocale::system().monthName(12, QLocale::ShortFormat) == QLatin1String("Dec");
}

struct BufferSnapshot
{
    int next = 0;
    QStringList texts;

    static BufferSnapshot of(const Module1& shared)
    {
        BufferSnapshot snapshot{shared.BufNext, {}};
        for (int n = 1; n < shared.BufNext; ++n)
            snapshot.texts << shared.BufDescription[n] << shared.BufComments[n] << shared.BufFrequencies[n];
        return snapshot;
    }
    bool operator==(const BufferSnapshot& other) const { return next == other.next && texts == other.texts; }
};

} // namespace

class TestForm3 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void window();
    void focusOrder();
    void emptyBuffer();
    void listsInTheOrderSent_data();
    void listsInTheOrderSent();
    void recordSentTwiceIsListedTwice();
    void clearBuffer();
    void closing_data();
    void closing();
    void printPreview_data();
    void printPreview();
    void secondExportReplacesFirst();
    void fileCannotBeWritten_data();
    void fileCannotBeWritten();
    void viewerCannotStart();

private:
    void find(const QString& text);
    void view(const QString& description);
    void send(const QStringList& descriptions);
    Form3* openBuffer();
    void closeBuffer(Form3* form3);
    template <typename T> T* part(Form3* form3, const char* name) const
    {
        return form3->findChild<T*>(QLatin1String(name));
    }
    QStringList rows(Form3* form3) const;
    void selectRow(Form3* form3, int row);

    std::unique_ptr<MainWindowFixture> m_fixture;
};

void TestForm3::init()
{
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(m_fixture->start(records()));
    find(QStringLiteral("record"));
}

void TestForm3::cleanup()
{
    while (Form3* form3 = openForm3())
        delete form3;
    m_fixture.reset();
}

void TestForm3::find(const QString& text)
{
    m_fixture->child<QLineEdit>(QStringLiteral("Text1"))->setText(text);
    QTest::mouseClick(m_fixture->child<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
}

void TestForm3::view(const QString& description)
{
    auto* list = m_fixture->child<QListView>(QStringLiteral("List1"));
    const QModelIndexList found =
        list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, description, 1, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(description));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(found.first()).center());
}

void TestForm3::send(const QStringList& descriptions)
{
    for (const QString& description : descriptions) {
        view(description);
        QTest::mouseClick(m_fixture->child<QPushButton>(QStringLiteral("Command3")), Qt::LeftButton);
    }
}

Form3* TestForm3::openBuffer()
{
    QTest::mouseClick(m_fixture->child<QPushButton>(QStringLiteral("Command4")), Qt::LeftButton);
    return openForm3();
}

void TestForm3::closeBuffer(Form3* form3)
{
    QPointer<Form3> closing(form3);
    QTest::mouseClick(part<QPushButton>(form3, "Command1"), Qt::LeftButton);
    QTRY_VERIFY(closing.isNull());
}

QStringList TestForm3::rows(Form3* form3) const
{
    auto* list = part<QListWidget>(form3, "List1");
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

void TestForm3::selectRow(Form3* form3, int row)
{
    auto* list = part<QListWidget>(form3, "List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void TestForm3::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");

    QTest::newRow("Label1") << "Label1"
                            << "Description" << fromTwips(360, 120, 1815, 255);
    QTest::newRow("List1") << "List1"
                           << "" << fromTwips(240, 360, 4215, 1815);
    QTest::newRow("Label2") << "Label2"
                            << "Comments" << fromTwips(360, 2280, 1695, 255);
    QTest::newRow("Text1") << "Text1"
                           << "" << fromTwips(240, 2520, 4215, 975);
    QTest::newRow("Label3") << "Label3"
                            << "Frequencies" << fromTwips(360, 3600, 1455, 255);
    QTest::newRow("Text2") << "Text2"
                           << "" << fromTwips(240, 3840, 4215, 735);
    QTest::newRow("Command1") << "Command1"
                              << "Exit" << fromTwips(240, 4800, 1095, 375);
    QTest::newRow("Command2") << "Command2"
                              << "Print Preview" << fromTwips(1560, 4800, 1455, 375);
    QTest::newRow("Command7") << "Command7"
                              << "Clear Buffer" << fromTwips(3240, 4800, 1215, 375);
}

void TestForm3::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, place);

    Form3* form3 = openBuffer();
    QVERIFY(form3);
    auto* control = form3->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), form3);
    QCOMPARE(control->geometry(), place);
    QVERIFY(control->isVisible());
    if (auto* label = qobject_cast<QLabel*>(control))
        QCOMPARE(label->text(), caption);
    else if (auto* button = qobject_cast<QPushButton*>(control))
        QCOMPARE(button->text(), caption);
}

void TestForm3::window()
{
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(form3->windowTitle(), QStringLiteral("Orvo - Buffer Management"));
    QCOMPARE(form3->parentWidget(), nullptr);
    QVERIFY(form3->isEnabled());
    QVERIFY(!m_fixture->form->isEnabled());

    const QSize client(WindowGeometry::px(4710), WindowGeometry::px(5400));
    QCOMPARE(form3->size(), client);
    QCOMPARE(form3->minimumSize(), client);
    QCOMPARE(form3->maximumSize(), client);

    // The frame is only known once the window shows, so the place may be off by half of it.
    const QRect screen = form3->screen()->geometry();
    const QRect outer = form3->frameGeometry();
    const QPoint ideal(screen.x() + (screen.width() - outer.width()) / 2,
                       screen.y() + (screen.height() - outer.height()) / 2 - WindowGeometry::px(200));
    const QSize frame = outer.size() - form3->size();
    QVERIFY2(qAbs(outer.x() - ideal.x()) <= frame.width() / 2 && qAbs(outer.y() - ideal.y()) <= frame.height() / 2,
             qPrintable(QStringLiteral("placed at %1,%2").arg(outer.x()).arg(outer.y())));

    auto* list = part<QListWidget>(form3, "List1");
    QCOMPARE(list->accessibleName(), QStringLiteral("Description"));
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    for (const auto& [name, accessible] : {std::pair{"Text1", "Comments"}, std::pair{"Text2", "Frequencies"}}) {
        auto* memo = part<QPlainTextEdit>(form3, name);
        QVERIFY2(memo, name);
        QCOMPARE(memo->accessibleName(), QLatin1String(accessible));
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(!memo->isReadOnly());
    }
    QCOMPARE(part<QLabel>(form3, "Label1")->buddy(), list);
}

void TestForm3::focusOrder()
{
    send({QStringLiteral("A record")});
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    form3->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form3));

    const QStringList expected{"List1", "Text1", "Text2", "Command7", "Command1", "Command2", "List1"};
    QTRY_COMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), expected.first());
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.at(i));
    }
}

void TestForm3::emptyBuffer()
{
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(part<QListWidget>(form3, "List1")->count(), 0);
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QString());
    QCOMPARE(part<QPlainTextEdit>(form3, "Text2")->toPlainText(), QString());
}

void TestForm3::listsInTheOrderSent_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("row 2 clicked") << false;
    QTest::newRow("row 2 reached with the arrow keys") << true;
}

void TestForm3::listsInTheOrderSent()
{
    QFETCH(bool, byKeyboard);

    send({QStringLiteral("C record"), QStringLiteral("A record"), QStringLiteral("B record")});
    QCOMPARE(m_fixture->module.BufNext, 4);
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(rows(form3), (QStringList{"C record", "A record", "B record"}));

    auto* list = part<QListWidget>(form3, "List1");
    if (byKeyboard) {
        selectRow(form3, 0);
        QTest::keyClick(list, Qt::Key_Down);
    } else {
        selectRow(form3, 1);
    }
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QStringLiteral("Comments of A"));
    QCOMPARE(part<QPlainTextEdit>(form3, "Text2")->toPlainText(), QStringLiteral(" 728,  7.83"));

    selectRow(form3, 2);
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QStringLiteral("No Comment"));
    QCOMPARE(part<QPlainTextEdit>(form3, "Text2")->toPlainText(), QString());
}

void TestForm3::recordSentTwiceIsListedTwice()
{
    send({QStringLiteral("A record"), QStringLiteral("A record")});
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(rows(form3), (QStringList{"A record", "A record"}));
}

void TestForm3::clearBuffer()
{
    send({QStringLiteral("C record"), QStringLiteral("A record")});
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    selectRow(form3, 1);
    QVERIFY(!part<QPlainTextEdit>(form3, "Text1")->toPlainText().isEmpty());

    QTest::mouseClick(part<QPushButton>(form3, "Command7"), Qt::LeftButton);
    QCOMPARE(m_fixture->module.BufNext, 1);
    QCOMPARE(part<QListWidget>(form3, "List1")->count(), 0);
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QString());
    QCOMPARE(part<QPlainTextEdit>(form3, "Text2")->toPlainText(), QString());
    QCOMPARE(openForm3(), form3);
    QVERIFY(!m_fixture->form->isEnabled());
    QVERIFY(m_fixture->boxes.shown.isEmpty());

    closeBuffer(form3);
    form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(rows(form3), QStringList());
    closeBuffer(form3);

    send({QStringLiteral("B record")});
    QCOMPARE(m_fixture->module.BufNext, 2);
    QCOMPARE(m_fixture->module.BufDescription[1], QStringLiteral("B record"));
    form3 = openBuffer();
    QVERIFY(form3);
    QCOMPARE(rows(form3), QStringList{"B record"});
    selectRow(form3, 0);
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QStringLiteral("No Comment"));
}

void TestForm3::closing_data()
{
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("Exit") << false;
    QTest::newRow("close box") << true;
}

void TestForm3::closing()
{
    QFETCH(bool, byCloseBox);

    send({QStringLiteral("A record")});
    QPointer<Form3> form3 = openBuffer();
    QVERIFY(form3);
    QVERIFY(!m_fixture->form->isEnabled());

    if (byCloseBox)
        form3->close();
    else
        QTest::mouseClick(part<QPushButton>(form3, "Command1"), Qt::LeftButton);

    QVERIFY(m_fixture->form->isEnabled());
    QTRY_VERIFY(form3.isNull());
    QCOMPARE(openForm3(), nullptr);
    QCOMPARE(m_fixture->module.BufNext, 2);
    QVERIFY(m_fixture->boxes.shown.isEmpty());
}

void TestForm3::printPreview_data()
{
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty buffer: two lines, viewer still started")
        << QStringList{} << QTime(9, 5) << QStringList{"Frequency Selection   9:05 am " + HeaderDate, " "};
    QTest::newRow("one entry: six lines at 12:30 pm")
        << QStringList{"A record"} << QTime(12, 30) << QStringList{"Frequency Selection   12:30 pm " + HeaderDate,
                                                                   " ",
                                                                   "A record",
                                                                   "Comments of A",
                                                                   "Frequencies:  728,  7.83",
                                                                   " "};
    QTest::newRow("No Comment as stored at 3:07 pm")
        << QStringList{"B record"} << QTime(15, 7)
        << QStringList{
               "Frequency Selection   3:07 pm " + HeaderDate, " ", "B record", "No Comment", "Frequencies: ", " "};
    QTest::newRow("C, A, B in the order sent") << QStringList{"C record", "A record", "B record"} << QTime(9, 5)
                                               << QStringList{"Frequency Selection   9:05 am " + HeaderDate,
                                                              " ",
                                                              "C record",
                                                              "Comments of C",
                                                              "Frequencies:  3",
                                                              " ",
                                                              "A record",
                                                              "Comments of A",
                                                              "Frequencies:  728,  7.83",
                                                              " ",
                                                              "B record",
                                                              "No Comment",
                                                              "Frequencies: ",
                                                              " "};
}

void TestForm3::printPreview()
{
    if (!monthsAreEnglish())
        QSKIP("the header is written for the C locale's month names");
    QFETCH(QStringList, sent);
    QFETCH(QTime, time);
    QFETCH(QStringList, lines);

    send(sent);
    m_fixture->clock = QDateTime(QDate(2026, 12, 5), time);
    QPointer<Form3> form3 = openBuffer();
    QVERIFY(form3);
    const BufferSnapshot before = BufferSnapshot::of(m_fixture->module);

    QTest::mouseClick(part<QPushButton>(form3, "Command2"), Qt::LeftButton);

    const QString path = QDir(m_fixture->folder.path()).filePath(QStringLiteral("freq.txt"));
    QCOMPARE(readAll(path), crlfLines(lines));
    QCOMPARE(m_fixture->viewer.launches, QStringList{m_fixture->folder.path() + QStringLiteral("|freq.txt")});
    QVERIFY(m_fixture->boxes.shown.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form3);
    QVERIFY(form3->isVisible());
    QVERIFY(!m_fixture->form->isEnabled());
    QCOMPARE(rows(form3), sent);
    QVERIFY(BufferSnapshot::of(m_fixture->module) == before);
}

void TestForm3::secondExportReplacesFirst()
{
    if (!monthsAreEnglish())
        QSKIP("the header is written for the C locale's month names");
    send({QStringLiteral("C record"), QStringLiteral("A record"), QStringLiteral("B record")});
    Form3* form3 = openBuffer();
    QVERIFY(form3);
    QTest::mouseClick(part<QPushButton>(form3, "Command2"), Qt::LeftButton);
    QTest::mouseClick(part<QPushButton>(form3, "Command7"), Qt::LeftButton);
    closeBuffer(form3);

    send({QStringLiteral("C record")});
    m_fixture->clock = QDateTime(QDate(2026, 12, 5), QTime(15, 7));
    form3 = openBuffer();
    QVERIFY(form3);
    QTest::mouseClick(part<QPushButton>(form3, "Command2"), Qt::LeftButton);

    QCOMPARE(readAll(QDir(m_fixture->folder.path()).filePath(QStringLiteral("freq.txt"))),
             crlfLines({"Frequency Selection   3:07 pm " + HeaderDate, " ", "C record", "Comments of C",
                        "Frequencies:  3", " "}));
    QCOMPARE(m_fixture->viewer.launches.size(), 2);
}

void TestForm3::fileCannotBeWritten_data()
{
    QTest::addColumn<bool>("folderIsAFile");

    // Tests run as root, whom a read-only mode does not stop. These make the write fail for
    // anyone: a folder already has the file's name, or the application folder lies under a
    // regular file.
    QTest::newRow("freq.txt is a folder") << false;
    QTest::newRow("application folder under a regular file") << true;
}

void TestForm3::fileCannotBeWritten()
{
    QFETCH(bool, folderIsAFile);

    send({QStringLiteral("A record"), QStringLiteral("B record")});
    QDir folder(m_fixture->folder.path());
    if (folderIsAFile) {
        QFile plain(folder.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        m_fixture->services.applicationFolder = folder.filePath(QStringLiteral("plain/app"));
    } else {
        QVERIFY(folder.mkdir(QStringLiteral("freq.txt")));
    }
    const QString path = QDir(m_fixture->services.applicationFolder).filePath(QStringLiteral("freq.txt"));

    QPointer<Form3> form3 = openBuffer();
    QVERIFY(form3);
    selectRow(form3, 0);
    const BufferSnapshot before = BufferSnapshot::of(m_fixture->module);
    QTest::mouseClick(part<QPushButton>(form3, "Command2"), Qt::LeftButton);

    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const ScriptedMessageBoxes::Shown box = m_fixture->boxes.shown.first();
    const QString prefix = QStringLiteral("Could not write ") + QDir::toNativeSeparators(path) + QStringLiteral(": ");
    QVERIFY2(box.prompt.startsWith(prefix) && box.prompt.size() > prefix.size(), qPrintable(box.prompt));
    QCOMPARE(box.title, QStringLiteral("Print Preview"));
    QCOMPARE(box.style, MessageBoxes::OkOnly);
    QVERIFY(m_fixture->viewer.launches.isEmpty());

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form3);
    QVERIFY(form3->isVisible());
    QVERIFY(BufferSnapshot::of(m_fixture->module) == before);
    QCOMPARE(rows(form3), (QStringList{"A record", "B record"}));
    QCOMPARE(part<QPlainTextEdit>(form3, "Text1")->toPlainText(), QStringLiteral("Comments of A"));
    if (!folderIsAFile)
        QVERIFY(QFileInfo(path).isDir());
}

void TestForm3::viewerCannotStart()
{
    if (!monthsAreEnglish())
        QSKIP("the header is written for the C locale's month names");
    send({QStringLiteral("A record")});
    m_fixture->viewer.succeeds = false;
    QPointer<Form3> form3 = openBuffer();
    QVERIFY(form3);
    const BufferSnapshot before = BufferSnapshot::of(m_fixture->module);
    QTest::mouseClick(part<QPushButton>(form3, "Command2"), Qt::LeftButton);

    const QString path = QDir(m_fixture->folder.path()).filePath(QStringLiteral("freq.txt"));
    QCOMPARE(readAll(path), crlfLines({"Frequency Selection   9:05 am " + HeaderDate, " ", "A record", "Comments of A",
                                       "Frequencies:  728,  7.83", " "}));
    QCOMPARE(m_fixture->viewer.launches.size(), 1);
    QCOMPARE(m_fixture->boxes.shown.size(), 1);
    const ScriptedMessageBoxes::Shown box = m_fixture->boxes.shown.first();
    QCOMPARE(box.prompt, QDir::toNativeSeparators(path) +
                             QStringLiteral(" was written, but no program to show it could be started."));
    QCOMPARE(box.title, QStringLiteral("Print Preview"));
    QCOMPARE(box.style, MessageBoxes::OkOnly);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form3);
    QVERIFY(form3->isVisible());
    QVERIFY(BufferSnapshot::of(m_fixture->module) == before);
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"

#include "buffer/Form3.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestForm3 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup()
    {
        delete m_form3;
        m_f.reset();
    }
    void listClearAndClose_data();
    void listClearAndClose();
    void printPreview_data();
    void printPreview();

private:
    void send(const QStringList& descriptions);
    Form3* openBuffer();
    void clickRow(int row);
    QString text(const char* name) const { return m_form3->findChild<QPlainTextEdit*>(name)->toPlainText(); }
    void click(const char* name) { QTest::mouseClick(m_form3->findChild<QPushButton*>(name), Qt::LeftButton); }
    QStringList rows() const;
    QString freqTxt() const { return QDir(m_f->folder.path()).filePath(QStringLiteral("freq.txt")); }

    std::optional<MainWindowFixture> m_f;
    QPointer<Form3> m_form3;
};

void TestForm3::init()
{
    QVERIFY(m_f.emplace().start({TestRecord::make("C record", "Comments of C", {3}),
                                 TestRecord::make("A record", "Comments of A", {728, 7.83}),
                                 TestRecord::make("B record", nullText(), {})}));
    m_f->child<QLineEdit>(QStringLiteral("Text1"))->setText(QStringLiteral("record"));
    QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
}

void TestForm3::send(const QStringList& descriptions)
{
    auto* list = m_f->child<QListView>(QStringLiteral("List1"));
    for (const QString& description : descriptions) {
        const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, description);
        QVERIFY2(!found.isEmpty(), qPrintable(description));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(found.first()).center());
        QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command3")), Qt::LeftButton);
    }
}

Form3* TestForm3::openBuffer()
{
    QTest::mouseClick(m_f->child<QPushButton>(QStringLiteral("Command4")), Qt::LeftButton);
    return m_form3 = windowsOf<Form3>().value(0);
}

void TestForm3::clickRow(int row)
{
    auto* list = m_form3->findChild<QListWidget*>("List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

QStringList TestForm3::rows() const
{
    auto* list = m_form3->findChild<QListWidget*>("List1");
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

void TestForm3::listClearAndClose_data()
{
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("Exit") << false;
    QTest::newRow("close box") << true;
}

void TestForm3::listClearAndClose()
{
    QFETCH(bool, byCloseBox);
    send({"C record", "A record", "B record"});
    QVERIFY(openBuffer());
    QCOMPARE(m_form3->windowTitle(), QStringLiteral("Orvo - Buffer Management"));
    QVERIFY(!m_f->form->isEnabled());
    QCOMPARE(m_form3->findChild<QWidget*>("Text2")->accessibleName(), QStringLiteral("Frequencies"));
    QStringList captions;
    for (const char* name : {"Command1", "Command2", "Command7"})
        captions << m_form3->findChild<QPushButton*>(name)->text();
    QCOMPARE(captions, (QStringList{"Exit", "Print Preview", "Clear Buffer"}));
    QCOMPARE(tabOrder(m_form3, 7), (QStringList{"List1", "Text1", "Text2", "Command7", "Command1", "Command2", "List1"}));

    // In the order sent; each row shows its own entry.
    QCOMPARE(rows(), (QStringList{"C record", "A record", "B record"}));
    clickRow(1);
    QCOMPARE(text("Text1"), QStringLiteral("Comments of A"));
    QCOMPARE(text("Text2"), QStringLiteral(" 728,  7.83"));
    clickRow(2);
    QCOMPARE(text("Text1"), QStringLiteral("No Comment"));
    QCOMPARE(text("Text2"), QString());

    click("Command7");
    QCOMPARE(m_f->module.BufNext, 1);
    QCOMPARE(rows(), QStringList());
    QCOMPARE(text("Text1") + text("Text2"), QString());
    QVERIFY(m_form3->isVisible());
    if (byCloseBox)
        m_form3->close();
    else
        click("Command1");
    QTRY_VERIFY(m_form3.isNull());
    QVERIFY(m_f->form->isEnabled());
}

void TestForm3::printPreview_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("prompt"); // how the message box starts; %1 is the file's path

    QTest::newRow("written and shown") << "" << "";
    // Tests run as root, whom a read-only mode does not stop; a folder in the file's place stops anyone.
    QTest::newRow("freq.txt cannot be written") << "folder" << "Could not write %1: ";
    QTest::newRow("no viewer can be started")
        << "viewer" << "%1 was written, but no program to show it could be started.";
}

void TestForm3::printPreview()
{
    QFETCH(QString, fault);
    QFETCH(QString, prompt);
    if (fault == "folder")
        QVERIFY(QDir(m_f->folder.path()).mkdir(QStringLiteral("freq.txt")));
    m_f->viewer.succeeds = fault != "viewer";
    send({"C record", "A record"});
    m_f->clock = QDateTime(QDate(2026, 12, 5), QTime(15, 7));
    QVERIFY(openBuffer());
    clickRow(1);
    click("Command2");

    QFile file(freqTxt());
    if (fault != "folder") { // the whole buffer, whatever row is selected
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY2(written.startsWith("Frequency Selection   3:07 pm") &&
                     written.endsWith("\r\n \r\nC record\r\nComments of C\r\nFrequencies:  3\r\n \r\nA record\r\n"
                                      "Comments of A\r\nFrequencies:  728,  7.83\r\n \r\n"),
                 written.constData());
    }
    QCOMPARE(m_f->viewer.launches,
             fault == "folder" ? QStringList() : QStringList{m_f->folder.path() + QStringLiteral("|freq.txt")});
    QCOMPARE(m_f->boxes.shown.size(), fault.isEmpty() ? 0 : 1);
    if (!fault.isEmpty()) {
        const QString shown = m_f->boxes.shown.first().prompt;
        QVERIFY2(shown.startsWith(prompt.arg(QDir::toNativeSeparators(freqTxt()))) && !shown.endsWith(": "),
                 qPrintable(shown));
        QCOMPARE(m_f->boxes.shown.first().title, QStringLiteral("Print Preview"));
    }
    // The window stays open over the same buffer.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_form3 && m_form3->isVisible());
    QVERIFY(!m_f->form->isEnabled());
    QCOMPARE(m_f->module.BufNext, 3);
    QCOMPARE(rows(), (QStringList{"C record", "A record"}));
    QCOMPARE(text("Text1"), QStringLiteral("Comments of A"));
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"

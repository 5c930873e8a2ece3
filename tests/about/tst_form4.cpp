#include "about/AboutText.h"
#include "about/Form4.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QtEndian>

// File > Tips and About: the window, its text and its picture.
class TestForm4 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnceBesideEnabledMainWindow();
    void laysOutControlsInTwips_data();
    void laysOutControlsInTwips();
    void showsComposedTextInGreySerif();
    void textHasFocusThenClose();
    void scrollingReachesLastParagraph();
    void typingDoesNotSurviveReopening();
    void closingLeavesMainWindowAsItWas();
    void pictureIsTheStoredBitmap();

private:
    Form4* openAbout();
    template <typename T> T* control(Form4* window, const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    static QList<Form4*> openWindows();

    std::unique_ptr<MainWindowFixture> m_fixture;
};

void TestForm4::init()
{
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(m_fixture->start({TestRecord::make("one")}));
}

void TestForm4::cleanup()
{
    m_fixture.reset();
    QCOMPARE(openWindows().size(), 0);
}

QList<Form4*> TestForm4::openWindows()
{
    QList<Form4*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<Form4*>(widget); about && widget->objectName() == QLatin1String("Form4"))
            windows << about;
    }
    return windows;
}

Form4* TestForm4::openAbout()
{
    m_fixture->form->findChild<QAction*>(QStringLiteral("TipsandHelp"))->trigger();
    const QList<Form4*> windows = openWindows();
    return windows.size() == 1 ? windows.first() : nullptr;
}

void TestForm4::opensOnceBesideEnabledMainWindow()
{
    Form4* about = openAbout();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("Orvo - Tips and About"));
    QVERIFY(m_fixture->form->isEnabled());
    QVERIFY(!about->parentWidget());

    QCOMPARE(openAbout(), about);
    QVERIFY(about->isVisible());
    QVERIFY(m_fixture->boxes.shown.isEmpty());
}

void TestForm4::laysOutControlsInTwips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("accessibleName");

    QTest::newRow("Text1") << "Text1" << QRect(0, 0, 409, 401) << "Tips and About";
    QTest::newRow("Picture1") << "Picture1" << QRect(416, 24, 105, 144) << "Orvo picture";
    QTest::newRow("Command1") << "Command1" << QRect(424, 368, 89, 25) << "Close";
}

void TestForm4::laysOutControlsInTwips()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QFETCH(QString, accessibleName);
    Form4* about = openAbout();
    QVERIFY(about);
    QWidget* widget = about->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), place);
    QCOMPARE(widget->accessibleName(), accessibleName);
    // 7875 x 6075 twips, and the user cannot change it.
    QCOMPARE(about->size(), QSize(525, 405));
    QCOMPARE(about->minimumSize(), about->maximumSize());
}

void TestForm4::showsComposedTextInGreySerif()
{
    Form4* about = openAbout();
    QVERIFY(about);
    auto* text = control<QPlainTextEdit>(about, "Text1");
    QCOMPARE(text->toPlainText(), AboutText::compose().replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QCOMPARE(text->document()->blockCount(), 18 * 2 - 1);
    QVERIFY(!text->isReadOnly());
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->font().family(), QStringLiteral("Times New Roman"));
    QCOMPARE(text->font().pointSize(), 12);
    QCOMPARE(text->font().weight(), QFont::Normal);
    QVERIFY(!text->font().italic());
    // Where the font itself is missing, its metric twin stands in.
    QVERIFY2(QStringList({"Times New Roman", "Liberation Serif"}).contains(QFontInfo(text->font()).family()),
             qPrintable(QFontInfo(text->font()).family()));
    QCOMPARE(text->palette().color(QPalette::Base), QColor(224, 224, 224));
    QCOMPARE(control<QPushButton>(about, "Command1")->font().family(), QStringLiteral("Liberation Sans"));
}

void TestForm4::textHasFocusThenClose()
{
    Form4* about = openAbout();
    QVERIFY(about);
    about->activateWindow();
    auto* text = control<QPlainTextEdit>(about, "Text1");
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(text));
    QTest::keyClick(text, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(control<QPushButton>(about, "Command1")));
    QCOMPARE(control<QLabel>(about, "Picture1")->focusPolicy(), Qt::NoFocus);
}

void TestForm4::scrollingReachesLastParagraph()
{
    Form4* about = openAbout();
    QVERIFY(about);
    auto* text = control<QPlainTextEdit>(about, "Text1");
    QScrollBar* bar = text->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(bar->value() > 0);
    QCOMPARE(text->textCursor().block().text(), QStringLiteral("The Orvo authors"));
    QVERIFY(text->viewport()->rect().contains(text->cursorRect()));
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
}

void TestForm4::typingDoesNotSurviveReopening()
{
    Form4* about = openAbout();
    QVERIFY(about);
    auto* text = control<QPlainTextEdit>(about, "Text1");
    QTest::keyClicks(text, QStringLiteral("scribble"));
    QVERIFY(text->toPlainText().contains(QLatin1String("scribble")));

    QPointer<Form4> closed(about);
    QTest::mouseClick(control<QPushButton>(about, "Command1"), Qt::LeftButton);
    QTRY_VERIFY(closed.isNull());
    QVERIFY(openWindows().isEmpty());

    Form4* again = openAbout();
    QVERIFY(again);
    QVERIFY(!control<QPlainTextEdit>(again, "Text1")->toPlainText().contains(QLatin1String("scribble")));
}

void TestForm4::closingLeavesMainWindowAsItWas()
{
    Form4* about = openAbout();
    QVERIFY(about);
    // Another window has disabled the main window meanwhile: closing this one must not enable it.
    m_fixture->form->setEnabled(false);
    QPointer<Form4> closed(about);
    about->close();
    QTRY_VERIFY(closed.isNull());
    QVERIFY(!m_fixture->form->isEnabled());
    m_fixture->form->setEnabled(true);
}

void TestForm4::pictureIsTheStoredBitmap()
{
    QFile file(QStringLiteral(":/about/about-picture.bmp"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 15638);
    QVERIFY(bytes.startsWith("BM"));
    const auto field32 = [&](int at) { return qFromLittleEndian<qint32>(bytes.constData() + at); };
    const auto field16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    QCOMPARE(field32(2), 15638);           // file size
    QCOMPARE(field32(10), 14 + 40 + 1024); // pixels follow a 256-entry colour table
    QCOMPARE(field32(18), 101);
    QCOMPARE(field32(22), 140);
    QCOMPARE(field16(28), quint16(8)); // bits per pixel
    QCOMPARE(field32(30), 0);          // uncompressed
    QVERIFY(field32(46) == 0 || field32(46) == 256);

    QImageReader reader(QStringLiteral(":/about/about-picture.bmp"));
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(101, 140));
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QCOMPARE(image.colorCount(), 256);

    Form4* about = openAbout();
    QVERIFY(about);
    auto* picture = control<QLabel>(about, "Picture1");
    QCOMPARE(picture->pixmap().size(), QSize(101, 140));
    QCOMPARE(picture->contentsRect().size(), QSize(101, 140));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"

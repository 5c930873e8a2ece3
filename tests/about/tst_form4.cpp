#include "about/AboutText.h"
#include "about/Form4.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// File > Tips and About: the window, and the composed text with its version line, its
// paragraphs and the quoted ones word for word.
class TestForm4 : public QObject
{
    Q_OBJECT

private slots:
    void opensOnceAndClosesAlone();
    void composedText();
};

void TestForm4::opensOnceAndClosesAlone()
{
    QApplication::setPalette(QPalette(Qt::darkGray, Qt::black)); // a dark desktop's light text
    MainWindowFixture f;
    QVERIFY(f.start({TestRecord::make("one")}));
    auto* tips = f.form->findChild<QAction*>(QStringLiteral("TipsandHelp"));
    tips->trigger();
    QCOMPARE(windowsOf<Form4>(false).size(), 1);
    Form4* about = windowsOf<Form4>(false).first();
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("Orvo - Tips and About"));
    QVERIFY(f.form->isEnabled());
    auto* text = about->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text->toPlainText(), AboutText::compose().replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QCOMPARE(text->font().pointSize(), 12);
    QCOMPARE(text->palette().color(QPalette::Text), QColor(Qt::black));
    QVERIFY(!about->findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    auto* close = about->findChild<QPushButton*>(QStringLiteral("Command1"));
    QCOMPARE(close->text(), QStringLiteral("Close"));

    tips->trigger(); // raises the open window
    QCOMPARE(windowsOf<Form4>(false), QList<Form4*>{about});
    QVERIFY(about->isVisible() && f.boxes.shown.isEmpty());

    // Another window has disabled the main window meanwhile: closing this one must not enable it.
    f.form->setEnabled(false);
    QPointer<Form4> closed(about);
    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(closed.isNull());
    QVERIFY(!f.form->isEnabled());
}

void TestForm4::composedText()
{
    // The build number keeps the place of a sign: two blanks after "build".
    const QString text = AboutText::compose();
    QVERIFY(text.startsWith(QLatin1String("Welcome to Orvo version 1.0 - build  57\r\n\r\n")));
    const QStringList paragraphs = text.split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(paragraphs.size(), 18);
    for (const QString& paragraph : paragraphs)
        QVERIFY2(!paragraph.trimmed().isEmpty() && !paragraph.contains(QLatin1Char('\n')), qPrintable(paragraph));
    QVERIFY(text.endsWith(QLatin1String("\r\n\r\nThe Orvo authors")));
    // It names the tools, but no address to write to.
    for (const char* address : {"@", "http", "www.", ".com", ".org"})
        QVERIFY2(!text.contains(QLatin1String(address), Qt::CaseInsensitive), address);
    for (const char* tool : {"C++", "Qt", "SQLite"})
        QVERIFY2(paragraphs.at(10).contains(QLatin1String(tool)), tool);

    // The quoted paragraphs whose spelling a tidy-up would be tempted to correct.
    QCOMPARE(paragraphs.at(8), QStringLiteral("The data has been checked a few times, and typo's found, were corrected. "
                                              "I make no claims for the correctness of the frequencies and data in "
                                              "Orvo. All care has been taken."));
    QCOMPARE(paragraphs.at(11), QStringLiteral("Help tips ... well Orvos is pretty straight forward, but here are a few "
                                               "tips that might help you along."));
    QCOMPARE(paragraphs.at(15), QStringLiteral("To list all records, simply click on the find button when the search "
                                               "text box it empty. A list of the entire database will be displayed."));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"

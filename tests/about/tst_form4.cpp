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

// File > Tips and About: the window and its text; AboutText is tested on its own.
class TestForm4 : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_fixture.emplace().start({TestRecord::make("one")})); }
    void cleanup()
    {
        m_fixture.reset();
        QCOMPARE(openWindows().size(), 0);
    }
    void opensOnceAndClosesAlone();

private:
    Form4* openAbout()
    {
        m_fixture->form->findChild<QAction*>(QStringLiteral("TipsandHelp"))->trigger();
        const QList<Form4*> windows = openWindows();
        return windows.size() == 1 ? windows.first() : nullptr;
    }
    static QList<Form4*> openWindows()
    {
        QList<Form4*> windows;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<Form4*>(widget))
                windows << about;
        }
        return windows;
    }

    std::optional<MainWindowFixture> m_fixture;
};

void TestForm4::opensOnceAndClosesAlone()
{
    Form4* about = openAbout();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("Orvo - Tips and About"));
    QVERIFY(m_fixture->form->isEnabled());
    auto* text = about->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text->toPlainText(), AboutText::compose().replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QCOMPARE(text->font().pointSize(), 12);
    QVERIFY(!about->findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    auto* close = about->findChild<QPushButton*>(QStringLiteral("Command1"));
    QCOMPARE(close->text(), QStringLiteral("Close"));

    QCOMPARE(openAbout(), about);
    QVERIFY(about->isVisible());
    QVERIFY(m_fixture->boxes.shown.isEmpty());

    // Another window has disabled the main window meanwhile: closing this one must not enable it.
    m_fixture->form->setEnabled(false);
    QPointer<Form4> closed(about);
    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(closed.isNull());
    QVERIFY(!m_fixture->form->isEnabled());
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"

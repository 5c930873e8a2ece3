#include "main_window/AppIcon.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>

// Every window shows the program's icon; none replaces it with its own.
class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void everyWindowShowsTheIcon();

private:
    std::unique_ptr<MainWindowFixture> m_fixture;
};

void TestAppIcon::cleanup()
{
    if (m_fixture) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (window != m_fixture->form.get() && window->isVisible())
                window->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_fixture.reset();
    }
    QApplication::setWindowIcon(QIcon());
}

void TestAppIcon::everyWindowShowsTheIcon()
{
    m_fixture = std::make_unique<MainWindowFixture>();
    QVERIFY(m_fixture->start({TestRecord::make("Alpha", "first", {"7.83"})}));
    QApplication::setWindowIcon(AppIcon::icon());
    const qint64 appIcon = QApplication::windowIcon().cacheKey();

    Form1& form = *m_fixture->form;
    form.Command5_Click();
    form.Command4_Click();
    form.pLr_Click();
    form.TipsandHelp_Click();

    QStringList seen;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!window->isVisible())
            continue;
        seen << window->objectName();
        QVERIFY2(window->windowIcon().cacheKey() == appIcon, qPrintable(window->objectName()));
    }
    seen.sort();
    QCOMPARE(seen, QStringList({"Form1", "Form2", "Form3", "Form4", "Form5"}));
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"

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
    void everyWindowShowsTheIcon()
    {
        MainWindowFixture f;
        QVERIFY(f.start({TestRecord::make("Alpha", "first", {"7.83"})}));
        QApplication::setWindowIcon(AppIcon::icon());
        const qint64 appIcon = QApplication::windowIcon().cacheKey();
        f.form->Command5_Click();
        f.form->Command4_Click();
        f.form->pLr_Click();
        f.form->TipsandHelp_Click();

        QStringList seen;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            seen << window->objectName() + (window->windowIcon().cacheKey() == appIcon ? "" : " without the icon");
            // The other windows refer to the main window: they go first.
            if (window != f.form.get())
                window->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        seen.sort();
        QCOMPARE(seen, QStringList({"Form1", "Form2", "Form3", "Form4", "Form5"}));
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"

#include "main_window/AppIcon.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <algorithm>

namespace {

// The sizes that the hicolor theme looks in for application icons.
const QList<int> ThemeSizes = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace

// The program's icon: every drawn size comes from the resources, and no window replaces it.
class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void eachSizeIsDrawn_data();
    void eachSizeIsDrawn();
    void offersOnlyDrawnSizes();
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

void TestAppIcon::eachSizeIsDrawn_data()
{
    QTest::addColumn<int>("size");
    for (int size : ThemeSizes)
        QTest::addRow("%dx%d", size, size) << size;
}

// A missing resource still shows up in availableSizes(), so the pixels are what counts.
void TestAppIcon::eachSizeIsDrawn()
{
    QFETCH(int, size);
    const QImage image(QStringLiteral(":/icons/hicolor/%1x%1/apps/orvo.png").arg(size));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());

    const QPixmap pixmap = AppIcon::icon().pixmap(QSize(size, size));
    QCOMPARE(pixmap.size(), QSize(size, size));
    QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void TestAppIcon::offersOnlyDrawnSizes()
{
    QList<int> offered;
    const QList<QSize> sizes = AppIcon::icon().availableSizes();
    for (const QSize& size : sizes) {
        QCOMPARE(size.height(), size.width());
        offered << size.width();
    }
    std::sort(offered.begin(), offered.end());
    QCOMPARE(offered, ThemeSizes);
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

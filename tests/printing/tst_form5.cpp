#include "printing/Form5.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

// The print window over the main window; what the export writes is tst_resultlistexport's.
namespace {

const QStringList CheckBoxes{"Check1", "Check2", "Check3"};

QVector<TestRecord> numberedRecords(int count)
{
    QVector<TestRecord> records;
    for (int i = 1; i <= count; ++i)
        records << TestRecord::make(QStringLiteral("Record %1").arg(i), QStringLiteral("Comments %1").arg(i), {i});
    return records;
}

struct PrintFixture : MainWindowFixture
{
    // Lists all records first, so that ResultCount is set, then opens the window.
    bool open(const QVector<TestRecord>& records)
    {
        if (!start(records))
            return false;
        form->Command1_Click();
        form->pLr_Click();
        return openWindow();
    }

    bool openWindow()
    {
        window = windowsOf<Form5>().value(0);
        return window;
    }

    template <typename T> T* control(const QString& name) const { return window->findChild<T*>(name); }
    void click(const QString& name) const { QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton); }

    QPointer<Form5> window;
};

} // namespace

class TestForm5 : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void boxesClearAtEveryOpening();
    void printPreviewWhileTheBoxesChange();
};

void TestForm5::cleanup()
{
    // A window left open by a failed test must not outlive its main window into the next test.
    qDeleteAll(windowsOf<Form5>(false));
}

void TestForm5::boxesClearAtEveryOpening()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(1)));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Orvo - Print Results List"));
    QCOMPARE(f.control<QGroupBox>("Frame1")->title(), QStringLiteral("Print Options"));
    QStringList captions;
    for (const QString& name : CheckBoxes + QStringList{"Command1", "Command2"})
        captions << f.control<QAbstractButton>(name)->text();
    QCOMPARE(captions, QStringList({"Print comments", "Print frequencies", "Print blank line between records",
                                    "Print Preview", "Exit"}));
    QVERIFY(!f.form->isEnabled());
    for (const QString& name : CheckBoxes) {
        QVERIFY(!f.control<QCheckBox>(name)->isChecked());
        f.click(name);
    }
    f.click("Command2");
    QVERIFY(f.form->isEnabled());
    QTRY_VERIFY(!f.window);

    f.form->pLr_Click();
    QVERIFY(f.openWindow());
    for (const QString& name : CheckBoxes)
        QVERIFY(!f.control<QCheckBox>(name)->isChecked());
    QVERIFY(f.window->close()); // the close box too gives the main window back
    QVERIFY(f.form->isEnabled());
}

void TestForm5::printPreviewWhileTheBoxesChange()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(3)));
    f.click("Check1");
    f.click("Check3");
    auto* print = f.control<QPushButton>("Command1");
    auto* exit = f.control<QPushButton>("Command2");
    auto* bar = f.control<QProgressBar>("ProgressBar1");
    QStringList seen;
    connect(bar, &QProgressBar::valueChanged, f.window, [&](int value) {
        seen << QStringLiteral("%1 print %2 exit %3").arg(value).arg(print->isEnabled()).arg(exit->isEnabled());
        if (value == 1) { // neither a second run nor closing gets in
            f.window->Command1_Click();
            QVERIFY(!f.window->close());
            QTest::mouseClick(exit, Qt::LeftButton);
        }
        if (value == 2) // the boxes stay live and count from the next record
            f.click("Check2");
    });
    f.click("Command1");

    QCOMPARE(seen, (QStringList{"1 print 0 exit 0", "2 print 0 exit 0", "3 print 0 exit 0"}));
    // At the fixture's clock, 9:05 am on 5 December 2026.
    const QStringList lines{"Frequency Selection   9:05 am   5," + QLocale::system().monthName(12, QLocale::ShortFormat) +
                                " 2026",
                            " ", "Record 1", "Comments 1", " ", "Record 2", "Comments 2", "Frequencies:  2", " ",
                            "Record 3", "Comments 3", "Frequencies:  3", " "};
    QFile file(f.folder.filePath(QStringLiteral("freq.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), (lines.join("\r\n") + "\r\n").toUtf8());
    QCOMPARE(f.viewer.launches, QStringList{f.folder.path() + "|freq.txt"});
    QVERIFY(f.boxes.shown.isEmpty());
    QVERIFY(bar->minimum() == 1 && bar->maximum() == 3 && bar->value() == 3);
    // The window stays open for another run; the main window stays disabled.
    QVERIFY(f.window && print->isEnabled() && exit->isEnabled());
    QVERIFY(!f.form->isEnabled());

    // A list of none: the minimum meets the maximum and the bar stands full.
    bar->disconnect(f.window);
    f.form->findChild<QAction*>("z")->trigger();
    f.click("Command1");
    QVERIFY(bar->minimum() == 1 && bar->maximum() == 1 && bar->value() == 1);
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"

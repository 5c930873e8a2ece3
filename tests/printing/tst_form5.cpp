#include "printing/Form5.h"

#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QListView>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

QVector<TestRecord> numberedRecords(int count)
{
    QVector<TestRecord> records;
    for (int i = 1; i <= count; ++i)
        records << TestRecord::make(QStringLiteral("Record %1").arg(i), QStringLiteral("Comments %1").arg(i), {i});
    return records;
}

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QString headerAt(const QDateTime& now)
{
    const QTime time = now.time();
    const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("Frequency Selection   %1:%2 %3   %4,%5 %6")
        .arg(hour)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? "am" : "pm")
        .arg(now.date().day())
        .arg(QLocale::system().monthName(now.date().month(), QLocale::ShortFormat))
        .arg(now.date().year());
}

// The main window over the given records, with the print window opened from its menu.
struct PrintFixture : MainWindowFixture
{
    // Runs a search over all records first (so ResultCount is set), unless told not to.
    bool open(const QVector<TestRecord>& records, bool searched = true)
    {
        if (!start(records))
            return false;
        if (searched) {
            module.QuerySql = QueryTexts::allRecordsQuery();
            if (!form->showResults())
                return false;
        }
        form->pLr_Click();
        return openWindow();
    }

    bool openWindow()
    {
        window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("Form5") && widget->isVisible())
                window = qobject_cast<Form5*>(widget);
        }
        return window;
    }

    template<typename T>
    T* control(const QString& name) const
    {
        return window->findChild<T*>(name);
    }

    QString exportPath() const { return QDir(folder.path()).filePath(QStringLiteral("freq.txt")); }

    QByteArray exportBytes() const
    {
        QFile file(exportPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QPointer<Form5> window;
};

} // namespace

class TestForm5 : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void controls_data();
    void controls();
    void openingState();
    void closing_data();
    void closing();
    void boxesClearAtEveryOpening();
    void printPreview_data();
    void printPreview();
    void progressValues_data();
    void progressValues();
    void duringRun();
    void twoRunsLeaveTheSecond();
    void runReplacesBufferExport();
    void failures_data();
    void failures();
};

void TestForm5::cleanup()
{
    // A window left open by a failed test must not outlive its main window into the next test.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("Form5"))
            delete widget;
    }
}

void TestForm5::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("place");

    // Twips divided by 15; the check boxes are placed within the frame.
    QTest::newRow("Frame1") << "Frame1" << "QGroupBox" << "Print Options" << "Print Options" << "Form5"
                            << QRect(16, 16, 273, 169);
    QTest::newRow("Check1") << "Check1" << "QCheckBox" << "Print comments" << "Print comments" << "Frame1"
                            << QRect(48, 40, 153, 17);
    QTest::newRow("Check2") << "Check2" << "QCheckBox" << "Print frequencies" << "Print frequencies" << "Frame1"
                            << QRect(48, 80, 153, 17);
    QTest::newRow("Check3") << "Check3" << "QCheckBox" << "Print blank line between records"
                            << "Print blank line between records" << "Frame1" << QRect(48, 120, 185, 25);
    QTest::newRow("Command1") << "Command1" << "QPushButton" << "Print Preview" << "Print Preview" << "Form5"
                              << QRect(16, 224, 97, 25);
    QTest::newRow("Command2") << "Command2" << "QPushButton" << "Exit" << "Exit" << "Form5" << QRect(192, 224, 97, 25);
    QTest::newRow("ProgressBar1") << "ProgressBar1" << "QProgressBar" << "" << "Progress" << "Form5"
                                  << QRect(16, 196, 273, 17);
}

void TestForm5::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, caption);
    QFETCH(QString, accessibleName);
    QFETCH(QString, parentName);
    QFETCH(QRect, place);

    PrintFixture f;
    QVERIFY(f.open(numberedRecords(1)));
    auto* widget = f.control<QWidget>(name);
    QVERIFY(widget);
    QVERIFY(widget->inherits(className.toLatin1()));
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->geometry(), place);
    QCOMPARE(widget->accessibleName(), accessibleName);
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        QCOMPARE(box->title(), caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QCOMPARE(button->text(), caption);
    // Every caption fits its control.
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QVERIFY2(button->sizeHint().width() <= place.width(), qPrintable(QString::number(button->sizeHint().width())));
}

void TestForm5::openingState()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(2)));

    QCOMPARE(f.window->windowTitle(), QStringLiteral("Orvo - Print Results List"));
    QCOMPARE(f.window->minimumSize(), QSize(306, 258));
    QCOMPARE(f.window->maximumSize(), QSize(306, 258));
    QVERIFY(!f.form->isEnabled());
    QCOMPARE(f.window->focusWidget(), f.control<QPushButton>("Command1"));

    QStringList tabOrder;
    QWidget* widget = f.control<QPushButton>("Command1");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            tabOrder << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != f.control<QPushButton>("Command1"));
    QCOMPARE(tabOrder, (QStringList{"Command1", "Command2", "Check1", "Check2", "Check3"}));

    for (const char* name : {"Check1", "Check2", "Check3"})
        QVERIFY2(!f.control<QCheckBox>(name)->isChecked(), name);
    auto* bar = f.control<QProgressBar>("ProgressBar1");
    QVERIFY(bar->value() < bar->minimum());
}

void TestForm5::closing_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::newRow("Exit") << true;
    QTest::newRow("close box") << false;
}

void TestForm5::closing()
{
    QFETCH(bool, byExit);
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(1)));

    if (byExit)
        QTest::mouseClick(f.control<QPushButton>("Command2"), Qt::LeftButton);
    else
        QVERIFY(f.window->close());

    QVERIFY(f.form->isEnabled());
    QTRY_VERIFY(!f.window);
}

void TestForm5::boxesClearAtEveryOpening()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(1)));
    for (const char* name : {"Check1", "Check2", "Check3"})
        QTest::mouseClick(f.control<QCheckBox>(name), Qt::LeftButton);
    QVERIFY(f.control<QCheckBox>("Check3")->isChecked());
    QTest::mouseClick(f.control<QPushButton>("Command2"), Qt::LeftButton);
    QTRY_VERIFY(!f.window);

    f.form->pLr_Click();
    QVERIFY(f.openWindow());
    for (const char* name : {"Check1", "Check2", "Check3"})
        QVERIFY2(!f.control<QCheckBox>(name)->isChecked(), name);
}

void TestForm5::printPreview_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<int>("recordCount");
    QTest::addColumn<QStringList>("recordLines");

    QTest::newRow("no box ticked") << QStringList{} << 2 << QStringList{"Record 1", "Record 2"};
    QTest::newRow("all boxes ticked")
        << QStringList{"Check1", "Check2", "Check3"} << 2
        << QStringList{"Record 1", "Comments 1", "Frequencies:  1", " ",
                       "Record 2", "Comments 2", "Frequencies:  2", " "};
    QTest::newRow("frequencies only") << QStringList{"Check2"} << 1 << QStringList{"Record 1", "Frequencies:  1"};
    QTest::newRow("empty record set") << QStringList{"Check1", "Check2", "Check3"} << 0 << QStringList{};
}

void TestForm5::printPreview()
{
    QFETCH(QStringList, ticked);
    QFETCH(int, recordCount);
    QFETCH(QStringList, recordLines);

    PrintFixture f;
    QVERIFY(f.open(numberedRecords(recordCount)));
    QVERIFY(f.form->data1().moveTo(0) || recordCount == 0);
    for (const QString& name : ticked)
        QTest::mouseClick(f.control<QCheckBox>(name), Qt::LeftButton);
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);

    QCOMPARE(f.exportBytes(), crlfLines(QStringList{headerAt(f.clock), " "} + recordLines));
    QCOMPARE(f.viewer.launches, QStringList{f.folder.path() + "|freq.txt"});
    QVERIFY(f.boxes.shown.isEmpty());
    QVERIFY(f.form->data1().isEof());
    QCOMPARE(f.module.RecordCounter, recordCount);
    // The window stays open for another run; the main window stays disabled.
    QVERIFY(f.window && f.window->isVisible());
    QVERIFY(f.control<QPushButton>("Command1")->isEnabled());
    QVERIFY(f.control<QPushButton>("Command2")->isEnabled());
    QCOMPARE(f.window->focusWidget(), f.control<QPushButton>("Command1"));
    QVERIFY(!f.form->isEnabled());
}

void TestForm5::progressValues_data()
{
    QTest::addColumn<int>("recordCount");
    QTest::addColumn<bool>("searched");
    QTest::addColumn<int>("resultCount"); // -1: as the search left it
    QTest::addColumn<int>("clickedLine");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<int>("maximum");

    // The first value is the run's start: an empty bar.
    QTest::newRow("three records") << 3 << true << -1 << -1 << QList<int>{0, 1, 2, 3} << 3;
    QTest::newRow("last line clicked before") << 3 << true << -1 << 2 << QList<int>{0, 1, 2, 3} << 3;
    QTest::newRow("first line clicked before") << 3 << true << -1 << 0 << QList<int>{0, 1, 2, 3} << 3;
    QTest::newRow("one record: a full bar") << 1 << true << -1 << -1 << QList<int>{0, 1} << 1;
    QTest::newRow("more records than ResultCount") << 4 << true << 2 << -1 << QList<int>{0, 1, 2} << 2;
    QTest::newRow("before the first search") << 3 << false << -1 << -1 << QList<int>{0} << 1;
    QTest::newRow("no records") << 0 << true << -1 << -1 << QList<int>{0} << 1;
}

void TestForm5::progressValues()
{
    QFETCH(int, recordCount);
    QFETCH(bool, searched);
    QFETCH(int, resultCount);
    QFETCH(int, clickedLine);
    QFETCH(QList<int>, values);
    QFETCH(int, maximum);

    PrintFixture f;
    QVERIFY(f.start(numberedRecords(recordCount)));
    if (searched) {
        f.module.QuerySql = QueryTexts::allRecordsQuery();
        QVERIFY(f.form->showResults());
    }
    if (resultCount >= 0)
        f.module.ResultCount = resultCount;
    if (clickedLine >= 0) {
        auto* list = f.child<QListView>("List1");
        list->setCurrentIndex(list->model()->index(clickedLine, 0));
        QCOMPARE(f.module.RecordCounter, clickedLine);
    }
    f.form->pLr_Click();
    QVERIFY(f.openWindow());

    auto* bar = f.control<QProgressBar>("ProgressBar1");
    QList<int> seen;
    connect(bar, &QProgressBar::valueChanged, bar, [&](int value) { seen << value; });
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);

    QCOMPARE(seen, values);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), values.last());
    QCOMPARE(f.viewer.launches.size(), 1);
}

void TestForm5::duringRun()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(3)));
    auto* bar = f.control<QProgressBar>("ProgressBar1");
    auto* print = f.control<QPushButton>("Command1");
    auto* exit = f.control<QPushButton>("Command2");
    QStringList seen;
    connect(bar, &QProgressBar::valueChanged, bar, [&](int value) {
        if (value == 0)
            return;
        seen << QStringLiteral("%1 print %2 exit %3").arg(value).arg(print->isEnabled()).arg(exit->isEnabled());
        if (value == 1) {
            // Neither a second run nor closing gets in.
            f.window->Command1_Click();
            QVERIFY(!f.window->close());
            QTest::mouseClick(exit, Qt::LeftButton);
        }
        if (value == 2)
            QTest::mouseClick(f.control<QCheckBox>("Check2"), Qt::LeftButton);
    });
    QTest::mouseClick(print, Qt::LeftButton);

    QCOMPARE(seen, (QStringList{"1 print 0 exit 0", "2 print 0 exit 0", "3 print 0 exit 0"}));
    QCOMPARE(f.viewer.launches.size(), 1);
    QVERIFY(f.window && f.window->isVisible());
    QVERIFY(!f.form->isEnabled());
    QVERIFY(print->isEnabled());
    QVERIFY(exit->isEnabled());
    QCOMPARE(f.exportBytes(), crlfLines({headerAt(f.clock), " ", "Record 1", "Record 2", "Frequencies:  2", "Record 3",
                                         "Frequencies:  3"}));
}

void TestForm5::twoRunsLeaveTheSecond()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(3)));
    QTest::mouseClick(f.control<QCheckBox>("Check1"), Qt::LeftButton);
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(f.exportBytes().contains("Comments 3"));

    QTest::mouseClick(f.control<QCheckBox>("Check1"), Qt::LeftButton);
    f.clock = QDateTime(QDate(2027, 1, 1), QTime(0, 0));
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);

    const QString january = QLocale::system().monthName(1, QLocale::ShortFormat);
    QCOMPARE(f.exportBytes(), crlfLines({"Frequency Selection   12:00 am   1," + january + " 2027", " ", "Record 1",
                                         "Record 2", "Record 3"}));
    QCOMPARE(f.viewer.launches.size(), 2);
}

void TestForm5::runReplacesBufferExport()
{
    PrintFixture f;
    QVERIFY(f.open(numberedRecords(1)));
    {
        QFile earlier(f.exportPath());
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("Frequency Selection   9:00 am    5,Dec 2026\r\n \r\nBuffered record\r\nlong buffered comments "
                      "that run past the end of the new file\r\n");
    }
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);

    QCOMPARE(f.exportBytes(), crlfLines({headerAt(f.clock), " ", "Record 1"}));
}

void TestForm5::failures_data()
{
    QTest::addColumn<bool>("folderMissing");
    QTest::addColumn<QString>("promptStart");
    QTest::addColumn<int>("launches");

    QTest::newRow("file cannot be written") << true << "Could not write " << 0;
    QTest::newRow("no program to show it") << false << "" << 1;
}

void TestForm5::failures()
{
    QFETCH(bool, folderMissing);
    QFETCH(QString, promptStart);
    QFETCH(int, launches);

    PrintFixture f;
    QVERIFY(f.open(numberedRecords(2)));
    QVERIFY(f.form->data1().moveTo(0));
    const QString folder = folderMissing ? QDir(f.folder.path()).filePath(QStringLiteral("gone")) : f.folder.path();
    f.services.applicationFolder = folder;
    f.viewer.succeeds = false;
    QTest::mouseClick(f.control<QPushButton>("Command1"), Qt::LeftButton);

    QCOMPARE(f.boxes.shown.size(), 1);
    const QString path = QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("freq.txt")));
    const QString prompt = f.boxes.shown.first().prompt;
    if (folderMissing)
        QVERIFY2(prompt.startsWith(promptStart + path + ": "), qPrintable(prompt));
    else
        QCOMPARE(prompt, path + " was written, but no program to show it could be started.");
    QCOMPARE(f.boxes.shown.first().title, QStringLiteral("Print Preview"));
    QCOMPARE(f.viewer.launches.size(), launches);
    QCOMPARE(QFile::exists(path), !folderMissing);
    // Nothing is lost: the window stays open and ready, the record set at its end.
    QVERIFY(f.window && f.window->isVisible());
    QVERIFY(f.control<QPushButton>("Command1")->isEnabled());
    QVERIFY(f.control<QPushButton>("Command2")->isEnabled());
    QVERIFY(f.form->data1().isEof());
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"

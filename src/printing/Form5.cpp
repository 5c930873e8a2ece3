#include "printing/Form5.h"

#include "main_window/AppServices.h"
#include "main_window/WindowHost.h"
#include "main_window/WindowGeometry.h"
#include "printing/ExportPreview.h"
#include "printing/ResultListExport.h"
#include "store/Data1.h"
#include "main_window/Module1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

using WindowGeometry::fromTwips;
using WindowGeometry::placeControl;

namespace {
// Milliseconds between two rounds of the event loop during a run.
constexpr qint64 EventInterval = 15;
} // namespace

Form5::Form5(WindowHost& main) : QWidget(nullptr), m_main(main)
{
    setObjectName(QStringLiteral("Form5"));
    WindowGeometry::useLayoutFont(this);
    buildControls();
    Form_Load();
}

void Form5::buildControls()
{
    setFixedSize(WindowGeometry::px(4590), WindowGeometry::px(3870));

    Frame1 = placeControl<QGroupBox>(this, QStringLiteral("Frame1"), QStringLiteral("Print Options"),
                                     fromTwips(240, 240, 4095, 2535));

    Check3 =
        placeControl<QCheckBox>(Frame1, QStringLiteral("Check3"), QStringLiteral("Print blank line between records"),
                                fromTwips(720, 1800, 2775, 375));
    Check2 = placeControl<QCheckBox>(Frame1, QStringLiteral("Check2"), QStringLiteral("Print frequencies"),
                                     fromTwips(720, 1200, 2295, 255));
    Check1 = placeControl<QCheckBox>(Frame1, QStringLiteral("Check1"), QStringLiteral("Print comments"),
                                     fromTwips(720, 600, 2295, 255));

    Command2 = placeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("Exit"),
                                         fromTwips(2880, 3360, 1455, 375));
    Command1 = placeControl<QPushButton>(this, QStringLiteral("Command1"), QStringLiteral("Print Preview"),
                                         fromTwips(240, 3360, 1455, 375));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar1->setGeometry(fromTwips(240, 2940, 4095, 255));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->reset();

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Check3);

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
}

void Form5::Form_Load()
{
    setWindowTitle(QStringLiteral("Orvo - Print Results List"));
    WindowGeometry::placeOnScreen(this, 0);
    Command1->setFocus();
}

void Form5::Command1_Click()
{
    if (m_running)
        return;
    setRunning(true);
    AppServices& services = m_main.services();
    Module1& shared = m_main.module();
    Data1& records = m_main.data1();

    // Maximum, then minimum, then value: for a list of one record or none the minimum moves
    // the maximum up to 1, and the bar stands full.
    ProgressBar1->setMaximum(shared.ResultCount);
    ProgressBar1->setMinimum(1);
    ProgressBar1->setValue(1);

    ResultListExport::RunHooks hooks;
    hooks.options = [this] {
        return ResultListExport::PrintOptions{Check1->isChecked(), Check2->isChecked(), Check3->isChecked()};
    };
    // The window answers within a frame's time either way; a round of the event loop after
    // every one of a million records would cost seconds.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    // Setting the bar asks the style where its chunks lie, which costs more than writing a
    // record: between two rounds of the event loop nobody sees it, so it follows every
    // hundredth of the run and takes the exact count whenever events run and at the end.
    int counted = 0;
    const int step = std::max(1, shared.ResultCount / 100);
    hooks.yield = [&] {
        if (sinceEvents.hasExpired(EventInterval)) {
            if (counted > 0)
                ProgressBar1->setValue(counted);
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    };
    hooks.progress = [&](int value) {
        counted = value;
        if (value % step == 0 || value == shared.ResultCount)
            ProgressBar1->setValue(value);
    };

    Outcome walked;
    ExportPreview::writeAndShow(this, services, [&](ExportText::LineWriter& out) {
        walked = ResultListExport::writeList(out, records, shared, services.now(), hooks);
        if (!walked)
            out.abandon(walked);
    });
    // Also when the file could not be opened and nothing was walked; a record that could not
    // be read leaves the record set as it was.
    if (walked)
        records.moveToEnd();
    setRunning(false);
}

void Form5::setRunning(bool running)
{
    m_running = running;
    Command1->setEnabled(!running);
    Command2->setEnabled(!running);
    if (!running)
        Command1->setFocus();
}

void Form5::Command2_Click()
{
    close();
}

void Form5::closeEvent(QCloseEvent* event)
{
    // The run still writes the file and walks the main window's records.
    if (m_running) {
        event->ignore();
        return;
    }
    m_main.setHostEnabled(true);
    event->accept();
}

#include "buffer/Form3.h"

#include "buffer/BufferExport.h"
#include "main_window/AppServices.h"
#include "main_window/WindowHost.h"
#include "main_window/WindowGeometry.h"
#include "printing/ExportPreview.h"
#include "main_window/Module1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <array>

using WindowGeometry::fromTwips;
using WindowGeometry::placeControl;
using WindowGeometry::placeMemo;

Form3::Form3(WindowHost& main) : QWidget(nullptr), m_main(main)
{
    setObjectName(QStringLiteral("Form3"));
    WindowGeometry::useLayoutFont(this);
    buildControls();
    Form_Load();
}

void Form3::buildControls()
{
    setFixedSize(WindowGeometry::px(4710), WindowGeometry::px(5400));

    Label1 = placeControl<QLabel>(this, QStringLiteral("Label1"), QStringLiteral("Description"),
                                  fromTwips(360, 120, 1815, 255));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Description"));
    List1->setGeometry(fromTwips(240, 360, 4215, 1815));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setUniformItemSizes(true);
    Label1->setBuddy(List1);

    Label2 = placeControl<QLabel>(this, QStringLiteral("Label2"), QStringLiteral("Comments"),
                                  fromTwips(360, 2280, 1695, 255));
    Text1 = placeMemo(this, QStringLiteral("Text1"), QStringLiteral("Comments"), fromTwips(240, 2520, 4215, 975));
    Label2->setBuddy(Text1);

    Label3 = placeControl<QLabel>(this, QStringLiteral("Label3"), QStringLiteral("Frequencies"),
                                  fromTwips(360, 3600, 1455, 255));
    Text2 = placeMemo(this, QStringLiteral("Text2"), QStringLiteral("Frequencies"), fromTwips(240, 3840, 4215, 735));
    Label3->setBuddy(Text2);

    Command1 = placeControl<QPushButton>(this, QStringLiteral("Command1"), QStringLiteral("Exit"),
                                         fromTwips(240, 4800, 1095, 375));
    Command2 = placeControl<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("Print Preview"),
                                         fromTwips(1560, 4800, 1455, 375));
    Command7 = placeControl<QPushButton>(this, QStringLiteral("Command7"), QStringLiteral("Clear Buffer"),
                                         fromTwips(3240, 4800, 1215, 375));

    const std::array<QWidget*, 6> focusOrder{List1, Text1, Text2, Command7, Command1, Command2};
    for (std::size_t i = 0; i + 1 < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);
    List1->setFocus();

    connect(List1, &QListWidget::currentRowChanged, this, &Form3::List1_Click);
    connect(List1, &QListWidget::itemClicked, this, &Form3::List1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(Command7, &QPushButton::clicked, this, &Form3::Command7_Click);
}

void Form3::Form_Load()
{
    setWindowTitle(QStringLiteral("Orvo - Buffer Management"));
    WindowGeometry::placeOnScreen(this, 200);
    const Module1& shared = m_main.module();
    const int entries = std::min(shared.BufNext - 1, Module1::BufferSlots);
    for (int n = 1; n <= entries; ++n)
        List1->addItem(shared.BufDescription[n]);
}

void Form3::List1_Click()
{
    const int row = List1->currentRow();
    if (row < 0)
        return;
    const Module1& shared = m_main.module();
    Text1->setPlainText(shared.BufComments[row + 1]);
    Text2->setPlainText(shared.BufFrequencies[row + 1]);
}

void Form3::Command7_Click()
{
    m_main.module().BufNext = 1;
    List1->clear();
    Text1->clear();
    Text2->clear();
}

void Form3::Command1_Click()
{
    close();
    m_main.setHostEnabled(true);
}

void Form3::Command2_Click()
{
    AppServices& services = m_main.services();
    const QDateTime now = services.now();
    const Module1& shared = services.module;
    ExportPreview::writeAndShow(
        this, services, [&shared, &now](ExportText::LineWriter& out) { BufferExport::writeLines(shared, now, out); });
}

void Form3::Form_Unload(bool&)
{
    m_main.setHostEnabled(true);
}

void Form3::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Form_Unload(cancel);
    event->setAccepted(!cancel);
}

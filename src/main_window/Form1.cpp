#include "main_window/Form1.h"

#include "about/Form4.h"
#include "buffer/Form3.h"
#include "editor/Form2.h"
#include "main_window/AppServices.h"
#include "main_window/MessageBoxes.h"
#include "main_window/ResultListModel.h"
#include "main_window/WindowGeometry.h"
#include "printing/Form5.h"
#include "exchange/AccessConversion.h"
#include "repair/DatabaseRepair.h"
#include "query/FindSearch.h"
#include "store/FrequencyText.h"
#include "main_window/Module1.h"
#include "store/OrvoDatabase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

using WindowGeometry::fromTwips;
using WindowGeometry::placeControl;

namespace {

QPlainTextEdit* makeMemo(QWidget* parent)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    return memo;
}

QWidget* makeRule(QWidget* parent, const char* name, const QColor& colour, int top)
{
    auto* rule = new QFrame(parent);
    rule->setObjectName(QLatin1String(name));
    rule->setGeometry(0, top, WindowGeometry::px(9120), 1);
    rule->setAutoFillBackground(true);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, colour);
    rule->setPalette(palette);
    return rule;
}

} // namespace

Form1::Form1(AppServices& services, QWidget* parent) : QMainWindow(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    WindowGeometry::useLayoutFont(this);
    buildControls();
    buildMenus();
}

Form1::~Form1()
{
    delete m_form4;
}

Module1& Form1::module()
{
    return m_services.module;
}

void Form1::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(WindowGeometry::px(9135), WindowGeometry::px(5265));
    setCentralWidget(client);

    Label2[0] = placeControl<QLabel>(client, QStringLiteral("Label2_0"), QStringLiteral("Results :"),
                                     fromTwips(480, 120, 615, 195));
    Label2[1] = placeControl<QLabel>(client, QStringLiteral("Label2_1"), QStringLiteral("Search"),
                                     fromTwips(4080, 120, 975, 255));
    Label2[2] = placeControl<QLabel>(client, QStringLiteral("Label2_2"), QStringLiteral("Comments"),
                                     fromTwips(4080, 1440, 975, 255));
    Label2[3] = placeControl<QLabel>(client, QStringLiteral("Label2_3"), QStringLiteral("Frequencies"),
                                     fromTwips(4080, 3600, 975, 255));

    m_resultModel = new ResultListModel(this);
    List1 = new QListView(client);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Results"));
    List1->setGeometry(fromTwips(360, 360, 3255, 4155));
    List1->setUniformItemSizes(true);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setModel(m_resultModel);
    Label2[0]->setBuddy(List1);

    Text1 = new QLineEdit(client);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Search"));
    Text1->setGeometry(fromTwips(3960, 360, 3375, 285));
    Text1->setMouseTracking(true);
    Text1->installEventFilter(this);
    Label2[1]->setBuddy(Text1);

    Command1 = placeControl<QPushButton>(client, QStringLiteral("Command1"), QStringLiteral("Find"),
                                         fromTwips(7560, 310, 1095, 390));

    const QStringList options{QStringLiteral("Description"), QStringLiteral("Comments"), QStringLiteral("Frequencies")};
    const std::array<QRect, 3> optionPlaces{fromTwips(3960, 840, 1335, 375), fromTwips(5520, 840, 1095, 375),
                                            fromTwips(6960, 840, 1215, 375)};
    for (int i = 0; i < 3; ++i) {
        Check1[i] = new QCheckBox(options.at(i), client);
        Check1[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        Check1[i]->setAccessibleName(options.at(i));
        Check1[i]->setGeometry(optionPlaces[i]);
        connect(Check1[i], &QCheckBox::toggled, this, [this, i] { Check1_Click(i); });
    }

    Text2 = makeMemo(client);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setAccessibleName(QStringLiteral("Comments"));
    Text2->setGeometry(fromTwips(3960, 1680, 4935, 1650));
    Label2[2]->setBuddy(Text2);

    Text3 = makeMemo(client);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setAccessibleName(QStringLiteral("Frequencies"));
    Text3->setGeometry(fromTwips(3960, 3840, 4935, 680));
    Label2[3]->setBuddy(Text3);

    Command3 = placeControl<QPushButton>(client, QStringLiteral("Command3"), QStringLiteral("Send to Buffer"),
                                         fromTwips(480, 4680, 1335, 375));
    Command4 = placeControl<QPushButton>(client, QStringLiteral("Command4"), QStringLiteral("View Buffer"),
                                         fromTwips(2160, 4680, 1335, 375));
    Command5 = placeControl<QPushButton>(client, QStringLiteral("Command5"), QStringLiteral("New"),
                                         fromTwips(4080, 4680, 1335, 375));
    Command6 = placeControl<QPushButton>(client, QStringLiteral("Command6"), QStringLiteral("Edit"),
                                         fromTwips(5760, 4680, 1335, 375));
    Command7 = placeControl<QPushButton>(client, QStringLiteral("Command7"), QStringLiteral("Delete"),
                                         fromTwips(7440, 4680, 1335, 375));

    makeRule(client, "Line1", palette().color(QPalette::Dark), 0);
    makeRule(client, "Line2", Qt::white, 1);

    // The focus order runs from the Delete button back up to Find.
    const std::array<QWidget*, 13> focusOrder{Command7, Command6,  Command5,  Command4,  Command3, Text3,   Text2,
                                              List1,    Check1[2], Check1[1], Check1[0], Text1,    Command1};
    for (std::size_t i = 0; i + 1 < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &Form1::Command1_Click);
    // Only the user's choice of a line runs the record view: a change of the selection (a click,
    // a key that moves it), or a click on the line already chosen. The list taking the focus is none.
    connect(List1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Form1::List1_Click);
    connect(List1, &QListView::clicked, this, &Form1::List1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
}

void Form1::buildMenus()
{
    const auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    // File and the 26 letters share one row, so the items sit closer than usual.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar { spacing: 0px; } QMenuBar::item { padding: 2px 4px; }"));
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("file"));
    // A menu is a window of its own and would take the desktop's font instead of the bar's.
    file->setFont(menuBar()->font());
    connect(item(file, "pLr", QStringLiteral("Print List Results")), &QAction::triggered, this, &Form1::pLr_Click);
    connect(item(file, "TipsandHelp", QStringLiteral("Tips and About")), &QAction::triggered, this,
            &Form1::TipsandHelp_Click);
    connect(item(file, "RandCDB", QStringLiteral("Repair and Compact Database")), &QAction::triggered, this,
            &Form1::RandCDB_Click);
    file->addSeparator()->setObjectName(QStringLiteral("a1"));
    connect(item(file, "Exit", QStringLiteral("Exit")), &QAction::triggered, this, &Form1::Exit_Click);

    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const QString lower = QString(QLatin1Char(letter));
        QAction* action = menuBar()->addAction(QLatin1Char('&') + lower.toUpper());
        // The item for c carries a capital name; every item passes its lower-case letter.
        action->setObjectName(letter == 'c' ? QStringLiteral("C") : lower);
        connect(action, &QAction::triggered, this, [this, lower] { letterItemClicked(lower); });
    }
}

bool Form1::Form_Load()
{
    Module1& shared = module();
    setWindowTitle(QStringLiteral("Orvo - v %1.%2").arg(ORVO_VERSION_MAJOR).arg(ORVO_VERSION_MINOR));
    setFixedSize(sizeHint());
    WindowGeometry::placeOnScreen(this, 150);

    shared.AppDir = QDir::toNativeSeparators(m_services.applicationFolder);
    QDir::setCurrent(m_services.applicationFolder);
    shared.DbPath = QDir(m_services.applicationFolder).filePath(QStringLiteral("freqs.mdb"));
    const OrvoDatabase::FileKind kind = OrvoDatabase::fileKind(shared.DbPath);
    // An Access freqs.mdb is converted once into an Orvo database; the Access file is kept beside it.
    if (kind == OrvoDatabase::FileKind::Access) {
        const AccessConversion::Result converted = AccessConversion::convert(shared.DbPath);
        if (!converted.outcome) {
            m_services.messages.inform(this,
                                       QStringLiteral("Orvo cannot convert the Access database %1: %2")
                                           .arg(QDir::toNativeSeparators(shared.DbPath), converted.outcome.error),
                                       QStringLiteral("Database Error"));
            return false;
        }
        m_services.messages.inform(this,
                                   QStringLiteral("Your Access database was converted: %1 records. The original file "
                                                  "is kept as freqs-access.mdb.")
                                       .arg(converted.records),
                                   QStringLiteral("Database Converted"));
    }
    // A first start has no database yet: it gets one with the demo records.
    if (kind == OrvoDatabase::FileKind::Missing) {
        if (const Outcome created = OrvoDatabase::createWithDemoRecords(shared.DbPath); !created) {
            m_services.messages.inform(this,
                                       QStringLiteral("Orvo could not create the database %1: %2")
                                           .arg(QDir::toNativeSeparators(shared.DbPath), created.error),
                                       QStringLiteral("Database Error"));
            return false;
        }
    }
    DatabaseRepair(shared.DbPath, QDir(shared.AppDir).filePath(QStringLiteral("newFreq.mdb"))).removeLeftovers();
    if (!bindAllRecords())
        return false;
    Check1[0]->setChecked(true);
    shared.BufNext = 1;
    Command7->setFocus();
    return true;
}

// Start-up and repair bind the file the same way: the all-records query, reported when it fails.
bool Form1::bindAllRecords()
{
    Module1& shared = module();
    const RecordQuery everyRecord = RecordQuery::allRecords();
    shared.QuerySql = toQueryText(everyRecord);
    if (const Outcome opened = runQuery(everyRecord); !opened) {
        m_services.messages.inform(this,
                                   QStringLiteral("Orvo cannot open the database %1: %2")
                                       .arg(QDir::toNativeSeparators(shared.DbPath), opened.error),
                                   QStringLiteral("Database Error"));
        return false;
    }
    return true;
}

Outcome Form1::runQuery(const RecordQuery& search)
{
    m_data1.setDatabaseName(module().DbPath);
    m_data1.setRecordSource(search);
    return m_data1.refresh();
}

bool Form1::showResults(const RecordQuery& search)
{
    const QString previousText = module().QuerySql;
    const std::optional<RecordQuery> previous = m_data1.recordQuery();
    module().QuerySql = toQueryText(search);
    if (const Outcome ran = runQuery(search); !ran) {
        module().QuerySql = previousText;
        if (previous)
            m_data1.setRecordSource(*previous);
        if (ran.busy)
            m_services.messages.inform(this, ran.error, QStringLiteral("Database Busy"));
        else
            m_services.messages.inform(this, QStringLiteral("The database could not run the search: %1").arg(ran.error),
                                       QStringLiteral("Search Failed"));
        return false;
    }
    m_resultModel->setLines(m_data1.descriptionTexts());
    // No line is current either: the list would make its first line current when it takes the
    // focus, and the first arrow key would then skip it.
    List1->setCurrentIndex(QModelIndex());
    module().RecordCounter = m_data1.recordCount();
    m_data1.moveToEnd();
    module().ResultCount = module().RecordCounter;
    setResultCaption(module().ResultCount);
    return true;
}

void Form1::setResultCaption(int count)
{
    Label2[0]->setText(QStringLiteral("Results : ") + FrequencyText::written(count) + QStringLiteral(" records found"));
    Label2[0]->setAccessibleName(Label2[0]->text());
    Label2[0]->adjustSize();
}

void Form1::Command1_Click()
{
    const FindOptions options{Check1[0]->isChecked(), Check1[1]->isChecked(), Check1[2]->isChecked()};
    const FindPlan plan = FindSearch::plan(options, Text1->text());
    if (plan.takesSearchText())
        module().SearchText = Text1->text();
    if (!plan.runs()) {
        m_services.messages.inform(this, plan.prompt, plan.title);
        return;
    }
    showResults(plan.search);
}

void Form1::Check1_Click(int index)
{
    // A change made here runs this rule again for the box it changes, before going on.
    if (index == 0 || index == 1) {
        Check1[2]->setChecked(false);
    } else {
        Check1[0]->setChecked(false);
        Check1[1]->setChecked(false);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::MouseMove)
        Text1->setFocus(Qt::MouseFocusReason);
    return QMainWindow::eventFilter(watched, event);
}

void Form1::letterItemClicked(const QString& letter)
{
    module().SearchText = letter;
    FrontCharSearch();
}

void Form1::FrontCharSearch()
{
    showResults(RecordQuery::letter(module().SearchText));
}

void Form1::List1_Click()
{
    const QModelIndexList selected = List1->selectionModel()->selectedRows();
    const int p = selected.isEmpty() ? -1 : selected.first().row();
    if (p < 0 || p >= m_data1.recordCount())
        return;
    if (!readRecordOrReport(p)) {
        // The record that is still current keeps its line chosen, or no line is.
        const QSignalBlocker quiet(List1->selectionModel());
        const QModelIndex current = m_data1.hasCurrentRecord() ? m_resultModel->index(m_data1.position(), 0) : QModelIndex();
        List1->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        List1->viewport()->update();
        return;
    }
    m_data1.moveTo(p);
    Module1& shared = module();
    shared.RecordCounter = p;
    shared.MoveCounter = p;
    const QString comments = m_data1.field(QStringLiteral("Comments")).toString();
    Text2->setPlainText(comments.isEmpty() ? QStringLiteral("No Comments") : comments);
    shared.FreqString =
        FrequencyText::listText([this](int number) { return m_data1.field(QStringLiteral("F%1").arg(number)); });
    Text3->setPlainText(shared.FreqString);
}

bool Form1::readRecordOrReport(int position)
{
    const Outcome read = m_data1.readRecord(position);
    if (!read)
        m_services.messages.inform(this, read.error,
                                   read.busy ? QStringLiteral("Database Busy") : QStringLiteral("Database Error"));
    return read.ok;
}

bool Form1::requireCurrentRecord()
{
    if (m_data1.hasCurrentRecord())
        return true;
    m_services.messages.inform(this, QStringLiteral("Select a record in the list first."),
                               QStringLiteral("No Record Selected"));
    return false;
}

void Form1::Command3_Click()
{
    if (!requireCurrentRecord() || !readRecordOrReport(m_data1.position()))
        return;
    Module1& shared = module();
    if (shared.BufNext > Module1::BufferSlots) {
        m_services.messages.inform(
            this,
            QStringLiteral("The buffer is full: it holds 500 records. Clear it in View Buffer before adding more."),
            QStringLiteral("Buffer Full"));
        return;
    }
    const int n = shared.BufNext;
    shared.BufDescription[n] = m_data1.field(QStringLiteral("Description")).toString();
    const QString comments = m_data1.field(QStringLiteral("Comments")).toString();
    shared.BufComments[n] = comments.isEmpty() ? QStringLiteral("No Comment") : comments;
    shared.BufFrequencies[n] = shared.FreqString;
    shared.BufNext = n + 1;
    if (m_services.beep)
        m_services.beep();
}

void Form1::Command7_Click()
{
    if (!requireCurrentRecord())
        return;
    const int answer =
        m_services.messages.show(this, QStringLiteral("You are about to permanently DELETE the select record !"),
                                 QStringLiteral("Delete A Record"), MessageBoxes::OkCancel);
    if (answer != MessageBoxes::Ok)
        return;
    if (const Outcome deleted = m_data1.deleteCurrent(); !deleted) {
        if (deleted.busy) {
            m_services.messages.inform(this, deleted.error, QStringLiteral("Database Busy"));
            return;
        }
        m_services.messages.inform(this, QStringLiteral("The record could not be deleted: %1").arg(deleted.error),
                                   QStringLiteral("Delete A Record"));
        return;
    }
    Command1_Click();
}

void Form1::openLinkedWindow(QWidget* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    setEnabled(false);
}

void Form1::Command4_Click()
{
    openLinkedWindow(new Form3(*this));
}

void Form1::Command5_Click()
{
    module().EditMode = 1;
    openLinkedWindow(new Form2(*this));
}

void Form1::Command6_Click()
{
    // The editor opens only on a record that could be read.
    if (!requireCurrentRecord() || !readRecordOrReport(m_data1.position()))
        return;
    module().EditMode = 2;
    openLinkedWindow(new Form2(*this));
}

void Form1::pLr_Click()
{
    openLinkedWindow(new Form5(*this));
}

void Form1::TipsandHelp_Click()
{
    if (!m_form4) {
        m_form4 = new Form4(*this);
        m_form4->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_form4->show();
    m_form4->raise();
    m_form4->activateWindow();
}

void Form1::RandCDB_Click()
{
    Module1& shared = module();
    // The repair works on the file itself, so the program's own connection goes first.
    m_data1.close();
    m_resultModel->clear();
    Text1->clear();
    Text2->clear();
    Text3->clear();

    DatabaseRepair repair(shared.DbPath, QDir(shared.AppDir).filePath(QStringLiteral("newFreq.mdb")));
    // A large or damaged file takes a while: the window repaints meanwhile.
    repair.setProgress(
        [](DatabaseRepair::Step) { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    const DatabaseRepair::Result repaired = repair.run();
    m_services.messages.inform(this, repaired.message(), repaired.title());

    bindAllRecords();
}

void Form1::Exit_Click()
{
    m_data1.close();
    if (m_services.quit)
        m_services.quit();
    else
        QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // While a linked window works on the record set, the main window stays.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    m_data1.close();
    event->accept();
}

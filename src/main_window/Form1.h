#pragma once

#include "main_window/WindowHost.h"
#include "store/Data1.h"
#include "store/Outcome.h"

#include <QMainWindow>
#include <QPointer>
#include <array>

struct AppServices;
struct Module1;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class ResultListModel;
class Form4;

// The main window: search row, result list, record view, record commands and menus. It owns
// the data control Data1, through which every window reaches the records.
class Form1 : public QMainWindow, public WindowHost
{
    Q_OBJECT

public:
    explicit Form1(AppServices& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. A failure (the database cannot be opened or created) has already been shown
    // to the user; the program then ends.
    bool Form_Load();

    AppServices& services() override { return m_services; }
    Module1& module() override;
    Data1& data1() override { return m_data1; }
    void runFind() override { Command1_Click(); }
    void setHostEnabled(bool enabled) override { setEnabled(enabled); }

    // Find: the search box's text in the fields chosen by the options.
    void Command1_Click();
    // Puts the search's query text into QuerySql, runs the search on Data1 and fills the list
    // (the result listing shared by the searches). A search that fails leaves QuerySql, the
    // record set and the list as they were.
    bool showResults(const RecordQuery& search);

    void Check1_Click(int index);
    void List1_Click();
    void FrontCharSearch();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void pLr_Click();
    void TipsandHelp_Click();
    void RandCDB_Click();
    void Exit_Click();

    // Shows a window that works on the current record set; the main window takes no input
    // until that window closes and enables it again.
    void openLinkedWindow(QWidget* window);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void letterItemClicked(const QString& letter);
    bool bindAllRecords();
    Outcome runQuery(const RecordQuery& search);
    bool requireCurrentRecord();
    // Reads row p of the record set; a failure is shown, and nothing changes.
    bool readRecordOrReport(int position);
    void setResultCaption(int count);

    AppServices& m_services;
    Data1 m_data1;
    ResultListModel* m_resultModel = nullptr;
    QPointer<Form4> m_form4;

    std::array<QLabel*, 4> Label2{};
    std::array<QCheckBox*, 3> Check1{};
    QListView* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
};

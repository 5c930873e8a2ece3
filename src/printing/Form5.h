#pragma once

#include <QWidget>

class WindowHost;
class QCheckBox;
class QGroupBox;
class QProgressBar;
class QPushButton;

// The print window: options for the result list, "Print Preview" to write and show it, and
// a progress bar that follows the records. The main window stays disabled while it is open.
class Form5 : public QWidget
{
    Q_OBJECT

public:
    explicit Form5(WindowHost& main);

    void Form_Load();
    // "Print Preview": writes the current result list to freq.txt and starts the viewer.
    void Command1_Click();
    // "Exit".
    void Command2_Click();

protected:
    // Form_Unload: enables the main window. Refused while a run is under way.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setRunning(bool running);

    WindowHost& m_main;
    bool m_running = false;

    QGroupBox* Frame1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

#pragma once

#include <QWidget>

class WindowHost;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The buffer window: the buffered records by description, the comments and frequencies of
// the one selected, Clear Buffer and the buffer's Print Preview. It is filled when it opens;
// the main window stays disabled meanwhile, so the buffer cannot change underneath it.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    explicit Form3(WindowHost& main);

    void List1_Click();
    void Command7_Click();
    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    // Every close goes ahead: the flag is left unset.
    void Form_Unload(bool& cancel);

    WindowHost& m_main;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* List1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command7 = nullptr;
};

#pragma once

#include "editor/RecordForm.h"

#include <QWidget>
#include <array>

class WindowHost;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The record editor: a new record (EditMode 1) or the main window's current record
// (EditMode 2). The main window stays disabled while it is open; every close enables it.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(WindowHost& main);

    void Form_Load();
    void Text3_Click(int index);
    void Text3_GotFocus(int index);
    // Save and Exit.
    void Command1_Click();
    // Exit - Do Not Save.
    void Command2_Click();

protected:
    // Form_Unload.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void showRecord(const RecordForm& record);
    RecordForm typedRecord() const;
    void selectWholeBox(int index);

    WindowHost& m_main;
    // The comments as read, and as the box showed them then: untouched, they are saved as read.
    QString m_commentsLoaded;
    QString m_commentsShown;

    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    std::array<QLabel*, 4> Label1{};
    QLineEdit* Text1 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPlainTextEdit* Text4 = nullptr;
    std::array<QLineEdit*, RecordForm::FrequencyBoxes> Text3{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

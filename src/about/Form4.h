#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Tips and About: the version line, notes and usage tips beside the program's picture. It
// works on nothing the main window holds, so the main window stays enabled while it is open.
class Form4 : public QWidget
{
    Q_OBJECT

public:
    explicit Form4(const QWidget& opener);

    void Form_Load();
    void Command1_Click();

private:
    void buildControls();

    QPlainTextEdit* Text1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;
};

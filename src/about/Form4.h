#pragma once

#include <QWidget>

class Form1;

class Form4 : public QWidget
{
    Q_OBJECT

public:
    explicit Form4(Form1& main);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form1& m_main;
};

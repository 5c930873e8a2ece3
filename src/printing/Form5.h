#pragma once

#include <QWidget>

class Form1;

class Form5 : public QWidget
{
    Q_OBJECT

public:
    explicit Form5(Form1& main);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Form1& m_main;
};

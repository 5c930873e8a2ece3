#include "about/Form4.h"

#include "main_window/Form1.h"

#include <QCloseEvent>

Form4::Form4(Form1& main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Orvo - Tips and About"));
}

void Form4::closeEvent(QCloseEvent* event)
{
    m_main.setEnabled(true);
    event->accept();
}

#include "printing/Form5.h"

#include "main_window/Form1.h"

#include <QCloseEvent>

Form5::Form5(Form1& main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Orvo - Print Results List"));
}

void Form5::closeEvent(QCloseEvent* event)
{
    m_main.setEnabled(true);
    event->accept();
}

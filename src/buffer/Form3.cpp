#include "buffer/Form3.h"

#include "main_window/Form1.h"

#include <QCloseEvent>

Form3::Form3(Form1& main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Orvo - Buffer Management"));
}

void Form3::closeEvent(QCloseEvent* event)
{
    m_main.setEnabled(true);
    event->accept();
}

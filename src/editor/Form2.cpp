#include "editor/Form2.h"

#include "main_window/Form1.h"

#include <QCloseEvent>

Form2::Form2(Form1& main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Orvo - NEW Database Entry"));
}

void Form2::closeEvent(QCloseEvent* event)
{
    m_main.setEnabled(true);
    event->accept();
}

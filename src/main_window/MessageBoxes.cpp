#include "main_window/MessageBoxes.h"

#include <QMessageBox>

int QtMessageBoxes::show(QWidget* parent, const QString& prompt, const QString& title, Style style)
{
    QMessageBox box(QMessageBox::NoIcon, title, prompt,
                    style == OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? Ok : Cancel;
}

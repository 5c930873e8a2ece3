#include "main_window/WindowGeometry.h"

#include <QFont>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QWidget>

namespace WindowGeometry {

QPlainTextEdit* placeMemo(QWidget* parent, const QString& objectName, const QString& accessibleName, const QRect& place)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(objectName);
    memo->setAccessibleName(accessibleName);
    memo->setGeometry(place);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    return memo;
}

void useLayoutFont(QWidget* window)
{
    // Arial's metrics: the captions were measured for them. DejaVu Sans is the fallback.
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    window->setFont(font);
}

void placeOnScreen(QWidget* window, int offsetTwips)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->geometry();
    const QSize outer = window->frameGeometry().size().expandedTo(window->size());
    const int left = available.x() + (available.width() - outer.width()) / 2;
    const int top = available.y() + (available.height() - outer.height()) / 2 - px(offsetTwips);
    window->move(left, top);
}

} // namespace WindowGeometry

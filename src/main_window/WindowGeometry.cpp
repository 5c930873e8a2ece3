#include "main_window/WindowGeometry.h"

#include <QApplication>
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

void useLayoutStyle()
{
    // A style may bring its own palette (a dark one, say): it is kept when Fusion replaces it.
    // The desktop's style is made on first use, so its palette is in place only after this.
    QApplication::style();
    QPalette desktop = QApplication::palette();
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Every colour counts as set, or the application palette would fall back to Fusion's.
    desktop.setResolveMask(~QPalette::ResolveMask(0));
    if (QApplication::palette() != desktop)
        QApplication::setPalette(desktop);
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

#pragma once

#include <QRect>
#include <QString>

class QPlainTextEdit;
class QWidget;

// Layouts are drawn in twips; the screen counts pixels at 96 DPI (Qt scales for high DPI).
namespace WindowGeometry {

constexpr int TwipsPerPixel = 15;

constexpr int px(int twips)
{
    return twips / TwipsPerPixel;
}

inline QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// A captioned control (label, button, check box, frame) at its place, named for tests and
// announced by its caption.
template <typename Control>
Control* placeControl(QWidget* parent, const QString& objectName, const QString& caption, const QRect& place)
{
    auto* control = new Control(caption, parent);
    control->setObjectName(objectName);
    control->setAccessibleName(caption);
    control->setGeometry(place);
    return control;
}

// A memo box as the windows use them: its scroll bar always shown, Tab moving
// on to the next control instead of into the text.
QPlainTextEdit* placeMemo(QWidget* parent, const QString& objectName, const QString& accessibleName,
                          const QRect& place);

// The small dialog font that the twips layouts were drawn for; every window uses it.
void useLayoutFont(QWidget* window);

// Fusion, the style whose metrics the layouts were drawn for, whatever style the desktop asks
// for; another style's wider margins would clip captions. The colours stay the desktop's.
void useLayoutStyle();

// Centres a window across the screen and raises it by offsetTwips above the middle.
void placeOnScreen(QWidget* window, int offsetTwips);

} // namespace WindowGeometry

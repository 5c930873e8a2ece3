#pragma once

#include <QString>

class QWidget;

// Every message the program shows goes through here, so that tests can answer a box instead
// of a user. Styles and answers follow the classic message box: style 0 is OK only, 1 is OK
// and Cancel; the answer 1 means OK, 2 Cancel.
class MessageBoxes
{
public:
    enum Style { OkOnly = 0, OkCancel = 1 };
    enum Answer { Ok = 1, Cancel = 2 };

    virtual ~MessageBoxes() = default;
    virtual int show(QWidget* parent, const QString& prompt, const QString& title, Style style) = 0;
    int inform(QWidget* parent, const QString& prompt, const QString& title)
    {
        return show(parent, prompt, title, OkOnly);
    }
};

// The real modal boxes, without icons.
class QtMessageBoxes : public MessageBoxes
{
public:
    int show(QWidget* parent, const QString& prompt, const QString& title, Style style) override;
};

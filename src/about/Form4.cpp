#include "about/Form4.h"

#include "about/AboutText.h"
#include "main_window/WindowGeometry.h"

#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

using WindowGeometry::fromTwips;

Form4::Form4(const QWidget& opener) : QWidget(nullptr)
{
    setObjectName(QStringLiteral("Form4"));
    // Open where the main window is, on a screen of several.
    setScreen(opener.screen());
    WindowGeometry::useLayoutFont(this);
    buildControls();
    Form_Load();
}

void Form4::buildControls()
{
    setFixedSize(WindowGeometry::px(7875), WindowGeometry::px(6075));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("Orvo picture"));
    Picture1->setGeometry(fromTwips(6240, 360, 1575, 2160));
    // A sunken two-pixel border leaves the picture's own 101 x 140 inside.
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setLineWidth(2);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/about/about-picture.bmp")));

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(Command1->text());
    Command1->setGeometry(fromTwips(6360, 5520, 1335, 375));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Tips and About"));
    Text1->setGeometry(fromTwips(0, 0, 6135, 6015));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    QFont serif(QStringLiteral("Times New Roman"), 12, QFont::Normal);
    serif.setStyleHint(QFont::Serif);
    Text1->setFont(serif);
    QPalette grey = Text1->palette();
    grey.setColor(QPalette::Base, QColor(224, 224, 224));
    grey.setColor(QPalette::Text, Qt::black); // not a dark desktop's light text on the grey
    Text1->setPalette(grey);

    setTabOrder(Text1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
}

void Form4::Form_Load()
{
    setWindowTitle(QStringLiteral("Orvo - Tips and About"));
    WindowGeometry::placeOnScreen(this, 200);
    // The text box keeps line breaks as plain newlines.
    Text1->setPlainText(AboutText::compose().replace(QLatin1String("\r\n"), QLatin1String("\n")));
    Text1->setFocus();
}

void Form4::Command1_Click()
{
    close();
}

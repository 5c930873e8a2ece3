#include "OrvoOperations.h"

#include "main_window/Form1.h"
#include "store/QueryPlanner.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

OrvoOperations::OrvoOperations(const QString& folder) : m_services(m_module, m_boxes, m_viewer)
{
    m_services.applicationFolder = folder;
    m_services.beep = [] {};
    m_services.quit = [] {};
}

OrvoOperations::~OrvoOperations()
{
    shutDown();
}

bool OrvoOperations::startUp()
{
    shutDown();
    m_module = Module1();
    m_form = std::make_unique<Form1>(m_services);
    if (!m_form->Form_Load())
        return false;
    m_form->show();
    QApplication::processEvents();
    return true;
}

int OrvoOperations::find(bool description, bool comments, bool frequencies, const QString& text)
{
    const auto box = [this](int index) {
        return m_form->findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(index));
    };
    // The option rule clears the other kind of search, so set the wanted kind last.
    if (frequencies) {
        box(0)->setChecked(false);
        box(1)->setChecked(false);
        box(2)->setChecked(true);
    } else {
        box(2)->setChecked(false);
        box(0)->setChecked(description);
        box(1)->setChecked(comments);
    }
    m_form->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(text);
    QTest::mouseClick(m_form->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QApplication::processEvents();
    return listedLines();
}

int OrvoOperations::letter(char letter)
{
    const QString name = letter == 'c' ? QStringLiteral("C") : QString(QLatin1Char(letter));
    m_form->findChild<QAction*>(name)->trigger();
    QApplication::processEvents();
    return listedLines();
}

int OrvoOperations::listedLines() const
{
    const auto* list = m_form->findChild<QListView*>(QStringLiteral("List1"));
    return list && list->model() ? list->model()->rowCount() : 0;
}

QByteArray OrvoOperations::listedText() const
{
    QCryptographicHash lines(QCryptographicHash::Md5);
    const auto* list = m_form->findChild<QListView*>(QStringLiteral("List1"));
    for (int row = 0; list && list->model() && row < list->model()->rowCount(); ++row) {
        lines.addData(list->model()->index(row, 0).data().toString().toUtf8());
        lines.addData("\n");
    }
    return lines.result();
}

QSize OrvoOperations::windowSize() const
{
    return m_form ? m_form->size() : QSize();
}

QString OrvoOperations::fastPath() const
{
    return m_form ? QString::fromLatin1(QueryPlanner::name(m_form->data1().strategy())) : QString();
}

namespace {

void clickLine(QListView* list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(index).center());
}

} // namespace

void OrvoOperations::clickFirstLine()
{
    auto* list = m_form->findChild<QListView*>(QStringLiteral("List1"));
    clickLine(list, 0);
    QApplication::processEvents();
}

bool OrvoOperations::clickLastLine()
{
    auto* list = m_form->findChild<QListView*>(QStringLiteral("List1"));
    const int last = list->model()->rowCount() - 1;
    clickLine(list, last);
    return m_form->data1().position() == last &&
           !m_form->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText().isEmpty();
}

bool OrvoOperations::openPrintWindow()
{
    closePrintWindow();
    m_form->findChild<QAction*>(QStringLiteral("pLr"))->trigger();
    QApplication::processEvents();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("Form5") && window->isVisible())
            m_printWindow = window;
    }
    auto* button = m_printWindow ? m_printWindow->findChild<QPushButton*>(QStringLiteral("Command1")) : nullptr;
    if (!button || button->text() != QLatin1String("Print Preview")) {
        closePrintWindow();
        return false;
    }
    for (const char* name : {"Check1", "Check2", "Check3"}) {
        if (auto* box = m_printWindow->findChild<QCheckBox*>(QLatin1String(name)))
            box->setChecked(true);
    }
    return true;
}

bool OrvoOperations::printPreview()
{
    const int before = m_viewer.launches;
    QTest::mouseClick(m_printWindow->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    return m_viewer.launches == before + 1;
}

void OrvoOperations::closePrintWindow()
{
    if (m_printWindow)
        m_printWindow->close();
    m_printWindow = nullptr;
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void OrvoOperations::shutDown()
{
    closePrintWindow();
    m_form.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void OrvoOperations::releaseFile()
{
    if (m_form)
        m_form->data1().close();
}

void OrvoOperations::takeUpFile()
{
    if (m_form)
        m_form->data1().refresh();
}

QString OrvoOperations::repair()
{
    const qsizetype before = m_boxes.titles.size();
    m_form->findChild<QAction*>(QStringLiteral("RandCDB"))->trigger();
    QApplication::processEvents();
    return m_boxes.titles.size() > before ? m_boxes.titles.at(before) : QString();
}

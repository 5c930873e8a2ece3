#pragma once

#include "main_window/AppServices.h"
#include "main_window/MessageBoxes.h"
#include "main_window/Module1.h"
#include "printing/ViewerLauncher.h"

#include <QByteArray>
#include <QSize>
#include <QStringList>
#include <memory>
#include <optional>

class Form1;

// Answers every box with OK and remembers the titles, so that nothing waits for a user.
class BenchMessageBoxes : public MessageBoxes
{
public:
    int show(QWidget*, const QString&, const QString& title, Style) override
    {
        titles << title;
        return Ok;
    }
    QStringList titles;
};

class BenchViewer : public ViewerLauncher
{
public:
    bool launch(const QString&, const QString&) override
    {
        ++launches;
        return true;
    }
    int launches = 0;
};

// Orvo's side: the main window offscreen on the benchmark's folder, driven the way a user
// drives it (options and search box, Find, letter menu items, a click on a list line, the
// print window's button, the repair menu item).
class OrvoOperations
{
public:
    explicit OrvoOperations(const QString& folder);
    ~OrvoOperations();

    // A new main window: Form_Load, shown, pending events handled. False when loading failed.
    bool startUp();
    // Closes the main window (and the print window) and lets them be deleted.
    void shutDown();
    // Find with these options and this search text; returns the number of lines listed.
    int find(bool description, bool comments, bool frequencies, const QString& text);
    // The letter's menu item; returns the number of lines listed.
    int letter(char letter);
    // Clicks the first line, untimed, so that the timed click on the last line changes the view.
    void clickFirstLine();
    // Clicks the last line of the list; returns whether the record view shows its record.
    bool clickLastLine();
    // Opens the print window with all three boxes ticked. False when this build has none.
    bool openPrintWindow();
    // "Print Preview"; returns whether freq.txt was written and shown.
    bool printPreview();
    void closePrintWindow();
    // File > Repair and Compact Database; returns the message box's title, empty when the
    // menu item did nothing in this build.
    QString repair();
    // The window's own connection lets go of the file, or takes up the one now in its place: a
    // file replaced while a connection holds it is freed on disk only when that connection
    // closes, and each side of the repair's line must pay for freeing the file it replaced.
    void releaseFile();
    void takeUpFile();

    int listedLines() const;
    // The listed descriptions, for the check that a floor found the same lines in the same order.
    QByteArray listedText() const;
    QSize windowSize() const;
    QString fastPath() const;
    QString lastMessage() const { return m_boxes.titles.isEmpty() ? QString() : m_boxes.titles.last(); }

private:
    Module1 m_module;
    BenchMessageBoxes m_boxes;
    BenchViewer m_viewer;
    AppServices m_services;
    std::unique_ptr<Form1> m_form;
    QWidget* m_printWindow = nullptr;
};

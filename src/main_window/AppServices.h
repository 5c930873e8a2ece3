#pragma once

#include <QApplication>
#include <QDateTime>
#include <QString>

#include <functional>

struct Module1;
class MessageBoxes;
class ViewerLauncher;

// What every window is handed: the shared state and the ways out of the program (messages,
// the viewer, the clock, the folder it lives in). Tests build one with their own doubles.
struct AppServices
{
    AppServices(Module1& shared, MessageBoxes& boxes, ViewerLauncher& launcher)
        : module(shared)
        , messages(boxes)
        , viewer(launcher)
    {
    }

    Module1& module;
    MessageBoxes& messages;
    ViewerLauncher& viewer;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Where freqs.mdb and freq.txt live; main() sets it from AppLocation.
    QString applicationFolder;
    std::function<void()> beep = [] { QApplication::beep(); };
    // Called to end the program at once (File > Exit); tests record it instead.
    std::function<void()> quit;
};

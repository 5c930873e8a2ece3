#pragma once

struct AppServices;
struct Module1;
class Data1;

// What the windows opened from the main window work with: the record set, the shared
// variables and services, the main window's Find and its enabled state. The main window
// implements it, so those windows, and their tests, do not depend on the main window itself.
class WindowHost
{
public:
    virtual ~WindowHost() = default;

    virtual AppServices& services() = 0;
    virtual Module1& module() = 0;
    virtual Data1& data1() = 0;
    // Find again, with the search box's text and options as they stand.
    virtual void runFind() = 0;
    // The main window takes no input while a window that works on its record set is open.
    virtual void setHostEnabled(bool enabled) = 0;
};

#pragma once

#include <QString>

// Starts the program that shows an export file to the user, without waiting for it. Tests
// put a recorder in its place.
class ViewerLauncher
{
public:
    virtual ~ViewerLauncher() = default;
    // appDir is the application folder; fileName the export file's name inside it.
    virtual bool launch(const QString& appDir, const QString& fileName) = 0;
};

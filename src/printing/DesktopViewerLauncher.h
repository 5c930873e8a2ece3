#pragma once

#include "printing/ViewerLauncher.h"

// Starts wordpad.exe from the application folder when one is there, as the program always
// has; otherwise asks the desktop to open the file with its program for text files.
class DesktopViewerLauncher : public ViewerLauncher
{
public:
    bool launch(const QString& appDir, const QString& fileName) override;
};

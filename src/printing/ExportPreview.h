#pragma once

#include "printing/ExportText.h"

struct AppServices;
class QWidget;

// "Print Preview" of either window: write freq.txt in the application folder, let waiting
// events run, then start the viewer on it. Failures are shown to the user; returns whether
// the file was written.
namespace ExportPreview {

bool writeAndShow(QWidget* parent, AppServices& services,
                  const std::function<void(ExportText::LineWriter&)>& writeLines);

} // namespace ExportPreview

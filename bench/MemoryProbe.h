#pragma once

#include "BenchReport.h"

#include <QString>
#include <QVector>

// Peak memory (VmHWM) of a child process that starts Orvo on a folder, so that only what the
// probe does counts.
namespace MemoryProbe {

// In the child: "list" shows the full list, then searches Description + Comments for "eart";
// "open" only starts (opening builds the indexes a file lacks). Prints what it measured.
int run(const QString& mode, const QString& folder);

// In the parent: the full list and the search, on the file in the state that when names.
QVector<BenchLine> listLines(const QString& folder, const QString& when);
// Opening a file that lacks the frequency index.
BenchLine openLine(const QString& folder);

} // namespace MemoryProbe

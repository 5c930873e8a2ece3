#pragma once

#include "store/Outcome.h"

#include <QString>

// The files a benchmark run works on: the generated database, kept as written, and copies of
// it that the operations may change.
namespace BenchData {

// Copies a database file over the target, removing a journal left beside the target.
Outcome copyDatabase(const QString& from, const QString& to);
// How the file's table and description index lie: pages, and runs of consecutive pages.
QString layout(const QString& databasePath);
// A copy without the frequency index, its table and its triggers.
Outcome copyWithoutFrequencyIndex(const QString& from, const QString& to);

} // namespace BenchData

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
// The records in table Main, -1 when the file cannot be read.
qint64 recordCount(const QString& databasePath);
// A copy without the frequency index, its table and its triggers.
Outcome copyWithoutFrequencyIndex(const QString& from, const QString& to);
// Generated records, another stretch of the generator's sequence than the database's, in the
// CSV form of Orvo's export.
Outcome writeCsv(const QString& path, int records);

} // namespace BenchData

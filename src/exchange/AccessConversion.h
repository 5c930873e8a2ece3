#pragma once

#include "store/Outcome.h"

#include <QString>
#include <functional>
#include <memory>

class TableSource;

// Turns an Access freqs.mdb into an Orvo database in place. The records of its table Main go
// into a new SQLite file beside it; only when that file passes its checks (integrity, as many
// records as the table holds) is the Access file renamed to freqs-access.mdb and the new file
// to freqs.mdb. The Access file itself is never written to or deleted.
namespace AccessConversion {

// The name the Access file is kept under, in the same folder.
const QString& keptFileName();

// Where the records of the Access file at a path come from.
using SourceFactory = std::function<std::unique_ptr<TableSource>(const QString& accessPath)>;

struct Result
{
    Outcome outcome;
    qint64 records = 0;
    QString keptPath;
};

// Converts with the records of table Main read from the file at dbPath.
Result convert(const QString& dbPath);
Result convert(const QString& dbPath, const SourceFactory& openSource);

// Replaces the reader that convert(dbPath) uses, so that a test can hand it a table that no
// Access file here holds; an empty factory restores the Access reader.
void setSourceFactory(SourceFactory factory);

} // namespace AccessConversion

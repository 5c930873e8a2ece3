#pragma once

#include "exchange/FieldMapping.h"
#include "store/Outcome.h"

#include <QSqlDatabase>
#include <functional>

class TableSource;

struct ImportOptions
{
    // Leave out a record equal in every field (nulls included) to one already stored, or to
    // one added earlier in the same import.
    bool skipDuplicates = false;
    // Called now and then with the part read so far, 0 to 1 (negative when unknown).
    std::function<void(double done)> progress;
};

struct ImportReport
{
    Outcome outcome;
    qint64 added = 0;
    qint64 skipped = 0;
    QStringList unusedColumns;
};

// Adds the rows of a source to table Main as records, all in one transaction: on any error
// (of the source, of the mapping or of the database) nothing is added.
namespace RecordImport {

ImportReport run(TableSource& source, const FieldMapping& mapping, const QSqlDatabase& db,
                 const ImportOptions& options = {});

} // namespace RecordImport

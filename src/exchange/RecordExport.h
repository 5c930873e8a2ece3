#pragma once

#include "query/RecordQuery.h"
#include "store/Outcome.h"

#include <QSqlDatabase>
#include <functional>

class QIODevice;

// Writes records of Main as CSV (see CsvWriter): the header Description, Comments, F1 ... F40,
// then one row per record in the order of the program's lists.
namespace RecordExport {

struct Options
{
    // The records that a search finds, every record by default.
    RecordQuery search;
    bool byteOrderMark = false;
    std::function<void(double done)> progress;
};

Outcome toCsv(const QSqlDatabase& db, QIODevice& device, const Options& options, qint64* written);

} // namespace RecordExport

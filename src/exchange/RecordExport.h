#pragma once

#include "store/Outcome.h"

#include <QSqlDatabase>
#include <functional>

class QIODevice;

// Writes records of Main as CSV (see CsvWriter): the header Description, Comments, F1 ... F40,
// then one row per record in the order of the program's lists.
namespace RecordExport {

struct Options
{
    // A query text as Find builds it; empty for every record.
    QString querySql;
    bool byteOrderMark = false;
    std::function<void(double done)> progress;
};

Outcome toCsv(const QSqlDatabase& db, QIODevice& device, const Options& options, qint64* written);

} // namespace RecordExport

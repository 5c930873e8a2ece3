#pragma once

#include "store/Outcome.h"
#include "store/SqliteFile.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

struct sqlite3;

// Reads the fields of records by rowid, a block at a time through one prepared statement: a
// walk through a record set in its own order visits the table at random, and one statement
// per block costs far less than one per row.
class RecordRowReader
{
public:
    // Rows read at once on a walk through the record set (the print export's).
    static constexpr int ReadAhead = 256;

    RecordRowReader() = default;
    ~RecordRowReader();
    RecordRowReader(const RecordRowReader&) = delete;
    RecordRowReader& operator=(const RecordRowReader&) = delete;

    // The named fields of the rows with these keys (at most ReadAhead), in the keys' order; a
    // row deleted since its key was read comes back empty. A read that the engine breaks off
    // (a lock held too long, a damaged page) fails as a whole.
    Outcome read(sqlite3* handle, const QStringList& fields, const qint64* keys, int count,
                 QVector<QVector<QVariant>>& rows);
    // Lets go of the statement, before the connection closes.
    void reset();

private:
    SqliteStatement m_statement;
    QStringList m_fields;
};

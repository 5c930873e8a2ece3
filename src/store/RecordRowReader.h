#pragma once

#include "store/Outcome.h"
#include "store/SqliteFile.h"

#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// One row of a read in file order, as the engine holds it while the row is handed on.
class FileRow
{
public:
    explicit FileRow(sqlite3_stmt* statement)
        : m_statement(statement)
    {
    }
    // The field as a record set reads it.
    QVariant value(int field) const;
    // The field's bytes when it is stored as text (UTF-8, not checked), valid until the next
    // row; none for a null, a number or binary data.
    std::optional<QByteArrayView> storedText(int field) const;

private:
    sqlite3_stmt* m_statement;
};

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

    // Hands each row with one of these keys, and the key's index, in the order the rows lie
    // in the file: a walk of a whole record set in its own order would visit the table at
    // random. A row deleted since its key was read is not handed. `between` runs every so
    // many rows, so that a long read lets the window answer. A read that the engine breaks
    // off fails as a whole.
    using RowSink = std::function<void(int index, const FileRow& row)>;
    static Outcome readInFileOrder(sqlite3* handle, const QStringList& fields, const QVector<qint64>& keys,
                                   const RowSink& each, const std::function<void()>& between);

private:
    SqliteStatement m_statement;
    QStringList m_fields;
};

#pragma once

#include <QString>

struct sqlite3;

// The floor: each operation done with the bare SQLite C API and SQLite's built-in operators
// on a connection of its own, the least any program could spend on the same work. Each
// returns the number of rows it went through, so that both sides can be checked to agree.
class FloorOperations
{
public:
    explicit FloorOperations(const QString& databasePath);
    ~FloorOperations();
    FloorOperations(const FloorOperations&) = delete;
    FloorOperations& operator=(const FloorOperations&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString error() const { return m_error; }
    void close();
    void reopen();

    // Opens the file, steps the all-records query to its first row, closes it again.
    qint64 openAndFirstRow();
    // SELECT Description ... [WHERE condition] ORDER BY Description, every row read.
    qint64 orderedDescriptions(const QString& condition = QString());
    // The forty fields compared with = and joined by OR.
    qint64 frequencyScan(const QString& value);
    // The forty fields read as numbers, CAST(Fn AS REAL) BETWEEN low AND high, joined by OR.
    qint64 frequencyBandScan(const QString& low, const QString& high);
    // One record's fields by rowid; returns 1 when it was found.
    qint64 pointRead(qint64 rowid);
    // Writes the print export's lines (header, then description, comments, frequencies and a
    // blank line per record) for every record in description order.
    qint64 writeList(const QString& path);
    // VACUUM INTO the temporary file, then rename it over the database; the connection is
    // closed around it and opened again afterwards.
    qint64 vacuumIntoAndRename(const QString& temporaryPath);

private:
    QString m_path;
    sqlite3* m_db = nullptr;
    QString m_error;
};

#pragma once

#include <QString>

class QCryptographicHash;
struct sqlite3;

// Bare SQLite: each operation done with the SQLite C API and SQLite's built-in operators on a
// connection of its own, the same query that Orvo runs and nothing more. Each returns the
// number of rows it went through, so that the sides can be checked to agree.
class FloorOperations
{
public:
    explicit FloorOperations(const QString& databasePath);
    ~FloorOperations();
    FloorOperations(const FloorOperations&) = delete;
    FloorOperations& operator=(const FloorOperations&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString error() const { return m_error; }
    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }
    void close();
    void reopen();

    // Opens the file, steps the all-records query to its first row, closes it again.
    qint64 openAndFirstRow();
    // SELECT Description ... [WHERE condition] ORDER BY Description, every row read; each
    // description goes into lines, when given, for the check that both sides list the same.
    qint64 orderedDescriptions(const QString& condition = QString(), QCryptographicHash* lines = nullptr);
    // The forty fields compared with = and joined by OR.
    static QString frequencyCondition(const QString& value);
    // The forty fields read as numbers, CAST(Fn AS REAL) BETWEEN low AND high, joined by OR.
    static QString frequencyBandCondition(const QString& low, const QString& high);
    // One record's fields by rowid; returns 1 when it was found.
    qint64 pointRead(qint64 rowid);
    // Writes the print export's lines (header, then description, comments, frequencies and a
    // blank line per record) for every record in description order, with stdio.
    qint64 writeList(const QString& path);
    // VACUUM INTO the temporary file, then rename it over the database; the connection is
    // closed around it and opened again afterwards. Durable: the copy is synced before the
    // rename and the folder after it, so that the new file is on disk when it returns.
    qint64 vacuumIntoAndRename(const QString& temporaryPath, bool durable);

private:
    QString m_path;
    sqlite3* m_db = nullptr;
    QString m_error;
};

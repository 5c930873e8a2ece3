#pragma once

#include "store/Outcome.h"

#include <QString>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

// A connection of its own to one database file, straight on the engine, for the work that the
// record store's connection cannot do: checking a file, copying it, reading round damage.
class SqliteFile
{
public:
    enum class Mode
    {
        Existing, // read-write when the file allows it, never created
        Create    // a new file
    };

    SqliteFile() = default;
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    Outcome open(const QString& path, Mode mode);
    void close();
    sqlite3* handle() const { return m_handle; }

    Outcome exec(const QString& sql);
    QString lastError() const;
    // The last failure came from a damaged file rather than from the disk or a lock.
    bool lastErrorMeansDamage() const;

    // PRAGMA integrity_check, or quick_check: the same but for the look-up of every index entry
    // in its table. A file whose pages the engine cannot even walk counts as damaged too; only
    // other failures (the disk, a lock) make the check itself fail.
    struct Integrity
    {
        Outcome checked;
        bool intact = false;
        QString problem;
    };
    enum class Depth
    {
        Full,
        Quick
    };
    Integrity checkIntegrity(Depth depth = Depth::Full);

    // Whether the file has a table of that name (false also when its table list cannot be read).
    bool hasTable(const QString& name);

    // Rows of a table (failure when the table is missing or unreadable).
    Outcome countRows(const QString& table, qint64* count);

    // A file cut short reads as if its lost bytes were zeros, so that every other check passes
    // and a value changes. When the file is shorter than its header says: the length of the
    // whole pages that it still has; otherwise -1.
    static qint64 cutShortTo(const QString& path);
    // A change that a program left unfinished is waiting in the file's journal; the next
    // connection that may write undoes it.
    static bool changeWaiting(const QString& path);

private:
    sqlite3* m_handle = nullptr;
};

// Keeps every other writer out of a database file while readers go on: it holds the byte that
// the engine's writers lock before they change the file. The lock belongs to its own open file
// description, so the engine closing its own handles on the file does not drop it.
class WriterLock
{
public:
    WriterLock() = default;
    ~WriterLock() { release(); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Waits as long as a writer of the engine would for one that is at work.
    Outcome acquire(const QString& path);
    void release();

private:
    int m_file = -1;
};

// A prepared statement on a raw connection that finalizes itself: the one way the store,
// repair and exchange code step SQL without Qt's driver in between.
class SqliteStatement
{
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* handle, const QByteArray& sql);
    SqliteStatement(SqliteFile& file, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool prepared() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }
    // Binds ?1, ?2 ... in turn: a text, a number, or null.
    void bind(const QVariantList& values);
    // The engine's result code: SQLITE_ROW, SQLITE_DONE or an error.
    int step();
    void reset();
    qint64 integer(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
};

// A transaction on a raw connection, the one way the store, repair and exchange code change a
// file in several steps: begun, then committed, or rolled back when it ends uncommitted.
class SqliteTransaction
{
public:
    explicit SqliteTransaction(sqlite3* handle) : m_handle(handle) {}
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    // Immediate takes the file's write lock at once, so that a busy file fails here and not
    // halfway through.
    Outcome begin(bool immediate = true);
    Outcome commit();

private:
    sqlite3* m_handle;
    bool m_open = false;
};

// Quotes a name for SQL: "name", with inner quotes doubled.
QString quotedName(const QString& name);

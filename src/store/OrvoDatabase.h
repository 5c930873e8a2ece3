#pragma once

#include "query/RecordFields.h"
#include "store/Outcome.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

struct sqlite3;

// The database file: its table Main, opening it safely, and creating it with demo records.
namespace OrvoDatabase {


// What kind of file lies at a path, judged from its first bytes without opening it for writing.
enum class FileKind
{
    Missing,
    SQLite,
    Access,
    Other
};
FileKind fileKind(const QString& path);

// Why the path cannot be opened as an Orvo database, in words for the user (empty when it may
// be): it is missing, a folder, a link to nothing, an empty file, or not an SQLite file.
QString unusableReason(const QString& path);

// The engine's words once, and what the user can do about them (Qt's own text repeats them:
// "database disk image is malformed Unable to execute statement"). Given the database's path,
// the advice names it. code is the engine's result code, words its message.
QString errorText(int code, const QString& words, const QString& path = QString());
QString errorText(const QSqlError& error, const QString& path = QString());

// What keeps the file from holding Orvo's records, in the user's words ("It has no table
// Main.", "Table Main has no column F2."), added to problems; a failure when the engine cannot
// tell.
Outcome mainTableProblems(const QSqlDatabase& db, QStringList& problems, const QString& path = QString());

// Opens an existing Orvo database on a new connection of the given name. The file is checked
// (SQLite, table Main with every column) before anything is written to it; on failure the
// connection is removed and the file is left exactly as it was. Read-only, nothing is ever
// written (the indexes that make searches fast are not added).
Outcome open(const QString& path, const QString& connectionName, bool readOnly = false);

// Creates a new database with the table and its index, filled with the bundled demo records.
// It is built under a temporary name and renamed into place, so a failure leaves no file.
Outcome createWithDemoRecords(const QString& path);
// Creates an empty database (tests, and the demo load above).
Outcome createEmpty(const QString& path);

// New records take a rowid above every rowid the file has given, so that a window still
// showing a deleted record never meets a new one under its key: the highest is kept in a
// table that a trigger raises on every insert. Made when missing (opening a writable file
// makes it); then insertSql() inserts Description, Comments and F1 to F40 bound in order.
Outcome keepRowids(const QSqlDatabase& db);
QString insertSql(const QStringList& fields = RecordFields::names());

// The raw handle behind a QSQLITE connection.
sqlite3* handle(const QSqlDatabase& db);

// The engine's failure as an outcome: a lock that another program held past the busy timeout
// (worth trying again), or errorText's words. The last failure on a handle; a query's error.
Outcome failure(int code, const QString& words);
Outcome readFailure(sqlite3* handle);

Outcome writeFailure(const QSqlError& error);

// Runs one statement; on failure returns the engine's message.
Outcome exec(const QSqlDatabase& db, const QString& sql);

} // namespace OrvoDatabase

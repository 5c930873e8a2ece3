#pragma once

#include "store/Outcome.h"

#include <QString>
#include <QStringList>

class SqliteFile;

// Rebuilds a damaged database in a new file from what can still be read: the schema as the
// file lists it (tables first, then indexes, views and triggers, so that no trigger fires on
// the copied rows), and every row that the engine can reach, with its rowid and its values
// exactly as stored.
namespace DatabaseSalvage {

struct Report
{
    Outcome copied;
    // Rows of the record table that were saved, and those that the file's indexes show exist
    // but could not be read.
    qint64 savedRows = 0;
    qint64 unreadableRows = 0;
    // False when a scan of the table broke off and no complete index told how many rows it has;
    // unreadableRows is then only the rows known to be lost.
    bool unreadableExact = true;
    // Tables, indexes, views or triggers that could not be made again in the new file.
    QStringList notRebuilt;
};

// Writes the new file at targetPath, which must not exist. On failure the caller removes it.
Report copyReadable(SqliteFile& source, const QString& targetPath, const QString& recordTable);

} // namespace DatabaseSalvage

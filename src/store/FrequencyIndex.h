#pragma once

#include "store/Outcome.h"
#include "store/QueryPlanner.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct sqlite3;

// The frequency index: every non-null frequency value but "0" with the rowid of its record and
// the number its text may stand for, kept in step with Main by triggers, so that a frequency
// search reads a few index rows instead of forty fields of every record. It is built from
// SQLite's own functions only, so another program that writes to Main keeps it right.
namespace FrequencyIndex {

const QString TableName = QStringLiteral("MainFrequencies");

// The table, its index of numbers and its triggers, for a new empty database.
QStringList createSql();

// What the index offers a search on this connection: the index by text when its table and
// triggers are there, and by number when they keep numbers too.
FrequencyIndexOffer offer(const QSqlDatabase& db);
// Builds the index from Main's rows unless it is complete with numbers already (an older
// file's index gets its numbers). One transaction: on failure nothing changes.
Outcome ensure(const QSqlDatabase& db);
// Drops and builds it again, for a file whose rows were copied without their triggers running.
Outcome rebuild(sqlite3* db);

} // namespace FrequencyIndex

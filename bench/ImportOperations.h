#pragma once

#include <QByteArray>
#include <QString>

// orvo-data import and its floor, each adding the rows of a CSV file in the form of Orvo's
// export (a header, then Description, Comments and F1 to F40) to a database file.
namespace ImportOperations {

// Runs the orvo-data program on them; returns the records it says it imported, -1 on failure.
qint64 orvoData(const QString& program, const QString& csvPath, const QString& databasePath);
// The floor: the CSV read with a plain byte parser and each row inserted with bound values,
// all in one transaction on the file's own schema and triggers, the statement journal in
// memory and a 64 MiB cache. Returns the rows inserted, -1 on failure.
qint64 floor(const QString& csvPath, const QString& databasePath);
// What the records after the first `before` hold, and how many index entries the file has,
// for the check that both sides added the same.
QByteArray added(const QString& databasePath, qint64 before);

} // namespace ImportOperations

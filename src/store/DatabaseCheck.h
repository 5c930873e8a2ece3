#pragma once

#include <QString>
#include <QStringList>

// Whether a file is a sound Orvo database: SQLite's integrity check passes and table Main has
// every column. The file is opened read-only.
namespace DatabaseCheck {

struct Report
{
    QStringList problems; // empty when the file is sound
    qint64 records = -1;  // rows of Main, when they could be counted
    // A change that a program left unfinished waits in the journal: a read-only check cannot undo
    // it, nor read the file before it is undone.
    bool changeWaiting = false;
    bool sound() const { return problems.isEmpty(); }
};

Report run(const QString& path);

} // namespace DatabaseCheck

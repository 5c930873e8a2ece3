#pragma once

#include "BenchReport.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// One side of an operation: Orvo, the floor or bare SQLite.
struct Side
{
    std::function<qint64()> work;
    std::function<void()> prepare = [] {};
    // What the last run produced (the lines listed, the file written), for the check that
    // the sides agree; empty when there is nothing to compare.
    std::function<QByteArray()> result = [] { return QByteArray(); };
};

struct Operation
{
    QString name;
    Side orvo;
    Side floor;
    std::optional<Side> bare;
    BenchLine::Goal goal;
    double limit;
    // A second goal: Orvo under this many milliseconds (0: none).
    double alsoBelow;
    // Untimed, once before the runs; false when the operation cannot run.
    std::function<bool()> setUp;
};

// One untimed round on each side first (caches, and the rows each side finds), then the
// timed rounds, the sides in turn so that all see the same noise. The line says whether all
// sides went through the same number of rows and produced the same output.
BenchLine compare(const Operation& operation, int runs, const std::function<QString()>& note);

#include "Comparison.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QVector>

namespace {

double timedMs(const std::function<qint64()>& work, qint64* rows)
{
    QElapsedTimer timer;
    timer.start();
    *rows = work();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

BenchLine compare(const Operation& operation, int runs, const std::function<QString()>& note)
{
    BenchLine line;
    line.operation = operation.name;
    line.goal = operation.goal;
    line.limit = operation.limit;
    line.alsoBelow = operation.alsoBelow;
    QVector<const Side*> sides{&operation.orvo, &operation.floor};
    if (operation.bare)
        sides << &*operation.bare;
    QVector<qint64> rows(sides.size());
    QVector<QVector<double>> times(sides.size());
    for (int run = -1; run < runs; ++run) {
        for (int side = 0; side < sides.size(); ++side) {
            sides[side]->prepare();
            const double ms = timedMs(sides[side]->work, &rows[side]);
            if (run >= 0)
                times[side] << ms;
        }
    }
    line.orvo = BenchReport::median(times[0]);
    line.floor = BenchReport::median(times[1]);
    if (operation.bare)
        line.bareSqlite = BenchReport::median(times[2]);

    QStringList notes;
    if (rows.count(rows[0]) != rows.size()) {
        QStringList each{QStringLiteral("Orvo %1").arg(rows[0]), QStringLiteral("floor %1").arg(rows[1])};
        if (operation.bare)
            each << QStringLiteral("bare SQLite %1").arg(rows[2]);
        notes << QStringLiteral("ROWS DIFFER: ") + each.join(QStringLiteral(", "));
    } else {
        notes << QStringLiteral("%1 rows").arg(rows[0]);
    }
    const QByteArray orvoResult = sides[0]->result();
    if (!orvoResult.isEmpty()) {
        QStringList differing;
        for (int side = 1; side < sides.size(); ++side) {
            if (sides[side]->result() != orvoResult)
                differing << (side == 1 ? QStringLiteral("floor") : QStringLiteral("bare SQLite"));
        }
        notes << (differing.isEmpty() ? QStringLiteral("same output")
                                      : QStringLiteral("OUTPUT DIFFERS: ") + differing.join(QStringLiteral(", ")));
    }
    if (note && !note().isEmpty())
        notes << note();
    line.note = notes.join(QStringLiteral("; "));
    return line;
}

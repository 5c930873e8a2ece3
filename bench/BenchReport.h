#pragma once

#include <QString>
#include <QVector>
#include <optional>

// One printed line: an operation at one size, Orvo's median against the floor's median.
struct BenchLine
{
    enum class Goal
    {
        RatioAtMost,    // Orvo within limit x the floor
        AbsoluteBelow,  // Orvo under limit, in the line's unit
        AbsoluteAtMost, // Orvo at most limit, in the line's unit
        None
    };

    QString operation;
    QString unit = QStringLiteral("ms");
    std::optional<double> orvo;
    // The best technique for the same work, written plainly against the same file.
    std::optional<double> floor;
    // Bare SQLite doing the same query, where the floor is another technique.
    std::optional<double> bareSqlite;
    Goal goal = Goal::None;
    double limit = 0;
    // A second goal beside a ratio: Orvo under this many of the line's unit (0: none).
    double alsoBelow = 0;
    // Why a line has no figure, or what differed (rows found by each side).
    QString note;

    std::optional<double> ratio() const;
    std::optional<bool> met() const;
    QString goalText() const;
};

namespace BenchReport {

double median(QVector<double> values);
void printHeader(int records, int runs, const QString& layout);
void print(int records, const BenchLine& line);

} // namespace BenchReport

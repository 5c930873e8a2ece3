#include "BenchReport.h"

#include <algorithm>
#include <cstdio>

std::optional<double> BenchLine::ratio() const
{
    if (!orvo || !floor || *floor <= 0)
        return std::nullopt;
    return *orvo / *floor;
}

std::optional<bool> BenchLine::met() const
{
    switch (goal) {
    case Goal::RatioAtMost:
        if (const std::optional<double> r = ratio())
            return *r <= limit && (alsoBelow <= 0 || *orvo < alsoBelow);
        return std::nullopt;
    case Goal::AbsoluteBelow:
        if (orvo)
            return *orvo < limit;
        return std::nullopt;
    case Goal::AbsoluteAtMost:
        if (orvo)
            return *orvo <= limit;
        return std::nullopt;
    case Goal::None:
        break;
    }
    return std::nullopt;
}

QString BenchLine::goalText() const
{
    switch (goal) {
    case Goal::RatioAtMost:
        if (limit < 1)
            return QStringLiteral(">= %1x faster").arg(1 / limit);
        if (alsoBelow > 0)
            return QStringLiteral("<= %1x, < %2 %3").arg(limit).arg(alsoBelow).arg(unit);
        return QStringLiteral("<= %1 x floor").arg(limit);
    case Goal::AbsoluteBelow:
        return QStringLiteral("< %1 %2").arg(limit).arg(unit);
    case Goal::AbsoluteAtMost:
        return QStringLiteral("<= %1 %2").arg(limit).arg(unit);
    case Goal::None:
        break;
    }
    return QStringLiteral("-");
}

namespace BenchReport {

constexpr int GoalRecords = 1000000;

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

void printHeader(int records, int runs, const QString& layout)
{
    std::printf("%s\n", qPrintable(layout));
    std::printf("%d records, median of %d runs each (Orvo, floor and bare SQLite runs alternate)\n", records, runs);
    std::printf("%9s  %-51s %12s %12s %8s %12s  %-18s %s\n", "records", "operation", "Orvo", "floor", "ratio",
                "bare SQLite", "goal", "result");
    std::fflush(stdout);
}

void print(int records, const BenchLine& line)
{
    const auto figure = [&line](const std::optional<double>& value) {
        return value ? QStringLiteral("%1 %2").arg(*value, 0, 'f', *value < 10 ? 2 : 1).arg(line.unit)
                     : QStringLiteral("-");
    };
    const std::optional<double> ratio = line.ratio();
    // The goals are set for a million records; smaller sizes show how the figures scale.
    const std::optional<bool> met = records >= GoalRecords ? line.met() : std::nullopt;
    const QString result = met ? (*met ? QStringLiteral("met") : QStringLiteral("MISSED")) : QStringLiteral("-");
    std::printf("%9d  %-51s %12s %12s %8s %12s  %-18s %s%s%s\n", records, qPrintable(line.operation),
                qPrintable(figure(line.orvo)), qPrintable(figure(line.floor)),
                ratio ? qPrintable(QString::number(*ratio, 'f', 2)) : "-", qPrintable(figure(line.bareSqlite)),
                qPrintable(line.goalText()), qPrintable(result), line.note.isEmpty() ? "" : "  ",
                qPrintable(line.note));
    std::fflush(stdout);
}

} // namespace BenchReport

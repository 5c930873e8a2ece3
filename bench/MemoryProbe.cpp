#include "MemoryProbe.h"

#include "OrvoOperations.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

namespace MemoryProbe {
namespace {

qint64 peakResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The figures the child printed, or none when it failed.
QList<QByteArray> probe(const QString& mode, const QString& folder, int expected)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--folder"), folder, QStringLiteral("--memory-probe"), mode});
    child.waitForFinished(-1);
    const QList<QByteArray> answer = child.readAllStandardOutput().trimmed().split(' ');
    return child.exitCode() == 0 && answer.size() == expected ? answer : QList<QByteArray>();
}

BenchLine memoryLine(const QString& operation, double limit)
{
    BenchLine line;
    line.operation = operation;
    line.unit = QStringLiteral("MB");
    line.goal = BenchLine::Goal::AbsoluteAtMost;
    line.limit = limit;
    line.note = QStringLiteral("the probe failed");
    return line;
}

} // namespace

int run(const QString& mode, const QString& folder)
{
    OrvoOperations orvo(folder);
    QElapsedTimer timer;
    timer.start();
    if (!orvo.startUp())
        return 1;
    if (mode == QLatin1String("open")) {
        std::printf("%lld %lld\n", peakResidentKilobytes(), timer.elapsed());
        return 0;
    }
    const int lines = orvo.find(true, false, false, QString());
    const qint64 listed = peakResidentKilobytes();
    const int found = orvo.find(true, true, false, QStringLiteral("eart"));
    std::printf("%lld %d %lld %d\n", listed, lines, peakResidentKilobytes(), found);
    return 0;
}

QVector<BenchLine> listLines(const QString& folder, const QString& when)
{
    BenchLine list = memoryLine(QStringLiteral("peak memory, full list") + when, 120);
    BenchLine search = memoryLine(QStringLiteral("peak memory, Description + Comments") + when, 120);
    if (const QList<QByteArray> answer = probe(QStringLiteral("list"), folder, 4); !answer.isEmpty()) {
        list.orvo = answer.at(0).toDouble() / 1024.0;
        list.note = QStringLiteral("VmHWM of a process that started and listed %1 records").arg(QString(answer.at(1)));
        search.orvo = answer.at(2).toDouble() / 1024.0;
        search.note = QStringLiteral("the same process after Find, Description + Comments, \"eart\", %1 rows")
                          .arg(QString(answer.at(3)));
    }
    return {list, search};
}

BenchLine openLine(const QString& folder)
{
    BenchLine line = memoryLine(QStringLiteral("peak memory, opening without frequency index"), 150);
    if (const QList<QByteArray> answer = probe(QStringLiteral("open"), folder, 2); !answer.isEmpty()) {
        line.orvo = answer.at(0).toDouble() / 1024.0;
        line.note = QStringLiteral("VmHWM of a process that started on a copy without it; the start, which builds "
                                   "it, took %1 s")
                        .arg(answer.at(1).toDouble() / 1000.0, 0, 'f', 1);
    }
    return line;
}

} // namespace MemoryProbe

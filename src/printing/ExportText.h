#pragma once

#include "store/Outcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class QIODevice;

// The text file that both exports write: UTF-8, every line ended by carriage return and
// line feed, the header stamped with the time and date.
namespace ExportText {

const QString FileName = QStringLiteral("freq.txt");

// "h:mm am/pm ": hour 1 to 12 without a leading zero, two-digit minutes, lower-case am/pm.
QString timeText(const QTime& time);
// d,MMM YYYY behind the given number of blanks; the month's short name from the system locale.
QString dateText(const QDate& date, int leadingBlanks);
// "Frequency Selection   " + time + date; the buffer export puts three blanks before the date,
// the result-list export two.
QString headerLine(const QDateTime& now, int dateBlanks);

class LineWriter
{
public:
    explicit LineWriter(QIODevice& device)
        : m_device(device)
    {
    }
    // Writes the text unchanged, then CR LF.
    void line(const QString& text);
    // The same for a text already in UTF-8.
    void utf8Line(QByteArrayView text);
    // Hands the lines kept back so far to the device; they go in blocks, not a write per line.
    void flush();
    // Gives the file up: what it was to hold could not be read. Nothing more is written.
    void abandon(const Outcome& why);
    bool failed() const { return m_failed || !m_abandoned.ok; }
    const Outcome& abandoned() const { return m_abandoned; }

private:
    QIODevice& m_device;
    QByteArray m_pending;
    bool m_failed = false;
    Outcome m_abandoned;
};

// Writes the whole file or nothing: the lines go to a file beside it that replaces the old
// one only when every line was written (a pipe or a device in its place is written directly).
// The error names the full path and the reason, or is the reason the writer was abandoned for.
Outcome writeFile(const QString& path, const std::function<void(LineWriter&)>& writeLines);

} // namespace ExportText

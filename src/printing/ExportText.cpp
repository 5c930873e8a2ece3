#include "printing/ExportText.h"

#include "store/OutputFile.h"

#include <QDir>
#include <QLocale>

namespace ExportText {

QString timeText(const QTime& time)
{
    const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("%1:%2 %3 ")
        .arg(hour)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
}

QString dateText(const QDate& date, int leadingBlanks)
{
    return QString(leadingBlanks, QLatin1Char(' '))
        + QStringLiteral("%1,%2 %3")
              .arg(date.day())
              .arg(QLocale::system().monthName(date.month(), QLocale::ShortFormat))
              .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString headerLine(const QDateTime& now, int dateBlanks)
{
    return QStringLiteral("Frequency Selection   ") + timeText(now.time()) + dateText(now.date(), dateBlanks);
}

void LineWriter::line(const QString& text)
{
    // The text goes out as stored, its own line breaks included, whatever form they take; only
    // the line that the export itself ends gets CR LF.
    utf8Line(text.toUtf8());
}

void LineWriter::utf8Line(QByteArrayView text)
{
    if (failed())
        return;
    m_pending.append(text).append("\r\n");
    if (m_pending.size() >= (qsizetype(1) << 16))
        flush();
}

void LineWriter::flush()
{
    if (!failed() && !m_pending.isEmpty() && m_device.write(m_pending) != m_pending.size())
        m_failed = true;
    m_pending.clear();
}

void LineWriter::abandon(const Outcome& why)
{
    m_abandoned = why;
}

Outcome writeFile(const QString& path, const std::function<void(LineWriter&)>& writeLines)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    OutputFile file(path);
    if (!file.open())
        return Outcome::failure(QStringLiteral("Could not write %1: %2").arg(shownPath, file.errorString()));
    LineWriter writer(file.device());
    writeLines(writer);
    writer.flush();
    if (writer.failed()) {
        const Outcome failure = !writer.abandoned()
                                    ? writer.abandoned()
                                    : Outcome::failure(QStringLiteral("Could not write %1: %2").arg(shownPath, file.errorString()));
        file.cancel();
        return failure;
    }
    if (!file.commit())
        return Outcome::failure(QStringLiteral("Could not write %1: %2").arg(shownPath, file.errorString()));
    return Outcome::success();
}

} // namespace ExportText

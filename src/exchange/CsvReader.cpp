#include "exchange/CsvReader.h"

#include <QIODevice>

CsvReader::CsvReader(QIODevice& device) : m_device(device), m_decoder(QStringDecoder::Utf8) {}

bool CsvReader::open()
{
    SourceRow header;
    switch (readRow(header)) {
    case Read::Failed:
        return false;
    case Read::End:
        return fail(1, QStringLiteral("the file is empty; its first line must name the columns."));
    case Read::Row:
        break;
    }
    for (int i = 0; i < header.size(); ++i) {
        // A byte-order mark that opens a name would be taken for the file's own once it is written again.
        QString name = header.at(i).value_or(QString());
        qsizetype start = 0;
        while (start < name.size() && (name.at(start).isSpace() || name.at(start) == QChar(0xFEFF)))
            ++start;
        name = name.mid(start).trimmed();
        if (name.isEmpty())
            return fail(m_rowLine, QStringLiteral("column %1 of the header has no name.").arg(i + 1));
        m_columns << name;
    }
    return true;
}

bool CsvReader::next(SourceRow& row)
{
    if (!m_error.isEmpty() || readRow(row) != Read::Row)
        return false;
    if (row.size() != m_columns.size()) {
        return fail(
            m_rowLine,
            QStringLiteral("%1 fields, but the header names %2 columns.").arg(row.size()).arg(m_columns.size()));
    }
    return true;
}

double CsvReader::progress() const
{
    if (m_device.isSequential() || m_device.size() <= 0)
        return -1.0;
    return double(m_device.pos()) / double(m_device.size());
}

CsvReader::Read CsvReader::readRow(SourceRow& fields)
{
    enum class State
    {
        FieldStart,
        Unquoted,
        Quoted,
        QuoteInQuoted
    };
    fields.clear();
    State state = State::FieldStart;
    QString value;
    qint64 quoteLine = 0;
    m_rowLine = m_line;
    for (;;) {
        QChar c;
        const bool have = take(c);
        if (!m_error.isEmpty())
            return Read::Failed;
        QString lineBreak;
        if (have && (c == QLatin1Char('\n') || c == QLatin1Char('\r'))) {
            lineBreak = c;
            QChar following;
            if (c == QLatin1Char('\r') && peek(following) && following == QLatin1Char('\n')) {
                take(following);
                lineBreak += following;
            }
            ++m_line;
        }
        const bool fieldEnd = !have || !lineBreak.isEmpty() || c == QLatin1Char(',');
        switch (state) {
        case State::FieldStart:
            if (fields.isEmpty() && (!have || !lineBreak.isEmpty())) {
                if (!have)
                    return Read::End;
                m_rowLine = m_line; // a blank line
                continue;
            }
            if (fieldEnd) {
                fields << SourceValue();
                if (c != QLatin1Char(',') || !have)
                    return Read::Row;
            } else if (c == QLatin1Char('"')) {
                state = State::Quoted;
                quoteLine = m_line;
                value = QLatin1String(""); // empty text, not null
            } else {
                state = State::Unquoted;
                value = c;
            }
            break;
        case State::Unquoted:
            if (fieldEnd) {
                fields << value;
                if (!have || !lineBreak.isEmpty())
                    return Read::Row;
                state = State::FieldStart;
            } else if (c == QLatin1Char('"')) {
                fail(m_line, QStringLiteral("a quote inside a field that does not begin with one; "
                                            "quote the whole field and double the quotes in it."));
                return Read::Failed;
            } else {
                value += c;
            }
            break;
        case State::Quoted:
            if (!have) {
                fail(quoteLine, QStringLiteral("the quoted field that begins here is never closed."));
                return Read::Failed;
            }
            if (!lineBreak.isEmpty())
                value += lineBreak;
            else if (c == QLatin1Char('"'))
                state = State::QuoteInQuoted;
            else
                value += c;
            break;
        case State::QuoteInQuoted:
            if (have && c == QLatin1Char('"')) {
                value += c;
                state = State::Quoted;
            } else if (fieldEnd) {
                fields << value;
                if (!have || !lineBreak.isEmpty())
                    return Read::Row;
                state = State::FieldStart;
            } else {
                fail(m_line, QStringLiteral("text after the closing quote of a field."));
                return Read::Failed;
            }
            break;
        }
    }
}

bool CsvReader::take(QChar& c)
{
    if (!peek(c))
        return false;
    ++m_at;
    return true;
}

bool CsvReader::peek(QChar& c)
{
    if (m_at >= m_text.size() && !fill())
        return false;
    c = m_text.at(m_at);
    return true;
}

// Reads on by whole lines, so that a decoding error can be placed on its line.
bool CsvReader::fill()
{
    while (!m_atEnd && m_error.isEmpty()) {
        const QByteArray bytes = m_device.readLine();
        if (bytes.isEmpty()) {
            m_atEnd = true;
            break;
        }
        m_text = m_decoder.decode(bytes);
        m_at = 0;
        if (m_decoder.hasError())
            return fail(m_line, QStringLiteral("the text is not UTF-8; save the file as UTF-8 and import it again."));
        if (!m_text.isEmpty())
            return true;
    }
    return false;
}

bool CsvReader::fail(qint64 line, const QString& problem)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("Line %1: %2").arg(line).arg(problem);
    return false;
}

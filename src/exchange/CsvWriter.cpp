#include "exchange/CsvWriter.h"

#include <QIODevice>

CsvWriter::CsvWriter(QIODevice& device, bool byteOrderMark) : m_device(device), m_byteOrderMarkPending(byteOrderMark) {}

QString CsvWriter::field(const SourceValue& value)
{
    if (!value)
        return {};
    static const QString needsQuotes = QStringLiteral(",\"\r\n");
    const bool quoted = value->isEmpty() ||
                        std::any_of(value->cbegin(), value->cend(), [](QChar c) { return needsQuotes.contains(c); });
    if (!quoted)
        return *value;
    QString text = *value;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool CsvWriter::writeRow(const SourceRow& fields)
{
    QStringList texts;
    texts.reserve(fields.size());
    for (const SourceValue& value : fields)
        texts << field(value);
    QByteArray line = texts.join(QLatin1Char(',')).toUtf8();
    line += "\r\n";
    if (m_byteOrderMarkPending) {
        m_byteOrderMarkPending = false;
        line.prepend("\xEF\xBB\xBF");
    }
    return write(line);
}

bool CsvWriter::writeRow(const QStringList& fields)
{
    SourceRow values;
    values.reserve(fields.size());
    for (const QString& text : fields)
        values << text;
    return writeRow(values);
}

bool CsvWriter::write(const QByteArray& bytes)
{
    if (!m_error.isEmpty())
        return false;
    if (m_device.write(bytes) != bytes.size()) {
        m_error = m_device.errorString();
        return false;
    }
    return true;
}

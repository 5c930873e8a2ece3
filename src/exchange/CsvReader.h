#pragma once

#include "exchange/TableSource.h"

#include <QStringDecoder>

class QIODevice;

// Reads CSV (RFC 4180) in UTF-8; a leading byte-order mark is skipped. The first row names the
// columns and every later row must have as many fields. Rows end with CRLF, LF or CR; a quoted
// field may hold commas, line breaks and doubled quotes. An empty unquoted field is null, a
// quoted empty field ("") is empty text, and a line with nothing on it is skipped.
class CsvReader : public TableSource
{
public:
    explicit CsvReader(QIODevice& device);

    bool open() override;
    QStringList columns() const override { return m_columns; }
    bool next(SourceRow& row) override;
    QString error() const override { return m_error; }
    QString rowName() const override { return QStringLiteral("Line %1").arg(m_rowLine); }
    double progress() const override;

private:
    enum class Read
    {
        Row,
        End,
        Failed
    };
    Read readRow(SourceRow& fields);
    // The next character, or none at the end of the input (or after a decoding error).
    bool take(QChar& c);
    bool peek(QChar& c);
    bool fill();
    bool fail(qint64 line, const QString& problem);

    QIODevice& m_device;
    QStringDecoder m_decoder;
    QString m_text;
    qsizetype m_at = 0;
    bool m_atEnd = false;
    qint64 m_line = 1;    // line of the next character
    qint64 m_rowLine = 0; // line on which the row last read begins
    QStringList m_columns;
    QString m_error;
};

#pragma once

#include "exchange/TableSource.h"

class QIODevice;

// Writes CSV (RFC 4180) in UTF-8 with CRLF line ends, in the form CsvReader reads back: null is
// an empty field, empty text is "", and a field with a comma, a quote or a line break is quoted
// with its quotes doubled.
class CsvWriter
{
public:
    // With byteOrderMark the file starts with one, so that spreadsheet programs take it as UTF-8.
    explicit CsvWriter(QIODevice& device, bool byteOrderMark = false);

    bool writeRow(const SourceRow& fields);
    bool writeRow(const QStringList& fields);
    // Empty unless a write failed.
    QString error() const { return m_error; }

    static QString field(const SourceValue& value);

private:
    bool write(const QByteArray& bytes);

    QIODevice& m_device;
    bool m_byteOrderMarkPending;
    QString m_error;
};

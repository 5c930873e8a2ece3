#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// A value as a source hands it over: text, or no value at all (null).
using SourceValue = std::optional<QString>;
using SourceRow = QVector<SourceValue>;

// Rows with named columns that records are read from: a CSV file, a table of an Access file,
// or a test's list.
class TableSource
{
public:
    virtual ~TableSource() = default;

    // Reads what comes before the rows (the header, the table's columns). On failure the
    // error is a sentence for the user.
    virtual bool open() = 0;
    virtual QStringList columns() const = 0;
    // The columns that will be used; a source may leave the others null and skip reading them.
    virtual void useColumns(const QVector<int>& columns) { Q_UNUSED(columns) }
    // Why a column's values cannot be taken as text, or empty when they can.
    virtual QString columnProblem(int column) const
    {
        Q_UNUSED(column)
        return {};
    }

    // The next row, one value per column. False at the end, or on an error.
    virtual bool next(SourceRow& row) = 0;
    // Empty unless open() or next() failed.
    virtual QString error() const = 0;
    // Where the row last read stands, for messages: "Line 12", "Row 5".
    virtual QString rowName() const = 0;

    // How much has been read, 0 to 1; negative when the source cannot tell.
    virtual double progress() const { return -1.0; }
    // The number of rows the source says it holds, checked against what was read; -1 if unknown.
    virtual qint64 declaredRows() const { return -1; }
};

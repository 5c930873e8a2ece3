#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Which column of a source fills which field of Main. A field that is not mapped takes the
// column of its own name unless the mapping sends that column to another field; names are
// matched with letter case ignored.
class FieldMapping
{
public:
    // Reads "Description=Name,Comments=Notes,F1=Freq": field, '=', column, separated by
    // commas; blanks around the names do not count. Returns false with a reason on bad text.
    bool parse(const QString& text, QString* error);
    void map(const QString& field, const QString& column);

    struct Resolved
    {
        QString error;              // empty when every field found its column
        QVector<int> columnOfField; // per field of Main, the source column or -1 (null)
        QStringList unusedColumns;  // source columns that no field takes
        bool ok() const { return error.isEmpty(); }
    };
    // Finds the columns in a source's column names. Description must be found; a field mapped
    // to a column that is not there is an error, an unmapped field without its column is null.
    Resolved resolve(const QStringList& columns) const;

private:
    QVector<QString> m_columnOfField = QVector<QString>(42);
};

#pragma once

#include "exchange/TableSource.h"

#include <memory>

// Reads one table of an Access (Jet 3, Jet 4 or ACE) file through mdbtools, without writing
// to the file. Texts come as they are stored, numbers as their decimal text ("." as the point,
// the shortest text that gives the stored value back), dates as "yyyy-MM-dd hh:mm:ss", yes/no
// as 1 or 0. The library reports an empty text like a missing value, so both read as null.
class AccessReader : public TableSource
{
public:
    // The table name is matched with letter case ignored.
    AccessReader(const QString& path, const QString& table);
    ~AccessReader() override;

    bool open() override;
    QStringList columns() const override { return m_columns; }
    void useColumns(const QVector<int>& columns) override;
    QString columnProblem(int column) const override;
    bool next(SourceRow& row) override;
    QString error() const override { return m_error; }
    QString rowName() const override { return QStringLiteral("Row %1").arg(m_row); }
    double progress() const override;
    qint64 declaredRows() const override { return m_declaredRows; }

    // The user tables of the file, for messages; empty when it cannot be read.
    static QStringList tableNames(const QString& path);

private:
    struct Library;

    bool fail(const QString& problem);

    QString m_path;
    QString m_table;
    std::unique_ptr<Library> m_library;
    QStringList m_columns;
    QVector<int> m_used;
    qint64 m_row = 0;
    qint64 m_declaredRows = -1;
    QString m_error;
};

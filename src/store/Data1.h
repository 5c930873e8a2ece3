#pragma once

#include "store/Outcome.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <optional>

// The data control: one database file, one query text, and the record set that the query
// produced. The record set keeps only its rows' keys (and descriptions, which every listing
// shows) in query order; a row's fields are read from the file when asked, so moving to any
// row is direct and a million-row query is one pass.
class Data1
{
public:
    Data1();
    ~Data1();
    Data1(const Data1&) = delete;
    Data1& operator=(const Data1&) = delete;

    void setDatabaseName(const QString& path);
    QString databaseName() const { return m_databaseName; }
    void setRecordSource(const QString& querySql);
    QString recordSource() const { return m_recordSource; }

    // Opens the named file if it is not open yet and runs the record source. On failure the
    // previous record set stays as it was.
    Outcome refresh();

    bool isOpen() const;
    bool isEof() const { return m_position >= recordCount(); }
    bool hasCurrentRecord() const { return m_position >= 0 && m_position < recordCount(); }
    int recordCount() const { return static_cast<int>(m_keys.size()); }
    int position() const { return m_position; }

    void moveFirst() { m_position = recordCount() > 0 ? 0 : recordCount(); }
    void moveNext();
    void moveToEnd() { m_position = recordCount(); }
    // Makes row p current; a position outside the record set changes nothing.
    bool moveTo(int position);

    // The named field of the current row (null when there is none, or the field has no value).
    QVariant field(const QString& name) const;
    // The descriptions of all rows in order, null ones as empty text.
    const QStringList& descriptions() const { return m_descriptions; }

    // Writing: begin a new row or a change of the current row, set fields, then store it.
    void addNew();
    void edit();
    void setField(const QString& name, const QVariant& value);
    Outcome update();
    void cancelUpdate();
    Outcome deleteCurrent();

    void close();
    QSqlDatabase database() const;
    QString connectionName() const { return m_connectionName; }

private:
    enum class EditState { None, Adding, Editing };

    Outcome ensureOpen();
    const QVector<QVariant>* currentRow() const;

    QString m_connectionName;
    QString m_databaseName;
    QString m_openName;
    QString m_recordSource;
    QStringList m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name to column
    QVector<qint64> m_keys;
    QStringList m_descriptions;
    int m_position = 0;
    mutable qint64 m_cachedKey = -1;
    mutable QVector<QVariant> m_cachedRow;
    EditState m_editState = EditState::None;
    QHash<QString, QVariant> m_pending;
};

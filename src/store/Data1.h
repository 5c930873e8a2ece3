#pragma once

#include "query/RecordQuery.h"
#include "store/Outcome.h"
#include "store/QueryPlanner.h"
#include "store/RecordKeys.h"
#include "store/RecordRowReader.h"

#include <QHash>
class QSqlQuery;
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
//
// A query without conditions (all records, bound at start-up) reads only its first row when
// refreshed; the rest is read the first time something needs it (the count, a move, the
// descriptions, a write), so binding it costs the same for ten records or a million.
class Data1
{
public:
    Data1();
    ~Data1();
    Data1(const Data1&) = delete;
    Data1& operator=(const Data1&) = delete;

    void setDatabaseName(const QString& path);
    QString databaseName() const { return m_databaseName; }
    // The record source is a search, and its query text beside it; a text from elsewhere is
    // taken as the search it writes, if any, and translated as it stands otherwise.
    void setRecordSource(const RecordQuery& query);
    void setRecordSource(const QString& querySql);
    QString recordSource() const { return m_recordSource; }
    const std::optional<RecordQuery>& recordQuery() const { return m_query; }

    // Opens the named file if it is not open yet and runs the record source. On failure the
    // previous record set stays as it was.
    Outcome refresh();

    bool isOpen() const;
    bool isEof() const { return m_position >= m_keys.size(); }
    bool hasCurrentRecord() const { return m_position >= 0 && m_position < m_keys.size(); }
    int recordCount() const;
    int position() const { return m_position; }

    void moveFirst() { m_position = 0; }
    // Fails when the rest of a record set that was read only to its first row cannot be read.
    Outcome moveNext();
    void moveToEnd();
    // Makes row p current; a position outside the record set changes nothing.
    bool moveTo(int position);

    // Reads row p's fields, unless they were read already; the record set does not move. A row
    // that another program deleted since the query ran reads as a row of nulls. A failed read
    // is reported and keeps nothing, so the next read asks the file again.
    Outcome readRecord(int position) const;
    Outcome readCurrent() const { return readRecord(m_position); }

    // The named field of the current row (null when there is none, when it could not be read,
    // or when the field has no value).
    QVariant field(const QString& name) const;
    // Where the named field stands in a row that readInFileOrder hands; none when the record
    // set does not hold it.
    std::optional<int> columnOf(const QString& name) const;
    // Hands every row of the record set with its position, in the order the rows lie in the
    // file rather than in the record set's: what a walk of the whole set reads at a fraction
    // of the cost. A row that another program deleted since the query ran is not handed. The
    // record set does not move; `between` runs now and then during a long read.
    Outcome readInFileOrder(const RecordRowReader::RowSink& each, const std::function<void()>& between) const;
    // The descriptions of all rows in order, null ones as empty text.
    QStringList descriptions() const;
    // Row p's description without building the whole list: a list view over a million rows
    // can ask for the lines it shows and nothing more.
    QString description(int position) const;

    // Writing: begin a new row or a change of the current row, set fields, then store it.
    // A change and a delete take effect only while the row in the file still holds what this
    // record set read of it (at edit(), for a change); when another program has changed or
    // deleted it meanwhile, nothing is written and the failure says so.
    void addNew();
    void edit();
    void setField(const QString& name, const QVariant& value);
    Outcome update();
    void cancelUpdate();
    Outcome deleteCurrent();

    void close();
    QSqlDatabase database() const;
    QString connectionName() const { return m_connectionName; }

    // How the next refresh finds its records (tests ask for the reference scan), and how the
    // last one found them.
    void setPlannerOptions(const PlannerOptions& options) { m_plannerOptions = options; }
    QueryPlan::Strategy strategy() const { return m_strategy; }
    // The rowids of the record set in order (tests compare record sets with them).
    const QVector<qint64>& keys() const;

    // descriptions() packed, without a string per row: what a list view over the record set
    // holds (sharing, not copying, the buffers).
    const DescriptionTexts& descriptionTexts() const;

private:
    enum class EditState
    {
        None,
        Adding,
        Editing
    };
    using Row = QVector<QVariant>;

    Outcome ensureOpen();
    Outcome followReplacedFile();
    Outcome completeKeys() const;
    RecordList* recordList() const;
    void useFields(const QStringList& fields);
    void takeRows() const;
    const Row* currentRow() const;
    void forgetRows() const;
    // " AND "field" IS ?" for each field of the record set, and the row's values to bind to them.
    QString unchangedSql() const;
    void bindUnchanged(QSqlQuery& query, const Row& row) const;

    QString m_connectionName;
    QString m_databaseName;
    QString m_openName;
    QString m_recordSource;
    std::optional<RecordQuery> m_query;
    PlannerOptions m_plannerOptions;
    QueryPlan::Strategy m_strategy = QueryPlan::Strategy::Reference;
    QStringList m_fields;
    QHash<QString, int> m_fieldIndex; // name as in the select list, and lower-case, to column
    bool m_standardFields = false;
    mutable QVector<qint64> m_keys;
    mutable DescriptionTexts m_descriptions;
    // The previous record set's buffers, filled by the next query.
    mutable KeyRows m_spareRows;
    // Set while only the first row has been read; the plan that reads them all.
    mutable std::optional<QueryPlan> m_remainingKeys;
    // Every record in list order, kept for the searches that can use it, with the file's
    // data_version when it was read.
    mutable std::optional<RecordList> m_list;
    mutable qint64 m_listVersion = -1;
    mutable int m_position = 0;

    // Rows read ahead: positions m_rowsFrom .. m_rowsFrom + m_rows.size() - 1.
    mutable int m_rowsFrom = -1;
    mutable QVector<Row> m_rows;
    mutable int m_lastRead = -2;
    mutable RecordRowReader m_rowReader;

    EditState m_editState = EditState::None;
    QHash<QString, QVariant> m_pending;
    Outcome m_editedRow; // reading the row at edit()
    Row m_editedValues;
};

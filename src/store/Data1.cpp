#include "store/Data1.h"

#include "query/RecordFields.h"
#include "store/OrvoDatabase.h"
#include "store/RecordKeys.h"
#include "store/SqliteFile.h"
#include "store/FrequencyIndex.h"
#include "store/QueryPlanner.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <limits>
#include <sqlite3.h>

Data1::Data1() : m_connectionName(QStringLiteral("orvo-data1-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Data1::~Data1()
{
    close();
}

void Data1::setDatabaseName(const QString& path)
{
    m_databaseName = path;
}

void Data1::setRecordSource(const RecordQuery& query)
{
    m_query = query;
    m_recordSource = toQueryText(query);
}

void Data1::setRecordSource(const QString& querySql)
{
    m_query = fromQueryText(querySql);
    m_recordSource = querySql;
}

bool Data1::isOpen() const
{
    return !m_openName.isEmpty();
}

QSqlDatabase Data1::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

Outcome Data1::ensureOpen()
{
    if (isOpen() && m_openName == m_databaseName)
        return followReplacedFile();
    close();
    const Outcome opened = OrvoDatabase::open(m_databaseName, m_connectionName);
    if (opened)
        m_openName = m_databaseName;
    return opened;
}

// Repair and Compact, in this window or another, renames a new file over the old one: this
// connection would go on reading the old file and could not write it. The record set stays;
// a change checks what it writes over (see update()), so keys that the new file gives to
// other rows change nothing.
Outcome Data1::followReplacedFile()
{
    int moved = 0;
    sqlite3* handle = OrvoDatabase::handle(database());
    if (!isOpen() || !handle || sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK ||
        !moved)
        return Outcome::success();
    m_rowReader.reset();
    forgetRows();
    m_list.reset();
    {
        QSqlDatabase db = database();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    const Outcome opened = OrvoDatabase::open(m_openName, m_connectionName);
    if (!opened)
        m_openName.clear();
    return opened;
}

Outcome Data1::refresh()
{
    QueryPlan plan = m_query ? QueryPlan() : QueryPlanner::planText(m_recordSource);
    // A text that cannot be translated is refused before the file is opened.
    if (!plan.ok())
        return Outcome::failure(plan.error);
    if (const Outcome opened = ensureOpen(); !opened)
        return opened;
    if (m_query) {
        // Another program may have dropped the frequency index's triggers since the file was
        // opened, so a search that could read the index asks the file first.
        PlannerOptions options = m_plannerOptions;
        if (m_query->kind == RecordQuery::Kind::FrequencyText || m_query->kind == RecordQuery::Kind::FrequencyBand)
            options.index = FrequencyIndex::offer(database());
        plan = QueryPlanner::plan(*m_query, options);
        if (!plan.ok())
            return Outcome::failure(plan.error);
    }
    RecordKeys::read(OrvoDatabase::handle(database()), plan, plan.firstRowOnly, m_spareRows,
                     plan.usesRecordList() ? recordList() : nullptr);
    if (!m_spareRows.outcome)
        return m_spareRows.outcome;
    useFields(plan.fields);
    m_strategy = plan.strategy;
    m_remainingKeys = plan.firstRowOnly && !m_spareRows.keys.isEmpty() ? std::optional(plan) : std::nullopt;
    takeRows();
    forgetRows();
    cancelUpdate();
    moveFirst();
    return Outcome::success();
}

// The list of every record, read again when the file's data_version shows that another
// connection has written to it since (this record set's own writes drop it). Nothing when it
// cannot be read: the search then reads the file itself, and reports what stops it.
RecordList* Data1::recordList() const
{
    sqlite3* handle = OrvoDatabase::handle(database());
    SqliteStatement pragma(handle, "PRAGMA data_version");
    const qint64 version = pragma.step() == SQLITE_ROW ? pragma.integer(0) : -1;
    if (m_list && m_listVersion == version)
        return &*m_list;
    m_list.reset();
    KeyRows rows;
    RecordKeys::read(handle, QueryPlanner::plan(RecordQuery::allRecords(), {}), false, rows);
    if (version < 0 || !rows.outcome)
        return nullptr;
    m_list = RecordList{std::move(rows), {}, {}};
    m_listVersion = version;
    return &*m_list;
}

void Data1::useFields(const QStringList& fields)
{
    m_fields = fields;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        m_fieldIndex.insert(m_fields.at(i), i);
        m_fieldIndex.insert(m_fields.at(i).toLower(), i);
    }
    m_standardFields = m_fields == RecordFields::names();
}

// A failure keeps the record set at its first row and the plan that reads the rest, so that
// the next call tries again.
Outcome Data1::completeKeys() const
{
    if (!m_remainingKeys)
        return Outcome::success();
    RecordKeys::read(OrvoDatabase::handle(database()), *m_remainingKeys, false, m_spareRows);
    if (!m_spareRows.outcome)
        return m_spareRows.outcome;
    m_remainingKeys.reset();
    if (m_spareRows.keys.isEmpty())
        return Outcome::success();
    const qint64 firstKey = m_keys.first();
    const bool onFirst = m_position == 0;
    takeRows();
    // Another program may have added a row that now comes first: the current record stays the
    // one it was, and what was read stays only where it still belongs.
    if (m_keys.first() != firstKey) {
        forgetRows();
        const qsizetype at = m_keys.indexOf(firstKey);
        if (onFirst)
            m_position = at < 0 ? int(m_keys.size()) : int(at);
    }
    return Outcome::success();
}

// The rows just read become the record set; the old record set's buffers are kept for the
// next query, so that a million-row listing does not map fresh memory each time. They are
// emptied only then: the result list still shares the old descriptions until it is filled
// anew, and emptying a shared buffer would allocate a fresh one.
void Data1::takeRows() const
{
    std::swap(m_keys, m_spareRows.keys);
    std::swap(m_descriptions, m_spareRows.descriptions);
    m_position = std::min(m_position, int(m_keys.size()));
}

int Data1::recordCount() const
{
    completeKeys();
    return int(m_keys.size());
}

QStringList Data1::descriptions() const
{
    completeKeys();
    return m_descriptions.toList();
}

const DescriptionTexts& Data1::descriptionTexts() const
{
    completeKeys();
    return m_descriptions;
}

QString Data1::description(int position) const
{
    completeKeys();
    return position >= 0 && position < m_descriptions.size() ? m_descriptions.at(position) : QString();
}

const QVector<qint64>& Data1::keys() const
{
    completeKeys();
    return m_keys;
}

Outcome Data1::moveNext()
{
    if (const Outcome keys = completeKeys(); !keys)
        return keys;
    if (m_position < m_keys.size())
        ++m_position;
    return Outcome::success();
}

void Data1::moveToEnd()
{
    // Past every row, however many a record set read only to its first row holds.
    m_position = m_remainingKeys ? std::numeric_limits<int>::max() : int(m_keys.size());
}

bool Data1::moveTo(int position)
{
    if (position >= m_keys.size())
        completeKeys();
    if (position < 0 || position >= m_keys.size())
        return false;
    m_position = position;
    return true;
}

void Data1::forgetRows() const
{
    m_rowsFrom = -1;
    m_rows.clear();
    m_lastRead = -2;
}

Outcome Data1::readRecord(int p) const
{
    if (p < 0 || p >= m_keys.size())
        return Outcome::failure(QStringLiteral("There is no such record."));
    if (m_rowsFrom < 0 || p < m_rowsFrom || p >= m_rowsFrom + m_rows.size()) {
        // A walk from row to row reads ahead; a jump reads the one row.
        const int count = p == m_lastRead + 1 ? RecordRowReader::ReadAhead : 1;
        if (const Outcome read = m_rowReader.read(OrvoDatabase::handle(database()), m_fields, m_keys.constData() + p,
                                                  int(qMin<qsizetype>(count, m_keys.size() - p)), m_rows);
            !read) {
            forgetRows();
            return read;
        }
        m_rowsFrom = p;
    }
    m_lastRead = p;
    return Outcome::success();
}

const Data1::Row* Data1::currentRow() const
{
    if (!hasCurrentRecord() || !readCurrent())
        return nullptr;
    const Row& row = m_rows.at(m_position - m_rowsFrom);
    // A row deleted by another program since the query ran reads as no row.
    return row.isEmpty() ? nullptr : &row;
}

std::optional<int> Data1::columnOf(const QString& name) const
{
    // The usual select list is Description, Comments, F1 ... F40: F<n> is column n + 1
    // without hashing the name (the print export asks for forty of them per record).
    if (m_standardFields && name.size() >= 2 && name.size() <= 3 &&
        (name.at(0) == QLatin1Char('F') || name.at(0) == QLatin1Char('f'))) {
        int number = 0;
        for (qsizetype i = 1; i < name.size(); ++i) {
            const char16_t digit = name.at(i).unicode();
            number = digit >= u'0' && digit <= u'9' ? number * 10 + (digit - u'0') : -1;
            if (number < 0)
                break;
        }
        if (number >= 1 && number <= RecordFields::Frequencies && name.at(1) != QLatin1Char('0'))
            return number + 1;
    }
    auto column = m_fieldIndex.constFind(name);
    if (column == m_fieldIndex.constEnd())
        column = m_fieldIndex.constFind(name.toLower());
    if (column == m_fieldIndex.constEnd())
        return std::nullopt;
    return *column;
}

Outcome Data1::readInFileOrder(const RecordRowReader::RowSink& each, const std::function<void()>& between) const
{
    if (const Outcome keys = completeKeys(); !keys)
        return keys;
    return RecordRowReader::readInFileOrder(OrvoDatabase::handle(database()), m_fields, m_keys, each, between);
}

QVariant Data1::field(const QString& name) const
{
    const Row* row = currentRow();
    const std::optional<int> column = columnOf(name);
    if (!row || !column)
        return {};
    return row->at(*column);
}

void Data1::addNew()
{
    m_editState = EditState::Adding;
    m_pending.clear();
}

void Data1::edit()
{
    m_editState = hasCurrentRecord() ? EditState::Editing : EditState::None;
    m_pending.clear();
    m_editedValues.clear();
    if (m_editState == EditState::Editing && (m_editedRow = readCurrent()))
        m_editedValues = m_rows.at(m_position - m_rowsFrom);
}

QString Data1::unchangedSql() const
{
    QString sql;
    for (const QString& name : m_fields)
        sql += QStringLiteral(" AND \"%1\" IS ?").arg(name);
    return sql;
}

void Data1::bindUnchanged(QSqlQuery& query, const Row& row) const
{
    for (const QVariant& value : row)
        query.addBindValue(value);
}

namespace {

const QString ChangedElsewhere = QStringLiteral("another program changed or deleted it since it was read. Find again "
                                                "to see the records as they are now.");

} // namespace

void Data1::setField(const QString& name, const QVariant& value)
{
    m_pending.insert(name, value);
}

void Data1::cancelUpdate()
{
    m_editState = EditState::None;
    m_pending.clear();
}

Outcome Data1::update()
{
    if (m_editState == EditState::None)
        return Outcome::failure(QStringLiteral("There is no record to store."));
    if (!isOpen())
        return Outcome::failure(QStringLiteral("The database is not open."));
    // The record set is the rows as they were when the query ran, not after this write.
    if (const Outcome keys = completeKeys(); !keys)
        return keys;
    const bool adding = m_editState == EditState::Adding;
    if (!adding && !m_editedRow)
        return m_editedRow;
    // A row that another program deleted reads as no values, or is gone from the rest of the
    // list when that is read only now.
    if (!adding && (m_editedValues.isEmpty() || !hasCurrentRecord()))
        return Outcome::failure(ChangedElsewhere);
    if (const Outcome followed = followReplacedFile(); !followed)
        return followed;
    if (adding) {
        if (const Outcome kept = OrvoDatabase::keepRowids(database()); !kept)
            return kept;
    }
    const QStringList names = m_pending.keys();
    QSqlQuery query(database());
    if (adding) {
        query.prepare(OrvoDatabase::insertSql(names));
    } else {
        QStringList assignments;
        for (const QString& name : names)
            assignments << QStringLiteral("\"") + name + QStringLiteral("\" = ?");
        query.prepare(QStringLiteral("UPDATE Main SET ") + assignments.join(QStringLiteral(", ")) +
                      QStringLiteral(" WHERE rowid = ?") + unchangedSql());
    }
    for (const QString& name : names)
        query.addBindValue(m_pending.value(name));
    if (!adding) {
        query.addBindValue(m_keys.at(m_position));
        bindUnchanged(query, m_editedValues);
    }
    if (!query.exec())
        return OrvoDatabase::writeFailure(query.lastError());
    if (query.numRowsAffected() != 1)
        return Outcome::failure(ChangedElsewhere);
    m_list.reset();
    if (!adding) {
        const auto description = m_pending.constFind(QStringLiteral("Description"));
        if (description != m_pending.constEnd())
            m_descriptions.replace(m_position, description->toString());
    }
    forgetRows();
    cancelUpdate();
    return Outcome::success();
}

Outcome Data1::deleteCurrent()
{
    if (const Outcome keys = completeKeys(); !keys)
        return keys;
    if (!hasCurrentRecord())
        return Outcome::failure(QStringLiteral("There is no current record."));
    if (const Outcome read = readCurrent(); !read)
        return read;
    const Row row = m_rows.at(m_position - m_rowsFrom);
    if (row.isEmpty())
        return Outcome::failure(ChangedElsewhere);
    if (const Outcome followed = followReplacedFile(); !followed)
        return followed;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("DELETE FROM Main WHERE rowid = ?") + unchangedSql());
    query.addBindValue(m_keys.at(m_position));
    bindUnchanged(query, row);
    if (!query.exec())
        return OrvoDatabase::writeFailure(query.lastError());
    if (query.numRowsAffected() != 1)
        return Outcome::failure(ChangedElsewhere);
    m_list.reset();
    m_keys.removeAt(m_position);
    m_descriptions.remove(m_position);
    forgetRows();
    moveToEnd();
    return Outcome::success();
}

void Data1::close()
{
    m_rowReader.reset();
    if (m_openName.isEmpty() && !QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = database();
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_openName.clear();
    m_keys.clear();
    m_descriptions = DescriptionTexts();
    m_spareRows = KeyRows();
    m_remainingKeys.reset();
    m_list.reset();
    m_strategy = QueryPlan::Strategy::Reference;
    m_position = 0;
    forgetRows();
    cancelUpdate();
}

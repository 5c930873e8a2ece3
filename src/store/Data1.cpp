#include "store/Data1.h"

#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/SqlTranslation.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <array>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace {

// Rows read at once on a walk through the record set (the print export's).
constexpr int ReadAhead = 256;

QString engineMessage(sqlite3* handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

QVariant columnValue(sqlite3_stmt* statement, int column)
{
    // Most frequency fields hold "0": one shared text instead of a new one each time.
    static const QVariant zero(QStringLiteral("0"));
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QVariant(QMetaType(QMetaType::QString));
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        const int bytes = sqlite3_column_bytes(statement, column);
        if (bytes == 1 && text[0] == '0')
            return zero;
        return QString::fromUtf8(text, bytes);
    }
    }
}

// No query of Main has more rows than its highest rowid, and reserving that much costs only
// address space (untouched pages of a large block are never mapped in), so the lists never
// grow and copy themselves while a million rows come in.
qsizetype rowsAtMost(sqlite3* handle)
{
    constexpr qsizetype Cap = 1 << 21;
    sqlite3_stmt* statement = nullptr;
    qsizetype bound = 0;
    if (sqlite3_prepare_v2(handle, "SELECT max(rowid) FROM Main", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        bound = qsizetype(qBound<sqlite3_int64>(0, sqlite3_column_int64(statement, 0), Cap));
    sqlite3_finalize(statement);
    return bound;
}

// Collects rows on the stack and hands them to the record set's lists a block at a time: an
// append per row and list costs more than stepping the query itself.
class RowBatch
{
public:
    explicit RowBatch(Data1::KeyRows& rows) : m_rows(rows), m_textSize(rows.descriptions.text.size())
    {
        m_text.reserve(Rows * 64);
    }

    void add(qint64 key, const char* utf8, int bytes)
    {
        m_keys[m_count] = key;
        if (utf8 && bytes > 0) {
            m_text.append(utf8, std::size_t(bytes));
            m_textSize += bytes;
        }
        m_ends[m_count] = m_textSize;
        if (++m_count == Rows)
            flush();
    }

    void flush()
    {
        if (m_count == 0)
            return;
        const qsizetype before = m_rows.keys.size();
        m_rows.keys.resize(before + m_count);
        std::memcpy(m_rows.keys.data() + before, m_keys.data(), sizeof(qint64) * std::size_t(m_count));
        m_rows.descriptions.ends.resize(before + m_count);
        std::memcpy(m_rows.descriptions.ends.data() + before, m_ends.data(), sizeof(qsizetype) * std::size_t(m_count));
        m_rows.descriptions.text.append(m_text.data(), qsizetype(m_text.size()));
        m_text.clear();
        m_count = 0;
    }

private:
    static constexpr int Rows = 1024;
    Data1::KeyRows& m_rows;
    std::array<qint64, Rows> m_keys;
    std::array<qsizetype, Rows> m_ends;
    std::string m_text;
    qsizetype m_textSize;
    int m_count = 0;
};

// Steps the keys query into rows (emptied first; their buffers are reused): all rows, or only
// the first when firstOnly.
void readKeys(sqlite3* handle, const QByteArray& sql, bool firstOnly, Data1::KeyRows& rows)
{
    rows.keys.clear();
    rows.descriptions.clear();
    rows.error.clear();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        rows.error = engineMessage(handle);
        return;
    }
    if (!firstOnly) {
        const qsizetype expected = rowsAtMost(handle);
        rows.keys.reserve(expected);
        rows.descriptions.reserve(expected);
    }
    RowBatch batch(rows);
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
        batch.add(sqlite3_column_int64(statement, 0), text, sqlite3_column_bytes(statement, 1));
        if (firstOnly) {
            step = SQLITE_DONE;
            break;
        }
    }
    batch.flush();
    if (step != SQLITE_DONE)
        rows.error = engineMessage(handle);
    sqlite3_finalize(statement);
}

// A write that waited out the busy timeout behind another program's lock can be tried again.
Outcome writeFailure(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return Outcome::locked(QStringLiteral("The database is in use by another program. Try again."));
    return Outcome::failure(error.text());
}

} // namespace

void Data1::DescriptionTexts::reserve(qsizetype rows)
{
    ends.reserve(rows);
    text.reserve(rows * 40);
}

void Data1::DescriptionTexts::clear()
{
    // resize keeps the allocation, clear would free it.
    text.resize(0);
    ends.clear();
}

QString Data1::DescriptionTexts::at(qsizetype row) const
{
    const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
    return QString::fromUtf8(text.constData() + start, ends.at(row) - start);
}

QStringList Data1::DescriptionTexts::toList() const
{
    QStringList all;
    all.reserve(size());
    for (qsizetype row = 0; row < size(); ++row)
        all.append(at(row));
    return all;
}

void Data1::DescriptionTexts::replace(qsizetype row, const QString& description)
{
    const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
    const QByteArray utf8 = description.toUtf8();
    const qsizetype change = utf8.size() - (ends.at(row) - start);
    text.replace(start, ends.at(row) - start, utf8);
    for (qsizetype i = row; i < ends.size(); ++i)
        ends[i] += change;
}

void Data1::DescriptionTexts::remove(qsizetype row)
{
    const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
    const qsizetype length = ends.at(row) - start;
    text.remove(start, length);
    ends.removeAt(row);
    for (qsizetype i = row; i < ends.size(); ++i)
        ends[i] -= length;
}

Data1::Data1() : m_connectionName(QStringLiteral("orvo-data1-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Data1::~Data1()
{
    close();
}

void Data1::setDatabaseName(const QString& path)
{
    m_databaseName = path;
}

void Data1::setRecordSource(const QString& querySql)
{
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
        return Outcome::success();
    close();
    const Outcome opened = OrvoDatabase::open(m_databaseName, m_connectionName);
    if (opened)
        m_openName = m_databaseName;
    return opened;
}

Outcome Data1::refresh()
{
    // A text that cannot be translated is refused before the file is opened.
    TranslatedQuery plain = SqlTranslation::translate(m_recordSource);
    if (!plain.ok)
        return Outcome::failure(plain.error);
    if (const Outcome opened = ensureOpen(); !opened)
        return opened;

    // Another program may have dropped the frequency index's triggers since the file was
    // opened, so a search that would read the index asks first.
    TranslatedQuery query = SqlTranslation::withShortcut(plain, FastPathSupport{true, true, true});
    if (query.fastPath == QLatin1String(SqlTranslation::FrequencyIndexShortcut) ||
        query.fastPath == QLatin1String(SqlTranslation::FrequencyBandShortcut))
        query = SqlTranslation::withShortcut(std::move(plain), FrequencyIndex::support(database()));
    const QByteArray sql = query.keysSql().toUtf8();
    // Only a query without conditions is read lazily: its first row costs nothing, and it can
    // fail on no row that the first one did not.
    const bool firstOnly = !query.fromAndWhere.contains(QLatin1String("WHERE"), Qt::CaseInsensitive);
    KeyRows& rows = m_spareRows;
    readKeys(OrvoDatabase::handle(database()), sql, firstOnly, rows);
    if (!rows.error.isEmpty())
        return Outcome::failure(rows.error);

    m_fields = query.fields;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i) {
        m_fieldIndex.insert(m_fields.at(i), i);
        m_fieldIndex.insert(m_fields.at(i).toLower(), i);
    }
    m_standardFields = m_fields == OrvoDatabase::fieldNames();
    m_fastPath = query.fastPath;
    m_remainingKeysSql = firstOnly && !rows.keys.isEmpty() ? query.keysSql() : QString();
    takeRows();
    m_editState = EditState::None;
    m_pending.clear();
    moveFirst();
    return Outcome::success();
}

void Data1::completeKeys() const
{
    if (m_remainingKeysSql.isEmpty())
        return;
    readKeys(OrvoDatabase::handle(database()), m_remainingKeysSql.toUtf8(), false, m_spareRows);
    m_remainingKeysSql.clear();
    // The first row was read already; a failure now leaves the record set at that row.
    if (!m_spareRows.error.isEmpty() || m_spareRows.keys.isEmpty())
        return;
    takeRows();
}

// The rows just read become the record set; the old record set's buffers are kept for the
// next query, so that a million-row listing does not map fresh memory each time. They are
// emptied only then: the result list still shares the old descriptions until it is filled
// anew, and emptying a shared buffer would allocate a fresh one.
void Data1::takeRows() const
{
    std::swap(m_keys, m_spareRows.keys);
    std::swap(m_descriptions, m_spareRows.descriptions);
    forgetRows();
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

const Data1::DescriptionTexts& Data1::descriptionTexts() const
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

void Data1::moveNext()
{
    completeKeys();
    if (m_position < m_keys.size())
        ++m_position;
}

void Data1::moveToEnd()
{
    completeKeys();
    m_position = int(m_keys.size());
}

bool Data1::moveTo(int position)
{
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

void Data1::finalizeStatements() const
{
    sqlite3_finalize(m_rowStatement);
    m_rowStatement = nullptr;
    m_rowStatementFields.clear();
}

// Reads the rows at positions from .. from + count - 1 in one statement.
bool Data1::fetchRows(int from, int count) const
{
    sqlite3* handle = OrvoDatabase::handle(database());
    if (!handle)
        return false;
    if (!m_rowStatement || m_rowStatementFields != m_fields) {
        finalizeStatements();
        QStringList columns{QStringLiteral("rowid")};
        for (const QString& name : m_fields)
            columns << QLatin1Char('"') + name + QLatin1Char('"');
        QStringList marks;
        for (int i = 1; i <= ReadAhead; ++i)
            marks << QStringLiteral("?%1").arg(i);
        const QByteArray sql =
            (QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
             QStringLiteral(" FROM Main WHERE rowid IN (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'))
                .toUtf8();
        if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &m_rowStatement, nullptr) != SQLITE_OK) {
            finalizeStatements();
            return false;
        }
        m_rowStatementFields = m_fields;
    }
    count = qMin(count, ReadAhead);
    QHash<qint64, int> slotOfKey;
    slotOfKey.reserve(count);
    for (int i = 0; i < ReadAhead; ++i) {
        if (i < count) {
            sqlite3_bind_int64(m_rowStatement, i + 1, m_keys.at(from + i));
            slotOfKey.insert(m_keys.at(from + i), i);
        } else {
            sqlite3_bind_null(m_rowStatement, i + 1);
        }
    }
    QVector<Row> rows(count);
    while (sqlite3_step(m_rowStatement) == SQLITE_ROW) {
        const int slot = slotOfKey.value(sqlite3_column_int64(m_rowStatement, 0), -1);
        if (slot < 0)
            continue;
        Row& row = rows[slot];
        row.reserve(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            row.append(columnValue(m_rowStatement, i + 1));
    }
    sqlite3_reset(m_rowStatement);
    m_rows = std::move(rows);
    m_rowsFrom = from;
    return true;
}

const Data1::Row* Data1::currentRow() const
{
    if (!hasCurrentRecord())
        return nullptr;
    const int p = m_position;
    if (m_rowsFrom < 0 || p < m_rowsFrom || p >= m_rowsFrom + m_rows.size()) {
        // A walk from row to row reads ahead; a jump reads the one row.
        const int count = p == m_lastRead + 1 ? ReadAhead : 1;
        if (!fetchRows(p, qMin<qsizetype>(count, m_keys.size() - p)))
            return nullptr;
    }
    m_lastRead = p;
    const Row& row = m_rows.at(p - m_rowsFrom);
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
        if (number >= 1 && number <= OrvoDatabase::FrequencyFields && name.at(1) != QLatin1Char('0'))
            return number + 1;
    }
    auto column = m_fieldIndex.constFind(name);
    if (column == m_fieldIndex.constEnd())
        column = m_fieldIndex.constFind(name.toLower());
    if (column == m_fieldIndex.constEnd())
        return std::nullopt;
    return *column;
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
}

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
    completeKeys();
    const QStringList names = m_pending.keys();
    QSqlQuery query(database());
    if (m_editState == EditState::Adding) {
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        query.prepare(QStringLiteral("INSERT INTO Main (\"") + names.join(QStringLiteral("\", \"")) +
                      QStringLiteral("\") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
    } else {
        QStringList assignments;
        for (const QString& name : names)
            assignments << QStringLiteral("\"") + name + QStringLiteral("\" = ?");
        query.prepare(QStringLiteral("UPDATE Main SET ") + assignments.join(QStringLiteral(", ")) +
                      QStringLiteral(" WHERE rowid = ?"));
    }
    for (const QString& name : names)
        query.addBindValue(m_pending.value(name));
    if (m_editState == EditState::Editing)
        query.addBindValue(m_keys.at(m_position));
    if (!query.exec())
        return writeFailure(query.lastError());
    if (m_editState == EditState::Editing) {
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
    completeKeys();
    if (!hasCurrentRecord())
        return Outcome::failure(QStringLiteral("There is no current record."));
    QSqlQuery query(database());
    query.prepare(QStringLiteral("DELETE FROM Main WHERE rowid = ?"));
    query.addBindValue(m_keys.at(m_position));
    if (!query.exec())
        return writeFailure(query.lastError());
    m_keys.removeAt(m_position);
    m_descriptions.remove(m_position);
    forgetRows();
    moveToEnd();
    return Outcome::success();
}

void Data1::close()
{
    finalizeStatements();
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
    m_spareRows = Data1::KeyRows();
    m_remainingKeysSql.clear();
    m_fastPath.clear();
    m_position = 0;
    forgetRows();
    cancelUpdate();
}

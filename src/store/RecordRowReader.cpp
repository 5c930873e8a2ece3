#include "store/RecordRowReader.h"

#include "store/OrvoDatabase.h"

#include <QHash>
#include <algorithm>
#include <vector>
#include <sqlite3.h>

namespace {

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

QByteArray selectSql(const QStringList& fields, const QString& condition)
{
    QStringList columns{QStringLiteral("rowid")};
    for (const QString& name : fields)
        columns << quotedName(name);
    return (QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM Main WHERE ") +
            condition)
        .toUtf8();
}

// The fields of the rows whose keys are bound to ?1 ... ?ReadAhead (null for none).
QByteArray blockSql(const QStringList& fields)
{
    QStringList marks;
    for (int i = 1; i <= RecordRowReader::ReadAhead; ++i)
        marks << QStringLiteral("?%1").arg(i);
    return selectSql(fields, QStringLiteral("rowid IN (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
}

// Binds the block's keys, keyAt(0) ... keyAt(count - 1), and null to the marks past them.
template <typename KeyAt> void bindBlock(sqlite3_stmt* statement, int count, KeyAt keyAt)
{
    for (int i = 0; i < RecordRowReader::ReadAhead; ++i) {
        if (i < count)
            sqlite3_bind_int64(statement, i + 1, keyAt(i));
        else
            sqlite3_bind_null(statement, i + 1);
    }
}

void readColumns(sqlite3_stmt* statement, int fields, QVector<QVariant>& row)
{
    row.resize(fields);
    for (int i = 0; i < fields; ++i)
        row[i] = columnValue(statement, i + 1);
}

} // namespace

// Field n is column n + 1, after the rowid.
QVariant FileRow::value(int field) const
{
    return columnValue(m_statement, field + 1);
}

std::optional<QByteArrayView> FileRow::storedText(int field) const
{
    if (sqlite3_column_type(m_statement, field + 1) != SQLITE_TEXT)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, field + 1));
    return QByteArrayView(text, sqlite3_column_bytes(m_statement, field + 1));
}

RecordRowReader::~RecordRowReader()
{
    reset();
}

void RecordRowReader::reset()
{
    m_statement = SqliteStatement();
    m_fields.clear();
}

Outcome RecordRowReader::read(sqlite3* handle, const QStringList& fields, const qint64* keys, int count,
                              QVector<QVector<QVariant>>& rows)
{
    if (!handle)
        return OrvoDatabase::readFailure(handle);
    if (!m_statement.prepared() || m_fields != fields) {
        reset();
        m_statement = SqliteStatement(handle, blockSql(fields));
        if (!m_statement.prepared()) {
            const Outcome failed = OrvoDatabase::readFailure(handle);
            reset();
            return failed;
        }
        m_fields = fields;
    }
    count = qMin(count, ReadAhead);
    bindBlock(m_statement.get(), count, [keys](int i) { return keys[i]; });
    QHash<qint64, int> slotOfKey;
    slotOfKey.reserve(count);
    for (int i = 0; i < count; ++i)
        slotOfKey.insert(keys[i], i);
    rows = QVector<QVector<QVariant>>(count);
    int step;
    while ((step = m_statement.step()) == SQLITE_ROW) {
        const int slot = slotOfKey.value(m_statement.integer(0), -1);
        if (slot < 0)
            continue;
        readColumns(m_statement.get(), int(fields.size()), rows[slot]);
    }
    const Outcome result = step == SQLITE_DONE ? Outcome::success() : OrvoDatabase::readFailure(handle);
    m_statement.reset();
    if (!result)
        rows.clear();
    return result;
}

Outcome RecordRowReader::readInFileOrder(sqlite3* handle, const QStringList& fields, const QVector<qint64>& keys,
                                         const RowSink& each, const std::function<void()>& between)
{
    if (keys.isEmpty())
        return Outcome::success();
    if (!handle)
        return OrvoDatabase::readFailure(handle);
    std::vector<std::pair<qint64, int>> sorted;
    sorted.reserve(std::size_t(keys.size()));
    for (int i = 0; i < keys.size(); ++i)
        sorted.emplace_back(keys.at(i), i);
    std::sort(sorted.begin(), sorted.end());
    constexpr int RowsBetweenPauses = 4096;

    // Keys that lie close together are read by one scan of their stretch of the table; keys
    // spread thin, a block at a time by key, still in the file's order.
    const qint64 first = sorted.front().first;
    const qint64 last = sorted.back().first;
    if (double(last) - double(first) < 4.0 * double(sorted.size())) {
        SqliteStatement scan(handle, selectSql(fields, QStringLiteral("rowid BETWEEN ?1 AND ?2")));
        if (!scan.prepared())
            return OrvoDatabase::readFailure(handle);
        scan.bind({first, last});
        std::size_t next = 0;
        int step;
        int sincePause = 0;
        while ((step = scan.step()) == SQLITE_ROW) {
            const qint64 key = scan.integer(0);
            while (next < sorted.size() && sorted[next].first < key)
                ++next;
            if (next == sorted.size())
                break;
            if (sorted[next].first != key)
                continue;
            each(sorted[next].second, FileRow(scan.get()));
            if (++sincePause == RowsBetweenPauses && between) {
                between();
                sincePause = 0;
            }
        }
        return step == SQLITE_ROW || step == SQLITE_DONE ? Outcome::success() : OrvoDatabase::readFailure(handle);
    }

    SqliteStatement block(handle, blockSql(fields));
    if (!block.prepared())
        return OrvoDatabase::readFailure(handle);
    for (std::size_t from = 0; from < sorted.size(); from += ReadAhead) {
        const auto begin = sorted.begin() + std::ptrdiff_t(from);
        const auto end = sorted.begin() + std::ptrdiff_t(std::min(sorted.size(), from + ReadAhead));
        bindBlock(block.get(), int(end - begin), [begin](int i) { return begin[i].first; });
        int step;
        while ((step = block.step()) == SQLITE_ROW) {
            const auto found = std::lower_bound(begin, end, std::make_pair(block.integer(0), 0));
            if (found != end && found->first == block.integer(0))
                each(found->second, FileRow(block.get()));
        }
        const Outcome result = step == SQLITE_DONE ? Outcome::success() : OrvoDatabase::readFailure(handle);
        block.reset();
        if (!result)
            return result;
        if (between)
            between();
    }
    return Outcome::success();
}

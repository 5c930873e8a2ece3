#include "exchange/AccessReader.h"

#include "store/OrvoDatabase.h"

#include <QDate>
#include <QFile>
#include <QTime>
#include <QtEndian>
#include <charconv>
#include <cmath>
#include <vector>

// glib first: mdbtools.h includes it inside extern "C", where its C++ parts cannot stand.
#include <glib.h>
#include <mdbtools.h>

struct AccessReader::Library
{
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    std::vector<std::vector<char>> bound; // per column, the text the library writes
    std::vector<int> lengths;
    bool started = false;

    ~Library()
    {
        if (table)
            mdb_free_tabledef(table);
        if (mdb)
            mdb_close(mdb);
    }
};

namespace {

MdbHandle* openHandle(const QString& path)
{
    MdbHandle* mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (mdb) {
        mdb_set_bind_size(mdb, MDB_BIND_SIZE);
        mdb_set_boolean_fmt_numbers(mdb);
    }
    return mdb;
}

QVector<MdbCatalogEntry*> userTables(MdbHandle* mdb, bool* readable)
{
    QVector<MdbCatalogEntry*> tables;
    GPtrArray* catalog = mdb_read_catalog(mdb, MDB_TABLE);
    *readable = catalog != nullptr;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            tables << entry;
    }
    return tables;
}

MdbColumn* columnAt(MdbTableDef* table, int index)
{
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, guint(index)));
}

// The shortest text that reads back as the same value; plain decimals for the usual magnitudes.
template <typename Number> QString numberText(Number value)
{
    const Number magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= Number(1e-6) && magnitude < Number(1e15));
    char text[64];
    const auto written = std::to_chars(std::begin(text), std::end(text), value,
                                       plain ? std::chars_format::fixed : std::chars_format::general);
    return QString::fromLatin1(text, written.ptr - text);
}

// Currency is a count of ten-thousandths.
QString moneyText(qint64 value)
{
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    QString text = QString::number(magnitude / 10000);
    QString fraction = QStringLiteral("%1").arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return value < 0 ? QLatin1Char('-') + text : text;
}

// A date is a count of days since 30 December 1899; the fraction is the time of day, also for
// days before that date.
QString dateText(double days)
{
    const double whole = std::trunc(days);
    const QDate date = std::fabs(whole) < 4e6 ? QDate(1899, 12, 30).addDays(qint64(whole)) : QDate();
    if (!date.isValid())
        return numberText(days);
    const int seconds = std::min(86399, int(std::lround(std::fabs(days - whole) * 86400.0)));
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           QTime(0, 0).addSecs(seconds).toString(QStringLiteral("hh:mm:ss"));
}

bool isBinary(int type)
{
    return type == MDB_OLE || type == MDB_BINARY || type == MDB_COMPLEX;
}

int fixedSize(int type)
{
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    default:
        return 0;
    }
}

// Fixed-size numbers are taken from the row itself: the library's own text depends on the
// process locale and rounds single-precision values.
QString fixedText(const MdbHandle* mdb, const MdbColumn* column)
{
    const unsigned char* data = mdb->pg_buf + column->cur_value_start;
    switch (column->col_type) {
    case MDB_BYTE:
        return QString::number(data[0]);
    case MDB_INT:
        return QString::number(qFromLittleEndian<qint16>(data));
    case MDB_LONGINT:
        return QString::number(qFromLittleEndian<qint32>(data));
    case MDB_MONEY:
        return moneyText(qFromLittleEndian<qint64>(data));
    case MDB_FLOAT:
        return numberText(qFromLittleEndian<float>(data));
    case MDB_DOUBLE:
        return numberText(qFromLittleEndian<double>(data));
    case MDB_DATETIME:
        return dateText(qFromLittleEndian<double>(data));
    default:
        return {};
    }
}

} // namespace

AccessReader::AccessReader(const QString& path, const QString& table) : m_path(path), m_table(table) {}

AccessReader::~AccessReader() = default;

bool AccessReader::open()
{
    if (OrvoDatabase::fileKind(m_path) != OrvoDatabase::FileKind::Access)
        return fail(QStringLiteral("It is not an Access database file."));
    m_library = std::make_unique<Library>();
    m_library->mdb = openHandle(m_path);
    if (!m_library->mdb)
        return fail(QStringLiteral("It cannot be read as an Access database; the file may be damaged."));

    bool readable = false;
    const QVector<MdbCatalogEntry*> tables = userTables(m_library->mdb, &readable);
    if (!readable)
        return fail(QStringLiteral("Its list of tables cannot be read; the file may be damaged."));
    MdbCatalogEntry* entry = nullptr;
    QStringList names;
    for (MdbCatalogEntry* candidate : tables) {
        const QString name = QString::fromUtf8(candidate->object_name);
        names << name;
        if (name == m_table || (!entry && name.compare(m_table, Qt::CaseInsensitive) == 0))
            entry = candidate;
    }
    if (!entry) {
        return fail(QStringLiteral("It has no table %1 (%2).")
                        .arg(m_table, names.isEmpty() ? QStringLiteral("it has no tables at all")
                                                      : QStringLiteral("its tables are: ") + names.join(", ")));
    }
    m_table = QString::fromUtf8(entry->object_name);
    m_library->table = mdb_read_table(entry);
    if (!m_library->table || !mdb_read_columns(m_library->table))
        return fail(QStringLiteral("Table %1 cannot be read; the file may be damaged.").arg(m_table));

    for (int i = 0; i < int(m_library->table->num_cols); ++i) {
        m_columns << QString::fromUtf8(columnAt(m_library->table, i)->name);
        m_used << i;
    }
    m_declaredRows = m_library->table->num_rows;
    return true;
}

void AccessReader::useColumns(const QVector<int>& columns)
{
    m_used.clear();
    for (int column : columns) {
        if (column >= 0 && column < m_columns.size() && !m_used.contains(column))
            m_used << column;
    }
}

QString AccessReader::columnProblem(int column) const
{
    if (!m_library || !m_library->table || column < 0 || column >= m_columns.size())
        return {};
    if (isBinary(columnAt(m_library->table, column)->col_type))
        return QStringLiteral("Column %1 holds binary data, which cannot be kept as text.").arg(m_columns.at(column));
    return {};
}

bool AccessReader::next(SourceRow& row)
{
    if (!m_error.isEmpty() || !m_library || !m_library->table)
        return false;
    MdbTableDef* table = m_library->table;
    if (!m_library->started) {
        m_library->started = true;
        m_library->bound.assign(m_columns.size(), {});
        m_library->lengths.assign(m_columns.size(), 0);
        for (int column : qAsConst(m_used)) {
            if (isBinary(columnAt(table, column)->col_type))
                continue;
            m_library->bound[column].assign(MDB_BIND_SIZE, '\0');
            mdb_bind_column(table, column + 1, m_library->bound[column].data(), &m_library->lengths[column]);
        }
        mdb_rewind_table(table);
    }
    if (!mdb_fetch_row(table))
        return false;
    ++m_row;

    row = SourceRow(m_columns.size());
    for (int column : qAsConst(m_used)) {
        const MdbColumn* description = columnAt(table, column);
        const int length = m_library->lengths[column];
        if (isBinary(description->col_type) || length == 0)
            continue;
        if (length >= MDB_BIND_SIZE - 1) {
            return fail(QStringLiteral("Row %1: the value of column %2 is longer than can be read (%3 bytes).")
                            .arg(m_row)
                            .arg(m_columns.at(column))
                            .arg(MDB_BIND_SIZE - 1));
        }
        const int size = fixedSize(description->col_type);
        if (size > 0 && description->cur_value_len >= size)
            row[column] = fixedText(m_library->mdb, description);
        else
            row[column] = QString::fromUtf8(m_library->bound[column].data(), length);
    }
    return true;
}

double AccessReader::progress() const
{
    return m_declaredRows > 0 ? double(m_row) / double(m_declaredRows) : -1.0;
}

QStringList AccessReader::tableNames(const QString& path)
{
    QStringList names;
    if (OrvoDatabase::fileKind(path) != OrvoDatabase::FileKind::Access)
        return names;
    Library library;
    library.mdb = openHandle(path);
    if (!library.mdb)
        return names;
    bool readable = false;
    for (MdbCatalogEntry* entry : userTables(library.mdb, &readable))
        names << QString::fromUtf8(entry->object_name);
    return names;
}

bool AccessReader::fail(const QString& problem)
{
    if (m_error.isEmpty())
        m_error = problem;
    return false;
}

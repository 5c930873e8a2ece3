#include "store/RecordRowReader.h"

#include "store/OrvoDatabase.h"

#include <QHash>
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

} // namespace

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
        QStringList columns{QStringLiteral("rowid")};
        for (const QString& name : fields)
            columns << QLatin1Char('"') + name + QLatin1Char('"');
        QStringList marks;
        for (int i = 1; i <= ReadAhead; ++i)
            marks << QStringLiteral("?%1").arg(i);
        const QByteArray sql =
            (QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
             QStringLiteral(" FROM Main WHERE rowid IN (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'))
                .toUtf8();
        m_statement = SqliteStatement(handle, sql);
        if (!m_statement.prepared()) {
            const Outcome failed = OrvoDatabase::readFailure(handle);
            reset();
            return failed;
        }
        m_fields = fields;
    }
    count = qMin(count, ReadAhead);
    QHash<qint64, int> slotOfKey;
    slotOfKey.reserve(count);
    for (int i = 0; i < ReadAhead; ++i) {
        if (i < count) {
            sqlite3_bind_int64(m_statement.get(), i + 1, keys[i]);
            slotOfKey.insert(keys[i], i);
        } else {
            sqlite3_bind_null(m_statement.get(), i + 1);
        }
    }
    rows = QVector<QVector<QVariant>>(count);
    int step;
    while ((step = m_statement.step()) == SQLITE_ROW) {
        const int slot = slotOfKey.value(m_statement.integer(0), -1);
        if (slot < 0)
            continue;
        QVector<QVariant>& row = rows[slot];
        row.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row.append(columnValue(m_statement.get(), i + 1));
    }
    const Outcome result = step == SQLITE_DONE ? Outcome::success() : OrvoDatabase::readFailure(handle);
    m_statement.reset();
    if (!result)
        rows.clear();
    return result;
}

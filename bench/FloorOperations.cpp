#include "FloorOperations.h"

#include "query/RecordFields.h"
#include "store/OrvoDatabase.h"

#include <QFile>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace {

class Statement
{
public:
    Statement(sqlite3* db, const QString& sql)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "floor: %s\n  in %s\n", sqlite3_errmsg(db), text.constData());
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

const char* text(sqlite3_stmt* statement, int column)
{
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return value ? value : "";
}

// The frequency list text in plain C: every field above 0 written with its sign place, later
// fields after ", ".
void appendFrequencies(std::string& line, sqlite3_stmt* row, int firstColumn)
{
    for (int i = 0; i < RecordFields::Frequencies; ++i) {
        const char* value = text(row, firstColumn + i);
        char* end = nullptr;
        const double number = std::strtod(value, &end);
        if (end == value || *end != '\0' || !(number > 0) || !std::isfinite(number))
            continue;
        if (i > 0)
            line += ", ";
        char written[40];
        std::snprintf(written, sizeof written, " %.15g", number);
        line += written[1] == '0' && written[2] == '.' ? std::string(" ") + (written + 2) : std::string(written);
    }
}

} // namespace

FloorOperations::FloorOperations(const QString& databasePath) : m_path(databasePath)
{
    reopen();
}

FloorOperations::~FloorOperations()
{
    close();
}

void FloorOperations::close()
{
    sqlite3_close(m_db);
    m_db = nullptr;
}

void FloorOperations::reopen()
{
    close();
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        close();
    }
}

qint64 FloorOperations::openAndFirstRow()
{
    sqlite3* db = nullptr;
    qint64 rows = 0;
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        Statement all(db, QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM Main ORDER BY Description COLLATE NOCASE"));
        rows = sqlite3_step(all.get()) == SQLITE_ROW ? 1 : 0;
    }
    sqlite3_close(db);
    return rows;
}

qint64 FloorOperations::orderedDescriptions(const QString& condition)
{
    Statement query(m_db, QStringLiteral("SELECT Description FROM Main ") +
                              (condition.isEmpty() ? QString() : QStringLiteral("WHERE ") + condition) +
                              QStringLiteral(" ORDER BY Description COLLATE NOCASE"));
    qint64 rows = 0;
    qint64 bytes = 0;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
        sqlite3_column_text(query.get(), 0);
        bytes += sqlite3_column_bytes(query.get(), 0);
        ++rows;
    }
    return bytes >= 0 ? rows : -1;
}

qint64 FloorOperations::frequencyScan(const QString& value)
{
    QStringList terms;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        terms << QStringLiteral("F%1 = '%2'").arg(i).arg(value);
    return orderedDescriptions(terms.join(QStringLiteral(" OR ")));
}

qint64 FloorOperations::frequencyBandScan(const QString& low, const QString& high)
{
    QStringList terms;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        terms << QStringLiteral("CAST(F%1 AS REAL) BETWEEN %2 AND %3").arg(i).arg(low, high);
    return orderedDescriptions(terms.join(QStringLiteral(" OR ")));
}

qint64 FloorOperations::pointRead(qint64 rowid)
{
    Statement query(m_db, QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM Main WHERE rowid = ?"));
    sqlite3_bind_int64(query.get(), 1, rowid);
    if (sqlite3_step(query.get()) != SQLITE_ROW)
        return 0;
    for (int i = 0; i < RecordFields::names().size(); ++i)
        sqlite3_column_text(query.get(), i);
    return 1;
}

qint64 FloorOperations::writeList(const QString& path)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return -1;
    std::fputs("Frequency Selection   9:05 am   5,Dec 2026\r\n \r\n", file);
    Statement query(m_db, QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM Main ORDER BY Description COLLATE NOCASE"));
    qint64 rows = 0;
    std::string line;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
        line.assign(text(query.get(), 0)).append("\r\n").append(text(query.get(), 1)).append("\r\nFrequencies: ");
        const std::size_t before = line.size();
        appendFrequencies(line, query.get(), 2);
        if (line.size() == before)
            line += "No Frequencies Listed - See Comments";
        line += "\r\n \r\n";
        std::fwrite(line.data(), 1, line.size(), file);
        ++rows;
    }
    std::fclose(file);
    return rows;
}

qint64 FloorOperations::vacuumIntoAndRename(const QString& temporaryPath)
{
    QFile::remove(temporaryPath);
    const QByteArray target = QFile::encodeName(temporaryPath);
    bool vacuumed = false;
    {
        Statement vacuum(m_db, QStringLiteral("VACUUM INTO ?1"));
        sqlite3_bind_text(vacuum.get(), 1, target.constData(), int(target.size()), SQLITE_STATIC);
        vacuumed = sqlite3_step(vacuum.get()) == SQLITE_DONE;
    }
    close();
    const bool renamed = vacuumed && std::rename(target.constData(), QFile::encodeName(m_path).constData()) == 0;
    reopen();
    return renamed ? 1 : 0;
}

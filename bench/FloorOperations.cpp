#include "FloorOperations.h"

#include "FloorText.h"
#include "printing/ExportText.h"
#include "query/RecordFields.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

namespace {

// One thread uses the connection, as Orvo's driver opens its own: no lock around every call.
constexpr int OpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

bool syncPath(const QString& path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = file >= 0 && ::fsync(file) == 0;
    if (file >= 0)
        ::close(file);
    return synced;
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
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db, OpenFlags, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        close();
    }
}

qint64 FloorOperations::openAndFirstRow()
{
    sqlite3* db = nullptr;
    qint64 rows = 0;
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, OpenFlags, nullptr) == SQLITE_OK) {
        Statement all(db, QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM Main ORDER BY Description COLLATE NOCASE"));
        rows = sqlite3_step(all.get()) == SQLITE_ROW ? 1 : 0;
    }
    sqlite3_close(db);
    return rows;
}

qint64 FloorOperations::orderedDescriptions(const QString& condition, QCryptographicHash* lines)
{
    Statement query(m_db, QStringLiteral("SELECT Description FROM Main ") +
                              (condition.isEmpty() ? QString() : QStringLiteral("WHERE ") + condition) +
                              QStringLiteral(" ORDER BY Description COLLATE NOCASE"));
    qint64 rows = 0;
    qint64 bytes = 0;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
        const char* description = FloorText::text(query.get(), 0);
        bytes += sqlite3_column_bytes(query.get(), 0);
        if (lines) {
            lines->addData(QByteArrayView(description, sqlite3_column_bytes(query.get(), 0)));
            lines->addData("\n");
        }
        ++rows;
    }
    return bytes >= 0 ? rows : -1;
}

QString FloorOperations::frequencyCondition(const QString& value)
{
    QStringList terms;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        terms << QStringLiteral("F%1 = '%2'").arg(i).arg(value);
    return terms.join(QStringLiteral(" OR "));
}

QString FloorOperations::frequencyBandCondition(const QString& low, const QString& high)
{
    QStringList terms;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        terms << QStringLiteral("CAST(F%1 AS REAL) BETWEEN %2 AND %3").arg(i).arg(low, high);
    return terms.join(QStringLiteral(" OR "));
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
    std::fputs(ExportText::headerLine(QDateTime::currentDateTime(), 2).toUtf8().append("\r\n \r\n").constData(), file);
    Statement query(m_db, QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM Main ORDER BY Description COLLATE NOCASE"));
    qint64 rows = 0;
    std::string lines;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
        lines.clear();
        FloorText::appendRecord(lines, query.get(), 0);
        std::fwrite(lines.data(), 1, lines.size(), file);
        ++rows;
    }
    std::fclose(file);
    return rows;
}

qint64 FloorOperations::vacuumIntoAndRename(const QString& temporaryPath, bool durable)
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
    const bool synced = vacuumed && (!durable || syncPath(temporaryPath));
    const bool renamed = synced && std::rename(target.constData(), QFile::encodeName(m_path).constData()) == 0 &&
                         (!durable || syncPath(QFileInfo(m_path).absolutePath()));
    reopen();
    return renamed ? 1 : 0;
}

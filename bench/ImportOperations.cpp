#include "ImportOperations.h"

#include "FloorText.h"
#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <sqlite3.h>
#include <string>

namespace ImportOperations {
namespace {

// Binds the field that starts at csv[at] and leaves at on what ends it: quoted (a doubled
// quote inside is one quote, "" is empty text) or plain (nothing is null).
bool bindField(sqlite3_stmt* insert, int column, const QByteArray& csv, qsizetype& at, std::string& unquoted)
{
    if (at < csv.size() && csv[at] == '"') {
        unquoted.clear();
        for (++at; at < csv.size(); ++at) {
            if (csv[at] != '"')
                unquoted += csv[at];
            else if (at + 1 < csv.size() && csv[at + 1] == '"')
                unquoted += csv[++at];
            else
                break;
        }
        ++at;
        return sqlite3_bind_text(insert, column, unquoted.data(), int(unquoted.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    const qsizetype start = at;
    while (at < csv.size() && csv[at] != ',' && csv[at] != '\r' && csv[at] != '\n')
        ++at;
    if (at == start)
        return sqlite3_bind_null(insert, column) == SQLITE_OK;
    return sqlite3_bind_text(insert, column, csv.constData() + start, int(at - start), SQLITE_STATIC) == SQLITE_OK;
}

qint64 insertRows(sqlite3* db, const QByteArray& csv)
{
    const QStringList& fields = RecordFields::names();
    Statement insert(db,
                     QStringLiteral("INSERT INTO Main (%1) VALUES (?%2)")
                         .arg(fields.join(QLatin1Char(',')), QStringLiteral(",?").repeated(int(fields.size()) - 1)));
    qsizetype at = csv.indexOf('\n') + 1; // after the header
    qint64 rows = 0;
    std::string unquoted;
    while (at > 0 && at < csv.size()) {
        if (csv[at] == '\r' || csv[at] == '\n') {
            ++at;
            continue;
        }
        for (int column = 1; column <= fields.size(); ++column) {
            if ((column > 1 && csv[at++] != ',') || !bindField(insert.get(), column, csv, at, unquoted))
                return -1;
        }
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            return -1;
        sqlite3_reset(insert.get());
        ++rows;
    }
    return rows;
}

} // namespace

qint64 orvoData(const QString& program, const QString& csvPath, const QString& databasePath)
{
    QProcess tool;
    tool.start(program, {QStringLiteral("import"), csvPath, QStringLiteral("--db"), databasePath});
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return -1;
    const QRegularExpressionMatch said = QRegularExpression(QStringLiteral("Imported (\\d+) record"))
                                             .match(QString::fromUtf8(tool.readAllStandardOutput()));
    return said.hasMatch() ? said.captured(1).toLongLong() : -1;
}

qint64 floor(const QString& csvPath, const QString& databasePath)
{
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray csv = file.readAll();
    sqlite3* db = nullptr;
    qint64 rows = -1;
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK &&
        sqlite3_exec(db, "PRAGMA temp_store = MEMORY; PRAGMA cache_size = -65536; BEGIN IMMEDIATE", nullptr, nullptr,
                     nullptr) == SQLITE_OK) {
        rows = insertRows(db, csv);
        if (rows < 0 || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            rows = -1;
        }
    }
    sqlite3_close(db);
    return rows;
}

QByteArray added(const QString& databasePath, qint64 before)
{
    sqlite3* db = nullptr;
    QCryptographicHash rows(QCryptographicHash::Md5);
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        QStringList quoted;
        for (const QString& field : RecordFields::names())
            quoted << QStringLiteral("quote(%1)").arg(field);
        Statement records(db, QStringLiteral("SELECT %1 FROM Main ORDER BY rowid LIMIT -1 OFFSET %2")
                                  .arg(quoted.join(QStringLiteral(" || ',' || ")))
                                  .arg(before));
        while (sqlite3_step(records.get()) == SQLITE_ROW) {
            rows.addData(FloorText::text(records.get(), 0));
            rows.addData("\n");
        }
        Statement entries(db, QStringLiteral("SELECT count(*) FROM ") + FrequencyIndex::TableName);
        if (sqlite3_step(entries.get()) == SQLITE_ROW)
            rows.addData(QByteArray::number(sqlite3_column_int64(entries.get(), 0)));
    }
    sqlite3_close(db);
    return rows.result();
}

} // namespace ImportOperations

#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"

#include "store/OrvoDatabase.h"

#include <QChar>
#include <QSqlQuery>
#include <sqlite3.h>

namespace FrequencyIndex {
namespace {

const QString NumberIndex = QStringLiteral("MainFrequenciesNumber");
const QStringList Triggers{QStringLiteral("MainFrequenciesInsert"), QStringLiteral("MainFrequenciesUpdate"),
                           QStringLiteral("MainFrequenciesDelete")};

// The index holds what Like sees of a value, its text; equal texts of one record (ignoring
// case, as Like does) are one entry.
QString tableSql()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Value TEXT NOT NULL COLLATE NOCASE, RecordId INTEGER NOT "
                          "NULL, Number REAL, PRIMARY KEY (Value, RecordId)) WITHOUT ROWID")
        .arg(TableName);
}

QString numberIndexSql()
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (Number) WHERE Number IS NOT NULL")
        .arg(NumberIndex, TableName);
}

// The blanks that the record view trims around a number, as SQL: SQLite's own reading of a
// number skips only those of ASCII.
QString blanksSql()
{
    QStringList codes;
    for (char16_t code = 1; code < 0xffff; ++code) {
        if (QChar(code).isSpace())
            codes << QString::number(code);
    }
    return QStringLiteral("char(%1)").arg(codes.join(QLatin1Char(',')));
}

// What a text may stand for as a number: SQLite's reading of it, or null when it holds a
// character that no number has. Every text that the record view reads as a number gets one,
// close to the correctly rounded value; which ones lie in a band is decided exactly later.
QString numberSql(const QString& text)
{
    static const QString blanks = blanksSql();
    const QString trimmed = QStringLiteral("trim(%1, %2)").arg(text, blanks);
    return QStringLiteral("CASE WHEN %1 GLOB '*[^0-9.eE+-]*' THEN NULL ELSE CAST(%1 AS REAL) END").arg(trimmed);
}

QString frequencyTexts(const QString& row)
{
    QStringList texts;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        texts << QStringLiteral("CAST(%1.F%2 AS TEXT)").arg(row).arg(i);
    return texts.join(QStringLiteral(", "));
}

QString addEntriesSql()
{
    QStringList values;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        values << QStringLiteral("SELECT CAST(NEW.F%1 AS TEXT) AS Value").arg(i);
    return QStringLiteral("INSERT OR IGNORE INTO %1 (Value, RecordId, Number) SELECT Value, NEW.rowid, %2 FROM "
                          "(SELECT DISTINCT Value COLLATE NOCASE AS Value FROM (%3) WHERE Value IS NOT NULL AND "
                          "Value <> '0');")
        .arg(TableName, numberSql(QStringLiteral("Value")), values.join(QStringLiteral(" UNION ALL ")));
}

QString removeEntriesSql()
{
    return QStringLiteral("DELETE FROM %1 WHERE RecordId = OLD.rowid AND Value IN (%2);")
        .arg(TableName, frequencyTexts(QStringLiteral("OLD")));
}

QStringList triggerSql()
{
    const QString head = QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON Main BEGIN %3 END");
    return {head.arg(Triggers.at(0), QStringLiteral("INSERT"), addEntriesSql()),
            head.arg(Triggers.at(1), QStringLiteral("UPDATE"), removeEntriesSql() + addEntriesSql()),
            head.arg(Triggers.at(2), QStringLiteral("DELETE"), removeEntriesSql())};
}

QString engineMessage(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

Outcome execAll(sqlite3* db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return Outcome::failure(engineMessage(db));
    }
    return Outcome::success();
}

// One pass over Main gathers the values in a temporary table; the engine then sorts them into
// the index's order, spilling to disk rather than holding them, and each page of the index is
// written once, full. Inserted in record order instead, they split pages all over the index
// and wanted a cache of hundreds of megabytes on a million records to stay fast.
Outcome fill(sqlite3* db)
{
    QStringList columns;
    for (int i = 1; i <= RecordFields::Frequencies; ++i)
        columns << QStringLiteral("F%1").arg(i);
    const QByteArray readSql = "SELECT rowid, " + columns.join(QLatin1Char(',')).toUtf8() + " FROM Main";
    const QByteArray gatherSql = "INSERT INTO temp.MainFrequenciesFill (Value, RecordId, Field) VALUES (?1, ?2, ?3)";
    // Of the spellings of one value (ignoring case) in one record, the first field's is kept.
    const QByteArray addSql = QStringLiteral("INSERT OR IGNORE INTO %1 (Value, RecordId, Number) SELECT Value, "
                                             "RecordId, %2 FROM temp.MainFrequenciesFill ORDER BY Value COLLATE "
                                             "NOCASE, RecordId, Field")
                                  .arg(TableName, numberSql(QStringLiteral("Value")))
                                  .toUtf8();
    Outcome outcome = execAll(db, {QStringLiteral("CREATE TEMP TABLE MainFrequenciesFill (Value TEXT NOT NULL, "
                                                  "RecordId INTEGER NOT NULL, Field INTEGER NOT NULL)")});
    sqlite3_stmt* read = nullptr;
    sqlite3_stmt* gather = nullptr;
    if (outcome && (sqlite3_prepare_v2(db, readSql.constData(), -1, &read, nullptr) != SQLITE_OK ||
                    sqlite3_prepare_v2(db, gatherSql.constData(), -1, &gather, nullptr) != SQLITE_OK))
        outcome = Outcome::failure(engineMessage(db));
    int step = SQLITE_DONE;
    while (outcome && (step = sqlite3_step(read)) == SQLITE_ROW) {
        const sqlite3_int64 record = sqlite3_column_int64(read, 0);
        for (int column = 1; column <= RecordFields::Frequencies && outcome; ++column) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(read, column));
            const int bytes = sqlite3_column_bytes(read, column);
            if (!text || (bytes == 1 && text[0] == '0'))
                continue;
            sqlite3_bind_text(gather, 1, text, bytes, SQLITE_STATIC);
            sqlite3_bind_int64(gather, 2, record);
            sqlite3_bind_int(gather, 3, column);
            if (sqlite3_step(gather) != SQLITE_DONE)
                outcome = Outcome::failure(engineMessage(db));
            sqlite3_reset(gather);
        }
    }
    if (outcome && step != SQLITE_DONE)
        outcome = Outcome::failure(engineMessage(db));
    sqlite3_finalize(gather);
    sqlite3_finalize(read);
    if (outcome)
        outcome = execAll(db, {QString::fromUtf8(addSql), QStringLiteral("DROP TABLE temp.MainFrequenciesFill")});
    return outcome;
}

Outcome build(sqlite3* db)
{
    if (!db)
        return Outcome::failure(QStringLiteral("The database is not open."));
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return Outcome::failure(engineMessage(db));
    QStringList drops;
    for (const QString& trigger : Triggers)
        drops << QStringLiteral("DROP TRIGGER IF EXISTS ") + trigger;
    drops << QStringLiteral("DROP TABLE IF EXISTS ") + TableName;
    Outcome outcome = execAll(db, drops);
    if (outcome)
        outcome = execAll(db, {tableSql()});
    if (outcome)
        outcome = fill(db);
    // The index of numbers is made after the fill: one sort instead of a million inserts.
    if (outcome)
        outcome = execAll(db, QStringList{numberIndexSql()} + triggerSql());
    if (outcome && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        outcome = Outcome::failure(engineMessage(db));
    if (!outcome)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return outcome;
}

} // namespace

QStringList createSql()
{
    return QStringList{tableSql(), numberIndexSql()} + triggerSql();
}

FrequencyIndexOffer offer(const QSqlDatabase& db)
{
    // The table and its three triggers; then the column, the index and the two triggers that
    // write numbers (an older file's triggers have the same names but write none).
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT (SELECT count(*) FROM sqlite_master WHERE (type = 'table' AND name = :table) OR (type = 'trigger' "
        "AND tbl_name = 'Main' AND name IN (:insert, :update, :delete))), (SELECT count(*) FROM "
        "pragma_table_info(:table) WHERE name = 'Number') + (SELECT count(*) FROM sqlite_master WHERE type = 'index' "
        "AND name = :index AND tbl_name = :table) + (SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
        "name IN (:insert, :update) AND instr(sql, 'Number') > 0)"));
    query.bindValue(QStringLiteral(":table"), TableName);
    query.bindValue(QStringLiteral(":insert"), Triggers.at(0));
    query.bindValue(QStringLiteral(":update"), Triggers.at(1));
    query.bindValue(QStringLiteral(":delete"), Triggers.at(2));
    query.bindValue(QStringLiteral(":index"), NumberIndex);
    FrequencyIndexOffer offered;
    if (query.exec() && query.next()) {
        offered.byText = query.value(0).toInt() == 1 + Triggers.size();
        offered.byNumber = offered.byText && query.value(1).toInt() == 4;
    }
    return offered;
}

Outcome ensure(const QSqlDatabase& db)
{
    if (offer(db).byNumber)
        return Outcome::success();
    return build(OrvoDatabase::handle(db));
}

Outcome rebuild(sqlite3* db)
{
    return build(db);
}

} // namespace FrequencyIndex

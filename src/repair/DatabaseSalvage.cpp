#include "repair/DatabaseSalvage.h"

#include "store/SqliteFile.h"

#include <QSet>
#include <QVector>
#include <limits>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <utility>

namespace DatabaseSalvage {
namespace {

constexpr qint64 LowestRowid = std::numeric_limits<qint64>::min();
constexpr qint64 HighestRowid = std::numeric_limits<qint64>::max();

struct SchemaEntry
{
    QString type;
    QString name;
    QString table;
    QString sql;
};

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}

bool isInternal(const QString& name)
{
    return name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

Outcome readSchema(SqliteFile& source, QVector<SchemaEntry>* entries)
{
    SqliteStatement query(source, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid"));
    int code = query.prepared() ? query.step() : SQLITE_ERROR;
    for (; code == SQLITE_ROW; code = query.step()) {
        entries->append({columnText(query.get(), 0), columnText(query.get(), 1), columnText(query.get(), 2),
                         columnText(query.get(), 3)});
    }
    if (code != SQLITE_DONE)
        return Outcome::failure(QStringLiteral("The list of its tables cannot be read: ") + source.lastError());
    return Outcome::success();
}

// Copies the rows of one table that can be read, keeping each rowid. A scan that breaks off
// at a damaged page is taken up again behind it, always above the last rowid read, so that it
// ends; rows that an index names but no scan reached are then asked for one by one.
class TableCopy
{
public:
    TableCopy(SqliteFile& source, SqliteFile& target, const QString& table)
        : m_source(source), m_target(target), m_table(quotedName(table))
    {
    }

    // Fails only when the new file refuses a row for any reason but the row's own content.
    Outcome run(const QVector<SchemaEntry>& indexes)
    {
        SqliteStatement scan(m_source,
                             QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid >= ?1 ORDER BY rowid").arg(m_table));
        if (!scan.prepared())
            return copyWithoutRowids();
        if (Outcome prepared = prepareInsert(scan.get(), true); !prepared)
            return prepared;

        qint64 from = LowestRowid;
        for (;;) {
            sqlite3_bind_int64(scan.get(), 1, from);
            bool progress = false;
            bool atEnd = false;
            int code;
            while ((code = scan.step()) == SQLITE_ROW) {
                const qint64 rowid = sqlite3_column_int64(scan.get(), 0);
                // Damage can start the scan below where it was asked to: that is a break too,
                // or the scan would read the same rows up to the same damage for ever.
                if (rowid < from) {
                    code = SQLITE_CORRUPT;
                    break;
                }
                if (Outcome copied = copyRow(scan.get(), rowid); !copied)
                    return copied;
                progress = true;
                atEnd = rowid == HighestRowid;
                if (atEnd)
                    break;
                from = rowid + 1;
            }
            scan.reset();
            if (code == SQLITE_DONE || atEnd)
                break;
            scanBroke = true;
            if (progress)
                continue;
            const std::optional<qint64> next = nextReadableFrom(from);
            if (!next)
                break;
            from = *next;
        }
        return copyIndexedRows(indexes);
    }

    qint64 saved = 0;
    bool scanBroke = false;
    QSet<qint64> known;
    bool completeIndex = false;

private:
    enum class Probe
    {
        Found,
        None,
        Broken
    };

    Outcome prepareInsert(sqlite3_stmt* scan, bool withRowid)
    {
        QStringList columns;
        QStringList marks;
        const int count = sqlite3_column_count(scan);
        for (int i = 0; i < count; ++i) {
            columns << (withRowid && i == 0 ? QStringLiteral("rowid")
                                            : quotedName(QString::fromUtf8(sqlite3_column_name(scan, i))));
            marks << QStringLiteral("?");
        }
        m_insert = std::make_unique<SqliteStatement>(
            m_target, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(m_table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
        if (!m_insert->prepared())
            return Outcome::failure(m_target.lastError());
        return Outcome::success();
    }

    Outcome copyRow(sqlite3_stmt* row, std::optional<qint64> rowid)
    {
        if (rowid && m_saved.contains(*rowid))
            return Outcome::success();
        sqlite3_stmt* insert = m_insert->get();
        for (int i = 0; i < sqlite3_column_count(row); ++i)
            sqlite3_bind_value(insert, i + 1, sqlite3_column_value(row, i));
        const int code = sqlite3_step(insert);
        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
        if (code == SQLITE_DONE) {
            ++saved;
            if (rowid)
                m_saved.insert(*rowid);
            return Outcome::success();
        }
        // Damage can turn a value into one that breaks a constraint: that row is lost, not the copy.
        if ((code & 0xff) == SQLITE_CONSTRAINT)
            return Outcome::success();
        return Outcome::failure(m_target.lastError());
    }

    Probe probe(SqliteStatement& query, qint64 from)
    {
        sqlite3_bind_int64(query.get(), 1, from);
        const int code = query.step();
        const bool forward = code == SQLITE_ROW && sqlite3_column_int64(query.get(), 0) >= from;
        query.reset();
        return forward ? Probe::Found : code == SQLITE_DONE ? Probe::None : Probe::Broken;
    }

    // Reading from `from` on fails: find the lowest rowid above it from which reading works,
    // widening the jump until it clears the damage, then narrowing back.
    std::optional<qint64> nextReadableFrom(qint64 from)
    {
        SqliteStatement query(
            m_source, QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid >= ?1 ORDER BY rowid LIMIT 1").arg(m_table));
        qint64 broken = from;
        for (qint64 jump = 1; jump > 0 && broken <= HighestRowid - jump; jump *= 2) {
            const qint64 candidate = broken + jump;
            const Probe result = probe(query, candidate);
            if (result == Probe::None)
                return std::nullopt;
            if (result == Probe::Broken) {
                broken = candidate;
                continue;
            }
            qint64 works = candidate;
            while (works - broken > 1) {
                const qint64 middle = broken + (works - broken) / 2;
                if (probe(query, middle) == Probe::Broken)
                    broken = middle;
                else
                    works = middle;
            }
            return works;
        }
        return std::nullopt;
    }

    Outcome copyIndexedRows(const QVector<SchemaEntry>& indexes)
    {
        for (const SchemaEntry& index : indexes) {
            SqliteStatement keys(
                m_source, QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2").arg(m_table, quotedName(index.name)));
            int code = keys.prepared() ? keys.step() : SQLITE_ERROR;
            for (; code == SQLITE_ROW; code = keys.step())
                known.insert(sqlite3_column_int64(keys.get(), 0));
            const bool partial = index.sql.contains(QLatin1String("WHERE"), Qt::CaseInsensitive);
            completeIndex = completeIndex || (code == SQLITE_DONE && !partial);
        }
        SqliteStatement single(m_source, QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1").arg(m_table));
        for (const qint64 rowid : std::as_const(known)) {
            if (m_saved.contains(rowid))
                continue;
            sqlite3_bind_int64(single.get(), 1, rowid);
            if (single.step() == SQLITE_ROW) {
                if (Outcome copied = copyRow(single.get(), rowid); !copied)
                    return copied;
            }
            single.reset();
        }
        known.unite(m_saved);
        return Outcome::success();
    }

    Outcome copyWithoutRowids()
    {
        SqliteStatement scan(m_source, QStringLiteral("SELECT * FROM %1").arg(m_table));
        if (!scan.prepared()) {
            scanBroke = true;
            return Outcome::success();
        }
        if (Outcome prepared = prepareInsert(scan.get(), false); !prepared)
            return prepared;
        int code;
        while ((code = scan.step()) == SQLITE_ROW) {
            if (Outcome copied = copyRow(scan.get(), std::nullopt); !copied)
                return copied;
        }
        scanBroke = code != SQLITE_DONE;
        return Outcome::success();
    }

    SqliteFile& m_source;
    SqliteFile& m_target;
    QString m_table;
    std::unique_ptr<SqliteStatement> m_insert;
    QSet<qint64> m_saved;
};

QVector<SchemaEntry> indexesOf(const QVector<SchemaEntry>& schema, const QString& table)
{
    QVector<SchemaEntry> indexes;
    for (const SchemaEntry& entry : schema) {
        if (entry.type == QLatin1String("index") && entry.table.compare(table, Qt::CaseInsensitive) == 0)
            indexes << entry;
    }
    return indexes;
}

Outcome rebuild(SqliteFile& source, SqliteFile& target, const QString& recordTable, Report& report)
{
    QVector<SchemaEntry> schema;
    if (Outcome read = readSchema(source, &schema); !read)
        return read;

    bool recordTableMade = false;
    for (const SchemaEntry& entry : std::as_const(schema)) {
        // Tables that a virtual table made for itself already exist.
        if (entry.type != QLatin1String("table") || isInternal(entry.name) || target.hasTable(entry.name))
            continue;
        const bool isRecordTable = entry.name.compare(recordTable, Qt::CaseInsensitive) == 0;
        if (!target.exec(entry.sql)) {
            report.notRebuilt << entry.name;
            continue;
        }
        recordTableMade = recordTableMade || isRecordTable;
        if (entry.sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            continue;
        TableCopy copy(source, target, entry.name);
        if (Outcome copied = copy.run(indexesOf(schema, entry.name)); !copied)
            return copied;
        if (isRecordTable) {
            report.savedRows = copy.saved;
            report.unreadableRows = qMax<qint64>(0, copy.known.size() - copy.saved);
            report.unreadableExact = !copy.scanBroke || copy.completeIndex;
        }
    }
    if (!recordTableMade)
        return Outcome::failure(QStringLiteral("Its table %1 cannot be read.").arg(recordTable));

    if (source.hasTable(QStringLiteral("sqlite_sequence")) && target.hasTable(QStringLiteral("sqlite_sequence"))) {
        if (Outcome cleared = target.exec(QStringLiteral("DELETE FROM sqlite_sequence")); !cleared)
            return cleared;
        TableCopy counters(source, target, QStringLiteral("sqlite_sequence"));
        if (Outcome copied = counters.run({}); !copied)
            return copied;
    }

    for (const QString& kind : {QStringLiteral("index"), QStringLiteral("view"), QStringLiteral("trigger")}) {
        for (const SchemaEntry& entry : std::as_const(schema)) {
            if (entry.type == kind && !entry.sql.isEmpty() && !target.exec(entry.sql))
                report.notRebuilt << entry.name;
        }
    }
    return Outcome::success();
}

} // namespace

Report copyReadable(SqliteFile& source, const QString& targetPath, const QString& recordTable)
{
    Report report;
    SqliteFile target;
    report.copied = target.open(targetPath, SqliteFile::Mode::Create);
    SqliteTransaction transaction(target.handle());
    if (report.copied)
        report.copied = transaction.begin(false);
    if (report.copied)
        report.copied = rebuild(source, target, recordTable, report);
    if (report.copied)
        report.copied = transaction.commit();
    return report;
}

} // namespace DatabaseSalvage

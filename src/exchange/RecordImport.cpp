#include "query/RecordFields.h"
#include "exchange/RecordImport.h"

#include "store/OrvoDatabase.h"
#include "store/SqliteFile.h"
#include "exchange/TableSource.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <new>

namespace RecordImport {
namespace {

// One text per record that two records share only when every field is equal, nulls included.
template <typename ValueAt> QString duplicateKey(ValueAt valueAt)
{
    QString key;
    for (int i = 0; i < RecordFields::names().size(); ++i) {
        const SourceValue value = valueAt(i);
        if (value)
            key += QString::number(value->size()) + QLatin1Char(':') + *value;
        else
            key += QLatin1Char('-');
    }
    return key;
}

Outcome storedKeys(const QSqlDatabase& db, QSet<QString>& keys)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + RecordFields::names().join(QStringLiteral(", ")) +
                    QStringLiteral(" FROM Main")))
        return Outcome::failure(OrvoDatabase::errorText(query.lastError()));
    while (query.next()) {
        keys.insert(duplicateKey([&](int i) {
            const QVariant value = query.value(i);
            return value.isNull() ? SourceValue() : SourceValue(value.toString());
        }));
    }
    return Outcome::success();
}

// Each insert runs the index triggers under a statement journal of its own, which goes to a
// temporary file unless kept in memory, and the inserts into the indexes, in no order of
// theirs, spill a small cache to disk again and again: 100,000 rows into a million took two
// to three times as long. Both are set back afterwards.
class ImportPragmas
{
public:
    explicit ImportPragmas(const QSqlDatabase& db)
        : m_db(db), m_tempStore(value(QStringLiteral("temp_store"))), m_cacheSize(value(QStringLiteral("cache_size")))
    {
        set(QStringLiteral("temp_store"), QStringLiteral("MEMORY"));
        set(QStringLiteral("cache_size"), QStringLiteral("-65536"));
    }
    ~ImportPragmas()
    {
        set(QStringLiteral("temp_store"), m_tempStore);
        set(QStringLiteral("cache_size"), m_cacheSize);
    }

private:
    QString value(const QString& pragma) const
    {
        QSqlQuery query(m_db);
        return query.exec(QStringLiteral("PRAGMA ") + pragma) && query.next() ? query.value(0).toString() : QString();
    }
    void set(const QString& pragma, const QString& setting) const
    {
        if (!setting.isEmpty())
            OrvoDatabase::exec(m_db, QStringLiteral("PRAGMA %1 = %2").arg(pragma, setting));
    }

    QSqlDatabase m_db;
    QString m_tempStore;
    QString m_cacheSize;
};

ImportReport importRows(TableSource& source, const FieldMapping& mapping, const QSqlDatabase& db,
                        const ImportOptions& options)
{
    ImportReport report;
    auto failed = [&report](const QString& reason) {
        report.outcome = Outcome::failure(reason);
        report.added = 0;
        report.skipped = 0;
        return report;
    };

    if (!source.open())
        return failed(source.error());
    const FieldMapping::Resolved resolved = mapping.resolve(source.columns());
    if (!resolved.ok())
        return failed(resolved.error);
    report.unusedColumns = resolved.unusedColumns;
    QVector<int> used;
    for (int column : resolved.columnOfField) {
        if (column >= 0 && !used.contains(column)) {
            used << column;
            if (const QString problem = source.columnProblem(column); !problem.isEmpty())
                return failed(problem);
        }
    }
    source.useColumns(used);

    if (const Outcome kept = OrvoDatabase::keepRowids(db); !kept)
        return failed(QStringLiteral("The database cannot be changed: %1").arg(kept.error));
    const ImportPragmas pragmas(db);
    SqliteTransaction transaction(OrvoDatabase::handle(db));
    if (const Outcome begun = transaction.begin(); !begun)
        return failed(QStringLiteral("The database cannot be changed: %1").arg(begun.error));
    QSet<QString> keys;
    if (options.skipDuplicates) {
        if (const Outcome read = storedKeys(db, keys); !read)
            return failed(QStringLiteral("The stored records cannot be read: %1").arg(read.error));
    }
    QSqlQuery insert(db);
    if (!insert.prepare(OrvoDatabase::insertSql()))
        return failed(OrvoDatabase::errorText(insert.lastError()));

    const QVariant null{QMetaType(QMetaType::QString)};
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    qint64 rows = 0;
    SourceRow row;
    while (source.next(row)) {
        ++rows;
        auto valueOf = [&](int field) {
            const int column = resolved.columnOfField.at(field);
            return column >= 0 ? row.at(column) : SourceValue();
        };
        if (options.skipDuplicates) {
            const QString key = duplicateKey(valueOf);
            if (keys.contains(key)) {
                ++report.skipped;
                continue;
            }
            keys.insert(key);
        }
        for (int field = 0; field < resolved.columnOfField.size(); ++field) {
            const SourceValue value = valueOf(field);
            // The driver stores a null QString as NULL, so empty text must not be a null QString.
            insert.bindValue(field, !value ? null : value->isNull() ? QVariant(QStringLiteral("")) : QVariant(*value));
        }
        if (!insert.exec())
            return failed(QStringLiteral("%1: %2").arg(source.rowName(), OrvoDatabase::errorText(insert.lastError())));
        ++report.added;
        if (options.progress && sinceProgress.elapsed() >= 100) {
            options.progress(source.progress());
            sinceProgress.restart();
        }
    }
    if (!source.error().isEmpty())
        return failed(source.error());
    if (source.declaredRows() >= 0 && source.declaredRows() != rows) {
        return failed(QStringLiteral("The table should hold %1 rows, but %2 were read; the file may be damaged.")
                          .arg(source.declaredRows())
                          .arg(rows));
    }
    if (const Outcome committed = transaction.commit(); !committed)
        return failed(QStringLiteral("The records could not be stored: %1").arg(committed.error));
    if (options.progress)
        options.progress(1.0);
    return report;
}

} // namespace

ImportReport run(TableSource& source, const FieldMapping& mapping, const QSqlDatabase& db, const ImportOptions& options)
{
    // The rows and the keys of the records read so far can outgrow a memory limit. The
    // transaction is rolled back as the failed import unwinds, and the keys are freed before.
    try {
        return importRows(source, mapping, db, options);
    } catch (const std::bad_alloc&) {
        ImportReport report;
        report.outcome = Outcome::failure(QStringLiteral("There is not enough memory for this import."));
        return report;
    }
}

} // namespace RecordImport

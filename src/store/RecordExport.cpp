#include "store/RecordExport.h"

#include "store/CsvWriter.h"
#include "store/OrvoDatabase.h"
#include "store/QueryTexts.h"
#include "store/SqlTranslation.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

namespace RecordExport {

Outcome toCsv(const QSqlDatabase& db, QIODevice& device, const Options& options, qint64* written)
{
    *written = 0;
    const QStringList& fields = OrvoDatabase::fieldNames();
    const TranslatedQuery all = SqlTranslation::translate(QueryTexts::allRecordsQuery());
    if (!all.ok)
        return Outcome::failure(all.error);

    qint64 total = -1;
    QSqlQuery count(db);
    if (options.progress && count.exec(QStringLiteral("SELECT count(*) ") + all.fromAndWhere) && count.next())
        total = count.value(0).toLongLong();

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) + QLatin1Char(' ') +
                    all.fromAndWhere + QLatin1Char(' ') + all.orderBy))
        return Outcome::failure(query.lastError().text());

    CsvWriter writer(device, options.byteOrderMark);
    writer.writeRow(fields);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    SourceRow row(fields.size());
    while (writer.error().isEmpty() && query.next()) {
        for (int i = 0; i < fields.size(); ++i) {
            const QVariant value = query.value(i);
            row[i] = value.isNull() ? SourceValue() : SourceValue(value.toString());
        }
        if (!writer.writeRow(row))
            break;
        ++*written;
        if (options.progress && total > 0 && sinceProgress.elapsed() >= 100) {
            options.progress(double(*written) / double(total));
            sinceProgress.restart();
        }
    }
    if (!writer.error().isEmpty())
        return Outcome::failure(QStringLiteral("The records could not be written: %1").arg(writer.error()));
    if (query.lastError().isValid())
        return Outcome::failure(query.lastError().text());
    if (options.progress)
        options.progress(1.0);
    return Outcome::success();
}

} // namespace RecordExport

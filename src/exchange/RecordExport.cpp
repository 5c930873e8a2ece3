#include "exchange/RecordExport.h"

#include "exchange/CsvWriter.h"
#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/QueryPlanner.h"
#include "store/RecordKeys.h"
#include "store/RecordRowReader.h"

#include <QElapsedTimer>

namespace RecordExport {

// The search's keys in list order, found as the record set finds them, then their records a
// block at a time.
Outcome toCsv(const QSqlDatabase& db, QIODevice& device, const Options& options, qint64* written)
{
    *written = 0;
    sqlite3* handle = OrvoDatabase::handle(db);
    PlannerOptions planner;
    planner.index = FrequencyIndex::offer(db);
    const QueryPlan plan = QueryPlanner::plan(options.search, planner);
    if (!plan.ok())
        return Outcome::failure(plan.error);
    KeyRows found;
    RecordKeys::read(handle, plan, false, found);
    if (!found.outcome)
        return found.outcome;

    const QStringList& fields = RecordFields::names();
    CsvWriter writer(device, options.byteOrderMark);
    writer.writeRow(fields);
    RecordRowReader reader;
    QVector<QVector<QVariant>> records;
    SourceRow row(fields.size());
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    const qsizetype total = found.keys.size();
    for (qsizetype from = 0; from < total && writer.error().isEmpty(); from += RecordRowReader::ReadAhead) {
        const int count = int(qMin<qsizetype>(RecordRowReader::ReadAhead, total - from));
        if (const Outcome read = reader.read(handle, fields, found.keys.constData() + from, count, records); !read)
            return read;
        for (const QVector<QVariant>& values : records) {
            if (values.isEmpty())
                return Outcome::failure(QStringLiteral("A record was deleted while the records were read."));
            for (int i = 0; i < row.size(); ++i) {
                const QVariant& value = values.at(i);
                // CSV holds text: binary data would come out as replacement characters.
                if (value.typeId() == QMetaType::QByteArray)
                    return Outcome::failure(QStringLiteral("Record %1 (%2) holds binary data in %3, which CSV cannot hold.")
                                                .arg(*written + 1)
                                                .arg(values.at(0).toString(), fields.at(i)));
                row[i] = value.isNull() ? SourceValue() : SourceValue(value.toString());
            }
            if (!writer.writeRow(row))
                break;
            ++*written;
        }
        if (options.progress && sinceProgress.elapsed() >= 100) {
            options.progress(double(*written) / double(total));
            sinceProgress.restart();
        }
    }
    if (!writer.error().isEmpty())
        return Outcome::failure(QStringLiteral("The records could not be written: %1").arg(writer.error()));
    if (options.progress)
        options.progress(1.0);
    return Outcome::success();
}

} // namespace RecordExport

#include "exchange/RecordExport.h"

#include "exchange/CsvWriter.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/QueryTexts.h"
#include "store/SqlTranslation.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

namespace RecordExport {

namespace {

// The rows to write, one at a time: every record in one pass over the table, or a search's
// keys, found the way Find finds them, and then each of their records.
class RecordRows
{
public:
    explicit RecordRows(const QSqlDatabase& db) : m_db(db), m_rows(db), m_record(db) { m_rows.setForwardOnly(true); }

    Outcome start(const QString& querySql, qint64* total)
    {
        m_byKeys = !querySql.isEmpty();
        const TranslatedQuery query = m_byKeys ? SqlTranslation::translate(querySql, FrequencyIndex::support(m_db))
                                               : SqlTranslation::translate(QueryTexts::allRecordsQuery());
        if (!query.ok)
            return Outcome::failure(query.error);
        QSqlQuery count(m_db);
        if (total && count.exec(QStringLiteral("SELECT count(*) ") + query.fromAndWhere) && count.next())
            *total = count.value(0).toLongLong();

        const QString fields = QStringLiteral("SELECT ") + OrvoDatabase::fieldNames().join(QStringLiteral(", "));
        if (m_byKeys && !m_record.prepare(fields + QStringLiteral(" FROM Main WHERE rowid = ?")))
            return Outcome::failure(OrvoDatabase::errorText(m_record.lastError()));
        const QString sql = m_byKeys ? query.keysSql()
                                     : fields + QLatin1Char(' ') + query.fromAndWhere + QLatin1Char(' ') + query.orderBy;
        if (!m_rows.exec(sql))
            return Outcome::failure(OrvoDatabase::errorText(m_rows.lastError()));
        return Outcome::success();
    }

    // False at the end, and on an error (see error()).
    bool next(SourceRow& row)
    {
        if (!m_rows.next())
            return false;
        QSqlQuery* source = &m_rows;
        if (m_byKeys) {
            m_record.bindValue(0, m_rows.value(0));
            if (!m_record.exec() || !m_record.next()) {
                m_lost = !m_record.lastError().isValid();
                return false;
            }
            source = &m_record;
        }
        ++m_read;
        for (int i = 0; i < row.size(); ++i) {
            const QVariant value = source->value(i);
            // CSV holds text: binary data would come out as replacement characters.
            if (value.typeId() == QMetaType::QByteArray) {
                m_refused = QStringLiteral("Record %1 (%2) holds binary data in %3, which CSV cannot hold.")
                                .arg(m_read)
                                .arg(source->value(0).toString(), OrvoDatabase::fieldNames().at(i));
                return false;
            }
            row[i] = value.isNull() ? SourceValue() : SourceValue(value.toString());
        }
        return true;
    }

    QString error() const
    {
        if (!m_refused.isEmpty())
            return m_refused;
        if (m_rows.lastError().isValid())
            return OrvoDatabase::errorText(m_rows.lastError());
        if (m_record.lastError().isValid())
            return OrvoDatabase::errorText(m_record.lastError());
        return m_lost ? QStringLiteral("A record was deleted while the records were read.") : QString();
    }

private:
    QSqlDatabase m_db;
    QSqlQuery m_rows;
    QSqlQuery m_record;
    bool m_byKeys = false;
    bool m_lost = false;
    qint64 m_read = 0;
    QString m_refused;
};

} // namespace

Outcome toCsv(const QSqlDatabase& db, QIODevice& device, const Options& options, qint64* written)
{
    *written = 0;
    RecordRows rows(db);
    qint64 total = -1;
    if (const Outcome started = rows.start(options.querySql, options.progress ? &total : nullptr); !started)
        return started;

    const QStringList& fields = OrvoDatabase::fieldNames();
    CsvWriter writer(device, options.byteOrderMark);
    writer.writeRow(fields);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    SourceRow row(fields.size());
    while (writer.error().isEmpty() && rows.next(row)) {
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
    if (const QString error = rows.error(); !error.isEmpty())
        return Outcome::failure(error);
    if (options.progress)
        options.progress(1.0);
    return Outcome::success();
}

} // namespace RecordExport

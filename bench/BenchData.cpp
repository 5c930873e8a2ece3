#include "BenchData.h"

#include "FloorText.h"
#include "RecordGenerator.h"
#include "exchange/CsvWriter.h"
#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"

#include <QFile>
#include <QSaveFile>
#include <sqlite3.h>

namespace BenchData {
namespace {

struct PageRuns
{
    qint64 pages = 0;
    qint64 runs = 0;
};

PageRuns pageRuns(sqlite3* db, const QString& name)
{
    PageRuns found;
    Statement pages(db, QStringLiteral("SELECT pageno FROM dbstat WHERE name = '%1' ORDER BY pageno").arg(name));
    qint64 last = -2;
    while (sqlite3_step(pages.get()) == SQLITE_ROW) {
        const qint64 page = sqlite3_column_int64(pages.get(), 0);
        found.runs += page == last + 1 ? 0 : 1;
        ++found.pages;
        last = page;
    }
    return found;
}

} // namespace

Outcome copyDatabase(const QString& from, const QString& to)
{
    for (const char* suffix : {"", "-journal"}) {
        const QString target = to + QLatin1String(suffix);
        if (QFile::exists(target) && !QFile::remove(target))
            return Outcome::failure(QStringLiteral("Cannot remove %1").arg(target));
    }
    if (!QFile::copy(from, to))
        return Outcome::failure(QStringLiteral("Cannot copy %1 to %2").arg(from, to));
    return Outcome::success();
}

QString layout(const QString& databasePath)
{
    sqlite3* db = nullptr;
    QString text;
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const PageRuns table = pageRuns(db, QStringLiteral("Main"));
        const PageRuns index = pageRuns(db, QStringLiteral("MainDescriptionNoCase"));
        // A file whose indexes were filled row by row along with the table has about one run
        // per page or two; one whose indexes were built after the load, or compacted, a few.
        const bool together = table.runs * 20 < table.pages;
        const auto runs = [](const PageRuns& found) {
            return QStringLiteral("%1 pages in %2 run%3")
                .arg(found.pages)
                .arg(found.runs)
                .arg(found.runs == 1 ? "" : "s");
        };
        text = QStringLiteral("layout: table Main %1, description index %2: %3")
                   .arg(runs(table), runs(index),
                        together ? QStringLiteral("table pages together (indexes built after the load, or compacted)")
                                 : QStringLiteral("table and index pages interleaved (indexes filled row by row)"));
    }
    sqlite3_close(db);
    return text;
}

qint64 recordCount(const QString& databasePath)
{
    sqlite3* db = nullptr;
    qint64 count = -1;
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        Statement records(db, QStringLiteral("SELECT count(*) FROM Main"));
        if (sqlite3_step(records.get()) == SQLITE_ROW)
            count = sqlite3_column_int64(records.get(), 0);
    }
    sqlite3_close(db);
    return count;
}

Outcome copyWithoutFrequencyIndex(const QString& from, const QString& to)
{
    if (const Outcome copied = copyDatabase(from, to); !copied)
        return copied;
    sqlite3* db = nullptr;
    Outcome outcome;
    if (sqlite3_open_v2(QFile::encodeName(to).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        outcome = Outcome::failure(QString::fromUtf8(sqlite3_errmsg(db)));
    } else {
        QStringList drops;
        {
            Statement triggers(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name "
                                                  "LIKE '%1%'")
                                       .arg(FrequencyIndex::TableName));
            while (sqlite3_step(triggers.get()) == SQLITE_ROW)
                drops << QStringLiteral("DROP TRIGGER %1").arg(QString::fromUtf8(FloorText::text(triggers.get(), 0)));
        }
        drops << QStringLiteral("DROP TABLE %1").arg(FrequencyIndex::TableName);
        for (const QString& drop : drops) {
            if (outcome && sqlite3_exec(db, drop.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                outcome = Outcome::failure(QString::fromUtf8(sqlite3_errmsg(db)));
        }
    }
    sqlite3_close(db);
    return outcome;
}

Outcome writeCsv(const QString& path, int records)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::failure(file.errorString());
    CsvWriter csv(file);
    csv.writeRow(RecordFields::names());
    RecordGenerator::Source source(RecordGenerator::DefaultSeed + 1);
    for (int n = 0; n < records; ++n) {
        const RecordGenerator::Record record = source.next();
        SourceRow row{record.description};
        row << (record.comments.isNull() ? SourceValue() : SourceValue(record.comments.toString()));
        for (const QVariant& value : record.frequencies)
            row << (value.isNull() ? SourceValue() : SourceValue(value.toString()));
        if (!csv.writeRow(row))
            return Outcome::failure(csv.error());
    }
    return file.commit() ? Outcome::success() : Outcome::failure(file.errorString());
}

} // namespace BenchData

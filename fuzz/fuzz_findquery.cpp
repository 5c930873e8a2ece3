// A search text through Find's rules and the planner: the text is refused with a message, or
// it makes a search whose query text reads back as the same search; the search finds the same
// rows by every strategy as by the reference scan, and as its query text translated as written.
// A frequency band decides on a field with doubles where it can; it must agree with exact
// decimal comparison, for the fuzzed text read as a field as well as for near-bound spellings.
#include "query/DecimalNumber.h"
#include "query/FindSearch.h"
#include "query/FrequencyBand.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/QueryPlanner.h"
#include "store/RecordKeys.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

sqlite3* g_db = nullptr;
FrequencyIndexOffer g_index;

// The keys a plan lists, or nothing when the engine refuses it.
std::optional<QVector<qint64>> keys(const QueryPlan& plan)
{
    KeyRows rows;
    if (!plan.ok())
        return std::nullopt;
    RecordKeys::read(g_db, plan, false, rows);
    return rows.outcome ? std::optional(rows.keys) : std::nullopt;
}

bool exactlyWithin(const FrequencyBand& band, QStringView field)
{
    const std::optional<DecimalNumber> value = DecimalNumber::fromFieldText(field);
    return value && !value->isZero() && !value->isNegative() && band.low() <= *value && *value <= band.high();
}

void checkBand(const FrequencyBand& band, const QString& text)
{
    const QString bounds[] = {band.low().text(), band.high().text()};
    QStringList fields{text, text.trimmed(), bounds[0], bounds[1]};
    for (const QString& bound : bounds) {
        fields << bound + QStringLiteral("0000000000000001") << QStringLiteral(" +") + bound
               << QStringLiteral("0") + bound + QStringLiteral("e0") << bound + QStringLiteral("9");
        if (!bound.contains(QLatin1Char('.')))
            fields << bound + QStringLiteral(".0000000000000000001") << bound + QStringLiteral(".");
    }
    for (const QString& field : fields) {
        if (band.contains(field) != exactlyWithin(band, field))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    if (!OrvoDatabase::createEmpty(path) || !OrvoDatabase::open(path, QStringLiteral("fuzz")))
        std::abort();
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("fuzz"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO Main (Description, Comments, F1, F2, F40) VALUES (?, ?, ?, ?, ?)"));
    const char* rows[][5] = {{"Heart", "beat", "728", "7.83", "0"},       {"O'Brien", "it's", "1", "20", "728.5"},
                             {"[x] 100% _", "*star* ?", "0727", "1e3", "-0"}, {"a*b#c", nullptr, "72.8", nullptr, "728"},
                             {"\xc3\x89t\xc3\xa9", "\xd7\xa9", "9", "10", "1"},
                             {"Spelled", "near", " 728 ", "7.85", "1E+3"},
                             {"Edge", "abc", "7.75", "728.0", "\t729\n"}};
    for (const auto& row : rows) {
        for (int i = 0; i < 5; ++i)
            insert.addBindValue(row[i] ? QVariant(QString::fromUtf8(row[i])) : QVariant(QMetaType(QMetaType::QString)));
        if (!insert.exec())
            std::abort();
    }
    g_db = OrvoDatabase::handle(db);
    g_index = FrequencyIndex::offer(db);
    if (!g_index.byNumber)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const FindOptions optionSets[] = {{true, false, false}, {false, true, false}, {true, true, false},
                                      {false, false, true}};
    if (const std::optional<FrequencyBand> band = FrequencyBand::fromSearchText(text))
        checkBand(*band, text);
    for (const FindOptions& options : optionSets) {
        const FindPlan plan = FindSearch::plan(options, text);
        if (!plan.runs()) {
            if (plan.prompt.isEmpty() || plan.title.isEmpty())
                std::abort();
            continue;
        }
        const std::optional<RecordQuery> parsed = fromQueryText(plan.query);
        if (!parsed || toQueryText(*parsed) != plan.query)
            std::abort();
        const std::optional<QVector<qint64>> reference = keys(QueryPlanner::plan(plan.search, {true, g_index}));
        // A pattern that Like refuses is refused by every strategy.
        if (keys(QueryPlanner::plan(plan.search, {false, g_index})) != reference)
            std::abort();
        const std::optional<QVector<qint64>> translated = keys(QueryPlanner::planText(plan.query));
        if (translated && reference && translated != reference)
            std::abort();
    }
    return 0;
}

// A search text through Find's plan and the translation to SQLite: the text is refused with a
// message, or the query prepares; a query that runs finds the same rows with and without the
// shortcuts. Only a quote in a word search can break the query's literal. A frequency band
// decides on a field with doubles where it can; it must agree with exact decimal comparison,
// for the fuzzed text read as a field as well as for near-bound spellings.
#include "store/DecimalNumber.h"
#include "store/FindSearch.h"
#include "store/FrequencyBand.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/SqlTranslation.h"

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

struct Run
{
    bool prepared = false;
    bool stepped = false;
    std::vector<sqlite3_int64> keys;
};

Run run(const QString& sql)
{
    Run result;
    const QByteArray bytes = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    result.prepared = sqlite3_prepare_v2(g_db, bytes.constData(), int(bytes.size()), &statement, nullptr) == SQLITE_OK;
    if (!result.prepared)
        return result;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        result.keys.push_back(sqlite3_column_int64(statement, 0));
    result.stepped = step == SQLITE_DONE;
    sqlite3_finalize(statement);
    return result;
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
    if (!FrequencyIndex::support(db).frequencyNumbers)
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
        const TranslatedQuery plain = SqlTranslation::translate(plan.query);
        const TranslatedQuery fast = SqlTranslation::translate(plan.query, FastPathSupport{true, true, true});
        if (plain.ok != fast.ok)
            std::abort();
        if (!plain.ok) {
            if (plain.error.isEmpty())
                std::abort();
            continue;
        }
        const Run plainRun = run(plain.keysSql());
        const Run fastRun = run(fast.keysSql());
        const bool breaksLiteral = !options.frequencies && text.contains(QLatin1Char('\''));
        if (!plainRun.prepared && !breaksLiteral)
            std::abort();
        if (plainRun.prepared && plainRun.stepped && fastRun.prepared && fastRun.stepped
            && plainRun.keys != fastRun.keys)
            std::abort();
        // A text the plain query runs with, the shortcut runs with too.
        if (plainRun.stepped && !fastRun.stepped)
            std::abort();
    }
    return 0;
}

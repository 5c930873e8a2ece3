#include "store/QueryPlanner.h"

#include "query/DecimalNumber.h"
#include "query/JetLike.h"
#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"
#include "store/SqlTranslation.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace QueryPlanner {
namespace {

const QByteArray KeysHead = "SELECT Main.rowid, Main.Description FROM Main";
// Letter case ignored as in the description index, and the stored order between equal texts.
const QByteArray ListOrder = " ORDER BY Main.Description COLLATE NOCASE, Main.rowid";

QueryPlan planned(QueryPlan::Strategy strategy, const QByteArray& keysSql, const QVariantList& values = {})
{
    QueryPlan plan;
    plan.strategy = strategy;
    plan.fields = RecordFields::names();
    plan.keys = {keysSql, values};
    return plan;
}

// term(field) for every frequency field, joined by OR.
template <typename Term> QByteArray everyFrequency(Term term)
{
    QByteArray sql = "(";
    for (int n = 1; n <= RecordFields::Frequencies; ++n)
        sql += (n > 1 ? " OR " : "") + term("Main.F" + QByteArray::number(n));
    return sql + ')';
}

// The fields of a word search, as its query text names them: the comments first.
QList<QByteArray> wordFields(const RecordQuery& query)
{
    QList<QByteArray> fields;
    if (query.inComments)
        fields << "Main.Comments";
    if (query.inDescription || !query.inComments)
        fields << "Main.Description";
    return fields;
}

// A frequency text compares as the number's own text: "728.0", "728." and "0728" are "728".
std::optional<QString> numberText(const RecordQuery& query)
{
    const std::optional<std::string> ascii = DecimalNumber::asciiTrimmed(query.text);
    const std::optional<DecimalNumber> number = ascii ? DecimalNumber::fromPlainText(*ascii) : std::nullopt;
    return number ? std::optional<QString>(number->text()) : std::nullopt;
}

QueryPlan reference(const RecordQuery& query)
{
    switch (query.kind) {
    case RecordQuery::Kind::AllRecords: {
        QueryPlan plan = planned(QueryPlan::Strategy::Reference, KeysHead + ListOrder);
        plan.firstRowOnly = true;
        return plan;
    }
    case RecordQuery::Kind::Words: {
        QList<QByteArray> terms;
        for (const QByteArray& field : wordFields(query))
            terms << field + " LIKE ?1 OR " + field + " LIKE ?2 OR " + field + " LIKE ?3";
        const QString& text = query.text;
        return planned(QueryPlan::Strategy::Reference, KeysHead + " WHERE (" + terms.join(" OR ") + ')' + ListOrder,
                       {QLatin1Char('*') + text, QLatin1Char('*') + text + QLatin1Char('*'), text + QLatin1Char('*')});
    }
    case RecordQuery::Kind::FrequencyText: {
        const std::optional<QString> number = numberText(query);
        if (!number) {
            QueryPlan refused;
            refused.error = QStringLiteral("The frequency search needs a number.");
            return refused;
        }
        const auto like = [](const QByteArray& field) { return field + " LIKE ?1"; };
        return planned(QueryPlan::Strategy::Reference, KeysHead + " WHERE " + everyFrequency(like) + ListOrder,
                       {*number});
    }
    case RecordQuery::Kind::FrequencyBand: {
        const auto between = [](const QByteArray& field) {
            return QByteArray(FrequencyBand::SqlFunction) + '(' + field + ", ?1, ?2)";
        };
        return planned(QueryPlan::Strategy::Reference, KeysHead + " WHERE " + everyFrequency(between) + ListOrder,
                       {query.band->low().text(), query.band->high().text()});
    }
    case RecordQuery::Kind::Letter:
        return planned(QueryPlan::Strategy::Reference, KeysHead + " WHERE Main.Description LIKE ?1" + ListOrder,
                       {query.text + QLatin1Char('*')});
    }
    return {};
}

bool hasWildcard(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('['))
            return true;
    }
    return false;
}

// '*T' Or '*T*' Or 'T*' on a field is '*T*' alone: each of the other two implies it.
QueryPlan contains(const RecordQuery& query)
{
    const QString& text = query.text;
    const bool onlyStars = std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char('*'); });
    QList<QByteArray> tests;
    bool onlyDescription = true;
    for (const QByteArray& field : wordFields(query)) {
        onlyDescription = onlyDescription && field == "Main.Description";
        // A pattern of stars takes every value; Like takes no null.
        if (onlyStars)
            tests << field + " IS NOT NULL";
        else if (!hasWildcard(text))
            tests << QByteArray(JetLike::ContainsFunction) + '(' + field + ", ?1)";
        else
            tests << field + " LIKE ?2";
    }
    // The description index holds every description, so walking it in order reads nothing else.
    // Any other field has to be read from every row: reading the rows in the order they lie in
    // the file and sorting the matches is then several times faster than walking the index and
    // fetching each row from wherever it lies.
    const QByteArray from = onlyDescription ? " WHERE (" : " NOT INDEXED WHERE (";
    const QVariantList values{text, QLatin1Char('*') + text + QLatin1Char('*')};
    QueryPlan plan = planned(QueryPlan::Strategy::Contains, KeysHead + from + tests.join(" OR ") + ')' + ListOrder,
                             values);
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (onlyDescription && (onlyStars || (ascii && !hasWildcard(text))))
        plan.descriptionsContaining = text;
    else if (!onlyDescription)
        plan.listMembers = {"SELECT rowid FROM Main NOT INDEXED WHERE (" + tests.join(" OR ") + ')', values};
    return plan;
}

// Descriptions from low up to high, letter case ignored: a range of the description index,
// which folds ASCII letters only.
QByteArray descriptionRange(int low, int high)
{
    return QStringLiteral("Main.Description >= ?%1 COLLATE NOCASE AND Main.Description < ?%2 COLLATE NOCASE")
        .arg(low)
        .arg(high)
        .toUtf8();
}

// Descriptions that start with a plain ASCII text. Beyond ASCII, only the Kelvin sign and the
// long s fold to ASCII letters (k and s); up to the first k or s the range alone is exact.
std::optional<QueryPlan> startRange(const QString& start)
{
    if (start.isEmpty())
        return std::nullopt;
    for (const QChar c : start) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7e || hasWildcard(QString(c)))
            return std::nullopt;
    }
    const auto foldsBeyondAscii = [](QChar c) {
        const QChar lower = c.toLower();
        return lower == QLatin1Char('k') || lower == QLatin1Char('s');
    };
    const qsizetype plain = std::find_if(start.begin(), start.end(), foldsBeyondAscii) - start.begin();
    const QString low = start.left(plain ? plain : 1).toLower();
    QString high = low;
    high.back() = QChar(high.back().unicode() + 1);
    const QString pattern = start + QLatin1Char('*');
    if (plain == start.size()) {
        QueryPlan plan = planned(QueryPlan::Strategy::DescriptionRange,
                                 KeysHead + " WHERE " + descriptionRange(1, 2) + ListOrder, {low, high});
        plan.descriptionsFrom = std::pair(low.toLatin1(), high.toLatin1());
        return plan;
    }
    const QByteArray likeTest = " AND Main.Description LIKE ?3";
    if (plain > 0)
        return planned(QueryPlan::Strategy::DescriptionRange,
                       KeysHead + " WHERE " + descriptionRange(1, 2) + likeTest + ListOrder, {low, high, pattern});
    // Starting with k or s: the ASCII letter's range, then the one character beyond ASCII that
    // folds to it, which sorts after every ASCII text; the two ordered ranges are merged.
    const char32_t other = low.at(0) == QLatin1Char('k') ? 0x212a : 0x017f;
    const char32_t next = other + 1;
    return planned(QueryPlan::Strategy::DescriptionRange,
                   KeysHead + " WHERE " + descriptionRange(1, 2) + likeTest + " UNION ALL " + KeysHead +
                       " WHERE Main.Description >= ?4 AND Main.Description < ?5" + likeTest +
                       " ORDER BY 2 COLLATE NOCASE, 1",
                   {low, high, pattern, QString::fromUcs4(&other, 1), QString::fromUcs4(&next, 1)});
}

// The records with an index entry of the number's text. With no wildcard in it, Like is
// equality, and the index keeps every value's text but null and "0"; the fields' own terms
// still check every candidate.
std::optional<QueryPlan> frequencyIndex(const RecordQuery& query, const PlannerOptions& options)
{
    const std::optional<QString> number = numberText(query);
    if (!options.index.byText || !number || *number == QLatin1String("0"))
        return std::nullopt;
    const auto like = [](const QByteArray& field) { return field + " LIKE ?1"; };
    QueryPlan plan = planned(QueryPlan::Strategy::FrequencyIndex,
                             "SELECT Main.rowid, Main.Description FROM " + FrequencyIndex::TableName.toUtf8() +
                                 " AS FrequencyHit CROSS JOIN Main ON Main.rowid = FrequencyHit.RecordId WHERE "
                                 "FrequencyHit.Value = ?1 AND " +
                                 everyFrequency(like) + ListOrder,
                             {*number});
    // A plain number is digits and a point, which Like compares as they are: an entry of the
    // same text decides alone, and the records are taken in list order without reading a row.
    plan.members = {"SELECT RecordId FROM " + FrequencyIndex::TableName.toUtf8() + " WHERE Value = ?1", {*number}};
    plan.walk = {KeysHead + ListOrder, {}};
    return plan;
}

// The records with an index entry whose number lies in the band. The index keeps SQLite's
// reading of each text as a number, which may be a little off the correctly rounded one, so its
// range is taken a little wider; the band function then decides exactly, on the fields for the
// join, and on the entries' own texts for the members.
std::optional<QueryPlan> frequencyBand(const RecordQuery& query, const PlannerOptions& options)
{
    const FrequencyBand& band = *query.band;
    if (!options.index.byNumber || !band.lowDouble() || !band.highDouble() || *band.highDouble() < *band.lowDouble())
        return std::nullopt;
    constexpr double Slack = 1e-9;
    const double from = *band.lowDouble() - std::fabs(*band.lowDouble()) * Slack - 1e-300;
    const double to = *band.highDouble() + std::fabs(*band.highDouble()) * Slack + 1e-300;
    const QVariantList values{from, to, band.low().text(), band.high().text()};
    const QByteArray function = FrequencyBand::SqlFunction;
    const QByteArray index = FrequencyIndex::TableName.toUtf8();
    const auto between = [&](const QByteArray& field) { return function + '(' + field + ", ?3, ?4)"; };
    QueryPlan plan = planned(QueryPlan::Strategy::FrequencyBand,
                             "SELECT Main.rowid, Main.Description FROM (SELECT DISTINCT RecordId FROM " + index +
                                 " WHERE Number BETWEEN ?1 AND ?2) AS FrequencyHit CROSS JOIN Main ON Main.rowid = "
                                 "FrequencyHit.RecordId WHERE " +
                                 everyFrequency(between) + ListOrder,
                             values);
    plan.members = {"SELECT RecordId FROM " + index + " WHERE Number BETWEEN ?1 AND ?2 AND " + function +
                        "(Value, ?3, ?4)",
                    values};
    plan.walk = {KeysHead + ListOrder, {}};
    return plan;
}

} // namespace

QueryPlan plan(const RecordQuery& query, const PlannerOptions& options)
{
    if (options.reference)
        return reference(query);
    std::optional<QueryPlan> shortcut;
    switch (query.kind) {
    case RecordQuery::Kind::AllRecords:
        shortcut = planned(QueryPlan::Strategy::AllRecords, KeysHead + ListOrder);
        shortcut->firstRowOnly = true;
        break;
    case RecordQuery::Kind::Words:
        shortcut = contains(query);
        break;
    case RecordQuery::Kind::FrequencyText:
        shortcut = frequencyIndex(query, options);
        break;
    case RecordQuery::Kind::FrequencyBand:
        shortcut = frequencyBand(query, options);
        break;
    case RecordQuery::Kind::Letter:
        shortcut = startRange(query.text);
        break;
    }
    return shortcut ? *shortcut : reference(query);
}

QueryPlan planText(const QString& queryText)
{
    const TranslatedQuery translated = SqlTranslation::translate(queryText);
    QueryPlan plan;
    plan.strategy = QueryPlan::Strategy::Translated;
    if (!translated.ok) {
        plan.error = translated.error;
        return plan;
    }
    plan.fields = translated.fields;
    plan.keys = {translated.keysSql().toUtf8(), {}};
    return plan;
}

const char* name(QueryPlan::Strategy strategy)
{
    switch (strategy) {
    case QueryPlan::Strategy::Reference:
        return "reference";
    case QueryPlan::Strategy::AllRecords:
        return "all records";
    case QueryPlan::Strategy::Contains:
        return "contains";
    case QueryPlan::Strategy::DescriptionRange:
        return "description range";
    case QueryPlan::Strategy::FrequencyIndex:
        return "frequency index";
    case QueryPlan::Strategy::FrequencyBand:
        return "frequency band";
    case QueryPlan::Strategy::Translated:
        return "translated";
    }
    return "";
}

} // namespace QueryPlanner

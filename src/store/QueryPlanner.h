#pragma once

#include "query/RecordQuery.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>
#include <utility>

// What a file's frequency index offers a search (see FrequencyIndex::offer).
struct FrequencyIndexOffer
{
    bool byText = false;   // every value's text, kept by its triggers
    bool byNumber = false; // ... and the number each text stands for
};

struct PlannerOptions
{
    // The plain scan: every record tested through the SQL functions, term by term as the query
    // text reads. Every other way of finding the records is held to it.
    bool reference = false;
    FrequencyIndexOffer index;
};

// How the store finds a search's records, and the SQL for it with the search's values bound,
// never pasted into the text.
struct QueryPlan
{
    enum class Strategy
    {
        Reference,        // the query's own terms on every record
        AllRecords,       // every record in list order
        Contains,         // one contains test a field for a word search
        DescriptionRange, // a range of the description index for a start
        FrequencyIndex,   // the index entries with the number's text
        FrequencyBand,    // the index entries whose number lies in the band
        Translated        // a query text from elsewhere, translated as written
    };

    struct Statement
    {
        QByteArray sql;
        QVariantList values;
    };

    Strategy strategy = Strategy::Reference;
    QString error; // set when there is no plan
    QStringList fields;
    // The rowid and Description of every record found, in list order.
    Statement keys;
    // Only the first record is read at once; the rest when asked (a list of every record).
    bool firstRowOnly = false;
    // A frequency search: its records' rowids in any order, and every record's keys in list
    // order. The reader walks the list for them when they are many (see RecordKeys::read).
    Statement members;
    Statement walk;
    // Where the list of every record is at hand (see Data1): the descriptions to look through
    // for this text, letter case ignored (stars alone: every description that is not null),
    // or the rowids that a scan in file order finds, to be taken in the list's order.
    std::optional<QString> descriptionsContaining;
    // Or the records whose description lies from low up to high, ASCII letters folded as the
    // list's order folds them: a stretch of the list of every record.
    std::optional<std::pair<QByteArray, QByteArray>> descriptionsFrom;
    Statement listMembers;

    bool ok() const { return error.isEmpty(); }
    // Whether the list of every record, where it is at hand, answers the search faster.
    bool usesRecordList() const
    {
        return descriptionsContaining || descriptionsFrom || !listMembers.sql.isEmpty() || !members.sql.isEmpty();
    }
};

namespace QueryPlanner {

QueryPlan plan(const RecordQuery& query, const PlannerOptions& options);
// A query text that is no RecordQuery's: translated for SQLite as it is written.
QueryPlan planText(const QString& queryText);

const char* name(QueryPlan::Strategy strategy);

} // namespace QueryPlanner

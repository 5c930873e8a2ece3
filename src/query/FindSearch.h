#pragma once

#include "query/RecordQuery.h"

#include <QString>

struct FindOptions
{
    bool description = false;
    bool comments = false;
    bool frequencies = false;
};

// What Find does with the options and the search text: a search to run, or a refusal with a
// message.
struct FindPlan
{
    enum class Kind { Run, NoOption, ValueTooSmall, UnreadableFrequency };

    Kind kind = Kind::Run;
    RecordQuery search;
    QString query; // the search's query text, for QuerySql
    QString prompt;
    QString title;

    bool runs() const { return kind == Kind::Run; }
    // Only a missing option leaves SearchText as it was; every other outcome has read the text.
    bool takesSearchText() const { return kind != Kind::NoOption; }
};

namespace FindSearch {

FindPlan plan(const FindOptions& options, const QString& text);

// The number that a search text begins with: blanks skipped, then digits with at most one
// decimal point. A text that does not begin with a number gives 0.
double leadingNumber(const QString& text);

} // namespace FindSearch

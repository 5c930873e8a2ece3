#pragma once

#include "query/FrequencyBand.h"

#include <QString>
#include <optional>

// What a search asks for, as a value. The main window builds it (Find, a letter, start-up); the
// query text that QuerySql holds is made from it, and the store plans from it how to find the
// records. Nothing turns a text back into a search but fromQueryText, for a record source that
// came from somewhere else.
struct RecordQuery
{
    enum class Kind
    {
        AllRecords,
        Words,         // the text anywhere in the chosen fields, as a pattern
        FrequencyText, // a plain number, equal to the text of a frequency field
        FrequencyBand, // a frequency field's number within the band
        Letter         // descriptions that start with the text, as a pattern
    };

    Kind kind = Kind::AllRecords;
    bool inDescription = false;
    bool inComments = false;
    // Words: the search text; FrequencyText: the number as typed; Letter: the start.
    QString text;
    std::optional<FrequencyBand> band;

    static RecordQuery allRecords();
    static RecordQuery words(bool inDescription, bool inComments, const QString& text);
    static RecordQuery frequencyText(const QString& number);
    static RecordQuery frequencyBand(const FrequencyBand& band);
    static RecordQuery letter(const QString& start);
};

// The query text as QuerySql holds it (see QueryTexts).
QString toQueryText(const RecordQuery& query);

// The search that a query text stands for, when the text is exactly what toQueryText makes of
// one (a frequency text only when it is a plain number); nothing otherwise.
std::optional<RecordQuery> fromQueryText(const QString& text);

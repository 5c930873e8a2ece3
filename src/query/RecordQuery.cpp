#include "query/RecordQuery.h"

#include "query/DecimalNumber.h"
#include "query/QueryTexts.h"

#include <vector>

RecordQuery RecordQuery::allRecords()
{
    return {};
}

RecordQuery RecordQuery::words(bool inDescription, bool inComments, const QString& text)
{
    RecordQuery query;
    query.kind = Kind::Words;
    query.inDescription = inDescription;
    query.inComments = inComments;
    query.text = text;
    return query;
}

RecordQuery RecordQuery::frequencyText(const QString& number)
{
    RecordQuery query;
    query.kind = Kind::FrequencyText;
    query.text = number;
    return query;
}

RecordQuery RecordQuery::frequencyBand(const FrequencyBand& band)
{
    RecordQuery query;
    query.kind = Kind::FrequencyBand;
    query.band = band;
    return query;
}

RecordQuery RecordQuery::letter(const QString& start)
{
    RecordQuery query;
    query.kind = Kind::Letter;
    query.text = start;
    return query;
}

QString toQueryText(const RecordQuery& query)
{
    switch (query.kind) {
    case RecordQuery::Kind::AllRecords:
        return QueryTexts::allRecordsQuery();
    case RecordQuery::Kind::Words:
        return QueryTexts::wordSearchQuery(query.inDescription, query.inComments, query.text);
    case RecordQuery::Kind::FrequencyText:
        return QueryTexts::frequencySearchQuery(query.text);
    case RecordQuery::Kind::FrequencyBand:
        return QueryTexts::frequencyBandQuery(query.band->low().text(), query.band->high().text());
    case RecordQuery::Kind::Letter:
        return QueryTexts::letterQuery(query.text);
    }
    return {};
}

namespace {

// The content of the first quoted literal, its doubled quotes read as one.
std::optional<QString> firstLiteral(QStringView text)
{
    qsizetype at = text.indexOf(QLatin1Char('\''));
    if (at < 0)
        return std::nullopt;
    QString content;
    for (++at; at < text.size(); ++at) {
        if (text[at] == QLatin1Char('\'')) {
            if (at + 1 >= text.size() || text[at + 1] != QLatin1Char('\''))
                return content;
            ++at;
        }
        content += text[at];
    }
    return std::nullopt;
}

// The text between head and the first following separator.
std::optional<QString> between(QStringView text, QStringView head, QStringView separator)
{
    if (!text.startsWith(head))
        return std::nullopt;
    const qsizetype end = text.indexOf(separator, head.size());
    return end < 0 ? std::nullopt : std::optional<QString>(text.mid(head.size(), end - head.size()).toString());
}

} // namespace

// Each kind of search says where its parameter stands in the text; the parameter read from
// there makes a candidate, and only a candidate that writes the very same text is taken.
std::optional<RecordQuery> fromQueryText(const QString& text)
{
    const QString select = QueryTexts::selectList();
    if (!text.startsWith(select))
        return std::nullopt;
    const QStringView rest = QStringView(text).mid(select.size());
    std::vector<RecordQuery> candidates{RecordQuery::allRecords()};
    if (const std::optional<QString> literal = firstLiteral(rest)) {
        if (literal->startsWith(QLatin1Char('*'))) {
            const std::pair<bool, bool> fieldSets[] = {{true, false}, {false, true}, {true, true}};
            for (const auto& [description, comments] : fieldSets)
                candidates.push_back(RecordQuery::words(description, comments, literal->mid(1)));
        }
        if (literal->endsWith(QLatin1Char('*')))
            candidates.push_back(RecordQuery::letter(literal->chopped(1)));
    }
    const std::optional<QString> number =
        between(rest, u" From Main WHERE ((Main.F1 Like ", u" Or Main.F2 Like ");
    if (number && DecimalNumber::isPlainWithBlanks(*number))
        candidates.push_back(RecordQuery::frequencyText(*number));
    const std::optional<QString> bounds =
        between(rest, u" From Main WHERE ((Main.F1 Between ", u" Or Main.F2 Between ");
    const qsizetype andAt = bounds ? bounds->indexOf(QLatin1String(" And ")) : -1;
    if (andAt >= 0) {
        if (const std::optional<FrequencyBand> band = FrequencyBand::fromBounds(
                QStringView(*bounds).left(andAt), QStringView(*bounds).mid(andAt + 5)))
            candidates.push_back(RecordQuery::frequencyBand(*band));
    }
    for (const RecordQuery& candidate : candidates) {
        if (toQueryText(candidate) == text)
            return candidate;
    }
    return std::nullopt;
}

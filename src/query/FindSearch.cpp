#include "query/FindSearch.h"

#include "query/DecimalNumber.h"

namespace FindSearch {

double leadingNumber(const QString& text)
{
    std::string ascii;
    qsizetype at = 0;
    while (at < text.size() && (text.at(at) == QLatin1Char(' ') || text.at(at) == QLatin1Char('\t')))
        ++at;
    for (; at < text.size() && text.at(at).unicode() < 0x80; ++at)
        ascii.push_back(char(text.at(at).unicode()));
    std::size_t read = 0;
    const std::optional<DecimalNumber::Syntax> number = DecimalNumber::scanPlain(ascii, read);
    const std::optional<double> value =
        number ? DecimalNumber::fromPlainText(std::string_view(ascii).substr(0, read))->toDouble() : std::nullopt;
    return value.value_or(0.0);
}

namespace {

FindPlan refusal(FindPlan::Kind kind, const QString& prompt, const QString& title)
{
    FindPlan result;
    result.kind = kind;
    result.prompt = prompt;
    result.title = title;
    return result;
}

std::optional<RecordQuery> frequencySearch(const QString& text)
{
    if (DecimalNumber::isPlainWithBlanks(text))
        return RecordQuery::frequencyText(text);
    if (const std::optional<FrequencyBand> band = FrequencyBand::fromSearchText(text))
        return RecordQuery::frequencyBand(*band);
    return std::nullopt;
}

} // namespace

FindPlan plan(const FindOptions& options, const QString& text)
{
    if (!options.description && !options.comments && !options.frequencies)
        return refusal(FindPlan::Kind::NoOption, QStringLiteral("You need to check Description or Comments or Frequencies."),
                       QStringLiteral("Make a Choice !"));
    FindPlan result;
    if (!options.frequencies) {
        result.search = RecordQuery::words(options.description, options.comments, text);
    } else if (leadingNumber(text) < 1.0) {
        return refusal(FindPlan::Kind::ValueTooSmall,
                       QStringLiteral("You need to enter a value 1 or greater in the search box."),
                       QStringLiteral("Enter a Value !"));
    } else if (const std::optional<RecordQuery> search = frequencySearch(text)) {
        result.search = *search;
    } else {
        return refusal(FindPlan::Kind::UnreadableFrequency,
                       QStringLiteral("The frequency search needs a number such as 728, a tolerance such as 728~1 or "
                                      "728~0.5%, or a range such as 720-730."),
                       QStringLiteral("Enter a Value !"));
    }
    result.query = toQueryText(result.search);
    return result;
}

} // namespace FindSearch

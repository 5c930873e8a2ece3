#include "store/FindSearch.h"

#include "store/FrequencyBand.h"
#include "store/QueryTexts.h"

namespace FindSearch {
namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

double leadingNumber(const QString& text)
{
    int i = 0;
    while (i < text.size() && isBlank(text.at(i)))
        ++i;
    QString number;
    bool seenPoint = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isAsciiDigit(c)) {
            number += c;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
            number += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

bool isPlainNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    int digitsBefore = 0;
    int digitsAfter = 0;
    bool seenPoint = false;
    for (const QChar c : trimmed) {
        if (isAsciiDigit(c)) {
            ++(seenPoint ? digitsAfter : digitsBefore);
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
        } else {
            return false;
        }
    }
    // "728." is the number 728, as the leading number reads it.
    return digitsBefore > 0 || digitsAfter > 0;
}

FindPlan plan(const FindOptions& options, const QString& text)
{
    FindPlan result;
    if (!options.description && !options.comments && !options.frequencies) {
        result.kind = FindPlan::Kind::NoOption;
        result.prompt = QStringLiteral("You need to check Description or Comments or Frequencies.");
        result.title = QStringLiteral("Make a Choice !");
        return result;
    }
    if (options.frequencies) {
        if (leadingNumber(text) < 1.0) {
            result.kind = FindPlan::Kind::ValueTooSmall;
            result.prompt = QStringLiteral("You need to enter a value 1 or greater in the search box.");
            result.title = QStringLiteral("Enter a Value !");
            return result;
        }
        if (isPlainNumber(text)) {
            result.query = QueryTexts::frequencySearchQuery(text);
            return result;
        }
        if (const std::optional<FrequencyBand> band = FrequencyBand::fromSearchText(text)) {
            result.query = QueryTexts::frequencyBandQuery(band->low().text(), band->high().text());
            return result;
        }
        result.kind = FindPlan::Kind::UnreadableFrequency;
        result.prompt = QStringLiteral("The frequency search needs a number such as 728, a tolerance such as 728~1 or "
                                       "728~0.5%, or a range such as 720-730.");
        result.title = QStringLiteral("Enter a Value !");
        return result;
    }
    result.query = QueryTexts::wordSearchQuery(options.description, options.comments, text);
    return result;
}

} // namespace FindSearch

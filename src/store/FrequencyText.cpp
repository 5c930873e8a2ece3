#include "FrequencyText.h"

#include <QVariant>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {
constexpr int FieldCount = 40;
constexpr int SignificantDigits = 15;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Accepts [+-] digits [. digits] [(e|E) [+-] digits] with at least one mantissa digit. *magnitude receives
// the decimal exponent of the first significant digit, which tells an overflow from an underflow.
bool isDecimalNumber(const std::string& text, long long* magnitude)
{
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    long long integerDigits = 0;
    long long leadingFractionZeros = -1;
    bool seenNonZero = false;
    bool seenDigit = false;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        seenDigit = true;
        seenNonZero = seenNonZero || text[at] != '0';
        integerDigits += seenNonZero ? 1 : 0;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        for (long long zeros = 0; at < text.size() && isDigit(text[at]); ++at) {
            seenDigit = true;
            if (!seenNonZero && leadingFractionZeros < 0) {
                if (text[at] == '0') {
                    ++zeros;
                } else {
                    leadingFractionZeros = zeros;
                }
            }
        }
    }
    if (!seenDigit) {
        return false;
    }
    long long exponent = 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        bool negative = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            negative = text[at] == '-';
            ++at;
        }
        if (at == text.size()) {
            return false;
        }
        for (; at < text.size() && isDigit(text[at]); ++at) {
            exponent = std::min(exponent * 10 + (text[at] - '0'), 1000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    if (at != text.size()) {
        return false;
    }
    *magnitude = exponent + (seenNonZero ? integerDigits - 1 : -(leadingFractionZeros + 1));
    return true;
}

// The largest double written with 15 significant digits rounds up past it; that text still
// means the largest double, so a stored extreme value reads back as itself.
std::optional<double> largestWritten(const char* first, const char* last)
{
    constexpr long double LargestWritten = 1.79769313486232e308L;
    long double number = 0;
    const auto result = std::from_chars(first, last, number);
    if (result.ec != std::errc() || std::fabs(number) > LargestWritten) {
        return std::nullopt;
    }
    return std::copysign(std::numeric_limits<double>::max(), double(number));
}

std::optional<double> parsedNumber(QStringView text)
{
    // Frequency texts are short: the copy stays in the string's own buffer.
    const QStringView trimmed = text.trimmed();
    std::string digits;
    digits.reserve(std::size_t(trimmed.size()));
    for (QChar c : trimmed) {
        if (c.unicode() >= 0x80) {
            return std::nullopt;
        }
        digits.push_back(char(c.unicode()));
    }
    long long magnitude = 0;
    if (!isDecimalNumber(digits, &magnitude)) {
        return std::nullopt;
    }
    // from_chars takes no '+' and, unlike strtod, never looks at the locale.
    const std::size_t start = digits[0] == '+' ? 1 : 0;
    double number = 0;
    const auto result = std::from_chars(digits.data() + start, digits.data() + digits.size(), number);
    if (result.ec == std::errc::result_out_of_range) {
        if (magnitude >= 0) {
            return largestWritten(digits.data() + start, digits.data() + digits.size());
        }
        return digits[0] == '-' ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}
} // namespace

namespace FrequencyText {
std::optional<double> numberValue(const QVariant& value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
    }
    default:
        if (value.typeId() == QMetaType::QString) {
            return parsedNumber(*static_cast<const QString*>(value.constData()));
        }
        return parsedNumber(value.toString());
    }
}

QString written(double value)
{
    if (value == 0) {
        value = 0; // no "-0"
    }
    // A blank where a positive number's sign would stand, no 0 before the point, capital E.
    char buffer[64];
    char* text = buffer + 1;
    const auto result = std::to_chars(text, buffer + sizeof buffer, value, std::chars_format::general,
                                      SignificantDigits);
    char* end = result.ptr;
    std::replace(text, end, 'e', 'E');
    const bool negative = *text == '-';
    char* digits = negative ? text + 1 : text;
    if (digits[0] == '0' && digits + 1 < end && digits[1] == '.') {
        std::memmove(digits, digits + 1, std::size_t(end - digits - 1));
        --end;
    }
    if (!negative) {
        *--text = ' ';
    }
    return QString::fromLatin1(text, end - text);
}

QString listText(const std::function<QVariant(int fieldNumber)>& field)
{
    QString text;
    for (int fieldNumber = 1; fieldNumber <= FieldCount; ++fieldNumber) {
        const std::optional<double> number = numberValue(field(fieldNumber));
        if (number && *number > 0) {
            if (fieldNumber > 1) {
                text += QLatin1String(", ");
            }
            text += written(*number);
        }
    }
    return text;
}
} // namespace FrequencyText

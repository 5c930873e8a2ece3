#include "store/FrequencyText.h"

#include "query/DecimalNumber.h"
#include "query/RecordFields.h"

#include <QVariant>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {
constexpr int SignificantDigits = 15;

// The decimal exponent of the number's first significant digit, which tells an overflow from an
// underflow; 0 for zero.
long long leadingOrder(const DecimalNumber::Syntax& number)
{
    const std::size_t first = number.integerDigits.find_first_not_of('0');
    if (first != std::string_view::npos)
        return number.power + (long long)(number.integerDigits.size() - first) - 1;
    const std::size_t fraction = number.fractionDigits.find_first_not_of('0');
    return fraction == std::string_view::npos ? 0 : number.power - (long long)fraction - 1;
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

// The number a trimmed ASCII text stands for.
std::optional<double> asciiNumber(std::string_view digits)
{
    const std::optional<DecimalNumber::Syntax> number = DecimalNumber::scanNumberText(digits);
    if (!number)
        return std::nullopt;
    // from_chars takes no '+' and, unlike strtod, never looks at the locale.
    const std::size_t start = digits[0] == '+' ? 1 : 0;
    double value = 0;
    const auto result = std::from_chars(digits.data() + start, digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (leadingOrder(*number) >= 0)
            return largestWritten(digits.data() + start, digits.data() + digits.size());
        return number->negative ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parsedNumber(QStringView text)
{
    // Most fields hold "0", an empty slot: no copy, no scan.
    if (text.size() == 1 && text[0] == QLatin1Char('0'))
        return 0.0;
    const std::optional<std::string> digits = DecimalNumber::asciiTrimmed(text);
    return digits ? asciiNumber(*digits) : std::nullopt;
}

// "." as the point, capital E, no 0 before the point, a blank in front of a positive number.
void appendWritten(QByteArray& out, double value)
{
    if (value == 0) {
        value = 0; // no "-0"
    }
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
    out.append(text, end - text);
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

std::optional<double> textNumber(QByteArrayView utf8)
{
    if (utf8.size() == 1 && utf8[0] == '0')
        return 0.0;
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return parsedNumber(QString::fromUtf8(utf8));
    }
    // The blanks that QChar::isSpace counts among ASCII characters.
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    qsizetype first = 0;
    qsizetype last = utf8.size();
    while (first < last && blank(utf8[first]))
        ++first;
    while (last > first && blank(utf8[last - 1]))
        --last;
    return asciiNumber(std::string_view(utf8.data() + first, std::size_t(last - first)));
}

QString written(double value)
{
    QByteArray text;
    appendWritten(text, value);
    return QString::fromLatin1(text);
}

QString listText(const std::function<QVariant(int fieldNumber)>& field)
{
    FieldNumbers numbers;
    for (int fieldNumber = 1; fieldNumber <= RecordFields::Frequencies; ++fieldNumber)
        numbers[std::size_t(fieldNumber)] = numberValue(field(fieldNumber));
    QByteArray text;
    appendListText(text, numbers);
    return QString::fromLatin1(text);
}

void appendListText(QByteArray& out, const FieldNumbers& numbers)
{
    for (int fieldNumber = 1; fieldNumber <= RecordFields::Frequencies; ++fieldNumber) {
        const std::optional<double>& number = numbers[std::size_t(fieldNumber)];
        if (number && *number > 0) {
            if (fieldNumber > 1) {
                out += ", ";
            }
            appendWritten(out, *number);
        }
    }
}
} // namespace FrequencyText

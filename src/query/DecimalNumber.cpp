#include "query/DecimalNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

// Exponents beyond this are all the same for every comparison the program makes.
constexpr std::int64_t ExponentLimit = 1'000'000'000'000;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

using Limbs = std::vector<std::uint32_t>; // base 10^9, least significant first
constexpr std::uint32_t LimbBase = 1'000'000'000;

Limbs toLimbs(const std::string& digits)
{
    Limbs limbs;
    limbs.reserve(digits.size() / 9 + 1);
    for (std::size_t end = digits.size(); end > 0;) {
        const std::size_t start = end >= 9 ? end - 9 : 0;
        std::uint32_t limb = 0;
        for (std::size_t i = start; i < end; ++i)
            limb = limb * 10 + std::uint32_t(digits[i] - '0');
        limbs.push_back(limb);
        end = start;
    }
    return limbs;
}

std::string fromLimbs(const Limbs& limbs)
{
    std::string digits;
    for (std::size_t i = limbs.size(); i-- > 0;) {
        std::string part = std::to_string(limbs[i]);
        if (i + 1 != limbs.size())
            part.insert(0, 9 - part.size(), '0');
        digits += part;
    }
    return digits;
}

} // namespace

DecimalNumber DecimalNumber::fromParts(bool negative, std::string digits, std::int64_t exponent)
{
    DecimalNumber number;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return number;
    const std::size_t last = digits.find_last_not_of('0');
    number.m_negative = negative;
    number.m_exponent = exponent + std::int64_t(digits.size() - 1 - last);
    number.m_digits = digits.substr(first, last - first + 1);
    return number;
}

std::optional<DecimalNumber::Syntax> DecimalNumber::scanPlain(std::string_view text, std::size_t& at)
{
    Syntax syntax;
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at]))
        ++at;
    syntax.integerDigits = text.substr(start, at - start);
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = ++at;
        while (at < text.size() && isDigit(text[at]))
            ++at;
        syntax.fractionDigits = text.substr(fraction, at - fraction);
    }
    if (syntax.integerDigits.empty() && syntax.fractionDigits.empty()) {
        at = start;
        return std::nullopt;
    }
    return syntax;
}

std::optional<DecimalNumber::Syntax> DecimalNumber::scanNumberText(std::string_view text)
{
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        ++at;
    std::optional<Syntax> syntax = scanPlain(text, at);
    if (!syntax)
        return std::nullopt;
    syntax->negative = negative;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        bool negativePower = false;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            negativePower = text[at++] == '-';
        if (at == text.size())
            return std::nullopt;
        for (; at < text.size() && isDigit(text[at]); ++at)
            syntax->power = std::min(syntax->power * 10 + (text[at] - '0'), ExponentLimit);
        syntax->power = negativePower ? -syntax->power : syntax->power;
    }
    if (at != text.size())
        return std::nullopt;
    return syntax;
}

std::optional<std::string> DecimalNumber::asciiTrimmed(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    std::string ascii;
    ascii.reserve(std::size_t(trimmed.size()));
    for (const QChar c : trimmed) {
        if (c.unicode() >= 0x80)
            return std::nullopt;
        ascii.push_back(char(c.unicode()));
    }
    return ascii;
}

DecimalNumber DecimalNumber::fromSyntax(const Syntax& syntax)
{
    std::string digits(syntax.integerDigits);
    digits += syntax.fractionDigits;
    return fromParts(syntax.negative, std::move(digits), syntax.power - std::int64_t(syntax.fractionDigits.size()));
}

std::optional<DecimalNumber> DecimalNumber::fromPlainText(std::string_view text)
{
    std::size_t at = 0;
    const std::optional<Syntax> syntax = scanPlain(text, at);
    if (!syntax || at != text.size())
        return std::nullopt;
    return fromSyntax(*syntax);
}

bool DecimalNumber::isPlainWithBlanks(QStringView text)
{
    const std::optional<std::string> ascii = asciiTrimmed(text);
    return ascii && fromPlainText(*ascii);
}

std::optional<DecimalNumber> DecimalNumber::fromFieldText(QStringView text)
{
    const std::optional<std::string> ascii = asciiTrimmed(text);
    return ascii ? fromNumberText(*ascii) : std::nullopt;
}

std::optional<DecimalNumber> DecimalNumber::fromNumberText(std::string_view text)
{
    const std::optional<Syntax> syntax = scanNumberText(text);
    return syntax ? std::optional<DecimalNumber>(fromSyntax(*syntax)) : std::nullopt;
}

int DecimalNumber::compareMagnitude(const DecimalNumber& a, const DecimalNumber& b)
{
    const std::int64_t orderA = std::int64_t(a.m_digits.size()) + a.m_exponent;
    const std::int64_t orderB = std::int64_t(b.m_digits.size()) + b.m_exponent;
    if (orderA != orderB)
        return orderA < orderB ? -1 : 1;
    // Same leading place: digit by digit, and with no trailing zeros the longer one is larger.
    const int common = a.m_digits.compare(0, b.m_digits.size(), b.m_digits, 0, a.m_digits.size());
    if (common != 0)
        return common < 0 ? -1 : 1;
    if (a.m_digits.size() == b.m_digits.size())
        return 0;
    return a.m_digits.size() < b.m_digits.size() ? -1 : 1;
}

int DecimalNumber::compare(const DecimalNumber& a, const DecimalNumber& b)
{
    const int signA = a.isZero() ? 0 : a.m_negative ? -1 : 1;
    const int signB = b.isZero() ? 0 : b.m_negative ? -1 : 1;
    if (signA != signB)
        return signA < signB ? -1 : 1;
    if (signA == 0)
        return 0;
    const int magnitude = compareMagnitude(a, b);
    return signA > 0 ? magnitude : -magnitude;
}

DecimalNumber DecimalNumber::addMagnitudes(const DecimalNumber& a, const DecimalNumber& b, bool negative)
{
    const std::int64_t exponent = std::min(a.m_exponent, b.m_exponent);
    std::string x = a.m_digits + std::string(std::size_t(a.m_exponent - exponent), '0');
    std::string y = b.m_digits + std::string(std::size_t(b.m_exponent - exponent), '0');
    if (x.size() < y.size())
        std::swap(x, y);
    int carry = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::size_t ix = x.size() - 1 - i;
        const int sum = (x[ix] - '0') + (i < y.size() ? y[y.size() - 1 - i] - '0' : 0) + carry;
        x[ix] = char('0' + sum % 10);
        carry = sum / 10;
    }
    if (carry)
        x.insert(x.begin(), '1');
    return fromParts(negative, std::move(x), exponent);
}

DecimalNumber DecimalNumber::subtractMagnitudes(const DecimalNumber& larger, const DecimalNumber& smaller,
                                                bool negative)
{
    const std::int64_t exponent = std::min(larger.m_exponent, smaller.m_exponent);
    std::string x = larger.m_digits + std::string(std::size_t(larger.m_exponent - exponent), '0');
    const std::string y = smaller.m_digits + std::string(std::size_t(smaller.m_exponent - exponent), '0');
    int borrow = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::size_t ix = x.size() - 1 - i;
        int difference = (x[ix] - '0') - (i < y.size() ? y[y.size() - 1 - i] - '0' : 0) - borrow;
        borrow = difference < 0 ? 1 : 0;
        x[ix] = char('0' + difference + 10 * borrow);
    }
    return fromParts(negative, std::move(x), exponent);
}

DecimalNumber DecimalNumber::operator+(const DecimalNumber& other) const
{
    if (isZero())
        return other;
    if (other.isZero())
        return *this;
    if (m_negative == other.m_negative)
        return addMagnitudes(*this, other, m_negative);
    const int magnitude = compareMagnitude(*this, other);
    if (magnitude == 0)
        return {};
    return magnitude > 0 ? subtractMagnitudes(*this, other, m_negative)
                         : subtractMagnitudes(other, *this, other.m_negative);
}

DecimalNumber DecimalNumber::operator-(const DecimalNumber& other) const
{
    DecimalNumber negated = other;
    negated.m_negative = !other.isZero() && !other.m_negative;
    return *this + negated;
}

DecimalNumber DecimalNumber::operator*(const DecimalNumber& other) const
{
    if (isZero() || other.isZero())
        return {};
    const Limbs x = toLimbs(m_digits);
    const Limbs y = toLimbs(other.m_digits);
    std::vector<std::uint64_t> wide(x.size() + y.size() + 1, 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::uint64_t carry = 0;
        for (std::size_t j = 0; j < y.size(); ++j) {
            const std::uint64_t sum = wide[i + j] + std::uint64_t(x[i]) * y[j] + carry;
            wide[i + j] = sum % LimbBase;
            carry = sum / LimbBase;
        }
        for (std::size_t k = i + y.size(); carry; ++k) {
            const std::uint64_t sum = wide[k] + carry;
            wide[k] = sum % LimbBase;
            carry = sum / LimbBase;
        }
    }
    Limbs product(wide.begin(), wide.end());
    while (product.size() > 1 && product.back() == 0)
        product.pop_back();
    return fromParts(m_negative != other.m_negative, fromLimbs(product), m_exponent + other.m_exponent);
}

DecimalNumber DecimalNumber::shifted(std::int64_t places) const
{
    DecimalNumber number = *this;
    if (!isZero())
        number.m_exponent += places;
    return number;
}

QString DecimalNumber::text() const
{
    if (isZero())
        return QStringLiteral("0");
    std::string written = m_negative ? "-" : "";
    const std::int64_t integerDigits = std::int64_t(m_digits.size()) + m_exponent;
    if (m_exponent >= 0) {
        written += m_digits + std::string(std::size_t(m_exponent), '0');
    } else if (integerDigits > 0) {
        written += m_digits.substr(0, std::size_t(integerDigits)) + '.' + m_digits.substr(std::size_t(integerDigits));
    } else {
        written += "0." + std::string(std::size_t(-integerDigits), '0') + m_digits;
    }
    return QString::fromLatin1(written.data(), qsizetype(written.size()));
}

std::optional<double> DecimalNumber::toDouble() const
{
    if (isZero())
        return 0.0;
    const std::string scientific = m_digits + 'e' + std::to_string(m_exponent);
    double value = 0;
    const auto result = std::from_chars(scientific.data(), scientific.data() + scientific.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return m_negative ? -value : value;
}

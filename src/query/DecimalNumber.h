#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A decimal number held exactly: a tolerance band's bounds are sums and products of what the user
// typed, and a value written at a bound has to compare equal to it, which binary floating point
// cannot promise.
class DecimalNumber
{
public:
    // How a number is written, read once for every use in the program: digits with at most one
    // point and at least one digit (a plain number), and for a stored field's number a sign
    // before and an exponent after, [+-] plain [(e|E) [+-] digits].
    struct Syntax
    {
        bool negative = false;
        std::string_view integerDigits;
        std::string_view fractionDigits;
        std::int64_t power = 0; // the written exponent, held within a bound that no use reaches
    };
    // A plain number starting at text[at]; at moves past it.
    static std::optional<Syntax> scanPlain(std::string_view text, std::size_t& at);
    // A stored field's number, the whole text.
    static std::optional<Syntax> scanNumberText(std::string_view text);
    // The text without the blanks around it (any Unicode blank), when the rest is ASCII: the
    // only texts that can hold a number.
    static std::optional<std::string> asciiTrimmed(QStringView text);

    DecimalNumber() = default;

    // A plain number, nothing else ("728", "7.83", ".5", "5."): what a search text may hold.
    static std::optional<DecimalNumber> fromPlainText(std::string_view text);
    // A plain number with blanks around it: the only text that can stand unquoted in a query.
    static bool isPlainWithBlanks(QStringView text);
    // A stored field: blanks around, then a number, the same texts that the record view reads
    // as numbers.
    static std::optional<DecimalNumber> fromFieldText(QStringView text);
    // The same without the blanks.
    static std::optional<DecimalNumber> fromNumberText(std::string_view text);

    bool isZero() const { return m_digits.empty(); }
    bool isNegative() const { return m_negative; }

    DecimalNumber operator+(const DecimalNumber& other) const;
    DecimalNumber operator-(const DecimalNumber& other) const;
    DecimalNumber operator*(const DecimalNumber& other) const;
    // The number times ten to the power of places.
    DecimalNumber shifted(std::int64_t places) const;

    // -1, 0 or 1.
    static int compare(const DecimalNumber& a, const DecimalNumber& b);
    bool operator==(const DecimalNumber& other) const { return compare(*this, other) == 0; }
    bool operator<(const DecimalNumber& other) const { return compare(*this, other) < 0; }
    bool operator<=(const DecimalNumber& other) const { return compare(*this, other) <= 0; }

    // Positional, no exponent, no needless zeros: "-4", "724.36", "0.05", "0".
    QString text() const;
    // The nearest double; nothing when the number lies beyond a double's range.
    std::optional<double> toDouble() const;

private:
    static DecimalNumber fromSyntax(const Syntax& syntax);
    // The value is m_digits (an integer without leading or trailing zeros) times 10^m_exponent.
    static DecimalNumber fromParts(bool negative, std::string digits, std::int64_t exponent);
    static int compareMagnitude(const DecimalNumber& a, const DecimalNumber& b);
    static DecimalNumber addMagnitudes(const DecimalNumber& a, const DecimalNumber& b, bool negative);
    static DecimalNumber subtractMagnitudes(const DecimalNumber& larger, const DecimalNumber& smaller, bool negative);

    bool m_negative = false;
    std::string m_digits;
    std::int64_t m_exponent = 0;
};

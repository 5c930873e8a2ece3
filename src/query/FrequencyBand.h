#pragma once

#include "query/DecimalNumber.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <string_view>

struct sqlite3;

// The frequencies that a tolerance or range search takes: every number v above 0 with
// low <= v <= high, compared exactly in decimal.
class FrequencyBand
{
public:
    // The name under which a database connection knows contains() as an SQL function:
    // OrvoFrequencyBetween(field, 'low', 'high') is 1 when the field's number lies in the band.
    static constexpr const char* SqlFunction = "OrvoFrequencyBetween";

    FrequencyBand(const DecimalNumber& low, const DecimalNumber& high);

    // "A~B" (within B of A), "A~B%" (within B percent of A) or "A-B" (from A to B, either way
    // round), with blanks around the signs and at the ends; A and B are digits with at most one
    // point. Nothing when the text has none of these forms.
    static std::optional<FrequencyBand> fromSearchText(const QString& text);
    // The bounds as written in a query.
    static std::optional<FrequencyBand> fromBounds(QStringView low, QStringView high);

    const DecimalNumber& low() const { return m_low; }
    const DecimalNumber& high() const { return m_high; }
    // The bounds as doubles, when both lie in a double's range: every value that the band takes
    // reads (correctly rounded) as a double between them, so they bound an index range.
    std::optional<double> lowDouble() const { return m_lowDouble; }
    std::optional<double> highDouble() const { return m_highDouble; }

    // True when the field's text is a number (as the record view reads it) inside the band.
    bool contains(QStringView fieldText) const;
    // The same for a text without blanks around it.
    bool containsNumberText(std::string_view text) const;

    static bool registerOn(sqlite3* handle);

private:
    DecimalNumber m_low;
    DecimalNumber m_high;
    std::optional<double> m_lowDouble;
    std::optional<double> m_highDouble;
};

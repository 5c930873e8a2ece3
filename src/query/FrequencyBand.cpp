#include "query/FrequencyBand.h"

#include <QString>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Splits "A <sign> B [%]" with blanks allowed around every part; the sign is '~' or '-'.
struct SearchParts
{
    QString first;
    QChar sign;
    QString second;
    bool percent = false;
};

std::optional<SearchParts> searchParts(const QString& text)
{
    qsizetype at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && isBlank(text.at(at)))
            ++at;
    };
    const auto number = [&] {
        const qsizetype start = at;
        while (at < text.size() && (text.at(at).isDigit() || text.at(at) == QLatin1Char('.')) &&
               text.at(at).unicode() < 0x80)
            ++at;
        return text.mid(start, at - start);
    };
    SearchParts parts;
    skipBlanks();
    parts.first = number();
    skipBlanks();
    if (at == text.size() || (text.at(at) != QLatin1Char('~') && text.at(at) != QLatin1Char('-')))
        return std::nullopt;
    parts.sign = text.at(at++);
    skipBlanks();
    parts.second = number();
    skipBlanks();
    if (parts.sign == QLatin1Char('~') && at < text.size() && text.at(at) == QLatin1Char('%')) {
        parts.percent = true;
        ++at;
        skipBlanks();
    }
    if (at != text.size())
        return std::nullopt;
    return parts;
}

std::optional<DecimalNumber> plainNumber(const QString& text)
{
    return DecimalNumber::fromPlainText(text.toLatin1().toStdString());
}

// The bounds of a statement's calls, kept with the statement while its literals stay.
struct StatementBand
{
    FrequencyBand band;
    QByteArray highText;
};

void deleteStatementBand(void* band)
{
    delete static_cast<StatementBand*>(band);
}

QByteArray sqlBytes(sqlite3_value* value)
{
    return QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

bool bandContains(const FrequencyBand& band, sqlite3_value* value)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    std::size_t size = std::size_t(sqlite3_value_bytes(value));
    bool ascii = true;
    for (std::size_t i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (!ascii)
        return band.contains(QString::fromUtf8(bytes, qsizetype(size)));
    while (size > 0 && isAsciiSpace(bytes[size - 1]))
        --size;
    while (size > 0 && isAsciiSpace(*bytes)) {
        ++bytes;
        --size;
    }
    return band.containsNumberText(std::string_view(bytes, size));
}

void betweenFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto* kept = static_cast<StatementBand*>(sqlite3_get_auxdata(context, 1));
    const auto* highBytes = reinterpret_cast<const char*>(sqlite3_value_text(arguments[2]));
    const int highSize = sqlite3_value_bytes(arguments[2]);
    if (!kept || kept->highText.size() != highSize ||
        std::memcmp(kept->highText.constData(), highBytes, highSize) != 0) {
        const QString low = QString::fromUtf8(sqlBytes(arguments[1]));
        const QByteArray high = sqlBytes(arguments[2]);
        const std::optional<FrequencyBand> parsed = FrequencyBand::fromBounds(low, QString::fromUtf8(high));
        if (!parsed) {
            sqlite3_result_error(context, "The bounds of a frequency band must be decimal numbers.", -1);
            return;
        }
        sqlite3_set_auxdata(context, 1, new StatementBand{*parsed, high}, &deleteStatementBand);
        // SQLite frees it at once when the argument is not a constant.
        kept = static_cast<StatementBand*>(sqlite3_get_auxdata(context, 1));
        if (!kept) {
            sqlite3_result_int(context, bandContains(*parsed, arguments[0]) ? 1 : 0);
            return;
        }
    }
    sqlite3_result_int(context, bandContains(kept->band, arguments[0]) ? 1 : 0);
}

} // namespace

FrequencyBand::FrequencyBand(const DecimalNumber& low, const DecimalNumber& high)
    : m_low(low), m_high(high), m_lowDouble(low.toDouble()), m_highDouble(high.toDouble())
{
}

std::optional<FrequencyBand> FrequencyBand::fromSearchText(const QString& text)
{
    const std::optional<SearchParts> parts = searchParts(text);
    if (!parts)
        return std::nullopt;
    const std::optional<DecimalNumber> a = plainNumber(parts->first);
    const std::optional<DecimalNumber> b = plainNumber(parts->second);
    if (!a || !b)
        return std::nullopt;
    if (parts->sign == QLatin1Char('-'))
        return *b < *a ? FrequencyBand(*b, *a) : FrequencyBand(*a, *b);
    const DecimalNumber width = parts->percent ? (*a * *b).shifted(-2) : *b;
    return FrequencyBand(*a - width, *a + width);
}

std::optional<FrequencyBand> FrequencyBand::fromBounds(QStringView low, QStringView high)
{
    const std::optional<DecimalNumber> lowNumber = DecimalNumber::fromFieldText(low);
    const std::optional<DecimalNumber> highNumber = DecimalNumber::fromFieldText(high);
    if (!lowNumber || !highNumber)
        return std::nullopt;
    return FrequencyBand(*lowNumber, *highNumber);
}

bool FrequencyBand::contains(QStringView fieldText) const
{
    const std::optional<std::string> ascii = DecimalNumber::asciiTrimmed(fieldText);
    return ascii && containsNumberText(*ascii);
}

bool FrequencyBand::containsNumberText(std::string_view text) const
{
    if (!DecimalNumber::scanNumberText(text))
        return false;
    // The double decides unless it equals a bound's: correctly rounded reading keeps the order
    // (v < w gives double(v) <= double(w)), so only a tie needs the exact comparison.
    if (m_lowDouble && m_highDouble) {
        const char* first = !text.empty() && text.front() == '+' ? text.data() + 1 : text.data();
        double value = 0;
        const auto read = std::from_chars(first, text.data() + text.size(), value);
        if (read.ec == std::errc() && std::isfinite(value)) {
            if (value <= 0 || value < *m_lowDouble || value > *m_highDouble)
                return false;
            if (value > *m_lowDouble && value < *m_highDouble)
                return true;
        }
    }
    const std::optional<DecimalNumber> value = DecimalNumber::fromNumberText(text);
    return value && !value->isZero() && !value->isNegative() && m_low <= *value && *value <= m_high;
}

bool FrequencyBand::registerOn(sqlite3* handle)
{
    return handle && sqlite3_create_function_v2(handle, SqlFunction, 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                                &betweenFunction, nullptr, nullptr, nullptr) == SQLITE_OK;
}

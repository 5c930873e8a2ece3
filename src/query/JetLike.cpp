#include "query/JetLike.h"

#include <QChar>
#include <QString>
#include <cstddef>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {
constexpr std::size_t NoPosition = static_cast<std::size_t>(-1);

constexpr char32_t code(char c)
{
    return static_cast<unsigned char>(c);
}

constexpr char32_t code(char32_t c)
{
    return c;
}

struct AsciiCase
{
    static char32_t fold(char32_t c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

    static bool variantInRange(char32_t c, char32_t low, char32_t high)
    {
        const char32_t upper = (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
        const char32_t lower = fold(c);
        return (c >= low && c <= high) || (upper >= low && upper <= high) || (lower >= low && lower <= high);
    }
};

struct UnicodeCase
{
    static char32_t fold(char32_t c) { return QChar::toCaseFolded(c); }

    static bool variantInRange(char32_t c, char32_t low, char32_t high)
    {
        const char32_t variants[] = {c, QChar::toCaseFolded(c), QChar::toLower(c), QChar::toUpper(c),
                                     QChar::toTitleCase(c)};
        for (char32_t variant : variants) {
            if (variant >= low && variant <= high) {
                return true;
            }
        }
        return false;
    }
};

// Walks the set that opens at pattern[open] == '['. Returns the index after its ']', or NoPosition when the
// set is not closed or has a descending range. onMember(low, high) is called for every member.
template <typename Char, typename OnMember>
std::size_t scanSet(const Char* pattern, std::size_t length, std::size_t open, bool* negated, OnMember&& onMember)
{
    std::size_t at = open + 1;
    *negated = at < length && pattern[at] == '!';
    if (*negated) {
        ++at;
    }
    while (at < length && pattern[at] != ']') {
        const char32_t low = code(pattern[at]);
        // A '-' next to a bracket stands for itself.
        if (at + 2 < length && pattern[at + 1] == '-' && pattern[at + 2] != ']') {
            const char32_t high = code(pattern[at + 2]);
            if (low > high) {
                return NoPosition;
            }
            onMember(low, high);
            at += 3;
        } else {
            onMember(low, low);
            ++at;
        }
    }
    return at < length ? at + 1 : NoPosition;
}

template <typename Char> bool isValidPattern(const Char* pattern, std::size_t length)
{
    bool negated = false;
    for (std::size_t at = 0; at < length; ++at) {
        if (pattern[at] == '[') {
            const std::size_t end = scanSet(pattern, length, at, &negated, [](char32_t, char32_t) {});
            if (end == NoPosition) {
                return false;
            }
            at = end - 1;
        }
    }
    return true;
}

template <typename Char> bool isEmptySet(const Char* pattern, std::size_t length, std::size_t at)
{
    return pattern[at] == '[' && at + 1 < length && pattern[at + 1] == ']';
}

// Matches the one-character element at pattern[at] against c; *next receives the index after the element.
template <typename Case, typename Char>
bool matchesOne(const Char* pattern, std::size_t length, std::size_t at, char32_t c, std::size_t* next)
{
    switch (code(pattern[at])) {
    case '?':
        *next = at + 1;
        return true;
    case '#':
        *next = at + 1;
        return c >= '0' && c <= '9';
    case '[': {
        const char32_t folded = Case::fold(c);
        bool negated = false;
        bool found = false;
        // Folding the ends of a range would stretch it over the non-letters between the cases ("[1-B]" would
        // take "["), so a range takes c when c or one of its case variants lies in it.
        *next = scanSet(pattern, length, at, &negated, [&](char32_t low, char32_t high) {
            found = found || (low == high ? folded == Case::fold(low) : Case::variantInRange(c, low, high));
        });
        return found != negated;
    }
    default:
        *next = at + 1;
        return Case::fold(code(pattern[at])) == Case::fold(c);
    }
}

// Every element but '*' takes exactly one character ('[]' takes none and is skipped), so going back to the
// last star alone is enough: earlier stars never need to give back characters. O(pattern * value) at worst.
template <typename Case, typename Char>
JetLike::Outcome matchElements(const Char* pattern, std::size_t patternLength, const Char* value,
                               std::size_t valueLength)
{
    if (!isValidPattern(pattern, patternLength)) {
        return JetLike::Outcome::BadPattern;
    }
    std::size_t at = 0;
    std::size_t index = 0;
    std::size_t starAt = NoPosition;
    std::size_t starIndex = 0;
    while (index < valueLength) {
        if (at < patternLength) {
            if (pattern[at] == '*') {
                starAt = ++at;
                starIndex = index;
                continue;
            }
            if (isEmptySet(pattern, patternLength, at)) {
                at += 2;
                continue;
            }
            std::size_t next = at;
            if (matchesOne<Case>(pattern, patternLength, at, code(value[index]), &next)) {
                at = next;
                ++index;
                continue;
            }
        }
        if (starAt == NoPosition) {
            return JetLike::Outcome::NoMatch;
        }
        at = starAt;
        index = ++starIndex;
    }
    while (at < patternLength) {
        if (pattern[at] == '*') {
            ++at;
        } else if (isEmptySet(pattern, patternLength, at)) {
            at += 2;
        } else {
            return JetLike::Outcome::NoMatch;
        }
    }
    return JetLike::Outcome::Match;
}

// A surrogate pair is one character; a lone surrogate stays one of its own.
std::vector<char32_t> codePoints(QStringView text)
{
    std::vector<char32_t> codes;
    codes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codes.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            codes.push_back(c.unicode());
        }
    }
    return codes;
}

bool isAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string_view textOf(sqlite3_value* argument)
{
    const auto* characters = reinterpret_cast<const char*>(sqlite3_value_text(argument));
    const int bytes = sqlite3_value_bytes(argument);
    return characters ? std::string_view(characters, static_cast<std::size_t>(bytes)) : std::string_view();
}

void setResult(sqlite3_context* context, JetLike::Outcome outcome, std::string_view pattern)
{
    switch (outcome) {
    case JetLike::Outcome::Match:
        sqlite3_result_int(context, 1);
        break;
    case JetLike::Outcome::NoMatch:
        sqlite3_result_int(context, 0);
        break;
    case JetLike::Outcome::BadPattern: {
        std::string message = "Invalid pattern string in Like: ";
        message.append(pattern);
        sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
        break;
    }
    }
}

// like(pattern, value); numbers take part as their SQLite text, so 728 and '728' are alike.
void likeFunction(sqlite3_context* context, int argumentCount, sqlite3_value** arguments)
{
    if (argumentCount != 2 || sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
        sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view pattern = textOf(arguments[0]);
    setResult(context, JetLike::matchUtf8(pattern, textOf(arguments[1])), pattern);
}

// OrvoContains(value, text).
void containsFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view text = textOf(arguments[1]);
    const JetLike::Outcome outcome = JetLike::containsUtf8(textOf(arguments[0]), text);
    setResult(context, outcome, outcome == JetLike::Outcome::BadPattern ? "*" + std::string(text) + "*" : "");
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

bool hasWildcard(std::string_view text)
{
    for (const char c : text) {
        if (c == '*' || c == '?' || c == '#' || c == '[')
            return true;
    }
    return false;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool containsFolded(std::string_view value, std::string_view text)
{
    if (text.empty())
        return true;
    const char first = foldAscii(text[0]);
    for (std::size_t at = 0; at + text.size() <= value.size(); ++at) {
        if (foldAscii(value[at]) != first)
            continue;
        std::size_t i = 1;
        while (i < text.size() && foldAscii(value[at + i]) == foldAscii(text[i]))
            ++i;
        if (i == text.size())
            return true;
    }
    return false;
}

} // namespace

namespace JetLike {
Outcome match(QStringView pattern, QStringView value)
{
    const std::vector<char32_t> patternCodes = codePoints(pattern);
    const std::vector<char32_t> valueCodes = codePoints(value);
    return matchElements<UnicodeCase>(patternCodes.data(), patternCodes.size(), valueCodes.data(), valueCodes.size());
}

Outcome matchUtf8(std::string_view pattern, std::string_view value)
{
    if (isAscii(pattern) && isAscii(value)) {
        return matchElements<AsciiCase>(pattern.data(), pattern.size(), value.data(), value.size());
    }
    return match(QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())),
                 QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

Outcome containsUtf8(std::string_view value, std::string_view text)
{
    // Plain ASCII on both sides compares folded bytes; anything else goes through Like itself.
    if (isAscii(text) && !hasWildcard(text) && isAscii(value))
        return containsFolded(value, text) ? Outcome::Match : Outcome::NoMatch;
    std::string pattern = "*";
    pattern.append(text);
    pattern.push_back('*');
    return matchUtf8(pattern, value);
}

bool registerOn(sqlite3* handle, QString* error)
{
    if (!handle) {
        setError(error, QStringLiteral("No open SQLite connection to add the Like function to."));
        return false;
    }
    const QByteArray contains = QByteArray(ContainsFunction);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(handle, "like", 2, flags, nullptr, &likeFunction, nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(handle, contains.constData(), 2, flags, nullptr, &containsFunction, nullptr,
                                   nullptr, nullptr) != SQLITE_OK) {
        setError(error,
                 QStringLiteral("Could not add the Like function: %1").arg(QString::fromUtf8(sqlite3_errmsg(handle))));
        return false;
    }
    return true;
}
} // namespace JetLike

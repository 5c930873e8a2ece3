#pragma once

#include <QStringView>
#include <string_view>

class QString;
struct sqlite3;

// The query language's Like: '*' any run, '?' one character, '#' one digit 0-9, '[...]' one of a set
// ('[!...]' none of it, 'a-z' ranges, '[]' the empty run). Letter case is ignored; the whole value must match.
namespace JetLike {
enum class Outcome
{
    NoMatch,
    Match,
    BadPattern
};

Outcome match(QStringView pattern, QStringView value);

// Same result as match() on the decoded texts; pure ASCII input is matched on the bytes without allocating.
Outcome matchUtf8(std::string_view pattern, std::string_view value);

// value Like '*' + text + '*', without building the pattern when both are plain ASCII.
Outcome containsUtf8(std::string_view value, std::string_view text);

// The name of containsUtf8 as an SQL function: OrvoContains(value, text).
constexpr const char* ContainsFunction = "OrvoContains";

// Replaces the connection's like(pattern, value), so "value LIKE pattern" in SQL uses these rules,
// and adds OrvoContains.
bool registerOn(sqlite3* handle, QString* error);
} // namespace JetLike

// Like against a slow reference: the matcher goes back only to the last star, the reference
// tries every split of every star. Input: pattern, a NUL byte, value.
#include "query/JetLike.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Token
{
    enum Kind { Star, Any, Digit, EmptySet, Set, Literal };
    explicit Token(Kind k)
        : kind(k)
    {
    }
    Kind kind;
    char literal = 0;
    bool negated = false;
    std::vector<std::pair<char, char>> ranges;
};

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// False for an unclosed set or a descending range.
bool tokenize(const std::string& pattern, std::vector<Token>& tokens)
{
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        const char c = pattern[at];
        if (c == '*') {
            tokens.emplace_back(Token::Star);
        } else if (c == '?') {
            tokens.emplace_back(Token::Any);
        } else if (c == '#') {
            tokens.emplace_back(Token::Digit);
        } else if (c == '[') {
            Token set(Token::Set);
            std::size_t i = at + 1;
            if (i < pattern.size() && pattern[i] == ']') {
                tokens.emplace_back(Token::EmptySet);
                at = i;
                continue;
            }
            if (i < pattern.size() && pattern[i] == '!') {
                set.negated = true;
                ++i;
            }
            while (i < pattern.size() && pattern[i] != ']') {
                if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
                    if (static_cast<unsigned char>(pattern[i]) > static_cast<unsigned char>(pattern[i + 2]))
                        return false;
                    set.ranges.emplace_back(pattern[i], pattern[i + 2]);
                    i += 3;
                } else {
                    set.ranges.emplace_back(pattern[i], pattern[i]);
                    ++i;
                }
            }
            if (i >= pattern.size())
                return false;
            tokens.push_back(set);
            at = i;
        } else {
            Token literal(Token::Literal);
            literal.literal = c;
            tokens.push_back(literal);
        }
    }
    return true;
}

bool inRange(char c, char low, char high)
{
    const auto in = [&](char x) {
        return static_cast<unsigned char>(x) >= static_cast<unsigned char>(low)
            && static_cast<unsigned char>(x) <= static_cast<unsigned char>(high);
    };
    return in(c) || in(lower(c)) || in(upper(c));
}

bool takes(const Token& token, char c)
{
    switch (token.kind) {
    case Token::Any:
        return true;
    case Token::Digit:
        return c >= '0' && c <= '9';
    case Token::Literal:
        return lower(token.literal) == lower(c);
    case Token::Set: {
        bool found = false;
        for (const auto& [low, high] : token.ranges)
            found = found || (low == high ? lower(low) == lower(c) : inRange(c, low, high));
        return found != token.negated;
    }
    default:
        return false;
    }
}

struct Reference
{
    const std::vector<Token>& tokens;
    const std::string& value;
    std::map<std::pair<std::size_t, std::size_t>, bool> memo;

    bool match(std::size_t t, std::size_t v)
    {
        if (t == tokens.size())
            return v == value.size();
        const auto key = std::make_pair(t, v);
        if (const auto known = memo.find(key); known != memo.end())
            return known->second;
        bool result;
        const Token& token = tokens[t];
        if (token.kind == Token::Star)
            result = match(t + 1, v) || (v < value.size() && match(t, v + 1));
        else if (token.kind == Token::EmptySet)
            result = match(t + 1, v);
        else
            result = v < value.size() && takes(token, value[v]) && match(t + 1, v + 1);
        memo[key] = result;
        return result;
    }
};

bool isAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string::npos)
        return 0;
    const std::string pattern = input.substr(0, split);
    const std::string value = input.substr(split + 1);

    const JetLike::Outcome fast = JetLike::matchUtf8(pattern, value);
    const QString patternText = QString::fromUtf8(pattern.data(), qsizetype(pattern.size()));
    const QString valueText = QString::fromUtf8(value.data(), qsizetype(value.size()));
    // The byte path and the text path agree wherever the bytes are valid UTF-8.
    if (patternText.toUtf8() == QByteArray::fromStdString(pattern) && valueText.toUtf8() == QByteArray::fromStdString(value)
        && JetLike::match(patternText, valueText) != fast)
        std::abort();

    if (!isAscii(pattern) || !isAscii(value) || pattern.size() > 64 || value.size() > 64)
        return 0;
    std::vector<Token> tokens;
    if (!tokenize(pattern, tokens)) {
        if (fast != JetLike::Outcome::BadPattern)
            std::abort();
        return 0;
    }
    Reference reference{tokens, value, {}};
    const JetLike::Outcome expected = reference.match(0, 0) ? JetLike::Outcome::Match : JetLike::Outcome::NoMatch;
    if (fast != expected)
        std::abort();
    return 0;
}

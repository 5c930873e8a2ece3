#include "FloorText.h"

#include "query/RecordFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

Statement::Statement(sqlite3* db, const QString& sql)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_statement, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "floor: %s\n  in %s\n", sqlite3_errmsg(db), utf8.constData());
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

namespace FloorText {
namespace {

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A decimal number above 0, blanks around it allowed: what the list counts as a frequency.
bool positiveNumber(const char* first, const char* last, double* number)
{
    while (first < last && isBlank(*first))
        ++first;
    while (last > first && isBlank(last[-1]))
        --last;
    // from_chars takes no '+' and reads "inf" and "nan", which no frequency is.
    if (first < last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    const auto [end, error] = std::from_chars(first, last, *number);
    return error == std::errc() && end == last && std::isfinite(*number) && *number > 0;
}

// 15 significant digits, capital E, no 0 before the point, a blank in front.
void appendNumber(std::string& out, double number)
{
    char written[40];
    char* digits = written + 1;
    char* const end = std::to_chars(digits, written + sizeof written, number, std::chars_format::general, 15).ptr;
    std::replace(digits, end, 'e', 'E');
    if (digits[0] == '0' && digits[1] == '.')
        ++digits;
    *--digits = ' ';
    out.append(digits, end);
}

} // namespace

const char* text(sqlite3_stmt* row, int column)
{
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return value ? value : "";
}

void appendRecord(std::string& out, sqlite3_stmt* row, int firstColumn)
{
    out.append(text(row, firstColumn)).append("\r\n").append(text(row, firstColumn + 1)).append("\r\nFrequencies: ");
    const std::size_t listStart = out.size();
    for (int field = 0; field < RecordFields::Frequencies; ++field) {
        const int column = firstColumn + 2 + field;
        if (sqlite3_column_type(row, column) == SQLITE_NULL)
            continue;
        const char* value = text(row, column);
        const int bytes = sqlite3_column_bytes(row, column);
        double number = 0;
        if ((bytes == 1 && value[0] == '0') || !positiveNumber(value, value + bytes, &number))
            continue;
        if (field > 0)
            out += ", ";
        appendNumber(out, number);
    }
    if (out.size() == listStart)
        out += "No Frequencies Listed - See Comments";
    out += "\r\n \r\n";
}

} // namespace FloorText

#pragma once

#include <QString>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement that finalizes itself; a statement that does not prepare is reported
// on standard error and steps to nothing.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// The print export's text of a record, written with plain C++ the way Orvo writes it, for
// both floors.
namespace FloorText {

// Column of the row as UTF-8, "" for null.
const char* text(sqlite3_stmt* row, int column);
// Description, comments, "Frequencies: " with the list and a line holding one blank, each
// ended by CR LF: a record as the print writes it with all three boxes ticked. The row holds
// Description, Comments and F1 to F40 from firstColumn on.
void appendRecord(std::string& out, sqlite3_stmt* row, int firstColumn);

} // namespace FloorText

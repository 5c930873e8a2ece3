#include "store/RecordKeys.h"

#include "query/JetLike.h"
#include "store/OrvoDatabase.h"
#include "store/QueryPlanner.h"
#include "store/SqliteFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

void DescriptionTexts::reserve(qsizetype rows)
{
    ends.reserve(rows);
    text.reserve(rows * 40);
}

void DescriptionTexts::clear()
{
    // resize keeps the allocation, clear would free it.
    text.resize(0);
    ends.clear();
}

QString DescriptionTexts::at(qsizetype row) const
{
    const std::string_view bytes = utf8(row);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QStringList DescriptionTexts::toList() const
{
    QStringList all;
    all.reserve(size());
    for (qsizetype row = 0; row < size(); ++row)
        all.append(at(row));
    return all;
}

void DescriptionTexts::replace(qsizetype row, const QString& description)
{
    const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
    const QByteArray utf8 = description.toUtf8();
    const qsizetype change = utf8.size() - (ends.at(row) - start);
    text.replace(start, ends.at(row) - start, utf8);
    for (qsizetype i = row; i < ends.size(); ++i)
        ends[i] += change;
}

void DescriptionTexts::remove(qsizetype row)
{
    const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
    const qsizetype length = ends.at(row) - start;
    text.remove(start, length);
    ends.removeAt(row);
    for (qsizetype i = row; i < ends.size(); ++i)
        ends[i] -= length;
}

namespace RecordKeys {

namespace {

// No query of Main has more rows than its highest rowid, and reserving that much costs only
// address space (untouched pages of a large block are never mapped in), so the lists never
// grow and copy themselves while a million rows come in.
qsizetype rowsAtMost(sqlite3* handle)
{
    constexpr qsizetype Cap = 1 << 21;
    SqliteStatement highest(handle, "SELECT max(rowid) FROM Main");
    return highest.step() == SQLITE_ROW ? qsizetype(qBound<qint64>(0, highest.integer(0), Cap)) : 0;
}

// Collects rows on the stack and hands them to the record set's lists a block at a time: an
// append per row and list costs more than stepping the query itself.
class RowBatch
{
public:
    explicit RowBatch(KeyRows& rows) : m_rows(rows), m_textSize(rows.descriptions.text.size())
    {
        m_text.reserve(Rows * 64);
    }

    void add(qint64 key, const char* utf8, int bytes)
    {
        if (!utf8)
            m_rows.nullDescriptions.append(m_rows.keys.size() + m_count);
        m_keys[m_count] = key;
        if (utf8 && bytes > 0) {
            m_text.append(utf8, std::size_t(bytes));
            m_textSize += bytes;
        }
        m_ends[m_count] = m_textSize;
        if (++m_count == Rows)
            flush();
    }

    void flush()
    {
        if (m_count == 0)
            return;
        const qsizetype before = m_rows.keys.size();
        m_rows.keys.resize(before + m_count);
        std::memcpy(m_rows.keys.data() + before, m_keys.data(), sizeof(qint64) * std::size_t(m_count));
        m_rows.descriptions.ends.resize(before + m_count);
        std::memcpy(m_rows.descriptions.ends.data() + before, m_ends.data(), sizeof(qsizetype) * std::size_t(m_count));
        m_rows.descriptions.text.append(m_text.data(), qsizetype(m_text.size()));
        m_text.clear();
        m_count = 0;
    }

private:
    static constexpr int Rows = 1024;
    KeyRows& m_rows;
    std::array<qint64, Rows> m_keys;
    std::array<qsizetype, Rows> m_ends;
    std::string m_text;
    qsizetype m_textSize;
    int m_count = 0;
};

void clearRows(KeyRows& rows)
{
    rows.keys.clear();
    rows.descriptions.clear();
    rows.nullDescriptions.clear();
    rows.numberDescriptions = 0;
    rows.binaryDescriptions = 0;
    rows.outcome = Outcome::success();
}

// Steps a keys query into rows (emptied first), keeping the rows whose rowid keep accepts,
// and only the first of them when firstOnly; expected rows are reserved up front.
template <typename Keep>
void stepKeys(sqlite3* handle, const QueryPlan::Statement& keys, qsizetype expected, bool firstOnly, KeyRows& rows,
              Keep keep)
{
    clearRows(rows);
    SqliteStatement statement(handle, keys.sql);
    if (!statement.prepared()) {
        rows.outcome = Outcome::failure(QString::fromUtf8(sqlite3_errmsg(handle)));
        return;
    }
    statement.bind(keys.values);
    rows.keys.reserve(expected);
    rows.descriptions.reserve(expected);
    RowBatch batch(rows);
    int step;
    while ((step = statement.step()) == SQLITE_ROW) {
        const qint64 key = statement.integer(0);
        if (!keep(key))
            continue;
        const int type = sqlite3_column_type(statement.get(), 1);
        rows.numberDescriptions += type == SQLITE_INTEGER || type == SQLITE_FLOAT ? 1 : 0;
        rows.binaryDescriptions += type == SQLITE_BLOB ? 1 : 0;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 1));
        batch.add(key, text, sqlite3_column_bytes(statement.get(), 1));
        if (firstOnly) {
            step = SQLITE_DONE;
            break;
        }
    }
    batch.flush();
    // An error of the query itself (a pattern that Like refuses) keeps the engine's words.
    if (step != SQLITE_DONE)
        rows.outcome = step == SQLITE_ERROR ? Outcome::failure(QString::fromUtf8(sqlite3_errmsg(handle)))
                                            : OrvoDatabase::readFailure(handle);
}

void readAll(sqlite3* handle, const QueryPlan::Statement& keys, bool firstOnly, KeyRows& rows)
{
    stepKeys(handle, keys, firstOnly ? 0 : rowsAtMost(handle), firstOnly, rows, [](qint64) { return true; });
}

// The rowids that a members query names, as a bitmap over the rowids; false when the query
// fails, or names a rowid too high for a bitmap of reasonable size.
bool readMembers(sqlite3* handle, const QueryPlan::Statement& query, std::vector<bool>& members, qsizetype& count,
                 Outcome& outcome)
{
    constexpr qint64 HighestKey = qint64(1) << 28;
    SqliteStatement statement(handle, query.sql);
    if (!statement.prepared()) {
        outcome = Outcome::failure(QString::fromUtf8(sqlite3_errmsg(handle)));
        return false;
    }
    statement.bind(query.values);
    count = 0;
    int step;
    while ((step = statement.step()) == SQLITE_ROW) {
        const qint64 key = statement.integer(0);
        if (key < 0 || key >= HighestKey) {
            step = SQLITE_DONE;
            count = -1;
            break;
        }
        if (std::size_t(key) >= members.size())
            members.resize(std::max(std::size_t(key) + 1, members.size() * 2));
        if (!members[std::size_t(key)]) {
            members[std::size_t(key)] = true;
            ++count;
        }
    }
    if (step != SQLITE_DONE)
        outcome = OrvoDatabase::readFailure(handle);
    return outcome.ok && count >= 0;
}

// The rows of the list that keep accepts, by their place in it, in list order.
template <typename Keep>
void takeFromList(const KeyRows& list, KeyRows& rows, Keep keep, qsizetype from = 0, qsizetype to = -1)
{
    clearRows(rows);
    RowBatch batch(rows);
    qsizetype nulls =
        std::lower_bound(list.nullDescriptions.begin(), list.nullDescriptions.end(), from) - list.nullDescriptions.begin();
    for (qsizetype row = from; row < (to < 0 ? list.keys.size() : to); ++row) {
        const bool isNull = nulls < list.nullDescriptions.size() && list.nullDescriptions.at(nulls) == row;
        nulls += isNull ? 1 : 0;
        if (!keep(row))
            continue;
        const std::string_view description = list.descriptions.utf8(row);
        batch.add(list.keys.at(row), isNull ? nullptr : description.data(), int(description.size()));
    }
    batch.flush();
}

void foldOnce(RecordList& list)
{
    if (list.folded.size() == list.rows.descriptions.text.size() && !list.rows.descriptions.text.isEmpty())
        return;
    const QByteArray& text = list.rows.descriptions.text;
    list.folded = text;
    list.beyondAscii.clear();
    char* folded = list.folded.data();
    qsizetype row = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char c = folded[at];
        if (c >= 'A' && c <= 'Z') {
            folded[at] = char(c + ('a' - 'A'));
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            while (list.rows.descriptions.ends.at(row) <= at)
                ++row;
            if (list.beyondAscii.isEmpty() || list.beyondAscii.last() != row)
                list.beyondAscii.append(row);
        }
    }
}

// The rows of the list whose description contains text, letter case ignored as Like ignores
// it: one search through the folded descriptions for plain ASCII, Like itself for the rows
// beyond ASCII. Stars alone take every description that is not null.
void containing(RecordList& list, const QString& text, KeyRows& rows)
{
    const KeyRows& all = list.rows;
    const bool onlyStars = std::all_of(text.begin(), text.end(), [](QChar c) { return c == QLatin1Char('*'); });
    if (onlyStars && all.nullDescriptions.isEmpty()) {
        // The record set shares the list's buffers.
        rows.keys = all.keys;
        rows.descriptions = all.descriptions;
        rows.nullDescriptions.clear();
        rows.outcome = Outcome::success();
        return;
    }
    std::vector<bool> found(std::size_t(all.keys.size()), onlyStars);
    for (const qsizetype row : all.nullDescriptions)
        found[std::size_t(row)] = false;
    if (!onlyStars) {
        foldOnce(list);
        const QByteArray needle = text.toLower().toUtf8();
        // The C library's memmem searches a long text several times faster than string_view::find.
        const auto findFrom = [&list, &needle](std::size_t from) {
            const char* all = list.folded.constData();
            const std::size_t size = std::size_t(list.folded.size());
            const void* hit = from < size ? memmem(all + from, size - from, needle.constData(), std::size_t(needle.size()))
                                          : nullptr;
            return hit ? std::size_t(static_cast<const char*>(hit) - all) : std::string_view::npos;
        };
        const auto& ends = all.descriptions.ends;
        qsizetype row = 0;
        for (std::size_t at = findFrom(0); at != std::string_view::npos;) {
            // Matches come in file order, mostly a few rows apart: gallop from the last one.
            qsizetype step = 1;
            while (row + step < ends.size() && ends.at(row + step) <= qsizetype(at))
                step *= 2;
            row = std::upper_bound(ends.begin() + row + step / 2, ends.begin() + std::min(row + step, ends.size()),
                                   qsizetype(at)) -
                  ends.begin();
            const std::size_t next = std::size_t(ends.at(row));
            if (at + std::size_t(needle.size()) <= next) {
                found[std::size_t(row)] = true;
                at = findFrom(next);
            } else {
                at = findFrom(at + 1);
            }
        }
        // An ASCII byte is never part of another character in UTF-8, and only the long s and the
        // kelvin sign fold to an ASCII letter (s and k): other texts beyond ASCII are searched
        // exactly by their folded bytes.
        const bool foldsFromBeyondAscii = needle.contains('s') || needle.contains('k');
        const QByteArray utf8 = text.toUtf8();
        for (const qsizetype row : foldsFromBeyondAscii ? list.beyondAscii : QVector<qsizetype>()) {
            found[std::size_t(row)] =
                JetLike::containsUtf8(all.descriptions.utf8(row),
                                      std::string_view(utf8.constData(), std::size_t(utf8.size()))) ==
                JetLike::Outcome::Match;
        }
    }
    takeFromList(all, rows, [&found](qsizetype row) { return found[std::size_t(row)]; });
}

// Orders a description against a bound as the list's collation does: ASCII letters folded,
// byte by byte, then the shorter first. (The collation also stops at a zero byte in both, which
// a bound of plain text never holds.)
int compareNoCase(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) { return int(static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c)); };
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t at = 0;
    while (at < common && fold(a[at]) == fold(b[at]))
        ++at;
    const int difference = at < common ? fold(a[at]) - fold(b[at]) : 0;
    return difference != 0 ? difference : int(qsizetype(a.size()) - qsizetype(b.size()));
}

// The rows whose description lies from low up to high: in the list they stand together among
// the texts, which follow the nulls and the numbers and come before binary data.
void fromUpTo(const RecordList& list, const QByteArray& low, const QByteArray& high, KeyRows& rows)
{
    const KeyRows& all = list.rows;
    const qsizetype firstText = all.nullDescriptions.size() + all.numberDescriptions;
    const qsizetype endOfTexts = all.keys.size() - all.binaryDescriptions;
    const auto firstFrom = [&](const QByteArray& bound) {
        const std::string_view value(bound.constData(), std::size_t(bound.size()));
        qsizetype count = endOfTexts - firstText;
        qsizetype first = firstText;
        while (count > 0) {
            const qsizetype half = count / 2;
            if (compareNoCase(all.descriptions.utf8(first + half), value) < 0) {
                first += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        return first;
    };
    takeFromList(all, rows, [](qsizetype) { return true; }, firstFrom(low), firstFrom(high));
}

} // namespace

void read(sqlite3* handle, const QueryPlan& plan, bool firstOnly, KeyRows& rows, RecordList* list)
{
    if (list && plan.descriptionsFrom && !firstOnly) {
        fromUpTo(*list, plan.descriptionsFrom->first, plan.descriptionsFrom->second, rows);
        return;
    }
    if (list && plan.descriptionsContaining && !firstOnly) {
        containing(*list, *plan.descriptionsContaining, rows);
        return;
    }
    const QueryPlan::Statement& membersQuery =
        list && !plan.listMembers.sql.isEmpty() ? plan.listMembers : plan.members;
    if (membersQuery.sql.isEmpty() || firstOnly) {
        readAll(handle, plan.keys, firstOnly, rows);
        return;
    }
    // Stepping over a record of the ordered walk costs about a fortieth of reading and sorting
    // one member by its rowid: a few members are read directly.
    constexpr qsizetype WalkWhenOneIn = 40;
    clearRows(rows);
    const qsizetype records = rowsAtMost(handle);
    std::vector<bool> members(std::size_t(records) + 1);
    qsizetype count = 0;
    if (!readMembers(handle, membersQuery, members, count, rows.outcome)) {
        if (rows.outcome)
            readAll(handle, plan.keys, false, rows);
        return;
    }
    // The list in memory is walked at once, whatever the members' share.
    if (list) {
        takeFromList(list->rows, rows, [&](qsizetype row) {
            const qint64 key = list->rows.keys.at(row);
            return key >= 0 && std::size_t(key) < members.size() && members[std::size_t(key)];
        });
        return;
    }
    if (count * WalkWhenOneIn < records) {
        readAll(handle, plan.keys, false, rows);
        return;
    }
    stepKeys(handle, plan.walk, count, false, rows, [&members](qint64 key) {
        return key >= 0 && std::size_t(key) < members.size() && members[std::size_t(key)];
    });
}

} // namespace RecordKeys

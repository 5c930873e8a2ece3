#pragma once

#include "store/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <string_view>

struct QueryPlan;
struct sqlite3;

// Rows' descriptions kept as UTF-8 one after another: a few bytes of overhead per row instead
// of a string object each.
struct DescriptionTexts
{
    QByteArray text;
    QVector<qsizetype> ends;

    qsizetype size() const { return ends.size(); }
    // Row's description as stored (UTF-8), valid until the texts change.
    std::string_view utf8(qsizetype row) const
    {
        const qsizetype start = row > 0 ? ends.at(row - 1) : 0;
        return std::string_view(text.constData() + start, std::size_t(ends.at(row) - start));
    }
    void reserve(qsizetype rows);
    void clear();
    QString at(qsizetype row) const;
    QStringList toList() const;
    void replace(qsizetype row, const QString& description);
    void remove(qsizetype row);
};

// What a query's keys query gives: the rowids of its rows in order, with their descriptions.
struct KeyRows
{
    QVector<qint64> keys;
    DescriptionTexts descriptions;
    QVector<qsizetype> nullDescriptions; // the rows whose description is null, in order
    // Descriptions stored as numbers and as binary data: in list order they stand after the
    // nulls and after all texts.
    qsizetype numberDescriptions = 0;
    qsizetype binaryDescriptions = 0;
    Outcome outcome;
};

// Every record's key and description in list order, kept between searches (see Data1): a
// search of the descriptions is answered from it, and a search that finds its records by a
// scan in file order takes their list order from it.
struct RecordList
{
    KeyRows rows;
    // The descriptions with ASCII letters in lower case, in the same places, and the rows with
    // a byte beyond ASCII, whose letters fold otherwise; made when a search first needs them.
    QByteArray folded;
    QVector<qsizetype> beyondAscii;
};

namespace RecordKeys {

// Steps a plan's keys into rows (emptied first; their buffers are reused): all rows, or only
// the first when firstOnly, by the cheapest of the ways the plan offers, the list of every
// record among them when one is given.
void read(sqlite3* handle, const QueryPlan& plan, bool firstOnly, KeyRows& rows, RecordList* list = nullptr);

} // namespace RecordKeys

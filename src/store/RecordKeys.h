#pragma once

#include "store/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct QueryPlan;
struct sqlite3;

// Rows' descriptions kept as UTF-8 one after another: a few bytes of overhead per row instead
// of a string object each.
struct DescriptionTexts
{
    QByteArray text;
    QVector<qsizetype> ends;

    qsizetype size() const { return ends.size(); }
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
    Outcome outcome;
};

namespace RecordKeys {

// Steps a plan's keys into rows (emptied first; their buffers are reused): all rows, or only
// the first when firstOnly, by the cheapest of the ways the plan offers.
void read(sqlite3* handle, const QueryPlan& plan, bool firstOnly, KeyRows& rows);

} // namespace RecordKeys

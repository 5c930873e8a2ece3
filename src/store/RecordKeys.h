#pragma once

#include "store/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct TranslatedQuery;
struct sqlite3;
class QSqlDatabase;

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

// The query with the shortcuts that the open database allows (see SqlTranslation). Another
// program may have dropped the frequency index's triggers since the file was opened, so a
// search that would read the index asks the file first.
TranslatedQuery withShortcuts(TranslatedQuery plain, const QSqlDatabase& db);

// Steps the keys query into rows (emptied first; their buffers are reused): all rows, or only
// the first when firstOnly.
void read(sqlite3* handle, const QByteArray& sql, bool firstOnly, KeyRows& rows);
// The same for a translated query's keys, by the cheapest of the ways its shortcut offers.
void read(sqlite3* handle, const TranslatedQuery& query, bool firstOnly, KeyRows& rows);

} // namespace RecordKeys

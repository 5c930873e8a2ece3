#pragma once

#include <QString>
#include <QStringList>

// The program keeps its queries in the query language of the original record store; SQLite
// runs them after this translation. Like keeps its text: the store overrides SQLite's like()
// with the original meaning (see JetLike).
struct TranslatedQuery
{
    bool ok = false;
    QString error;
    QStringList fields;      // the select list's field names, without table prefix
    QString fromAndWhere;    // "FROM Main WHERE ..." as SQLite reads it
    QString orderBy;         // "ORDER BY ..." with the case-blind order and stored order for ties
    QString keysSql() const; // rowid and Description of every row, in the query's order
};

namespace SqlTranslation {

TranslatedQuery translate(const QString& querySql);

} // namespace SqlTranslation

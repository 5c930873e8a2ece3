#pragma once

#include <QString>
#include <QStringList>

// A query text that is not one of the searches the program builds (a record source from
// elsewhere) runs after this general translation into SQLite. Like keeps its text: the store
// overrides SQLite's like() with the original meaning (see JetLike); a number after Like stands
// for its own text, and Between on a frequency field compares the number that the field's text
// stands for, exactly in decimal (see FrequencyBand).
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

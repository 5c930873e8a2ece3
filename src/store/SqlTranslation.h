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

    // Set when the keys come from a cheaper query with the same rows in the same order:
    // which shortcut it took, and the query itself (keysSql() returns it).
    QString fastPath;
    QString fastKeysSql;

    // Set besides when the shortcut can name its rows apart from their order: the rowids of
    // the rows, in any order and perhaps repeated. Then every record's keys in the query's
    // order (walkKeysSql), kept when their rowid is one of these, are the same rows as
    // fastKeysSql gives, cheaper when the rows are many.
    QString memberKeysSql;
    QString walkKeysSql;
};

// What an open database offers the shortcuts (see OrvoDatabase).
struct FastPathSupport
{
    bool containsFunction = false; // OrvoContains(value, text) is registered
    bool frequencyIndex = false;   // MainFrequencies is complete and kept by its triggers
    bool frequencyNumbers = false; // ... and holds the number of each entry, with its index
};

namespace SqlTranslation {

// TranslatedQuery::fastPath of a search that reads the frequency index by text, and by number.
constexpr const char* FrequencyIndexShortcut = "frequency index";
constexpr const char* FrequencyBandShortcut = "frequency band";

// The plain translation: the query's own conditions, evaluated row by row. Between on a
// frequency field compares the number that the field's text stands for, exactly in decimal
// (see FrequencyBand).
TranslatedQuery translate(const QString& querySql);

// As above, and where the query has one of the shapes the program builds, fastKeysSql finds
// the same rows in the same order by cheaper means:
// - the three Like terms of a word search (ends with, contains, starts with the same text)
//   are one contains test, since each of the other two implies it;
// - a starts-with Like on Description is a range of the description index;
// - Like with a number on frequency fields reads the frequency index;
// - Between on every frequency field with the same bounds is one range of the index's numbers.
TranslatedQuery translate(const QString& querySql, const FastPathSupport& support);
// The same for a query translated already.
TranslatedQuery withShortcut(TranslatedQuery plain, const FastPathSupport& support);

// Off makes the two-argument translate() the plain one; tests compare both ways.
void setFastPathsEnabled(bool enabled);
bool fastPathsEnabled();

} // namespace SqlTranslation

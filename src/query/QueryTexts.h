#pragma once

#include <QString>

// The query texts exactly as the program keeps them in QuerySql. The store translates them
// for SQLite when it runs them (see SqlTranslation).
namespace QueryTexts {

QString selectList();
QString allRecordsQuery();

enum class WordField { Description, Comments };

// The three Like terms (ends with, contains, starts with) for one field, joined by " Or ".
// A single quote in the text is doubled, the query language's own way of writing it.
QString wordSearchQuery(bool description, bool comments, const QString& text);
// The text goes into the query unchanged, once per frequency field.
QString frequencySearchQuery(const QString& text);
// Every frequency field compared as a number with a band's bounds, as in
// "Main.F1 Between 727 And 729 Or Main.F2 Between 727 And 729 ...".
QString frequencyBandQuery(const QString& low, const QString& high);
QString letterQuery(const QString& letter);

} // namespace QueryTexts

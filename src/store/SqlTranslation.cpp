#include "store/SqlTranslation.h"

#include <QRegularExpression>

namespace SqlTranslation {
namespace {

// Index of the first case-blind occurrence of word outside quoted literals, or -1.
int findOutsideQuotes(const QString& text, const QString& word, int from = 0)
{
    bool inQuote = false;
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            continue;
        }
        if (!inQuote && text.mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int findLastOutsideQuotes(const QString& text, const QString& word)
{
    int last = -1;
    for (int at = findOutsideQuotes(text, word); at >= 0; at = findOutsideQuotes(text, word, at + 1))
        last = at;
    return last;
}

QString withoutTablePrefix(QString name)
{
    name = name.trimmed();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? name.mid(dot + 1) : name;
}

} // namespace

TranslatedQuery translate(const QString& querySql)
{
    TranslatedQuery result;
    QString text = querySql.trimmed();
    while (text.endsWith(QLatin1Char(';')))
        text.chop(1);

    static const QRegularExpression selectHead(QStringLiteral("^SELECT\\s+(DISTINCTROW\\s+)?"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch head = selectHead.match(text);
    if (!head.hasMatch()) {
        result.error = QStringLiteral("The query does not begin with SELECT.");
        return result;
    }
    const int from = findOutsideQuotes(text, QStringLiteral(" From "), head.capturedEnd());
    if (from < 0) {
        result.error = QStringLiteral("The query has no FROM clause.");
        return result;
    }
    const QStringList columns = text.mid(head.capturedEnd(), from - head.capturedEnd()).split(QLatin1Char(','));
    for (const QString& column : columns) {
        const QString name = withoutTablePrefix(column);
        if (name.isEmpty()) {
            result.error = QStringLiteral("The query's select list has an empty field name.");
            return result;
        }
        result.fields << name;
    }

    QString rest = text.mid(from + 1);
    const int order = findLastOutsideQuotes(rest, QStringLiteral("ORDER BY "));
    QStringList orderTerms;
    if (order >= 0) {
        for (const QString& term : rest.mid(order + 9).split(QLatin1Char(',')))
            orderTerms << term.trimmed() + QStringLiteral(" COLLATE NOCASE");
        rest = rest.left(order).trimmed();
    }
    orderTerms << QStringLiteral("Main.rowid");
    result.fromAndWhere = rest;
    result.orderBy = QStringLiteral("ORDER BY ") + orderTerms.join(QStringLiteral(", "));
    result.ok = true;
    return result;
}

} // namespace SqlTranslation

QString TranslatedQuery::keysSql() const
{
    return QStringLiteral("SELECT Main.rowid, Main.Description ") + fromAndWhere + QLatin1Char(' ') + orderBy;
}

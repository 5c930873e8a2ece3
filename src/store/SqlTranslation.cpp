#include "store/SqlTranslation.h"

#include "query/DecimalNumber.h"
#include "query/FrequencyBand.h"
#include "query/RecordFields.h"

#include <QRegularExpression>
#include <QVector>
#include <cmath>
#include <optional>

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

// SQLite reads a statement only up to its first NUL, so a NUL typed into a search would cut
// the query short; inside a literal it is spelled as char(0) instead.
QString withSpelledNuls(const QString& text)
{
    if (!text.contains(QChar(0)))
        return text;
    QString spelled;
    bool inQuote = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\''))
            inQuote = !inQuote;
        if (c.unicode() == 0 && inQuote)
            spelled += QLatin1String("'||char(0)||'");
        else
            spelled += c;
    }
    return spelled;
}

// Applies rewrite to each stretch of the text that lies outside quoted literals ('' stays
// inside a literal); the literals are kept as they are.
template <typename Rewrite>
QString rewriteOutsideQuotes(const QString& text, Rewrite rewrite)
{
    QString result;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype quote = text.indexOf(QLatin1Char('\''), at);
        if (quote < 0)
            quote = text.size();
        result += rewrite(text.mid(at, quote - at));
        if (quote == text.size())
            break;
        qsizetype end = quote + 1;
        while (end < text.size()) {
            if (text.at(end) == QLatin1Char('\'')) {
                if (end + 1 < text.size() && text.at(end + 1) == QLatin1Char('\'')) {
                    end += 2;
                    continue;
                }
                break;
            }
            ++end;
        }
        end = qMin(end + 1, text.size());
        result += text.mid(quote, end - quote);
        at = end;
    }
    return result;
}

// Replaces each match of pattern in the text outside quoted literals by what replacement makes
// of it; a match that replacement leaves empty stays as written.
template <typename Replacement>
QString replaceOutsideQuotes(const QString& text, const QRegularExpression& pattern, Replacement replacement)
{
    return rewriteOutsideQuotes(text, [&](const QString& outside) {
        QString rewritten;
        qsizetype from = 0;
        for (QRegularExpressionMatchIterator matches = pattern.globalMatch(outside); matches.hasNext();) {
            const QRegularExpressionMatch match = matches.next();
            const QString replaced = replacement(match);
            if (replaced.isEmpty())
                continue;
            rewritten += outside.mid(from, match.capturedStart() - from) + replaced;
            from = match.capturedEnd();
        }
        return rewritten + outside.mid(from);
    });
}

// SQLite's Between would compare a field's text, or its binary double; the numeric comparison
// of a frequency is the band function's, given the bounds as written.
QString withNumericBetween(const QString& text)
{
    static const QRegularExpression between(
        QStringLiteral("\\bMain\\.([A-Za-z][A-Za-z0-9]*)\\s+Between\\s+([-+]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+))\\s+And\\s+"
                       "([-+]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+))(?![0-9.])"),
        QRegularExpression::CaseInsensitiveOption);
    if (!text.contains(QLatin1String("Between"), Qt::CaseInsensitive))
        return text;
    return replaceOutsideQuotes(text, between, [](const QRegularExpressionMatch& match) {
        if (RecordFields::frequencyColumn(match.captured(1)) < 0)
            return QString();
        return QStringLiteral("%1(Main.%2, '%3', '%4')")
            .arg(QLatin1String(FrequencyBand::SqlFunction), match.captured(1), match.captured(2), match.captured(3));
    });
}

// Like compares texts, and a number stands in the query for its own text: 728, 728.0, 728. and
// 0728 are all the text "728", as 7.830 is "7.83". SQLite would take the literal's own spelling
// or its binary double's, so the literal becomes that text, quoted.
QString withNumbersAsText(const QString& text)
{
    static const QRegularExpression likeNumber(QStringLiteral("\\bLike\\s+([0-9]+\\.?[0-9]*|\\.[0-9]+)(?![0-9A-Za-z_.])"),
                                               QRegularExpression::CaseInsensitiveOption);
    return replaceOutsideQuotes(text, likeNumber, [](const QRegularExpressionMatch& match) {
        const std::optional<DecimalNumber> number = DecimalNumber::fromPlainText(match.captured(1).toStdString());
        return number ? QStringLiteral("Like '%1'").arg(number->text()) : QString();
    });
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
    QString text = withSpelledNuls(querySql.trimmed());
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
    result.fromAndWhere = withNumbersAsText(withNumericBetween(rest));
    result.orderBy = QStringLiteral("ORDER BY ") + orderTerms.join(QStringLiteral(", "));
    result.ok = true;
    return result;
}

} // namespace SqlTranslation

QString TranslatedQuery::keysSql() const
{
    return QStringLiteral("SELECT Main.rowid, Main.Description ") + fromAndWhere + QLatin1Char(' ') + orderBy;
}

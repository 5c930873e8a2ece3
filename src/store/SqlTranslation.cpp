#include "store/SqlTranslation.h"

#include "store/DecimalNumber.h"
#include "store/FrequencyBand.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"

#include <QRegularExpression>
#include <QVector>
#include <cmath>
#include <optional>

namespace SqlTranslation {
namespace {

bool fastPathsOn = true;

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

bool isFrequencyField(const QString& field)
{
    if (field.size() < 2 || field.at(0).toLower() != QLatin1Char('f'))
        return false;
    bool ok = false;
    const int number = field.mid(1).toInt(&ok);
    return ok && number >= 1 && number <= OrvoDatabase::FrequencyFields && !field.at(1).isSpace() &&
           field.at(1) != QLatin1Char('+');
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
        if (!isFrequencyField(match.captured(1)))
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

namespace {

// One "Main.<field> Like <literal>" of a WHERE clause that is nothing but such terms joined by Or.
struct LikeTerm
{
    QString field;
    QString literal; // as written: quoted text or a bare number
    bool quoted = false;
    QString text; // the quoted literal's content
};

struct LikeTerms
{
    QString condition; // the whole "((...))"
    QVector<LikeTerm> terms;
};

std::optional<LikeTerms> likeTerms(const QString& fromAndWhere)
{
    static const QRegularExpression wrapper(QStringLiteral("^From\\s+Main\\s+WHERE\\s+(\\(\\((.*)\\)\\))$"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression term(
        QStringLiteral("\\s*Main\\.([A-Za-z][A-Za-z0-9]*)\\s+Like\\s+('(?:[^']|'')*'|[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)"
                       "\\s*(?:Or(?=\\s)|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch whole = wrapper.match(fromAndWhere);
    if (!whole.hasMatch())
        return std::nullopt;
    LikeTerms result;
    result.condition = whole.captured(1);
    const QString inner = whole.captured(2);
    for (qsizetype at = 0; at < inner.size();) {
        const QRegularExpressionMatch match =
            term.match(inner, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch() || match.capturedLength() == 0)
            return std::nullopt;
        LikeTerm like;
        like.field = match.captured(1);
        like.literal = match.captured(2);
        like.quoted = like.literal.startsWith(QLatin1Char('\''));
        if (like.quoted)
            like.text = like.literal.mid(1, like.literal.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        result.terms << like;
        at = match.capturedEnd();
    }
    if (result.terms.isEmpty())
        return std::nullopt;
    return result;
}

QString quotedText(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

bool hasWildcard(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('#') || c == QLatin1Char('['))
            return true;
    }
    return false;
}

bool onlyStars(const QString& text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char('*'))
            return false;
    }
    return true;
}

QString keysSelect()
{
    return QStringLiteral("SELECT Main.rowid, Main.Description ");
}

// '*T' Or '*T*' Or 'T*' on one field, per field: each field's three become one test of '*T*'.
QString containsKeys(const LikeTerms& where, const QString& orderBy, const FastPathSupport& support)
{
    const QVector<LikeTerm>& terms = where.terms;
    if (terms.size() % 3 != 0)
        return {};
    QStringList tests;
    bool onlyDescription = true;
    for (qsizetype i = 0; i < terms.size(); i += 3) {
        const LikeTerm& endsWith = terms.at(i);
        const LikeTerm& contains = terms.at(i + 1);
        const LikeTerm& startsWith = terms.at(i + 2);
        if (!endsWith.quoted || !contains.quoted || !startsWith.quoted)
            return {};
        if (endsWith.field.compare(contains.field, Qt::CaseInsensitive) != 0 ||
            startsWith.field.compare(contains.field, Qt::CaseInsensitive) != 0)
            return {};
        const QString& middle = contains.text;
        if (middle.size() < 2 || !middle.startsWith(QLatin1Char('*')) || !middle.endsWith(QLatin1Char('*')))
            return {};
        const QString text = middle.mid(1, middle.size() - 2);
        if (endsWith.text != QLatin1Char('*') + text || startsWith.text != text + QLatin1Char('*'))
            return {};
        const QString field = QStringLiteral("Main.") + contains.field;
        onlyDescription =
            onlyDescription && contains.field.compare(QLatin1String("Description"), Qt::CaseInsensitive) == 0;
        // A pattern of stars takes every value; Like takes no null.
        if (onlyStars(text))
            tests << field + QStringLiteral(" IS NOT NULL");
        else if (support.containsFunction && !hasWildcard(text))
            tests << QStringLiteral("%1(%2, %3)").arg(OrvoDatabase::ContainsFunction, field, quotedText(text));
        else
            tests << field + QStringLiteral(" Like ") + contains.literal;
    }
    // The description index holds every description, so walking it in order reads nothing else.
    // Any other field has to be read from every row: reading the rows in the order they lie in
    // the file and sorting the matches is then several times faster than walking the index and
    // fetching each row from wherever it lies.
    const QString from =
        onlyDescription ? QStringLiteral("FROM Main WHERE (") : QStringLiteral("FROM Main NOT INDEXED WHERE (");
    return keysSelect() + from + tests.join(QStringLiteral(" OR ")) + QStringLiteral(") ") + orderBy;
}

bool isKeyChar(QChar c)
{
    return c.unicode() >= 0x20 && c.unicode() < 0x7e && c != QLatin1Char('\'') && !hasWildcard(QString(c));
}

// Rows whose description starts with prefix, ASCII letters in either case: a range of the
// case-blind description index (which folds ASCII letters only).
QString prefixRange(const QString& prefix)
{
    QString low = prefix.toLower();
    QString high = low;
    high.back() = QChar(high.back().unicode() + 1);
    return QStringLiteral("Main.Description >= '%1' COLLATE NOCASE AND Main.Description < '%2' COLLATE NOCASE")
        .arg(low, high);
}

// Description Like 'P*' with a plain ASCII P. Beyond ASCII, only the Kelvin sign and the long s
// fold to ASCII letters (k and s); up to the first k or s the range alone is exact.
QString prefixKeys(const LikeTerms& where, const QString& orderBy)
{
    if (where.terms.size() != 1)
        return {};
    const LikeTerm& like = where.terms.first();
    if (!like.quoted || like.field.compare(QLatin1String("Description"), Qt::CaseInsensitive) != 0)
        return {};
    if (like.text.size() < 2 || !like.text.endsWith(QLatin1Char('*')))
        return {};
    const QString prefix = like.text.left(like.text.size() - 1);
    for (const QChar c : prefix) {
        if (!isKeyChar(c))
            return {};
    }
    const auto foldsBeyondAscii = [](QChar c) {
        const QChar lower = c.toLower();
        return lower == QLatin1Char('k') || lower == QLatin1Char('s');
    };
    qsizetype plain = 0;
    while (plain < prefix.size() && !foldsBeyondAscii(prefix.at(plain)))
        ++plain;
    const QString likeTest = QStringLiteral(" AND Main.Description Like ") + like.literal;
    if (plain == prefix.size())
        return keysSelect() + QStringLiteral("FROM Main WHERE ") + prefixRange(prefix) + QLatin1Char(' ') + orderBy;
    if (plain > 0)
        return keysSelect() + QStringLiteral("FROM Main WHERE ") + prefixRange(prefix.left(plain)) + likeTest +
               QLatin1Char(' ') + orderBy;
    // Starting with k or s: the ASCII letters' range, then the one character beyond ASCII that
    // folds to it, which sorts after every ASCII text; the two ordered ranges are merged.
    const char32_t other = prefix.at(0).toLower() == QLatin1Char('k') ? 0x212a : 0x017f;
    const QString otherLow = QString::fromUcs4(&other, 1);
    const char32_t next = other + 1;
    const QString otherHigh = QString::fromUcs4(&next, 1);
    const QString compoundOrder = QStringLiteral("ORDER BY 2 COLLATE NOCASE, 1");
    return keysSelect() + QStringLiteral("FROM Main WHERE ") + prefixRange(prefix.left(1)) + likeTest +
           QStringLiteral(" UNION ALL ") + keysSelect() +
           QStringLiteral("FROM Main WHERE Main.Description >= '%1' AND Main.Description < '%2'")
               .arg(otherLow, otherHigh) +
           likeTest + QLatin1Char(' ') + compoundOrder;
}

// Fn Like '<number>' on frequency fields, the number as its own text (see withNumbersAsText):
// with no wildcard in it, Like is equality, and the index keeps every value's text (without
// nulls and "0"). The query's own condition still checks every candidate.
QString frequencyKeys(const LikeTerms& where, const QString& orderBy, const FastPathSupport& support)
{
    if (!support.frequencyIndex)
        return {};
    const QString number = where.terms.first().text;
    const std::optional<DecimalNumber> value = DecimalNumber::fromPlainText(number.toStdString());
    if (!value || value->isZero() || value->text() != number)
        return {};
    for (const LikeTerm& like : where.terms) {
        if (!like.quoted || like.text != number || !isFrequencyField(like.field))
            return {};
    }
    return keysSelect() +
           QStringLiteral("FROM %1 AS FrequencyHit CROSS JOIN Main ON Main.rowid = FrequencyHit.RecordId "
                          "WHERE FrequencyHit.Value = '%2' AND ")
               .arg(FrequencyIndex::TableName, number) +
           where.condition + QLatin1Char(' ') + orderBy;
}

// The bounds written with every digit a double has, so SQLite reads back the same doubles.
QString doubleText(double value)
{
    return QString::number(value, 'g', 17);
}

struct BandShortcut
{
    QString keys;
    QString members;
    QString walk;
};

// Fn Between low And high on every term, the same bounds: the records with an index entry whose
// number lies in the band. The index keeps SQLite's reading of each text as a number, which may
// be a little off the correctly rounded one, so its range is taken a little wider; the query's
// own condition then decides exactly. The index keeps each entry's text as well, so the members
// are decided exactly on the index alone, without reading the records.
BandShortcut bandKeys(const QString& fromAndWhere, const QString& orderBy, const FastPathSupport& support)
{
    if (!support.frequencyNumbers)
        return {};
    static const QRegularExpression wrapper(QStringLiteral("^From\\s+Main\\s+WHERE\\s+(\\(\\((.*)\\)\\))$"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression term(QStringLiteral("\\s*%1\\(Main\\.([A-Za-z0-9]+), '([^']*)', '([^']*)'\\)"
                                                        "\\s*(?:Or(?=\\s)|$)")
                                             .arg(QLatin1String(FrequencyBand::SqlFunction)),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch whole = wrapper.match(fromAndWhere);
    if (!whole.hasMatch())
        return {};
    const QString inner = whole.captured(2);
    QString low;
    QString high;
    for (qsizetype at = 0; at < inner.size();) {
        const QRegularExpressionMatch match =
            term.match(inner, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch() || match.capturedLength() == 0 || !isFrequencyField(match.captured(1)))
            return {};
        if (at == 0) {
            low = match.captured(2);
            high = match.captured(3);
        } else if (match.captured(2) != low || match.captured(3) != high) {
            return {};
        }
        at = match.capturedEnd();
    }
    const std::optional<FrequencyBand> band = FrequencyBand::fromBounds(low, high);
    if (!band || !band->lowDouble() || !band->highDouble() || *band->highDouble() < *band->lowDouble())
        return {};
    constexpr double Slack = 1e-9;
    const double from = *band->lowDouble() - std::fabs(*band->lowDouble()) * Slack - 1e-300;
    const double to = *band->highDouble() + std::fabs(*band->highDouble()) * Slack + 1e-300;
    BandShortcut shortcut;
    shortcut.keys =
        keysSelect() +
        QStringLiteral("FROM (SELECT DISTINCT RecordId FROM %1 WHERE Number BETWEEN %2 AND %3) AS FrequencyHit "
                       "CROSS JOIN Main ON Main.rowid = FrequencyHit.RecordId WHERE ")
            .arg(FrequencyIndex::TableName, doubleText(from), doubleText(to)) +
        whole.captured(1) + QLatin1Char(' ') + orderBy;
    shortcut.members = QStringLiteral("SELECT RecordId FROM %1 WHERE Number BETWEEN %2 AND %3 AND %4(Value, '%5', '%6')")
                           .arg(FrequencyIndex::TableName, doubleText(from), doubleText(to),
                                QLatin1String(FrequencyBand::SqlFunction), low, high);
    shortcut.walk = keysSelect() + QStringLiteral("FROM Main ") + orderBy;
    return shortcut;
}

} // namespace

TranslatedQuery translate(const QString& querySql, const FastPathSupport& support)
{
    return withShortcut(translate(querySql), support);
}

TranslatedQuery withShortcut(TranslatedQuery result, const FastPathSupport& support)
{
    if (!result.ok || !fastPathsOn)
        return result;
    if (BandShortcut band = bandKeys(result.fromAndWhere, result.orderBy, support); !band.keys.isEmpty()) {
        result.fastPath = QLatin1String(FrequencyBandShortcut);
        result.fastKeysSql = std::move(band.keys);
        result.memberKeysSql = std::move(band.members);
        result.walkKeysSql = std::move(band.walk);
        return result;
    }
    const std::optional<LikeTerms> where = likeTerms(result.fromAndWhere);
    if (!where)
        return result;
    const std::pair<const char*, QString> candidates[] = {
        {"contains", containsKeys(*where, result.orderBy, support)},
        {"prefix range", prefixKeys(*where, result.orderBy)},
        {FrequencyIndexShortcut, frequencyKeys(*where, result.orderBy, support)},
    };
    for (const auto& [name, keys] : candidates) {
        if (!keys.isEmpty()) {
            result.fastPath = QLatin1String(name);
            result.fastKeysSql = keys;
            break;
        }
    }
    return result;
}

void setFastPathsEnabled(bool enabled)
{
    fastPathsOn = enabled;
}

bool fastPathsEnabled()
{
    return fastPathsOn;
}

} // namespace SqlTranslation

QString TranslatedQuery::keysSql() const
{
    if (!fastKeysSql.isEmpty())
        return fastKeysSql;
    return QStringLiteral("SELECT Main.rowid, Main.Description ") + fromAndWhere + QLatin1Char(' ') + orderBy;
}

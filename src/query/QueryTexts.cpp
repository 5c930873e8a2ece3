#include "query/QueryTexts.h"

#include "query/RecordFields.h"

namespace QueryTexts {
namespace {

const QString End = QStringLiteral(")) ORDER BY Main.Description;");

QString quoted(const QString& text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return doubled;
}

QString wordTerms(const QString& start, const QString& next, const QString& text)
{
    const QString t = quoted(text);
    return start + QLatin1String("'*") + t + QLatin1String("'") + next + QLatin1String("'*") + t
        + QLatin1String("*'") + next + QLatin1String("'") + t + QLatin1String("*'");
}

} // namespace

QString selectList()
{
    return QStringLiteral("SELECT DISTINCTROW Main.Description, Main.Comments,")
        + QStringLiteral(" Main.F1, Main.F2, Main.F3, Main.F4, Main.F5, Main.F6, Main.F7, Main.F8, Main.F9, Main.F10, ")
        + QStringLiteral(" Main.F11, Main.F12, Main.F13, Main.F14, Main.F15, Main.F16, Main.F17, Main.F18, Main.F19, "
                         "Main.F20, ")
        + QStringLiteral(" Main.F21, Main.F22, Main.F23, Main.F24, Main.F25, Main.F26, Main.F27, Main.F28, Main.F29, "
                         "Main.F30, ")
        + QStringLiteral(" Main.F31, Main.F32, Main.F33, Main.F34, Main.F35, Main.F36, Main.F37, Main.F38, Main.F39, "
                         "Main.F40 ");
}

QString allRecordsQuery()
{
    return selectList() + QStringLiteral(" From Main ORDER BY Main.Description;");
}

QString wordSearchQuery(bool description, bool comments, const QString& text)
{
    const QString descriptionStart = QStringLiteral(" From Main WHERE ((Main.Description Like ");
    const QString descriptionNext = QStringLiteral(" Or Main.Description Like ");
    const QString commentsStart = QStringLiteral(" From Main WHERE ((Main.Comments Like ");
    const QString commentsNext = QStringLiteral(" Or Main.Comments Like ");

    QString query = selectList();
    if (comments) {
        query += wordTerms(commentsStart, commentsNext, text);
        if (description)
            query += wordTerms(descriptionNext, descriptionNext, text);
    } else {
        query += wordTerms(descriptionStart, descriptionNext, text);
    }
    return query + End;
}

QString frequencySearchQuery(const QString& text)
{
    QString query = selectList() + QStringLiteral(" From Main WHERE ((Main.F1 Like ") + text;
    for (int n = 2; n <= RecordFields::Frequencies; ++n)
        query += QStringLiteral(" Or Main.F") + QString::number(n) + QStringLiteral(" Like ") + text;
    return query + End;
}

QString frequencyBandQuery(const QString& low, const QString& high)
{
    const QString between = QStringLiteral(" Between ") + low + QStringLiteral(" And ") + high;
    QString query = selectList() + QStringLiteral(" From Main WHERE ((Main.F1") + between;
    for (int n = 2; n <= RecordFields::Frequencies; ++n)
        query += QStringLiteral(" Or Main.F") + QString::number(n) + between;
    return query + End;
}

QString letterQuery(const QString& letter)
{
    return selectList() + QStringLiteral(" From Main WHERE ((Main.Description Like ") + QLatin1String("'")
        + quoted(letter) + QLatin1String("*'") + End;
}

} // namespace QueryTexts

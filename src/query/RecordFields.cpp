#include "query/RecordFields.h"

namespace RecordFields {

const QStringList& names()
{
    static const QStringList names = [] {
        QStringList list{QStringLiteral("Description"), QStringLiteral("Comments")};
        for (int i = 1; i <= Frequencies; ++i)
            list << QStringLiteral("F%1").arg(i);
        return list;
    }();
    return names;
}

int frequencyColumn(QStringView name)
{
    if (name.size() < 2 || name.size() > 3 || (name[0] != QLatin1Char('F') && name[0] != QLatin1Char('f')) ||
        name[1] == QLatin1Char('0'))
        return -1;
    int number = 0;
    for (const QChar c : name.mid(1)) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        number = number * 10 + (c.unicode() - '0');
    }
    return number >= 1 && number <= Frequencies ? number + 1 : -1;
}

} // namespace RecordFields

#include "query/RecordFields.h"
#include "exchange/FieldMapping.h"

#include "store/OrvoDatabase.h"

namespace {

int fieldIndex(const QString& field)
{
    const QStringList& fields = RecordFields::names();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The column of that name: an exact match first, then one that differs only in letter case.
int columnIndex(const QStringList& columns, const QString& name, QString* error)
{
    const int exact = columns.indexOf(name);
    if (exact >= 0 && columns.lastIndexOf(name) != exact)
        *error = QStringLiteral("The header names the column %1 twice; name each column once.").arg(name);
    if (exact >= 0)
        return exact;
    int found = -1;
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (found >= 0) {
            *error = QStringLiteral("The columns %1 and %2 differ only in letter case; name one of them exactly.")
                         .arg(columns.at(found), columns.at(i));
            return -1;
        }
        found = i;
    }
    return found;
}

QString columnList(const QStringList& columns)
{
    constexpr int Shown = 12;
    QString list = columns.mid(0, Shown).join(QStringLiteral(", "));
    if (columns.size() > Shown)
        list += QStringLiteral(", ... (%1 in all)").arg(columns.size());
    return list;
}

} // namespace

bool FieldMapping::parse(const QString& text, QString* error)
{
    QVector<bool> seen(m_columnOfField.size());
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int equals = pair.indexOf(QLatin1Char('='));
        const QString field = pair.left(equals).trimmed();
        const QString column = equals < 0 ? QString() : pair.mid(equals + 1).trimmed();
        if (equals < 0 || field.isEmpty() || column.isEmpty()) {
            *error = QStringLiteral("\"%1\" is not FIELD=COLUMN.").arg(pair.trimmed());
            return false;
        }
        const int index = fieldIndex(field);
        if (index < 0) {
            *error =
                QStringLiteral("%1 is not a field of Orvo's records (Description, Comments, F1 ... F40).").arg(field);
            return false;
        }
        if (seen[index]) {
            *error = QStringLiteral("%1 is mapped twice.").arg(RecordFields::names().at(index));
            return false;
        }
        seen[index] = true;
        m_columnOfField[index] = column;
    }
    return true;
}

void FieldMapping::map(const QString& field, const QString& column)
{
    const int index = fieldIndex(field);
    Q_ASSERT(index >= 0);
    if (index >= 0)
        m_columnOfField[index] = column;
}

FieldMapping::Resolved FieldMapping::resolve(const QStringList& columns) const
{
    Resolved resolved;
    resolved.columnOfField.fill(-1, m_columnOfField.size());
    QVector<bool> used(columns.size());
    const QStringList& fields = RecordFields::names();
    // Mapped fields first: a column that the mapping sends elsewhere is not also taken by name.
    for (const bool mappedPass : {true, false}) {
        for (int i = 0; i < fields.size(); ++i) {
            const bool mapped = !m_columnOfField.at(i).isEmpty();
            if (mapped != mappedPass)
                continue;
            const QString name = mapped ? m_columnOfField.at(i) : fields.at(i);
            int column = columnIndex(columns, name, &resolved.error);
            if (!resolved.error.isEmpty())
                return resolved;
            if (!mapped && column >= 0 && used.at(column)) {
                if (i == 0) {
                    resolved.error = QStringLiteral("The column %1 is mapped to another field; map a column to "
                                                    "Description too.")
                                         .arg(columns.at(column));
                    return resolved;
                }
                column = -1;
            }
            if (column < 0 && (mapped || i == 0)) {
                resolved.error =
                    QStringLiteral("There is no column %1%2 (the columns are: %3).")
                        .arg(name, mapped ? QStringLiteral(" for ") + fields.at(i) : QString(), columnList(columns));
                return resolved;
            }
            resolved.columnOfField[i] = column;
            if (column >= 0)
                used[column] = true;
        }
    }
    for (int i = 0; i < columns.size(); ++i) {
        if (!used.at(i))
            resolved.unusedColumns << columns.at(i);
    }
    return resolved;
}

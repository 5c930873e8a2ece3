#include "store/Data1.h"

#include "store/OrvoDatabase.h"
#include "store/SqlTranslation.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace {

QString engineMessage(sqlite3* handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

// A write that waited out the busy timeout behind another program's lock can be tried again.
Outcome writeFailure(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return Outcome::locked(QStringLiteral("The database is in use by another program. Try again."));
    return Outcome::failure(error.text());
}

} // namespace

Data1::Data1()
    : m_connectionName(QStringLiteral("orvo-data1-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

Data1::~Data1()
{
    close();
}

void Data1::setDatabaseName(const QString& path)
{
    m_databaseName = path;
}

void Data1::setRecordSource(const QString& querySql)
{
    m_recordSource = querySql;
}

bool Data1::isOpen() const
{
    return !m_openName.isEmpty();
}

QSqlDatabase Data1::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

Outcome Data1::ensureOpen()
{
    if (isOpen() && m_openName == m_databaseName)
        return Outcome::success();
    close();
    const Outcome opened = OrvoDatabase::open(m_databaseName, m_connectionName);
    if (opened)
        m_openName = m_databaseName;
    return opened;
}

Outcome Data1::refresh()
{
    const TranslatedQuery query = SqlTranslation::translate(m_recordSource);
    if (!query.ok)
        return Outcome::failure(query.error);
    if (const Outcome opened = ensureOpen(); !opened)
        return opened;

    sqlite3* handle = OrvoDatabase::handle(database());
    const QByteArray sql = query.keysSql().toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        return Outcome::failure(engineMessage(handle));

    QVector<qint64> keys;
    QStringList descriptions;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        keys.append(sqlite3_column_int64(statement, 0));
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
        descriptions.append(text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, 1)) : QString());
    }
    const QString failure = step == SQLITE_DONE ? QString() : engineMessage(handle);
    sqlite3_finalize(statement);
    if (!failure.isEmpty())
        return Outcome::failure(failure);

    m_fields = query.fields;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fields.size(); ++i)
        m_fieldIndex.insert(m_fields.at(i).toLower(), i);
    m_keys = std::move(keys);
    m_descriptions = std::move(descriptions);
    m_cachedKey = -1;
    m_editState = EditState::None;
    m_pending.clear();
    moveFirst();
    return Outcome::success();
}

void Data1::moveNext()
{
    if (m_position < recordCount())
        ++m_position;
}

bool Data1::moveTo(int position)
{
    if (position < 0 || position >= recordCount())
        return false;
    m_position = position;
    return true;
}

const QVector<QVariant>* Data1::currentRow() const
{
    if (!hasCurrentRecord())
        return nullptr;
    const qint64 key = m_keys.at(m_position);
    if (key == m_cachedKey)
        return &m_cachedRow;

    QStringList columns;
    for (const QString& name : m_fields)
        columns << QStringLiteral("\"") + name + QStringLiteral("\"");
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", "))
                  + QStringLiteral(" FROM Main WHERE rowid = ?"));
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return nullptr;
    m_cachedRow.resize(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        m_cachedRow[i] = query.value(i);
    m_cachedKey = key;
    return &m_cachedRow;
}

QVariant Data1::field(const QString& name) const
{
    const QVector<QVariant>* row = currentRow();
    const auto column = m_fieldIndex.constFind(name.toLower());
    if (!row || column == m_fieldIndex.constEnd())
        return {};
    return row->at(*column);
}

void Data1::addNew()
{
    m_editState = EditState::Adding;
    m_pending.clear();
}

void Data1::edit()
{
    m_editState = hasCurrentRecord() ? EditState::Editing : EditState::None;
    m_pending.clear();
}

void Data1::setField(const QString& name, const QVariant& value)
{
    m_pending.insert(name, value);
}

void Data1::cancelUpdate()
{
    m_editState = EditState::None;
    m_pending.clear();
}

Outcome Data1::update()
{
    if (m_editState == EditState::None)
        return Outcome::failure(QStringLiteral("There is no record to store."));
    if (!isOpen())
        return Outcome::failure(QStringLiteral("The database is not open."));
    const QStringList names = m_pending.keys();
    QSqlQuery query(database());
    if (m_editState == EditState::Adding) {
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        query.prepare(QStringLiteral("INSERT INTO Main (\"") + names.join(QStringLiteral("\", \""))
                      + QStringLiteral("\") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')'));
    } else {
        QStringList assignments;
        for (const QString& name : names)
            assignments << QStringLiteral("\"") + name + QStringLiteral("\" = ?");
        query.prepare(QStringLiteral("UPDATE Main SET ") + assignments.join(QStringLiteral(", "))
                      + QStringLiteral(" WHERE rowid = ?"));
    }
    for (const QString& name : names)
        query.addBindValue(m_pending.value(name));
    if (m_editState == EditState::Editing)
        query.addBindValue(m_keys.at(m_position));
    if (!query.exec())
        return writeFailure(query.lastError());
    if (m_editState == EditState::Editing) {
        const auto description = m_pending.constFind(QStringLiteral("Description"));
        if (description != m_pending.constEnd())
            m_descriptions[m_position] = description->toString();
    }
    m_cachedKey = -1;
    cancelUpdate();
    return Outcome::success();
}

Outcome Data1::deleteCurrent()
{
    if (!hasCurrentRecord())
        return Outcome::failure(QStringLiteral("There is no current record."));
    QSqlQuery query(database());
    query.prepare(QStringLiteral("DELETE FROM Main WHERE rowid = ?"));
    query.addBindValue(m_keys.at(m_position));
    if (!query.exec())
        return writeFailure(query.lastError());
    m_keys.removeAt(m_position);
    m_descriptions.removeAt(m_position);
    m_cachedKey = -1;
    moveToEnd();
    return Outcome::success();
}

void Data1::close()
{
    if (m_openName.isEmpty() && !QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = database();
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_openName.clear();
    m_keys.clear();
    m_descriptions.clear();
    m_position = 0;
    m_cachedKey = -1;
    cancelUpdate();
}

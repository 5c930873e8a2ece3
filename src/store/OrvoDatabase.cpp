#include "store/OrvoDatabase.h"

#include "store/JetLike.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace OrvoDatabase {
namespace {

QString schemaSql()
{
    QStringList columns;
    for (const QString& name : fieldNames())
        columns << name + QStringLiteral(" TEXT");
    return QStringLiteral("CREATE TABLE Main (") + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

const QString DescriptionIndexSql =
    QStringLiteral("CREATE INDEX IF NOT EXISTS MainDescriptionNoCase ON Main (Description COLLATE NOCASE)");

QString insertSql()
{
    QStringList marks;
    for (int i = 0; i < fieldNames().size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO Main (") + fieldNames().join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
        + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QVariant jsonText(const QJsonValue& value)
{
    return value.isString() ? QVariant(value.toString()) : QVariant(QMetaType(QMetaType::QString));
}

Outcome loadDemoRecords(const QSqlDatabase& db)
{
    QFile file(QStringLiteral(":/data/demo-records.json"));
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::failure(QStringLiteral("The demo records are missing from the program."));
    const QJsonArray records = QJsonDocument::fromJson(file.readAll()).array();

    QSqlQuery insert(db);
    insert.prepare(insertSql());
    for (const QJsonValue& entry : records) {
        const QJsonObject record = entry.toObject();
        insert.bindValue(0, jsonText(record.value(QLatin1String("Description"))));
        insert.bindValue(1, jsonText(record.value(QLatin1String("Comments"))));
        const QJsonArray frequencies = record.value(QLatin1String("F")).toArray();
        for (int i = 0; i < FrequencyFields; ++i)
            insert.bindValue(2 + i, jsonText(frequencies.at(i)));
        if (!insert.exec())
            return Outcome::failure(insert.lastError().text());
    }
    return Outcome::success();
}

Outcome createAt(const QString& path, bool withDemoRecords)
{
    const QString connection = QStringLiteral("orvo-create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            outcome = Outcome::failure(db.lastError().text());
        } else {
            outcome = exec(db, QStringLiteral("BEGIN"));
            if (outcome)
                outcome = exec(db, schemaSql());
            if (outcome)
                outcome = exec(db, DescriptionIndexSql);
            if (outcome && withDemoRecords)
                outcome = loadDemoRecords(db);
            outcome = outcome ? exec(db, QStringLiteral("COMMIT")) : (exec(db, QStringLiteral("ROLLBACK")), outcome);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return outcome;
}

Outcome createByRename(const QString& path, bool withDemoRecords)
{
    if (QFileInfo::exists(path))
        return Outcome::failure(QStringLiteral("%1 already exists.").arg(path));
    const QString temporary = path + QStringLiteral(".creating");
    QFile::remove(temporary);
    Outcome outcome = createAt(temporary, withDemoRecords);
    if (outcome && !QFile::rename(temporary, path))
        outcome = Outcome::failure(QStringLiteral("Could not rename %1 to %2.").arg(temporary, path));
    if (!outcome)
        QFile::remove(temporary);
    return outcome;
}

} // namespace

const QStringList& fieldNames()
{
    static const QStringList names = [] {
        QStringList list{QStringLiteral("Description"), QStringLiteral("Comments")};
        for (int i = 1; i <= FrequencyFields; ++i)
            list << QStringLiteral("F%1").arg(i);
        return list;
    }();
    return names;
}

FileKind fileKind(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return FileKind::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::Other;
    const QByteArray head = file.read(32);
    if (head.isEmpty() || head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return FileKind::SQLite;
    if (head.contains("Standard Jet DB") || head.contains("Standard ACE DB"))
        return FileKind::Access;
    return FileKind::Other;
}

Outcome open(const QString& path, const QString& connectionName)
{
    switch (fileKind(path)) {
    case FileKind::Missing:
        return Outcome::failure(QStringLiteral("The file does not exist."));
    case FileKind::Access:
        return Outcome::failure(QStringLiteral("It is an Access database file, which Orvo cannot open."));
    case FileKind::Other:
        return Outcome::failure(QStringLiteral("It is not an Orvo database (not an SQLite database file)."));
    case FileKind::SQLite:
        break;
    }
    if (!QFileInfo(path).isReadable())
        return Outcome::failure(QStringLiteral("The file cannot be read."));

    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            outcome = Outcome::failure(db.lastError().text());
        } else {
            QSqlQuery columns(db);
            QStringList present;
            if (!columns.exec(QStringLiteral("PRAGMA table_info(Main)"))) {
                outcome = Outcome::failure(columns.lastError().text());
            } else {
                while (columns.next())
                    present << columns.value(1).toString().toLower();
                if (present.isEmpty())
                    outcome = Outcome::failure(QStringLiteral("It is not an Orvo database: it has no table Main."));
                for (const QString& name : fieldNames()) {
                    if (outcome && !present.contains(name.toLower()))
                        outcome = Outcome::failure(
                            QStringLiteral("It is not an Orvo database: table Main has no column %1.").arg(name));
                }
            }
            columns.finish();
            QString likeError;
            if (outcome && !JetLike::registerOn(db, &likeError))
                outcome = Outcome::failure(likeError);
            // The index only speeds up sorting; a file that cannot take it is still usable.
            if (outcome && QFileInfo(path).isWritable())
                exec(db, DescriptionIndexSql);
            if (!outcome)
                db.close();
        }
    }
    if (!outcome)
        QSqlDatabase::removeDatabase(connectionName);
    return outcome;
}

Outcome createWithDemoRecords(const QString& path)
{
    return createByRename(path, true);
}

Outcome createEmpty(const QString& path)
{
    return createByRename(path, false);
}

sqlite3* handle(const QSqlDatabase& db)
{
    const QVariant value = db.driver() ? db.driver()->handle() : QVariant();
    if (!value.isValid() || qstrcmp(value.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(value.constData());
}

Outcome exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return Outcome::failure(query.lastError().text());
    return Outcome::success();
}

} // namespace OrvoDatabase

#include "store/OrvoDatabase.h"

#include "query/FrequencyBand.h"
#include "query/JetLike.h"
#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"
#include "store/SqliteFile.h"

#include <QDir>
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
#include <string>

namespace OrvoDatabase {
namespace {

QString schemaSql()
{
    QStringList columns;
    for (const QString& name : RecordFields::names())
        columns << name + QStringLiteral(" TEXT");
    return QStringLiteral("CREATE TABLE Main (") + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

const QString DescriptionIndexSql =
    QStringLiteral("CREATE INDEX IF NOT EXISTS MainDescriptionNoCase ON Main (Description COLLATE NOCASE)");

const QStringList RowidsSql{
    QStringLiteral("CREATE TABLE IF NOT EXISTS MainRowids (Highest INTEGER NOT NULL)"),
    QStringLiteral("INSERT INTO MainRowids (Highest) SELECT coalesce(max(rowid), 0) FROM Main WHERE NOT EXISTS "
                   "(SELECT * FROM MainRowids)"),
    QStringLiteral("CREATE TRIGGER IF NOT EXISTS MainRowidsInsert AFTER INSERT ON Main BEGIN UPDATE MainRowids SET "
                   "Highest = NEW.rowid WHERE Highest < NEW.rowid; END")};

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
        for (int i = 0; i < RecordFields::Frequencies; ++i)
            insert.bindValue(2 + i, jsonText(frequencies.at(i)));
        if (!insert.exec())
            return Outcome::failure(errorText(insert.lastError()));
    }
    return Outcome::success();
}

// The table, its indexes and triggers, and the demo records when asked, in one transaction.
Outcome fillNew(const QSqlDatabase& db, bool withDemoRecords)
{
    SqliteTransaction transaction(handle(db));
    Outcome outcome = transaction.begin(false);
    for (const QString& sql : QStringList{schemaSql(), DescriptionIndexSql} + FrequencyIndex::createSql() + RowidsSql) {
        if (outcome)
            outcome = exec(db, sql);
    }
    if (outcome && withDemoRecords)
        outcome = loadDemoRecords(db);
    return outcome ? transaction.commit() : outcome;
}

Outcome createAt(const QString& path, bool withDemoRecords)
{
    const QString connection = QStringLiteral("orvo-create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            outcome = Outcome::failure(errorText(db.lastError()));
        } else {
            outcome = fillNew(db, withDemoRecords);
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

FileKind fileKind(const QString& path)
{
    QFile file(path);
    // A link to nothing is not a free name: a file created there would go where the link points.
    if (!file.exists())
        return QFileInfo(path).isSymLink() ? FileKind::Other : FileKind::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::Other;
    const QByteArray head = file.read(32);
    if (head.isEmpty() || head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return FileKind::SQLite;
    if (head.contains("Standard Jet DB") || head.contains("Standard ACE DB"))
        return FileKind::Access;
    return FileKind::Other;
}

QString unusableReason(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return QStringLiteral("It is a link to %1, which does not exist.")
            .arg(QDir::toNativeSeparators(info.symLinkTarget()));
    if (!info.exists())
        return QStringLiteral("The file does not exist.");
    if (info.isDir())
        return QStringLiteral("It is a folder, not a file.");
    if (!info.isReadable())
        return QStringLiteral("The file cannot be read.");
    switch (fileKind(path)) {
    case FileKind::Access:
        return QStringLiteral("It is an Access database file; Orvo converts it when it starts.");
    case FileKind::Other:
        return QStringLiteral("It is not an Orvo database (not an SQLite database file).");
    default:
        break;
    }
    if (info.size() == 0)
        return QStringLiteral("The file is empty.");
    return {};
}

QString errorText(const QSqlError& error, const QString& path)
{
    return errorText(error.nativeErrorCode().toInt(),
                     error.databaseText().isEmpty() ? error.driverText() : error.databaseText(), path);
}

QString errorText(int code, const QString& words, const QString& path)
{
    switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        // A file that cannot be opened cannot be repaired from Orvo's own menu.
        if (!path.isEmpty())
            return QStringLiteral("The database file is damaged (%1). To repair it, run: orvo-data repair --db \"%2\"")
                .arg(words, QDir::toNativeSeparators(path));
        return QStringLiteral("The database file is damaged (%1). Repair and Compact Database in Orvo's File menu, "
                              "or orvo-data repair, repairs it.")
            .arg(words);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database is in use by another program (%1). Try again when it has finished.")
            .arg(words);
    case SQLITE_FULL:
        return QStringLiteral("The disk is full (%1). Make room on it and try again.").arg(words);
    case SQLITE_READONLY:
        if (!path.isEmpty() && SqliteFile::changeWaiting(path))
            return QStringLiteral("A change that a program left unfinished when it stopped waits to be undone (%1). "
                                  "Opening the database for writing undoes it: start Orvo on it.")
                .arg(words);
        return QStringLiteral("The database cannot be written (%1): the file or its folder is read-only, or another "
                              "program has replaced the file since it was opened.")
            .arg(words);
    }
    return words;
}

Outcome mainTableProblems(const QSqlDatabase& db, QStringList& problems, const QString& path)
{
    QSqlQuery columns(db);
    if (!columns.exec(QStringLiteral("PRAGMA table_info(Main)")))
        return Outcome::failure(errorText(columns.lastError(), path));
    QStringList present;
    while (columns.next())
        present << columns.value(1).toString().toLower();
    if (present.isEmpty()) {
        problems << QStringLiteral("It has no table Main.");
        return Outcome::success();
    }
    for (const QString& name : RecordFields::names()) {
        if (!present.contains(name.toLower()))
            problems << QStringLiteral("Table Main has no column %1.").arg(name);
    }
    return Outcome::success();
}

Outcome open(const QString& path, const QString& connectionName, bool readOnly)
{
    if (const QString reason = unusableReason(path); !reason.isEmpty())
        return Outcome::failure(reason);

    Outcome outcome;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            outcome = Outcome::failure(errorText(db.lastError(), path));
        } else {
            QStringList problems;
            outcome = mainTableProblems(db, problems, path);
            if (outcome && !problems.isEmpty()) {
                QString problem = problems.first();
                problem[0] = problem[0].toLower();
                outcome = Outcome::failure(QStringLiteral("It is not an Orvo database: ") + problem);
            }
            QString likeError;
            if (outcome && !JetLike::registerOn(handle(db), &likeError))
                outcome = Outcome::failure(likeError);
            if (outcome && !FrequencyBand::registerOn(handle(db)))
                outcome = Outcome::failure(
                    QStringLiteral("Could not add the %1 function.").arg(QLatin1String(FrequencyBand::SqlFunction)));
            // Pages are read with a call each, not through a memory map: a mapped page stays in
            // the process's memory once touched, and a search of the comments touches the whole
            // table (over 300 MB at a million records) for no measured gain in a search.
            // The indexes only make sorting and searching fast; a file that cannot take them
            // (read-only, or locked by another program) is still usable without them.
            if (outcome && !readOnly && QFileInfo(path).isWritable()) {
                exec(db, DescriptionIndexSql);
                FrequencyIndex::ensure(db);
                keepRowids(db);
            }
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

Outcome keepRowids(const QSqlDatabase& db)
{
    QSqlQuery kept(db);
    if (kept.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('MainRowids', 'MainRowidsInsert')")) &&
        kept.next() && kept.value(0).toInt() == 2)
        return Outcome::success();
    SqliteTransaction transaction(handle(db));
    Outcome outcome = transaction.begin();
    for (const QString& sql : RowidsSql) {
        if (outcome)
            outcome = exec(db, sql);
    }
    return outcome ? transaction.commit() : outcome;
}

QString insertSql(const QStringList& fields)
{
    QStringList marks;
    for (int i = 0; i < fields.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO Main (rowid, \"%1\") VALUES ((SELECT max(Highest, coalesce((SELECT max(rowid) "
                          "FROM Main), 0)) + 1 FROM MainRowids), %2)")
        .arg(fields.join(QStringLiteral("\", \"")), marks.join(QStringLiteral(", ")));
}

sqlite3* handle(const QSqlDatabase& db)
{
    const QVariant value = db.driver() ? db.driver()->handle() : QVariant();
    if (!value.isValid() || qstrcmp(value.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(value.constData());
}

Outcome failure(int code, const QString& words)
{
    // A lock that another program held past the busy timeout: the same step can succeed later.
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return Outcome::locked(QStringLiteral("The database is in use by another program. Try again."));
    return Outcome::failure(errorText(code, words));
}

Outcome readFailure(sqlite3* handle)
{
    if (!handle)
        return Outcome::failure(QStringLiteral("The database is not open."));
    return failure(sqlite3_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
}

Outcome writeFailure(const QSqlError& error)
{
    return failure(error.nativeErrorCode().toInt(),
                   error.databaseText().isEmpty() ? error.driverText() : error.databaseText());
}

Outcome exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return writeFailure(query.lastError());
    return Outcome::success();
}

} // namespace OrvoDatabase

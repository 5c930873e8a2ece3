#include "store/OrvoDatabase.h"

#include "store/FrequencyBand.h"
#include "store/FrequencyIndex.h"
#include "store/JetLike.h"
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
    for (const QString& name : fieldNames())
        columns << name + QStringLiteral(" TEXT");
    return QStringLiteral("CREATE TABLE Main (") + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

const QString DescriptionIndexSql =
    QStringLiteral("CREATE INDEX IF NOT EXISTS MainDescriptionNoCase ON Main (Description COLLATE NOCASE)");

bool isPlainAscii(const char* text, int bytes)
{
    unsigned char seen = 0;
    for (int i = 0; i < bytes; ++i)
        seen |= static_cast<unsigned char>(text[i]);
    return seen < 0x80;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool containsFolded(const char* value, int valueBytes, const char* text, int textBytes)
{
    if (textBytes == 0)
        return true;
    const char first = foldAscii(text[0]);
    for (int at = 0; at + textBytes <= valueBytes; ++at) {
        if (foldAscii(value[at]) != first)
            continue;
        int i = 1;
        while (i < textBytes && foldAscii(value[at + i]) == foldAscii(text[i]))
            ++i;
        if (i == textBytes)
            return true;
    }
    return false;
}

bool hasLikeWildcard(const char* text, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        if (text[i] == '*' || text[i] == '?' || text[i] == '#' || text[i] == '[')
            return true;
    }
    return false;
}

// Plain ASCII on both sides compares folded bytes; anything else goes through Like itself.
void containsFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    const int valueBytes = sqlite3_value_bytes(arguments[0]);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[1]));
    const int textBytes = sqlite3_value_bytes(arguments[1]);
    if (isPlainAscii(text, textBytes) && !hasLikeWildcard(text, textBytes) && isPlainAscii(value, valueBytes)) {
        sqlite3_result_int(context, containsFolded(value, valueBytes, text, textBytes) ? 1 : 0);
        return;
    }
    const std::string pattern = '*' + std::string(text, std::size_t(textBytes)) + '*';
    switch (JetLike::matchUtf8(pattern, std::string_view(value, std::size_t(valueBytes)))) {
    case JetLike::Outcome::Match:
        sqlite3_result_int(context, 1);
        break;
    case JetLike::Outcome::NoMatch:
        sqlite3_result_int(context, 0);
        break;
    case JetLike::Outcome::BadPattern:
        sqlite3_result_error(context, "Invalid pattern string in Like", -1);
        break;
    }
}

Outcome registerContains(sqlite3* db)
{
    const QByteArray name = ContainsFunction.toUtf8();
    if (!db || sqlite3_create_function_v2(db, name.constData(), 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                          &containsFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        return Outcome::failure(QStringLiteral("Could not add the %1 function.").arg(ContainsFunction));
    return Outcome::success();
}

QString insertSql()
{
    QStringList marks;
    for (int i = 0; i < fieldNames().size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO Main (") + fieldNames().join(QStringLiteral(", ")) +
           QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
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
            return Outcome::failure(errorText(insert.lastError()));
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
            outcome = Outcome::failure(errorText(db.lastError()));
        } else {
            outcome = exec(db, QStringLiteral("BEGIN"));
            if (outcome)
                outcome = exec(db, schemaSql());
            if (outcome)
                outcome = exec(db, DescriptionIndexSql);
            if (outcome)
                for (const QString& sql : FrequencyIndex::createSql()) {
                    if (outcome)
                        outcome = exec(db, sql);
                }
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
            QSqlQuery columns(db);
            QStringList present;
            if (!columns.exec(QStringLiteral("PRAGMA table_info(Main)"))) {
                outcome = Outcome::failure(errorText(columns.lastError(), path));
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
            if (outcome)
                outcome = registerContains(handle(db));
            if (outcome && !FrequencyBand::registerOn(handle(db)))
                outcome = Outcome::failure(
                    QStringLiteral("Could not add the %1 function.").arg(QLatin1String(FrequencyBand::SqlFunction)));
            // Reads through a memory map instead of a read call per page: walking a million
            // records in description order visits the table's pages at random. Writes still
            // go through the journal as before.
            if (outcome)
                exec(db, QStringLiteral("PRAGMA mmap_size = 1073741824"));
            // The indexes only make sorting and searching fast; a file that cannot take them
            // (read-only, or locked by another program) is still usable without them.
            if (outcome && !readOnly && QFileInfo(path).isWritable()) {
                exec(db, DescriptionIndexSql);
                FrequencyIndex::ensure(db);
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
        return Outcome::failure(errorText(query.lastError()));
    return Outcome::success();
}

} // namespace OrvoDatabase

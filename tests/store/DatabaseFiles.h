#pragma once

// Helpers for tests that work on whole database files: a byte-exact view of their content,
// records that fill many pages, an extra schema, and damage to one page.

#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <sqlite3.h>

namespace DatabaseFiles {

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString valueText(sqlite3_stmt* statement, int column)
{
    const auto bytes = [&] {
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column))
            .toHex();
    };
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QStringLiteral("N");
    case SQLITE_INTEGER:
        return QStringLiteral("I") + QString::number(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return QStringLiteral("R") + QString::number(sqlite3_column_double(statement, column), 'g', 17);
    case SQLITE_TEXT:
        return QStringLiteral("T") + QString::fromLatin1(bytes());
    default:
        return QStringLiteral("B") + QString::fromLatin1(bytes());
    }
}

inline QStringList rowsOf(sqlite3* db, const QString& sql)
{
    QStringList rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        return {QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db))};
    int code;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            values << valueText(statement, i);
        rows << values.join(QLatin1Char('|'));
    }
    if (code != SQLITE_DONE)
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    return rows;
}

// Every schema entry, then every row of every table (rowid first) with each value's storage
// class and exact bytes, one line each, prefixed with the table's name.
inline QStringList content(const QString& path, const QString& onlyTable = QString())
{
    sqlite3* db = nullptr;
    QStringList lines;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        if (onlyTable.isEmpty())
            lines << rowsOf(db, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name"));
        const QStringList tables =
            rowsOf(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
        for (const QString& table : tables) {
            const QString name = QString::fromUtf8(QByteArray::fromHex(table.mid(1).toLatin1()));
            if (!onlyTable.isEmpty() && name != onlyTable)
                continue;
            for (const QString& row :
                 rowsOf(db, QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(name)))
                lines << name + QLatin1Char(':') + row;
        }
    } else {
        lines << QStringLiteral("cannot open");
    }
    sqlite3_close_v2(db);
    return lines;
}

// The pragma's first value as plain text ("ok", "0").
inline QString pragmaValue(const QString& path, const QString& pragma)
{
    sqlite3* db = nullptr;
    QString value;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, ("PRAGMA " + pragma).toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    return value;
}

inline bool execute(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const bool done = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!done)
        qWarning("%s", sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    return done;
}

// Records of every storage class, large enough together to fill many pages.
inline QVector<TestRecord> manyRecords(int count)
{
    QVector<TestRecord> records;
    for (int i = 0; i < count; ++i) {
        TestRecord record = TestRecord::make(
            QStringLiteral("Record %1 \u00e9t\u00e9 \u2013 %2").arg(i, 4, 10, QLatin1Char('0')).arg(count - i),
            i % 7 == 0 ? nullText() : QVariant(QStringLiteral("Comment line %1. ").arg(i).repeated(6)),
            {QStringLiteral("7.83"), QString::number(100 + i), QStringLiteral("0")});
        record.frequencies[3] = i % 3 == 0 ? QVariant(728.5 + i) : QVariant(i);
        record.frequencies[4] = QByteArray("\x00\x01raw", 5);
        records << record;
    }
    return records;
}

// A table of frequencies kept by triggers on Main, with an index, a view and an
// AUTOINCREMENT counter: what a later version may add beside the records.
inline bool addFrequencyIndex(const QString& path)
{
    return execute(
        path, QStringLiteral("CREATE TABLE FrequencyIndex (Id INTEGER PRIMARY KEY AUTOINCREMENT, RecordId INTEGER, "
                             "Frequency REAL);"
                             "CREATE INDEX FrequencyIndexValue ON FrequencyIndex (Frequency);"
                             "INSERT INTO FrequencyIndex (RecordId, Frequency) SELECT rowid, F2 FROM Main;"
                             "CREATE TRIGGER MainAdded AFTER INSERT ON Main BEGIN "
                             "INSERT INTO FrequencyIndex (RecordId, Frequency) VALUES (new.rowid, new.F2); END;"
                             "CREATE TRIGGER MainRemoved AFTER DELETE ON Main BEGIN "
                             "DELETE FROM FrequencyIndex WHERE RecordId = old.rowid; END;"
                             "CREATE VIEW RecordFrequencies AS SELECT Description, Frequency FROM Main "
                             "JOIN FrequencyIndex ON RecordId = Main.rowid;"));
}

// B-tree page kinds, as the first byte of a page says.
constexpr char TableLeaf = 0x0d;
constexpr char IndexLeaf = 0x0a;

// Overwrites the header of a page of the given kind in the middle of the file, so that the
// engine cannot read that page. Returns false when the file has too few such pages.
inline bool damagePage(const QString& path, char kind)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray data = file.readAll();
    int pageSize = (uchar(data.at(16)) << 8) | uchar(data.at(17));
    pageSize = pageSize == 1 ? 65536 : pageSize;
    QVector<qint64> pages;
    for (qint64 page = 1; (page + 1) * pageSize <= data.size(); ++page) {
        if (data.at(page * pageSize) == kind)
            pages << page;
    }
    if (pages.size() < 3)
        return false;
    file.seek(pages.at(pages.size() / 2) * pageSize);
    return file.write(QByteArray(8, '\xff')) == 8;
}

} // namespace DatabaseFiles

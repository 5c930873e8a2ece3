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

// One line per row, each value as its storage class and exact content: "tok", "i0", "n", "r7.83".
inline QStringList rowsOf(const QString& path, const QString& sql)
{
    QStringList rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr);
    while (code == SQLITE_OK && (code = sqlite3_step(statement)) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const int type = sqlite3_column_type(statement, i);
            const QByteArray bytes(static_cast<const char*>(sqlite3_column_blob(statement, i)),
                                   sqlite3_column_bytes(statement, i));
            values << QLatin1Char("iftbn"[type - 1]) +
                          (type == SQLITE_FLOAT  ? QString::number(sqlite3_column_double(statement, i), 'g', 17)
                           : type == SQLITE_BLOB ? QString::fromLatin1(bytes.toHex())
                                                 : QString::fromUtf8(bytes));
        }
        rows << values.join(QLatin1Char('|'));
        code = SQLITE_OK;
    }
    if (code != SQLITE_DONE)
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    return rows;
}

// Every schema entry, then every row of every table (rowid first), prefixed with the table's name.
inline QStringList content(const QString& path)
{
    QStringList lines =
        rowsOf(path, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name"));
    for (const QString& table : rowsOf(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        for (const QString& row :
             rowsOf(path, QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(table.mid(1))))
            lines << table.mid(1) + QLatin1Char(':') + row;
    }
    return lines;
}

inline bool execute(const QString& path, const QString& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const bool done = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!done)
        qWarning("%s", sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    return done;
}

// The file and its journal as a program killed in the middle of a change leaves them.
inline bool interruptChange(const QString& path)
{
    const QString copy = path + QStringLiteral(".copy");
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The small cache makes the change write pages to the file before it ends.
    const bool begun = sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE Main SET Comments = 'x'", nullptr,
                                    nullptr, nullptr) == SQLITE_OK;
    const bool copied = begun && QFile::copy(path, copy) && QFile::copy(path + "-journal", copy + "-journal");
    sqlite3_close_v2(db); // rolls the change back
    return copied && QFile::remove(path) && QFile::rename(copy, path) &&
           QFile::rename(copy + "-journal", path + "-journal");
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

// What a later version may add beside the records: a table kept by triggers on Main, with an
// index, a view and an AUTOINCREMENT counter.
const QString UserFrequencyTable = QStringLiteral(
    "CREATE TABLE FrequencyIndex (Id INTEGER PRIMARY KEY AUTOINCREMENT, RecordId INTEGER, Frequency REAL);"
    "CREATE INDEX FrequencyIndexValue ON FrequencyIndex (Frequency);"
    "INSERT INTO FrequencyIndex (RecordId, Frequency) SELECT rowid, F2 FROM Main;"
    "CREATE TRIGGER MainAdded AFTER INSERT ON Main BEGIN "
    "INSERT INTO FrequencyIndex (RecordId, Frequency) VALUES (new.rowid, new.F2); END;"
    "CREATE VIEW RecordFrequencies AS SELECT Description, Frequency FROM Main JOIN FrequencyIndex ON RecordId = "
    "Main.rowid;");

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
    const int pageSize = (uchar(data.at(16)) << 8) | uchar(data.at(17)); // 4096 here, never the 65536 code
    QVector<qint64> pages;
    for (qint64 page = 1; (page + 1) * pageSize <= data.size(); ++page) {
        if (data.at(page * pageSize) == kind)
            pages << page;
    }
    return pages.size() >= 3 && file.seek(pages.at(pages.size() / 2) * pageSize) &&
           file.write(QByteArray(8, '\xff')) == 8;
}

// Damages a page of records as damagePage does, and raises the keys that lead to the two pages
// before it (a flipped bit can): a search for the rowids from just above the second one's up
// then starts in the first one, below where it was asked to.
inline bool misleadSearch(const QString& path)
{
    const int root = rowsOf(path, "SELECT rootpage FROM sqlite_master WHERE name = 'Main'").value(0).mid(1).toInt();
    QFile file(path);
    if (root < 2 || !file.open(QIODevice::ReadWrite))
        return false;
    QByteArray data = file.readAll();
    const auto number = [&data](qint64 at, int bytes) {
        int value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | uchar(data.at(at + i));
        return value;
    };
    const qint64 page = qint64(root - 1) * number(16, 2);
    const int damaged = number(page + 3, 2) / 2;
    const auto key = [&](int cell) { return page + number(page + 12 + 2 * cell, 2) + 4; }; // a two-byte varint here
    const int highest = ((number(key(damaged - 1), 1) & 0x7f) << 7) | number(key(damaged - 1) + 1, 1);
    for (const int cell : {damaged - 2, damaged - 1}) {
        const int raised = highest + 1 + cell - (damaged - 2);
        data[key(cell)] = char(0x80 | (raised >> 7));
        data[key(cell) + 1] = char(raised & 0x7f);
    }
    const qint64 leaf = qint64(number(page + number(page + 12 + 2 * damaged, 2), 4) - 1) * number(16, 2);
    data.replace(leaf, 8, QByteArray(8, '\xff'));
    return data.at(page) == 0x05 && damaged >= 2 && file.seek(0) && file.write(data) == data.size();
}

} // namespace DatabaseFiles

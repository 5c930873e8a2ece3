#pragma once

#include "support/TestSupport.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <sqlite3.h>

// What the fault tests compare: a database of sixty records, and what a file holds of them.
namespace FaultChecks {

inline QVector<TestRecord> sampleRecords()
{
    QVector<TestRecord> records;
    // Enough records that a change touches more than one page of the file.
    for (int i = 0; i < 60; ++i)
        records << TestRecord::make(QStringLiteral("Record %1 ").arg(i, 3, 10, QLatin1Char('0')) + QString(300, 'x'),
                                    QStringLiteral("comments %1").arg(i), {QString::number(700 + i), "7.83"});
    return records;
}

// The records as the file holds them, or empty when it does not open or fails its check.
inline QByteArray recordsDigest(const QString& path, QString* problem)
{
    sqlite3* db = nullptr;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        *problem = QStringLiteral("does not open: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return {};
    }
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
    const bool stepped = statement && sqlite3_step(statement) == SQLITE_ROW;
    const QString integrity =
        stepped ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) : QString();
    sqlite3_finalize(statement);
    if (integrity != QLatin1String("ok")) {
        *problem = QStringLiteral("integrity check: ") + integrity + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return {};
    }
    sqlite3_prepare_v2(db, "SELECT * FROM Main ORDER BY rowid", -1, &statement, nullptr);
    int rows = 0;
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        ++rows;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            hash.addData(QByteArray::number(sqlite3_column_type(statement, i)));
            hash.addData(QByteArray(reinterpret_cast<const char*>(sqlite3_column_blob(statement, i)),
                                    sqlite3_column_bytes(statement, i)));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    hash.addData(QByteArray::number(rows));
    return hash.result();
}

} // namespace FaultChecks

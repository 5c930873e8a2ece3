#include "query/RecordFields.h"
#include "store/DatabaseCheck.h"

#include "store/OrvoDatabase.h"
#include "store/SqliteFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <sqlite3.h>

namespace DatabaseCheck {
namespace {

constexpr int MostProblemsListed = 20;

void checkOpen(QSqlDatabase& db, Report& report)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA integrity_check(%1)").arg(MostProblemsListed))) {
        report.problems << OrvoDatabase::errorText(query.lastError());
        report.changeWaiting = (query.lastError().nativeErrorCode().toInt() & 0xff) == SQLITE_READONLY;
        return;
    }
    while (query.next()) {
        const QString line = query.value(0).toString();
        if (line != QLatin1String("ok"))
            report.problems << line;
    }

    const qsizetype before = report.problems.size();
    if (const Outcome read = OrvoDatabase::mainTableProblems(db, report.problems); !read) {
        report.problems << read.error;
        return;
    }
    if (report.problems.size() > before && report.problems.last() == QLatin1String("It has no table Main."))
        return;
    if (query.exec(QStringLiteral("SELECT count(*) FROM Main")) && query.next())
        report.records = query.value(0).toLongLong();
    else
        report.problems << OrvoDatabase::errorText(query.lastError());
}

} // namespace

Report run(const QString& path)
{
    Report report;
    if (const QString reason = OrvoDatabase::unusableReason(path); !reason.isEmpty()) {
        report.problems << reason;
        return report;
    }
    if (SqliteFile::cutShortTo(path) >= 0)
        report.problems << QStringLiteral("The file has been cut short: it holds fewer bytes than its pages take.");
    const QString connection = QStringLiteral("orvo-check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open())
            checkOpen(db, report);
        else
            report.problems << OrvoDatabase::errorText(db.lastError());
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    report.changeWaiting = report.changeWaiting && SqliteFile::changeWaiting(path);
    return report;
}

} // namespace DatabaseCheck

#include "exchange/AccessConversion.h"

#include "exchange/AccessReader.h"
#include "store/DatabaseCheck.h"
#include "exchange/FieldMapping.h"
#include "store/OrvoDatabase.h"
#include "exchange/RecordImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>
#include <cerrno>
#include <unistd.h>

namespace AccessConversion {
namespace {

std::unique_ptr<TableSource> openAccessMain(const QString& accessPath)
{
    return std::make_unique<AccessReader>(accessPath, QStringLiteral("Main"));
}

SourceFactory& currentFactory()
{
    static SourceFactory factory = openAccessMain;
    return factory;
}

ImportReport importInto(const QString& path, TableSource& source)
{
    const QString connection = QStringLiteral("orvo-convert-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    ImportReport report;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open())
            report = RecordImport::run(source, FieldMapping(), db);
        else
            report.outcome = Outcome::failure(OrvoDatabase::errorText(db.lastError()));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return report;
}

// Builds and checks the new database; on failure it leaves no file behind.
Result buildConverted(const QString& converted, TableSource& source)
{
    Result result;
    QFile::remove(converted);
    result.outcome = OrvoDatabase::createEmpty(converted);
    if (result.outcome) {
        const ImportReport imported = importInto(converted, source);
        result.outcome = imported.outcome;
        result.records = imported.added;
    }
    if (result.outcome) {
        const DatabaseCheck::Report check = DatabaseCheck::run(converted);
        if (!check.sound())
            result.outcome = Outcome::failure(
                QStringLiteral("The new database failed its check: %1").arg(check.problems.join(QLatin1Char(' '))));
        else if (check.records != result.records)
            result.outcome = Outcome::failure(QStringLiteral("The new database holds %1 records instead of %2.")
                                                  .arg(check.records)
                                                  .arg(result.records));
    }
    if (!result.outcome)
        QFile::remove(converted);
    return result;
}

} // namespace

const QString& keptFileName()
{
    static const QString name = QStringLiteral("freqs-access.mdb");
    return name;
}

Result convert(const QString& dbPath)
{
    return convert(dbPath, currentFactory());
}

Result convert(const QString& dbPath, const SourceFactory& openSource)
{
    Result result;
    result.keptPath = QFileInfo(dbPath).dir().filePath(keptFileName());
    if (QFileInfo::exists(result.keptPath)) {
        result.outcome = Outcome::failure(
            QStringLiteral("%1 already exists, and Orvo does not overwrite it. Move that file elsewhere and start "
                           "Orvo again.")
                .arg(QDir::toNativeSeparators(result.keptPath)));
        return result;
    }

    std::unique_ptr<TableSource> source = openSource(dbPath);
    const QString converted = dbPath + QStringLiteral(".converting");
    const Result built = buildConverted(converted, *source);
    source.reset(); // the Access file is closed before it is renamed
    result.outcome = built.outcome;
    result.records = built.records;
    if (!result.outcome)
        return result;

    // The Access file keeps its name until the new file takes it over: a name left free meanwhile
    // could be taken by another program's new database, which the conversion would then replace.
    // Without hard links (some file systems) the name is free between two renames that never replace.
    const bool linked =
        ::link(QFile::encodeName(dbPath).constData(), QFile::encodeName(result.keptPath).constData()) == 0;
    if (!linked && (errno == EEXIST || !QFile::rename(dbPath, result.keptPath))) {
        QFile::remove(converted);
        result.outcome = Outcome::failure(QStringLiteral("The Access file could not be renamed to %1.")
                                              .arg(QDir::toNativeSeparators(result.keptPath)));
        return result;
    }
    const bool placed =
        linked ? ::rename(QFile::encodeName(converted).constData(), QFile::encodeName(dbPath).constData()) == 0
               : QFile::rename(converted, dbPath);
    if (!placed) {
        if (linked)
            QFile::remove(result.keptPath);
        else
            QFile::rename(result.keptPath, dbPath);
        QFile::remove(converted);
        result.outcome = Outcome::failure(
            QStringLiteral("The new database could not be renamed to %1.").arg(QDir::toNativeSeparators(dbPath)));
    }
    return result;
}

void setSourceFactory(SourceFactory factory)
{
    currentFactory() = factory ? std::move(factory) : SourceFactory(openAccessMain);
}

} // namespace AccessConversion

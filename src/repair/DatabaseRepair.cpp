#include "repair/DatabaseRepair.h"

#include "repair/DatabaseSalvage.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/SqliteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const QString RecordTable = QStringLiteral("Main");

QString systemError()
{
    return qt_error_string(errno);
}

Outcome syncFile(const QString& path)
{
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return Outcome::failure(systemError());
    const bool synced = ::fsync(file) == 0;
    const QString reason = synced ? QString() : systemError();
    ::close(file);
    return synced ? Outcome::success() : Outcome::failure(reason);
}

QString sentence(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.endsWith(QLatin1Char('.')) ? trimmed : trimmed + QLatin1Char('.');
}

QString records(qint64 count)
{
    return count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
}

} // namespace

DatabaseRepair::DatabaseRepair(const QString& databasePath, const QString& temporaryPath)
    : m_databasePath(databasePath), m_temporaryPath(temporaryPath)
{
}

QString DatabaseRepair::describe(Step step) const
{
    const QString database = QFileInfo(m_databasePath).fileName();
    const QString temporary = QFileInfo(m_temporaryPath).fileName();
    switch (step) {
    case Step::RemoveLeftover:
        return QStringLiteral("removing the file %1 left by an earlier run").arg(temporary);
    case Step::CheckOriginal:
        return QStringLiteral("checking %1").arg(database);
    case Step::Compact:
        return QStringLiteral("writing the compacted copy %1").arg(temporary);
    case Step::SaveReadableRows:
        return QStringLiteral("copying the readable records into %1").arg(temporary);
    case Step::CheckCopy:
        return QStringLiteral("checking the new file %1").arg(temporary);
    case Step::SyncCopy:
        return QStringLiteral("writing %1 to disk").arg(temporary);
    case Step::KeepDamaged:
        return QStringLiteral("keeping the damaged file as %1").arg(QFileInfo(damagedCopyPath()).fileName());
    case Step::Replace:
        return QStringLiteral("putting %1 in the place of %2").arg(temporary, database);
    case Step::SyncFolder:
        return QStringLiteral("writing the folder %1 to disk")
            .arg(QDir::toNativeSeparators(QFileInfo(m_databasePath).absolutePath()));
    }
    return {};
}

QString DatabaseRepair::damagedCopyPath() const
{
    if (!m_damagedCopy.isEmpty())
        return m_damagedCopy;
    const QFileInfo database(m_databasePath);
    const QDir folder = database.absoluteDir();
    const QString base = database.completeBaseName() + QStringLiteral("-damaged");
    const QString suffix = database.suffix().isEmpty() ? QString() : QLatin1Char('.') + database.suffix();
    QString path = folder.filePath(base + suffix);
    for (int number = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++number)
        path = folder.filePath(QStringLiteral("%1-%2%3").arg(base).arg(number).arg(suffix));
    return path;
}

void DatabaseRepair::begin(Step step)
{
    m_step = step;
    m_sinceProgress.start();
    if (m_progress)
        m_progress(step);
}

// The compaction, the check and the salvage of a large file each take seconds of the engine's work.
void DatabaseRepair::followEngine(SqliteFile& file)
{
    if (!m_progress)
        return;
    const auto tick = [](void* self) {
        auto* repair = static_cast<DatabaseRepair*>(self);
        if (repair->m_sinceProgress.elapsed() >= 100) {
            repair->m_sinceProgress.restart();
            repair->m_progress(repair->m_step);
        }
        return 0;
    };
    sqlite3_progress_handler(file.handle(), 10000, tick, this);
}

Outcome DatabaseRepair::checked(Step step, const Outcome& done) const
{
    if (done && m_failAt == step)
        return Outcome::failure(QStringLiteral("The step was made to fail."));
    return done;
}

DatabaseRepair::Result DatabaseRepair::fail(Result result, Step step, const QString& reason)
{
    result.ok = false;
    result.failedStep = step;
    result.failedStepText = describe(step);
    result.reason = reason;
    // The copy of a damaged file is only worth keeping beside a repaired one.
    if (!m_damagedCopy.isEmpty() && QFile::remove(m_damagedCopy))
        m_damagedCopy.clear();
    result.keptDamagedAs = m_damagedCopy;
    // Without the lock the new file may be another repair's, at work.
    if (const Outcome removed = m_locked ? removeTemporaryFiles() : Outcome::success(); !removed)
        result.reason = sentence(result.reason) + QLatin1Char(' ') + removed.error;
    return result;
}

Outcome DatabaseRepair::removeTemporaryFiles() const
{
    // Only this command creates the file, so one that exists is left by an interrupted run;
    // its journal would otherwise be taken for the new file's own.
    for (const char* suffix : {"", "-journal", "-wal", "-shm", "-whole"}) {
        const QString path = m_temporaryPath + QLatin1String(suffix);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        QFile file(path);
        if (!file.remove())
            return Outcome::failure(
                QStringLiteral("%1 could not be removed: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    return Outcome::success();
}

void DatabaseRepair::removeLeftovers()
{
    WriterLock lock;
    if (QFileInfo::exists(m_databasePath) && lock.acquire(m_databasePath))
        removeTemporaryFiles();
}

Outcome DatabaseRepair::openOriginal(SqliteFile& original, WriterLock& lock, bool* damaged, qint64* records)
{
    if (const QString reason = OrvoDatabase::unusableReason(m_databasePath); !reason.isEmpty())
        return Outcome::failure(reason);
    if (const Outcome opened = original.open(m_databasePath, SqliteFile::Mode::Existing); !opened)
        return opened;
    // The first read undoes a change that another program left unfinished. From then on no other
    // program may commit to the file until the new one has taken its place: what it wrote in
    // the meantime would go with the old file.
    original.exec(QStringLiteral("SELECT 1 FROM sqlite_master LIMIT 1"));
    if (const Outcome locked = lock.acquire(m_databasePath); !locked)
        return locked;
    m_locked = true;
    if (SqliteFile::changeWaiting(m_databasePath))
        return Outcome::locked(QStringLiteral("A change that another program left unfinished is waiting to be undone. "
                                              "Try again."));
    followEngine(original);
    const Outcome counted = original.countRows(RecordTable, records);
    m_cutShortTo = SqliteFile::cutShortTo(m_databasePath);
    *damaged = (!counted && original.lastErrorMeansDamage()) || m_cutShortTo >= 0;
    return *damaged ? Outcome::success() : counted;
}

// The compaction reads every page of the original, so a file the engine cannot walk shows
// here; damage that it copies over shows in the check of the copy.
Outcome DatabaseRepair::compactInto(SqliteFile& original, bool* damaged) const
{
    SqliteStatement vacuum(original, QStringLiteral("VACUUM INTO ?1"));
    const QByteArray target = QFile::encodeName(m_temporaryPath);
    sqlite3_bind_text(vacuum.get(), 1, target.constData(), int(target.size()), SQLITE_TRANSIENT);
    if (vacuum.step() == SQLITE_DONE)
        return Outcome::success();
    *damaged = original.lastErrorMeansDamage();
    return *damaged ? Outcome::success() : Outcome::failure(original.lastError());
}

// The check runs on the copy, the file that takes the original's place. A compaction builds
// every index of the copy afresh from the rows it copied, so they agree with their tables by
// construction: the quick check (every page, every record's form) and the count of the records
// stand between it and the rename, at a third of the full check's time. A salvaged copy, put
// together row by row from a damaged file, gets the full check.
Outcome DatabaseRepair::checkCopy(qint64 expectedRecords, bool* damaged)
{
    SqliteFile copy;
    if (const Outcome opened = copy.open(m_temporaryPath, SqliteFile::Mode::Existing); !opened)
        return opened;
    followEngine(copy);
    // Either check reads every page, the full one also every index entry's row: through a memory
    // map that takes half the time of a read call per page. The file is this run's own, fresh on
    // a local disk.
    copy.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(QFileInfo(m_temporaryPath).size()));
    const SqliteFile::Integrity integrity =
        copy.checkIntegrity(damaged ? SqliteFile::Depth::Quick : SqliteFile::Depth::Full);
    if (!integrity.checked)
        return integrity.checked;
    if (!integrity.intact) {
        if (damaged) {
            *damaged = true;
            return Outcome::success();
        }
        return Outcome::failure(QStringLiteral("The new file failed its integrity check: ") + integrity.problem);
    }
    qint64 count = 0;
    if (const Outcome counted = copy.countRows(RecordTable, &count); !counted)
        return counted;
    if (count != expectedRecords)
        return Outcome::failure(
            QStringLiteral("The new file holds %1 instead of %2.").arg(records(count), records(expectedRecords)));
    return Outcome::success();
}

QString DatabaseRepair::wholePagesPath() const
{
    return m_temporaryPath + QStringLiteral("-whole");
}

// The engine reads the bytes lost from a file cut short as zeros, and a value read from them
// would be wrong. The salvage reads a copy without the partial last page instead: the records
// of that page cannot be read there, and are counted as lost.
Outcome DatabaseRepair::openWholePages(SqliteFile& whole)
{
    if (!QFile::copy(m_databasePath, wholePagesPath()) || !QFile::resize(wholePagesPath(), m_cutShortTo))
        return Outcome::failure(QStringLiteral("%1 could not be written.").arg(wholePagesPath()));
    if (const Outcome opened = whole.open(wholePagesPath(), SqliteFile::Mode::Existing); !opened)
        return opened;
    followEngine(whole);
    // The engine takes the file as it is, instead of refusing all of it for the pages it lacks.
    return whole.exec(QStringLiteral("PRAGMA writable_schema = ON"));
}

// The index of frequency values was copied as it could be read, so it may name records that
// were lost or miss some that were saved; it is made again from the saved records.
Outcome DatabaseRepair::rebuildFrequencyIndex() const
{
    SqliteFile copy;
    if (const Outcome opened = copy.open(m_temporaryPath, SqliteFile::Mode::Existing); !opened)
        return opened;
    if (!copy.hasTable(FrequencyIndex::TableName))
        return Outcome::success();
    return FrequencyIndex::rebuild(copy.handle());
}

Outcome DatabaseRepair::keepDamagedCopy()
{
    const QString path = damagedCopyPath();
    QFile original(m_databasePath);
    if (!original.copy(path))
        return Outcome::failure(original.errorString());
    m_damagedCopy = path;
    return syncFile(path);
}

DatabaseRepair::Result DatabaseRepair::run()
{
    Result result;
    result.databaseName = QFileInfo(m_databasePath).fileName();
    m_damagedCopy.clear();
    m_locked = false;

    // Held until the new file is in place and the folder on disk.
    WriterLock lock;
    qint64 expectedRecords = 0;
    {
        SqliteFile original;
        bool damaged = false;
        begin(Step::CheckOriginal);
        if (const Outcome o = checked(Step::CheckOriginal, openOriginal(original, lock, &damaged, &expectedRecords));
            !o)
            return fail(result, Step::CheckOriginal, o.error);
        if (const Outcome removed = checked(Step::RemoveLeftover, removeTemporaryFiles()); !removed)
            return fail(result, Step::RemoveLeftover, removed.error);
        if (!damaged) {
            begin(Step::Compact);
            if (const Outcome o = checked(Step::Compact, compactInto(original, &damaged)); !o)
                return fail(result, Step::Compact, o.error);
        }
        if (!damaged) {
            begin(Step::CheckCopy);
            if (const Outcome o = checked(Step::CheckCopy, checkCopy(expectedRecords, &damaged)); !o)
                return fail(result, Step::CheckCopy, o.error);
        }
        if (damaged) {
            begin(Step::SaveReadableRows);
            // A compaction that stopped at the damage may have left part of a copy.
            if (const Outcome removed = removeTemporaryFiles(); !removed)
                return fail(result, Step::SaveReadableRows, removed.error);
            result.damaged = true;
            SqliteFile whole;
            if (const Outcome o = m_cutShortTo >= 0 ? openWholePages(whole) : Outcome::success(); !o)
                return fail(result, Step::SaveReadableRows, o.error);
            const DatabaseSalvage::Report report =
                DatabaseSalvage::copyReadable(whole.handle() ? whole : original, m_temporaryPath, RecordTable);
            whole.close();
            QFile::remove(wholePagesPath());
            if (const Outcome o = checked(Step::SaveReadableRows, report.copied); !o)
                return fail(result, Step::SaveReadableRows, o.error);
            expectedRecords = report.savedRows;
            result.savedRecords = report.savedRows;
            result.unreadableRecords = report.unreadableRows;
            result.unreadableExact = report.unreadableExact;
            result.notRebuilt = report.notRebuilt;
            if (const Outcome o = checked(Step::SaveReadableRows, rebuildFrequencyIndex()); !o)
                return fail(result, Step::SaveReadableRows, o.error);
            begin(Step::CheckCopy);
            if (const Outcome o = checked(Step::CheckCopy, checkCopy(expectedRecords)); !o)
                return fail(result, Step::CheckCopy, o.error);
        }
    }
    // The new file takes the old one's permissions: a private database stays private.
    QFile::setPermissions(m_temporaryPath, QFileInfo(m_databasePath).permissions());
    begin(Step::SyncCopy);
    if (const Outcome o = checked(Step::SyncCopy, syncFile(m_temporaryPath)); !o)
        return fail(result, Step::SyncCopy, o.error);
    if (result.damaged) {
        begin(Step::KeepDamaged);
        if (const Outcome o = checked(Step::KeepDamaged, keepDamagedCopy()); !o)
            return fail(result, Step::KeepDamaged, o.error);
        result.keptDamagedAs = m_damagedCopy;
    }

    begin(Step::Replace);
    const QString folderPath = QFileInfo(m_databasePath).absolutePath();
    const int folder = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return fail(result, Step::Replace, systemError());
    if (const Outcome ready = checked(Step::Replace, Outcome::success()); !ready) {
        ::close(folder);
        return fail(result, Step::Replace, ready.error);
    }
    if (::rename(QFile::encodeName(m_temporaryPath).constData(), QFile::encodeName(m_databasePath).constData()) != 0) {
        const QString reason = systemError();
        ::close(folder);
        return fail(result, Step::Replace, reason);
    }
    result.replaced = true;
    // The new file is complete on disk; the folder sync makes the rename itself durable.
    Outcome synced = ::fsync(folder) == 0 ? Outcome::success() : Outcome::failure(systemError());
    ::close(folder);
    synced = checked(Step::SyncFolder, synced);
    if (!synced) {
        result.ok = false;
        result.failedStep = Step::SyncFolder;
        result.failedStepText = describe(Step::SyncFolder);
        result.reason = synced.error;
    }
    return result;
}

QString DatabaseRepair::Result::title() const
{
    return ok && !damaged ? QStringLiteral("Good News !") : QStringLiteral("Repair and Compact Database");
}

QString DatabaseRepair::Result::message() const
{
    if (!ok && !replaced) {
        return QStringLiteral("Repairing and compacting %1 failed while %2: %3\n\n%1 has not been changed.")
            .arg(databaseName, failedStepText, sentence(reason));
    }
    QString text;
    if (damaged) {
        const QString unreadable = unreadableExact     ? QString::number(unreadableRecords)
                                   : unreadableRecords ? QStringLiteral("at least %1").arg(unreadableRecords)
                                                       : QStringLiteral("unknown");
        text = QStringLiteral("%1 was damaged. It has been repaired and compacted, keeping every record that could "
                              "still be read.\n\nRecords saved: %2\nRecords that could not be read: %3")
                   .arg(databaseName)
                   .arg(savedRecords)
                   .arg(unreadable);
        if (!notRebuilt.isEmpty())
            text += QStringLiteral("\nParts that could not be rebuilt: %1").arg(notRebuilt.join(QStringLiteral(", ")));
        text += QStringLiteral("\n\nThe damaged file has been kept as %1.").arg(QFileInfo(keptDamagedAs).fileName());
    } else {
        text = QStringLiteral("FREQ.MDB file successfully repaired and compacted.");
    }
    if (!ok) {
        text += QStringLiteral("\n\nThe new file holds every record, but %1 failed: %2 Should the computer stop before "
                               "the system writes the folder out, the old file may take its place again.")
                    .arg(failedStepText, sentence(reason));
    }
    return text;
}

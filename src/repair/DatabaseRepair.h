#pragma once

#include "store/Outcome.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class SqliteFile;
class WriterLock;

// Repairs and compacts the database file in place. The compacted copy is written beside it,
// checked, synced to disk and renamed over the original in one step, so the file under its
// own name is always either the old one or the complete new one. A damaged file is rebuilt
// from the rows that can still be read and is kept beside the new one under another name.
class DatabaseRepair
{
public:
    enum class Step
    {
        RemoveLeftover,
        CheckOriginal,
        Compact,
        SaveReadableRows,
        CheckCopy,
        SyncCopy,
        KeepDamaged,
        Replace,
        SyncFolder
    };

    struct Result
    {
        bool ok = true;
        std::optional<Step> failedStep;
        QString failedStepText;
        QString reason;
        // The database file is the new one: on success, and when only syncing the folder failed.
        bool replaced = false;

        bool damaged = false;
        qint64 savedRecords = 0;
        qint64 unreadableRecords = 0;
        bool unreadableExact = true;
        QString keptDamagedAs;
        QStringList notRebuilt;

        QString databaseName;

        // The message box that reports the result to the user.
        QString message() const;
        QString title() const;
    };

    // databasePath: freqs.mdb; temporaryPath: newFreq.mdb in the same folder.
    DatabaseRepair(const QString& databasePath, const QString& temporaryPath);

    // Test hook: the step fails as if the system had refused it, after it has done its work;
    // Replace fails before renaming, since a rename that happened did not fail.
    void failAt(Step step) { m_failAt = step; }
    // Called as each step begins and, while the engine works, about ten times a second, so that
    // a window can repaint; a test widens the gap between two steps through it.
    void setProgress(std::function<void(Step)> progress) { m_progress = std::move(progress); }

    Result run();

    // Removes the new file and journal that a repair stopped by a crash or a kill left behind,
    // unless a repair (of another program) is at work on the file.
    void removeLeftovers();

    // What a step does, for the message: "writing the compacted copy newFreq.mdb".
    QString describe(Step step) const;

    // Where a damaged original is kept: freqs-damaged.mdb, or a numbered name when that exists.
    QString damagedCopyPath() const;

private:
    void begin(Step step);
    void followEngine(SqliteFile& file);
    Outcome checked(Step step, const Outcome& done) const;
    Result fail(Result result, Step step, const QString& reason);
    Outcome removeTemporaryFiles() const;
    Outcome openOriginal(SqliteFile& original, WriterLock& lock, bool* damaged, qint64* records);
    Outcome compactInto(SqliteFile& original, bool* damaged) const;
    Outcome checkCopy(qint64 expectedRecords, bool* damaged = nullptr);
    QString wholePagesPath() const;
    Outcome openWholePages(SqliteFile& whole);
    Outcome rebuildFrequencyIndex() const;
    Outcome keepDamagedCopy();

    QString m_databasePath;
    QString m_temporaryPath;
    QString m_damagedCopy;
    std::optional<Step> m_failAt;
    std::function<void(Step)> m_progress;
    Step m_step = Step::RemoveLeftover;
    bool m_locked = false;
    qint64 m_cutShortTo = -1;
    QElapsedTimer m_sinceProgress;
};

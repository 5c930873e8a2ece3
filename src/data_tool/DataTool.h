#pragma once

#include "query/RecordQuery.h"

#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;

// The orvo-data command line: import, export, find, repair and check, on the database Orvo uses
// unless --db names another. Output goes to the given devices, so that tests read it back.
class DataTool
{
public:
    enum ExitStatus
    {
        Success = 0,
        Failure = 1,
        UsageError = 2,
        ChangeWaiting = 3 // check: an interrupted change waits to be undone
    };

    DataTool(QIODevice& out, QIODevice& err);

    // Progress lines are shown only when the error device is a terminal.
    void setProgressShown(bool shown) { m_progressShown = shown; }
    // The folder of Orvo's own database; main() gives the same rule as Orvo.
    void setDefaultFolder(std::function<QString()> folder) { m_defaultFolder = std::move(folder); }

    // arguments[0] is the program name.
    int run(const QStringList& arguments);

private:
    int importRecords(const QString& file, const QString& dbPath, const QString& table, const QString& map,
                      bool skipDuplicates);
    // Every record, or those that the query text finds.
    // Every record, or those that the search finds.
    int exportRecords(const QString& dbPath, const std::optional<RecordQuery>& search, const QString& outPath,
                      bool byteOrderMark);
    int checkDatabase(const QString& dbPath);
    int repairDatabase(const QString& dbPath);

    int usageError(const QString& message);
    void say(const QString& text);
    void complain(const QString& text);
    std::function<void(double)> progressLine(const QString& label);
    void endProgressLine();

    QIODevice& m_out;
    QIODevice& m_err;
    bool m_progressShown = false;
    bool m_progressOpen = false;
    std::function<QString()> m_defaultFolder;
};

#include "data_tool/DataTool.h"

#include "exchange/AccessReader.h"
#include "exchange/CsvReader.h"
#include "store/DatabaseCheck.h"
#include "exchange/FieldMapping.h"
#include "query/FindSearch.h"
#include "store/OrvoDatabase.h"
#include "store/OutputFile.h"
#include "exchange/RecordExport.h"
#include "exchange/RecordImport.h"
#include "repair/DatabaseRepair.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QUuid>
#include <cmath>
#include <memory>

namespace {

const char* const Description = R"(Brings frequency records into Orvo's database and out of it.

Commands:
  import FILE   Adds the records of FILE, a CSV file or an Access database,
                to the database. It is all or nothing: after an error the
                database is as it was. A database that does not exist yet is
                created.
  export        Writes every record as CSV, in the order of Orvo's list.
  find TEXT     Writes the records that a frequency search for TEXT finds, as
                CSV in the same form: a number (728), a tolerance (728~1,
                728~0.5%) or a range (720-730).
  repair        Repairs and compacts the database as Orvo's File menu does,
                also one that Orvo cannot open: a damaged file is rebuilt
                from every record that can still be read, and kept beside
                the new one as freqs-damaged.mdb.
  check         Checks the database's integrity and counts its records.
                Exit status 0 when it is sound, 1 when it is not, 3 when a
                change that was interrupted waits to be undone.

CSV files are UTF-8 (a leading byte-order mark is accepted) with a header
line naming the columns: Description,Comments,F1,...,F40 in an export. Fields
with commas, quotes or line breaks are quoted, and quotes in them doubled. An
empty field is null (no value); "" is an empty text. Columns are matched by
name, letter case ignored; columns of other names are left out, and fields
without a column stay null.

Exit status: 0 done, 1 failed (the message names the line or row), 2 wrong
command line.)";

QString connectionName()
{
    return QStringLiteral("orvo-data-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// An open Orvo database for the length of a command.
class OpenDatabase
{
public:
    Outcome open(const QString& path, bool readOnly = false)
    {
        m_connection = connectionName();
        const Outcome opened = OrvoDatabase::open(path, m_connection, readOnly);
        if (!opened)
            m_connection.clear();
        return opened;
    }
    QSqlDatabase database() const { return QSqlDatabase::database(m_connection, false); }
    void close()
    {
        if (m_connection.isEmpty())
            return;
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
        m_connection.clear();
    }
    ~OpenDatabase() { close(); }

private:
    QString m_connection;
};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// "1 record", "3 records".
QString counted(qint64 count, const char* noun)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun)).arg(count == 1 ? "" : "s");
}

} // namespace

DataTool::DataTool(QIODevice& out, QIODevice& err)
    : m_out(out), m_err(err), m_defaultFolder([] { return QDir::currentPath(); })
{
}

int DataTool::run(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("import, export, find, repair or check."),
                                 QStringLiteral("COMMAND"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("import: the CSV or Access file; find: the search text."),
                                 QStringLiteral("[FILE|TEXT]"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The database to work on (default: the freqs.mdb that Orvo uses, %1).")
                                    .arg(native(QDir(m_defaultFolder()).filePath(QStringLiteral("freqs.mdb")))),
                                QStringLiteral("PATH"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("import, Access file: the table to read (default: Main)."),
                                   QStringLiteral("NAME"));
    const QCommandLineOption map(
        QStringLiteral("map"),
        QStringLiteral("import: the columns that fill fields of other names, as in "
                       "Description=Name,Comments=Notes,F1=Hz. A field not named takes the column of its own name."),
        QStringLiteral("FIELD=COLUMN,..."));
    const QCommandLineOption skipDuplicates(
        QStringLiteral("skip-duplicates"),
        QStringLiteral("import: leaves out every record equal in all fields to one already stored."));
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("export, find: the CSV file to write (default, or -: standard output)."),
        QStringLiteral("FILE"));
    const QCommandLineOption excel(
        QStringLiteral("excel"),
        QStringLiteral("export, find: starts the file with a byte-order mark, so that spreadsheet programs read UTF-8."));
    for (const QCommandLineOption& option : {help, db, table, map, skipDuplicates, out, excel})
        parser.addOption(option);
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        say(parser.helpText());
        return Success;
    }
    if (parser.isSet(version)) {
        say(QStringLiteral("orvo-data %1.%2.%3\n")
                .arg(ORVO_VERSION_MAJOR)
                .arg(ORVO_VERSION_MINOR)
                .arg(ORVO_VERSION_REVISION));
        return Success;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("Name a command: import, export, find, repair or check."));
    const QString command = positional.first();
    const QStringList allowed =
        command == QLatin1String("import") ? QStringList{"db", "table", "map", "skip-duplicates"}
        : command == QLatin1String("export") || command == QLatin1String("find")  ? QStringList{"db", "out", "excel"}
        : command == QLatin1String("check") || command == QLatin1String("repair") ? QStringList{"db"}
                                                                                  : QStringList();
    if (allowed.isEmpty())
        return usageError(QStringLiteral("Unknown command %1; the commands are import, export, find, repair and check.")
                              .arg(command));
    for (const QString& name : parser.optionNames()) {
        if (!allowed.contains(name))
            return usageError(QStringLiteral("--%1 does not go with %2.").arg(name, command));
    }
    const bool needsText = command == QLatin1String("find");
    const int filesExpected = command == QLatin1String("import") || needsText ? 1 : 0;
    if (positional.size() - 1 != filesExpected) {
        return usageError(needsText       ? QStringLiteral("find needs one search TEXT.")
                          : filesExpected ? QStringLiteral("import needs one FILE to read.")
                                          : QStringLiteral("%1 takes no FILE.").arg(command));
    }
    std::optional<RecordQuery> search;
    if (needsText) {
        const FindPlan plan = FindSearch::plan(FindOptions{false, false, true}, positional.at(1));
        if (!plan.runs())
            return usageError(plan.prompt);
        search = plan.search;
    }

    const QString dbPath =
        parser.isSet(db) ? parser.value(db) : QDir(m_defaultFolder()).filePath(QStringLiteral("freqs.mdb"));
    // SQLite's words for it ("unable to open database file") name neither the folder nor the cause.
    if (const QFileInfo folder(QFileInfo(dbPath).absolutePath()); !folder.isDir()) {
        complain(QStringLiteral("The folder %1 of the database does not exist.").arg(native(folder.filePath())));
        return Failure;
    }
    if (command == QLatin1String("import")) {
        return importRecords(positional.at(1), dbPath, parser.value(table), parser.value(map),
                             parser.isSet(skipDuplicates));
    }
    if (command == QLatin1String("export") || needsText)
        return exportRecords(dbPath, search, parser.value(out), parser.isSet(excel));
    if (command == QLatin1String("repair"))
        return repairDatabase(dbPath);
    return checkDatabase(dbPath);
}

int DataTool::importRecords(const QString& file, const QString& dbPath, const QString& table, const QString& map,
                            bool skipDuplicates)
{
    FieldMapping mapping;
    QString mapError;
    if (!mapping.parse(map, &mapError))
        return usageError(QStringLiteral("--map: %1").arg(mapError));

    const OrvoDatabase::FileKind kind = OrvoDatabase::fileKind(file);
    if (kind == OrvoDatabase::FileKind::Missing) {
        complain(QStringLiteral("%1 does not exist.").arg(native(file)));
        return Failure;
    }
    QFile csvFile(file);
    std::unique_ptr<TableSource> source;
    if (kind == OrvoDatabase::FileKind::Access) {
        source = std::make_unique<AccessReader>(file, table.isEmpty() ? QStringLiteral("Main") : table);
    } else {
        if (!table.isEmpty())
            return usageError(QStringLiteral("--table is for Access files; %1 is read as CSV.").arg(native(file)));
        if (kind == OrvoDatabase::FileKind::SQLite && QFileInfo(file).size() > 0) {
            complain(QStringLiteral("%1 is an SQLite database, not CSV. Export it with orvo-data export --db %1 "
                                    "--out FILE.csv, then import that file.")
                         .arg(native(file)));
            return Failure;
        }
        if (!csvFile.open(QIODevice::ReadOnly)) {
            complain(QStringLiteral("%1 cannot be read: %2").arg(native(file), csvFile.errorString()));
            return Failure;
        }
        source = std::make_unique<CsvReader>(csvFile);
    }

    // A database made for this import goes again when the import fails.
    bool created = false;
    switch (OrvoDatabase::fileKind(dbPath)) {
    case OrvoDatabase::FileKind::Access:
        complain(QStringLiteral("The database %1 is an Access file. Start Orvo once to convert it, then import.")
                     .arg(native(dbPath)));
        return Failure;
    case OrvoDatabase::FileKind::Missing:
        if (const Outcome made = OrvoDatabase::createEmpty(dbPath); !made) {
            complain(QStringLiteral("The database %1 could not be created: %2").arg(native(dbPath), made.error));
            return Failure;
        }
        created = true;
        break;
    default:
        break;
    }
    OpenDatabase database;
    if (const Outcome opened = database.open(dbPath); !opened) {
        if (created)
            QFile::remove(dbPath);
        complain(QStringLiteral("The database %1 cannot be opened: %2").arg(native(dbPath), opened.error));
        return Failure;
    }

    ImportOptions options;
    options.skipDuplicates = skipDuplicates;
    options.progress = progressLine(QStringLiteral("Importing"));
    const ImportReport report = RecordImport::run(*source, mapping, database.database(), options);
    database.close();
    if (!report.outcome) {
        if (created)
            QFile::remove(dbPath);
        complain(QStringLiteral("%1: %2").arg(native(file), report.outcome.error));
        complain(created ? QStringLiteral("Nothing was imported, and no database was created.")
                         : QStringLiteral("Nothing was imported; %1 is as it was.").arg(native(dbPath)));
        return Failure;
    }
    if (!report.unusedColumns.isEmpty())
        complain(QStringLiteral("Left out the columns %1.").arg(report.unusedColumns.join(QStringLiteral(", "))));
    QString summary =
        QStringLiteral("%1 %2 into %3")
            .arg(created ? QStringLiteral("Created the database and imported") : QStringLiteral("Imported"))
            .arg(counted(report.added, "record"))
            .arg(native(dbPath));
    if (skipDuplicates)
        summary += QStringLiteral("; %1 left out").arg(counted(report.skipped, "duplicate"));
    say(summary + QStringLiteral(".\n"));
    return Success;
}

int DataTool::exportRecords(const QString& dbPath, const std::optional<RecordQuery>& search, const QString& outPath,
                            bool byteOrderMark)
{
    const bool toStandardOutput = outPath.isEmpty() || outPath == QLatin1String("-");
    OpenDatabase database;
    if (const Outcome opened = database.open(dbPath, true); !opened) {
        complain(QStringLiteral("The database %1 cannot be opened: %2").arg(native(dbPath), opened.error));
        return Failure;
    }
    QIODevice* device = &m_out;
    std::unique_ptr<OutputFile> file;
    if (!toStandardOutput) {
        file = std::make_unique<OutputFile>(outPath);
        if (!file->open()) {
            complain(QStringLiteral("%1 cannot be written: %2").arg(native(outPath), file->errorString()));
            return Failure;
        }
        device = &file->device();
    }
    RecordExport::Options options;
    options.search = search.value_or(RecordQuery::allRecords());
    options.byteOrderMark = byteOrderMark;
    options.progress = progressLine(search ? QStringLiteral("Finding") : QStringLiteral("Exporting"));
    qint64 written = 0;
    Outcome exported = RecordExport::toCsv(database.database(), *device, options, &written);
    if (exported && file && !file->commit())
        exported =
            Outcome::failure(QStringLiteral("%1 cannot be written: %2").arg(native(outPath), file->errorString()));
    if (!exported) {
        complain(exported.error);
        return Failure;
    }
    endProgressLine();
    // Standard output may be the CSV itself, so the summary goes with the messages.
    m_err.write(QStringLiteral("%1 %2%3.\n")
                    .arg(search ? QStringLiteral("Found") : QStringLiteral("Exported"))
                    .arg(counted(written, "record"))
                    .arg(toStandardOutput ? QString() : QStringLiteral(" to ") + native(outPath))
                    .toUtf8());
    return Success;
}

int DataTool::checkDatabase(const QString& dbPath)
{
    const DatabaseCheck::Report report = DatabaseCheck::run(dbPath);
    if (report.changeWaiting) {
        say(QStringLiteral("%1 cannot be checked yet: a change that a program left unfinished when it stopped is "
                           "waiting to be undone. Opening the database for writing undoes it: start Orvo on it, or "
                           "run orvo-data repair --db %1. Then check again.\n")
                .arg(native(dbPath)));
        return ChangeWaiting;
    }
    if (report.sound()) {
        say(QStringLiteral("%1 is sound: %2.\n").arg(native(dbPath), counted(report.records, "record")));
        return Success;
    }
    QString text = QStringLiteral("%1 is not sound:\n").arg(native(dbPath));
    for (const QString& problem : report.problems)
        text += QStringLiteral("  %1\n").arg(problem);
    say(text);
    return Failure;
}

int DataTool::repairDatabase(const QString& dbPath)
{
    DatabaseRepair repair(dbPath, QFileInfo(dbPath).dir().filePath(QStringLiteral("newFreq.mdb")));
    const DatabaseRepair::Result result = repair.run();
    if (!result.ok && !result.replaced) {
        complain(result.message());
        return Failure;
    }
    // The window's words name the file FREQ.MDB whatever its name.
    say(result.damaged || !result.ok ? result.message() + QLatin1Char('\n')
                                     : QStringLiteral("%1 has been repaired and compacted.\n").arg(native(dbPath)));
    return result.ok ? Success : Failure;
}

int DataTool::usageError(const QString& message)
{
    complain(message + QStringLiteral(" See orvo-data --help."));
    return UsageError;
}

void DataTool::say(const QString& text)
{
    endProgressLine();
    m_out.write(text.toUtf8());
}

void DataTool::complain(const QString& text)
{
    endProgressLine();
    m_err.write(QStringLiteral("orvo-data: %1\n").arg(text).toUtf8());
}

std::function<void(double)> DataTool::progressLine(const QString& label)
{
    if (!m_progressShown)
        return {};
    auto shown = std::make_shared<int>(-1);
    return [this, label, shown](double done) {
        if (done < 0)
            return;
        const int percent = int(std::floor(done * 100.0));
        if (percent == *shown)
            return;
        *shown = percent;
        m_err.write(QStringLiteral("\r%1 %2%").arg(label).arg(percent, 3).toUtf8());
        m_progressOpen = true;
    };
}

void DataTool::endProgressLine()
{
    if (!m_progressOpen)
        return;
    m_progressOpen = false;
    m_err.write("\n");
}

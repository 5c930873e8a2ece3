#include "DatabaseFiles.h"
#include "store/DatabaseRepair.h"
#include "store/OrvoDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

using namespace DatabaseFiles;
using Step = DatabaseRepair::Step;

Q_DECLARE_METATYPE(DatabaseRepair::Step)
Q_DECLARE_METATYPE(DatabaseRepair::Result)
Q_DECLARE_METATYPE(TestRecord)

// Repair and compact on the file itself: what survives, what is left behind, what is said.
class TestDatabaseRepair : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keepsEveryRecord_data();
    void keepsEveryRecord();
    void compactsFreePages();
    void keepsFilePermissions();
    void failureLeavesDatabaseAsBefore_data();
    void failureLeavesDatabaseAsBefore();
    void removesLeftoverFiles_data();
    void removesLeftoverFiles();
    void leftoverThatCannotBeRemoved();
    void lockedDatabaseIsNotTakenForDamaged();
    void refusesFilesItCannotRead_data();
    void refusesFilesItCannotRead();
    void savesReadableRowsOfDamagedFile_data();
    void savesReadableRowsOfDamagedFile();
    void neverOverwritesAnEarlierDamagedCopy();
    void messages_data();
    void messages();

private:
    QString path(const QString& name) const { return QDir(m_folder->path()).filePath(name); }
    QString dbPath() const { return path(QStringLiteral("freqs.mdb")); }
    QString tempPath() const { return path(QStringLiteral("newFreq.mdb")); }
    DatabaseRepair::Result repair(std::optional<Step> failAt = std::nullopt);
    QStringList folderEntries() const;

    std::unique_ptr<QTemporaryDir> m_folder;
};

DatabaseRepair::Result TestDatabaseRepair::repair(std::optional<Step> failAt)
{
    DatabaseRepair repair(dbPath(), tempPath());
    if (failAt)
        repair.failAt(*failAt);
    return repair.run();
}

QStringList TestDatabaseRepair::folderEntries() const
{
    return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void TestDatabaseRepair::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void TestDatabaseRepair::keepsEveryRecord_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<bool>("frequencyIndex");

    QTest::newRow("empty table") << QVector<TestRecord>() << false;
    QTest::newRow("one record of nulls") << QVector<TestRecord>{TestRecord::make(nullText())} << false;
    QTest::newRow("many pages of every value kind") << manyRecords(400) << false;
    QTest::newRow("with a frequency index kept by triggers") << manyRecords(50) << true;
}

void TestDatabaseRepair::keepsEveryRecord()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(bool, frequencyIndex);
    createDatabase(dbPath(), records);
    if (frequencyIndex)
        QVERIFY(addFrequencyIndex(dbPath()));
    const QStringList before = content(dbPath());

    const DatabaseRepair::Result result = repair();

    QVERIFY2(result.ok, qPrintable(result.message()));
    QVERIFY(!result.damaged);
    QCOMPARE(result.message(), QStringLiteral("FREQ.MDB file successfully repaired and compacted."));
    QCOMPARE(result.title(), QStringLiteral("Good News !"));
    QCOMPARE(content(dbPath()), before);
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("freqs.mdb")});
    QCOMPARE(pragmaValue(dbPath(), QStringLiteral("integrity_check")), QStringLiteral("ok"));
    // The program opens the result as its own database.
    QVERIFY(OrvoDatabase::open(dbPath(), QStringLiteral("repaired")).ok);
    QSqlDatabase::removeDatabase(QStringLiteral("repaired"));
    if (frequencyIndex) {
        QVERIFY(execute(dbPath(), QStringLiteral("INSERT INTO Main (Description, F2) VALUES ('new', '5')")));
        QCOMPARE(content(dbPath(), QStringLiteral("FrequencyIndex")).size(), records.size() + 1);
    }
}

void TestDatabaseRepair::compactsFreePages()
{
    createDatabase(dbPath(), manyRecords(600));
    QVERIFY(execute(dbPath(), QStringLiteral("DELETE FROM Main WHERE rowid % 10 <> 0")));
    QVERIFY(pragmaValue(dbPath(), QStringLiteral("freelist_count")).toInt() > 20);
    const QStringList before = content(dbPath());
    const qint64 sizeBefore = QFileInfo(dbPath()).size();

    QVERIFY(repair().ok);

    QCOMPARE(content(dbPath()), before);
    QCOMPARE(pragmaValue(dbPath(), QStringLiteral("freelist_count")), QStringLiteral("0"));
    QVERIFY2(QFileInfo(dbPath()).size() < sizeBefore / 3,
             qPrintable(QStringLiteral("%1 -> %2").arg(sizeBefore).arg(QFileInfo(dbPath()).size())));
}

void TestDatabaseRepair::keepsFilePermissions()
{
    createDatabase(dbPath(), manyRecords(3));
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QVERIFY(QFile::setPermissions(dbPath(), owner));

    QVERIFY(repair().ok);

    QCOMPARE(QFileInfo(dbPath()).permissions(), owner);
}

void TestDatabaseRepair::failureLeavesDatabaseAsBefore_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("damaged");

    const QVector<QPair<const char*, Step>> sound{
        {"remove leftover", Step::RemoveLeftover}, {"check original", Step::CheckOriginal}, {"compact", Step::Compact},
        {"check copy", Step::CheckCopy},           {"sync copy", Step::SyncCopy},           {"replace", Step::Replace},
        {"sync folder", Step::SyncFolder}};
    for (const auto& [name, step] : sound)
        QTest::newRow(name) << step << false;
    const QVector<QPair<const char*, Step>> damaged{
        {"damaged: check original", Step::CheckOriginal}, {"damaged: save readable rows", Step::SaveReadableRows},
        {"damaged: check copy", Step::CheckCopy},         {"damaged: sync copy", Step::SyncCopy},
        {"damaged: keep damaged", Step::KeepDamaged},     {"damaged: replace", Step::Replace},
        {"damaged: sync folder", Step::SyncFolder}};
    for (const auto& [name, step] : damaged)
        QTest::newRow(name) << step << true;
}

void TestDatabaseRepair::failureLeavesDatabaseAsBefore()
{
    QFETCH(Step, step);
    QFETCH(bool, damaged);
    createDatabase(dbPath(), manyRecords(400));
    QVERIFY(addFrequencyIndex(dbPath()));
    const QStringList sound = content(dbPath());
    if (damaged)
        QVERIFY(damagePage(dbPath(), TableLeaf));
    const QByteArray before = fileBytes(dbPath());

    DatabaseRepair repair(dbPath(), tempPath());
    repair.failAt(step);
    const DatabaseRepair::Result result = repair.run();

    QVERIFY(!result.ok);
    QVERIFY(result.failedStep == step);
    QVERIFY2(result.message().contains(repair.describe(step)), qPrintable(result.message()));
    QVERIFY(result.message().contains(QLatin1String("The step was made to fail.")));
    QCOMPARE(result.title(), QStringLiteral("Repair and Compact Database"));
    QVERIFY(!QFileInfo::exists(tempPath()));
    QVERIFY(!QFileInfo::exists(tempPath() + QStringLiteral("-journal")));
    if (step != Step::SyncFolder) {
        QVERIFY(!result.replaced);
        QVERIFY(fileBytes(dbPath()) == before);
        QVERIFY(result.message().endsWith(QLatin1String("freqs.mdb has not been changed.")));
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("freqs.mdb")});
        return;
    }
    // Once the new file has its name, a failed folder sync changes nothing in it.
    QVERIFY(result.replaced);
    if (damaged) {
        QVERIFY(fileBytes(path(QStringLiteral("freqs-damaged.mdb"))) == before);
    } else {
        QCOMPARE(content(dbPath()), sound);
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("freqs.mdb")});
    }
}

void TestDatabaseRepair::removesLeftoverFiles_data()
{
    QTest::addColumn<QStringList>("leftovers");
    QTest::addColumn<bool>("leftoverIsDatabase");

    QTest::newRow("garbage") << QStringList{QStringLiteral("newFreq.mdb")} << false;
    QTest::newRow("database of other records") << QStringList{QStringLiteral("newFreq.mdb")} << true;
    // A journal beside a new file would roll that file back into the leftover's pages.
    QTest::newRow("database with its journal")
        << QStringList{QStringLiteral("newFreq.mdb"), QStringLiteral("newFreq.mdb-journal")} << true;
    QTest::newRow("journal alone") << QStringList{QStringLiteral("newFreq.mdb-journal")} << false;
}

void TestDatabaseRepair::removesLeftoverFiles()
{
    QFETCH(QStringList, leftovers);
    QFETCH(bool, leftoverIsDatabase);
    createDatabase(dbPath(), manyRecords(30));
    const QStringList before = content(dbPath());
    for (const QString& name : leftovers) {
        if (leftoverIsDatabase && name == QLatin1String("newFreq.mdb")) {
            createDatabase(path(name), {TestRecord::make("stale")});
        } else {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(5000, 'x'));
        }
    }

    const DatabaseRepair::Result result = repair();

    QVERIFY2(result.ok, qPrintable(result.message()));
    QCOMPARE(content(dbPath()), before);
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("freqs.mdb")});
}

void TestDatabaseRepair::leftoverThatCannotBeRemoved()
{
    createDatabase(dbPath(), manyRecords(5));
    const QByteArray before = fileBytes(dbPath());
    QVERIFY(QDir().mkpath(path(QStringLiteral("newFreq.mdb/inside"))));

    const DatabaseRepair::Result result = repair();

    QVERIFY(!result.ok);
    QVERIFY(result.failedStep == Step::RemoveLeftover);
    QVERIFY2(result.message().startsWith(QLatin1String("Repairing and compacting freqs.mdb failed while removing the "
                                                       "file newFreq.mdb left by an earlier run: ")),
             qPrintable(result.message()));
    QVERIFY(fileBytes(dbPath()) == before);
    QVERIFY(QFileInfo(path(QStringLiteral("newFreq.mdb/inside"))).isDir());
}

void TestDatabaseRepair::lockedDatabaseIsNotTakenForDamaged()
{
    createDatabase(dbPath(), manyRecords(5));
    const QByteArray before = fileBytes(dbPath());
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    const DatabaseRepair::Result result = repair();

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(other);
    QVERIFY(!result.ok);
    QVERIFY(!result.damaged);
    QVERIFY(result.failedStep == Step::CheckOriginal);
    QVERIFY2(result.reason.contains(QLatin1String("locked")), qPrintable(result.reason));
    QVERIFY(fileBytes(dbPath()) == before);
    QCOMPARE(folderEntries(), QStringList{QStringLiteral("freqs.mdb")});
}

void TestDatabaseRepair::refusesFilesItCannotRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<Step>("step");
    QTest::addColumn<QString>("reason");

    QByteArray schemaPageBroken = QByteArray("SQLite format 3\0", 16) + QByteArray(4096 - 16, '\xff');
    schemaPageBroken[16] = 0x10; // page size 4096
    schemaPageBroken[17] = 0x00;
    QTest::newRow("missing") << QByteArray() << false << Step::CheckOriginal
                             << QStringLiteral("The file does not exist.");
    QTest::newRow("text file") << QByteArray("Description;Comments\r\n") << true << Step::CheckOriginal
                               << QStringLiteral("not an SQLite database file");
    QTest::newRow("access file") << QByteArray("\0\1\0\0Standard Jet DB\0", 20) << true << Step::CheckOriginal
                                 << QStringLiteral("not an SQLite database file");
    QTest::newRow("empty file") << QByteArray() << true << Step::CheckOriginal << QStringLiteral("no such table: Main");
    QTest::newRow("table list unreadable") << schemaPageBroken << true << Step::SaveReadableRows
                                           << QStringLiteral("The list of its tables cannot be read");
}

void TestDatabaseRepair::refusesFilesItCannotRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QFETCH(Step, step);
    QFETCH(QString, reason);
    if (exists) {
        QFile file(dbPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    const DatabaseRepair::Result result = repair();

    QVERIFY(!result.ok);
    QVERIFY(result.failedStep == step);
    QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
    QCOMPARE(QFileInfo::exists(dbPath()), exists);
    if (exists)
        QVERIFY(fileBytes(dbPath()) == bytes);
    QCOMPARE(folderEntries(), exists ? QStringList{QStringLiteral("freqs.mdb")} : QStringList());
}

void TestDatabaseRepair::savesReadableRowsOfDamagedFile_data()
{
    QTest::addColumn<char>("pageKind");
    QTest::addColumn<bool>("frequencyIndex");
    QTest::addColumn<bool>("descriptionIndex");
    QTest::addColumn<bool>("recordsLost");

    QTest::newRow("a page of records") << TableLeaf << false << true << true;
    QTest::newRow("a page of the description index") << IndexLeaf << false << true << false;
    QTest::newRow("a page beside a frequency index") << TableLeaf << true << true << true;
    // Without an index nothing tells how many rows the damaged page held.
    QTest::newRow("a page of records, no index") << TableLeaf << false << false << true;
}

void TestDatabaseRepair::savesReadableRowsOfDamagedFile()
{
    QFETCH(char, pageKind);
    QFETCH(bool, frequencyIndex);
    QFETCH(bool, descriptionIndex);
    QFETCH(bool, recordsLost);
    const int total = 400;
    createDatabase(dbPath(), manyRecords(total));
    if (frequencyIndex)
        QVERIFY(addFrequencyIndex(dbPath()));
    if (!descriptionIndex)
        QVERIFY(execute(dbPath(), QStringLiteral("DROP INDEX MainDescriptionNoCase")));
    const QStringList sound = content(dbPath());
    QVERIFY(damagePage(dbPath(), pageKind));
    const QByteArray damagedBytes = fileBytes(dbPath());

    const DatabaseRepair::Result result = repair();

    QVERIFY2(result.ok, qPrintable(result.message()));
    QVERIFY(result.damaged);
    QVERIFY(result.notRebuilt.isEmpty());
    QCOMPARE(result.title(), QStringLiteral("Repair and Compact Database"));
    QCOMPARE(result.savedRecords < total, recordsLost);
    if (recordsLost)
        QVERIFY(result.savedRecords > 0);
    QCOMPARE(result.unreadableExact, descriptionIndex);
    if (descriptionIndex)
        QCOMPARE(result.savedRecords + result.unreadableRecords, qint64(total));
    const QString lost = descriptionIndex ? QString::number(result.unreadableRecords) : QStringLiteral("unknown");
    QVERIFY2(
        result.message().contains(
            QStringLiteral("Records saved: %1\nRecords that could not be read: %2").arg(result.savedRecords).arg(lost)),
        qPrintable(result.message()));
    QVERIFY(result.message().endsWith(QLatin1String("The damaged file has been kept as freqs-damaged.mdb.")));

    // The damaged original is kept as it was; the new file is sound and holds only true rows.
    QCOMPARE(folderEntries(), (QStringList{QStringLiteral("freqs-damaged.mdb"), QStringLiteral("freqs.mdb")}));
    QVERIFY(fileBytes(path(QStringLiteral("freqs-damaged.mdb"))) == damagedBytes);
    QCOMPARE(pragmaValue(dbPath(), QStringLiteral("integrity_check")), QStringLiteral("ok"));
    const QStringList repaired = content(dbPath());
    QCOMPARE(repaired.filter(QRegularExpression(QStringLiteral("^Main:"))).size(), int(result.savedRecords));
    for (const QString& line : repaired)
        QVERIFY2(sound.contains(line), qPrintable(line));
    // The schema is whole again (triggers did not fire on the copied rows: no row is new).
    QCOMPARE(repaired.filter(QRegularExpression(QStringLiteral("^[^:]*$"))),
             sound.filter(QRegularExpression(QStringLiteral("^[^:]*$"))));
    QVERIFY(OrvoDatabase::open(dbPath(), QStringLiteral("repaired")).ok);
    QSqlDatabase::removeDatabase(QStringLiteral("repaired"));
}

void TestDatabaseRepair::neverOverwritesAnEarlierDamagedCopy()
{
    createDatabase(dbPath(), manyRecords(400));
    QVERIFY(damagePage(dbPath(), TableLeaf));
    QFile earlier(path(QStringLiteral("freqs-damaged.mdb")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier damaged file");
    earlier.close();
    const QByteArray damagedBytes = fileBytes(dbPath());

    const DatabaseRepair::Result result = repair();

    QVERIFY(result.ok);
    QVERIFY(result.message().endsWith(QLatin1String("kept as freqs-damaged-2.mdb.")));
    QCOMPARE(fileBytes(path(QStringLiteral("freqs-damaged.mdb"))), QByteArray("an earlier damaged file"));
    QVERIFY(fileBytes(path(QStringLiteral("freqs-damaged-2.mdb"))) == damagedBytes);
}

void TestDatabaseRepair::messages_data()
{
    QTest::addColumn<DatabaseRepair::Result>("result");
    QTest::addColumn<QString>("message");

    DatabaseRepair::Result base;
    base.databaseName = QStringLiteral("freqs.mdb");
    base.replaced = true;
    QTest::newRow("success") << base << QStringLiteral("FREQ.MDB file successfully repaired and compacted.");

    DatabaseRepair::Result damaged = base;
    damaged.damaged = true;
    damaged.savedRecords = 297;
    damaged.unreadableRecords = 3;
    damaged.keptDamagedAs = QStringLiteral("/data/freqs-damaged.mdb");
    QTest::newRow("damaged") << damaged
                             << QStringLiteral("freqs.mdb was damaged. It has been repaired and compacted, keeping "
                                               "every record that could still be read.\n\nRecords saved: 297\nRecords "
                                               "that could not be read: 3\n\nThe damaged file has been kept as "
                                               "freqs-damaged.mdb.");
    DatabaseRepair::Result unknown = damaged;
    unknown.unreadableRecords = 0;
    unknown.unreadableExact = false;
    unknown.notRebuilt = QStringList{QStringLiteral("Extra")};
    QTest::newRow("damaged, losses unknown")
        << unknown
        << QStringLiteral("freqs.mdb was damaged. It has been repaired and compacted, keeping every record that could "
                          "still be read.\n\nRecords saved: 297\nRecords that could not be read: unknown\nParts that "
                          "could not be rebuilt: Extra\n\nThe damaged file has been kept as freqs-damaged.mdb.");
    DatabaseRepair::Result failed = base;
    failed.ok = false;
    failed.replaced = false;
    failed.failedStep = Step::Compact;
    failed.failedStepText = QStringLiteral("writing the compacted copy newFreq.mdb");
    failed.reason = QStringLiteral("database or disk is full");
    QTest::newRow("failed") << failed
                            << QStringLiteral("Repairing and compacting freqs.mdb failed while writing the compacted "
                                              "copy newFreq.mdb: database or disk is full.\n\nfreqs.mdb has not been "
                                              "changed.");
}

void TestDatabaseRepair::messages()
{
    QFETCH(DatabaseRepair::Result, result);
    QFETCH(QString, message);
    QCOMPARE(result.message(), message);
}

QTEST_GUILESS_MAIN(TestDatabaseRepair)
#include "tst_databaserepair.moc"

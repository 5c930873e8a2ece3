#include "support/DatabaseFiles.h"
#include "repair/DatabaseRepair.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"
#include "store/SqliteFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

using namespace DatabaseFiles;
using Step = DatabaseRepair::Step;

const QString MadeToFail = QStringLiteral("The step was made to fail.");
constexpr char Misleading = 'm';
constexpr char CutShort = 'c';

Q_DECLARE_METATYPE(DatabaseRepair::Step)
Q_DECLARE_METATYPE(TestRecord)

// Repair and compact on the file itself: what survives, what is left behind, what is said.
class TestDatabaseRepair : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_folder.emplace().isValid()); }
    void keepsEveryRecord_data();
    void keepsEveryRecord();
    void failureLeavesDatabaseAsBefore_data();
    void failureLeavesDatabaseAsBefore();
    void savesReadableRowsOfDamagedFile_data();
    void savesReadableRowsOfDamagedFile();
    void rebuildsFrequencyIndexOfDamagedFile();

private:
    QString path(const QString& name = QStringLiteral("freqs.mdb")) const { return m_folder->filePath(name); }
    DatabaseRepair::Result repair() { return DatabaseRepair(path(), path("newFreq.mdb")).run(); }
    QStringList folderEntries() const
    {
        return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    bool opensAsOrvoDatabase() const
    {
        bool opened = false;
        onOrvoDatabase(path(), [&](const QSqlDatabase&) { opened = true; });
        return opened;
    }

    std::optional<QTemporaryDir> m_folder;
};

void TestDatabaseRepair::keepsEveryRecord_data()
{
    QTest::addColumn<QVector<TestRecord>>("records");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("shrinks");
    QTest::addColumn<QString>("leftover"); // garbage left by an interrupted run, or "import" by another program

    QTest::newRow("empty table") << QVector<TestRecord>() << QString() << false << QString();
    QTest::newRow("one record of nulls") << QVector<TestRecord>{TestRecord::make(nullText())} << QString() << false
                                         << QString();
    QTest::newRow("many pages of every value kind") << manyRecords(400) << QString() << false << QString();
    QTest::newRow("with a frequency index kept by triggers")
        << manyRecords(50) << UserFrequencyTable << false << QString();
    QTest::newRow("free pages") << manyRecords(600) << "DELETE FROM Main WHERE rowid % 10 <> 0" << true << QString();
    QTest::newRow("leftover newFreq.mdb") << manyRecords(30) << QString() << false << "newFreq.mdb";
    // A journal beside the new file would roll it back into the leftover's pages.
    QTest::newRow("leftover journal") << manyRecords(30) << QString() << false << "newFreq.mdb-journal";
    // Committed to the original after the copy was taken, its records would go with the old file.
    QTest::newRow("another program imports meanwhile") << manyRecords(30) << QString() << false << "import";
}

void TestDatabaseRepair::keepsEveryRecord()
{
    QFETCH(QVector<TestRecord>, records);
    QFETCH(QString, sql);
    QFETCH(bool, shrinks);
    QFETCH(QString, leftover);
    createDatabase(path(), records);
    const bool importing = leftover == QLatin1String("import");
    if (!leftover.isEmpty() && !importing)
        writeFile(path(leftover), QByteArray(5000, 'x'));
    QVERIFY(sql.isEmpty() || execute(path(), sql));
    QCOMPARE(rowsOf(path(), "PRAGMA freelist_count").first().mid(1).toInt() > 20, shrinks);
    const qint64 sizeBefore = QFileInfo(path()).size();
    const QStringList before = content(path());
    // A file only its owner may read stays that way.
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QVERIFY(QFile::setPermissions(path(), owner));

    DatabaseRepair repair(path(), path("newFreq.mdb"));
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath("ten.csv"), "Description\r\n" + QByteArray("Imported\r\n").repeated(10));
    int imported = -1;
    repair.setProgress([&](Step step) {
        if (importing && step == Step::Replace && imported < 0)
            imported =
                QProcess::execute(ORVO_DATA_EXECUTABLE, {"import", elsewhere.filePath("ten.csv"), "--db", path()});
    });
    const DatabaseRepair::Result result = repair.run();

    // Nothing is lost: the other program is told that it could not write.
    QCOMPARE(imported, importing ? 1 : -1);
    QVERIFY2(result.ok && !result.damaged, qPrintable(result.message()));
    QCOMPARE(result.message(), QStringLiteral("FREQ.MDB file successfully repaired and compacted."));
    QCOMPARE(result.title(), QStringLiteral("Good News !"));
    QCOMPARE(content(path()), before);
    QCOMPARE(folderEntries(), QStringList{"freqs.mdb"});
    QCOMPARE(QFileInfo(path()).permissions(), owner);
    QCOMPARE(rowsOf(path(), "PRAGMA integrity_check"), QStringList{"tok"});
    QCOMPARE(rowsOf(path(), "PRAGMA freelist_count"), QStringList{"i0"});
    if (shrinks)
        QVERIFY(QFileInfo(path()).size() < sizeBefore / 3);
    QVERIFY(opensAsOrvoDatabase());
    if (sql == UserFrequencyTable) { // the triggers still fire
        QVERIFY(execute(path(), QStringLiteral("INSERT INTO Main (Description, F2) VALUES ('new', '5')")));
        QCOMPARE(rowsOf(path(), "SELECT * FROM FrequencyIndex").size(), records.size() + 1);
    }
}

void TestDatabaseRepair::failureLeavesDatabaseAsBefore_data()
{
    QTest::addColumn<QByteArray>("bytes"); // of freqs.mdb; null: no file at all
    QTest::addColumn<Step>("step");
    QTest::addColumn<QString>("reason");

    QTemporaryDir folder;
    const QString made = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(made, manyRecords(400));
    QVERIFY(execute(made, UserFrequencyTable));
    const QByteArray sound = fileBytes(made);
    QVERIFY(damagePage(made, TableLeaf));
    const DatabaseRepair names(QStringLiteral("/data/freqs.mdb"), QStringLiteral("/data/newFreq.mdb"));
    for (const Step step : {Step::RemoveLeftover, Step::CheckOriginal, Step::Compact, Step::CheckCopy, Step::SyncCopy,
                            Step::Replace, Step::SyncFolder})
        QTest::addRow("sound: %s", qPrintable(names.describe(step))) << sound << step << MadeToFail;
    for (const Step step : {Step::CheckOriginal, Step::SaveReadableRows, Step::CheckCopy, Step::SyncCopy,
                            Step::KeepDamaged, Step::Replace, Step::SyncFolder})
        QTest::addRow("damaged: %s", qPrintable(names.describe(step))) << fileBytes(made) << step << MadeToFail;

    QTest::newRow("missing") << QByteArray() << Step::CheckOriginal << "The file does not exist.";
    QTest::newRow("text file") << QByteArray("Description;Comments\r\n") << Step::CheckOriginal
                               << "not an SQLite database file";
    QTest::newRow("empty file") << QByteArray("") << Step::CheckOriginal << "The file is empty.";
    QTest::newRow("table list unreadable")
        << QByteArray("SQLite format 3\0\x10\0", 18) + QByteArray(4096 - 18, '\xff') << Step::SaveReadableRows
        << "The list of its tables cannot be read";
}

void TestDatabaseRepair::failureLeavesDatabaseAsBefore()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Step, step);
    QFETCH(QString, reason);
    if (!bytes.isNull())
        writeFile(path(), bytes);
    const QStringList entries = folderEntries();
    const QStringList before = content(path());

    DatabaseRepair repair(path(), path("newFreq.mdb"));
    if (reason == MadeToFail)
        repair.failAt(step);
    const DatabaseRepair::Result result = repair.run();

    QVERIFY(!result.ok && result.failedStep == step);
    QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
    const QString message = result.message();
    QVERIFY2(message.contains(repair.describe(step)) && message.contains(reason), qPrintable(message));
    QCOMPARE(result.title(), QStringLiteral("Repair and Compact Database"));
    if (step != Step::SyncFolder) {
        QVERIFY(!result.replaced && fileBytes(path()) == bytes);
        QVERIFY2(message.startsWith(QLatin1String("Repairing and compacting freqs.mdb failed while ")) &&
                     message.endsWith(QLatin1String("\n\nfreqs.mdb has not been changed.")),
                 qPrintable(message));
        QCOMPARE(folderEntries(), entries);
        return;
    }
    // Once the new file has its name, a failed folder sync changes nothing in it.
    QVERIFY(result.replaced);
    QVERIFY(!QFileInfo::exists(path("newFreq.mdb")) && !QFileInfo::exists(path("newFreq.mdb-journal")));
    if (result.damaged)
        QVERIFY(fileBytes(path("freqs-damaged.mdb")) == bytes);
    else
        QCOMPARE(content(path()), before);
}

void TestDatabaseRepair::savesReadableRowsOfDamagedFile_data()
{
    QTest::addColumn<char>("pageKind");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("recordsLost");
    QTest::addColumn<QString>("keptAs"); // a freqs-damaged.mdb of an earlier repair is never overwritten

    QTest::newRow("a page of records") << TableLeaf << QString() << true << "freqs-damaged.mdb";
    QTest::newRow("a page of the description index") << IndexLeaf << QString() << false << "freqs-damaged.mdb";
    // Without an index nothing tells how many rows the damaged page held.
    QTest::newRow("a page of records, no index")
        << TableLeaf << "DROP INDEX MainDescriptionNoCase" << true << "freqs-damaged.mdb";
    QTest::newRow("an earlier damaged copy") << TableLeaf << QString() << true << "freqs-damaged-2.mdb";
    // The salvage's scan must only move forward, or it reads the same pages again for ever.
    QTest::newRow("a search that starts below where it was asked")
        << Misleading << QString() << true << "freqs-damaged.mdb";
    // Read as if the lost byte were zero, the file passed every check and a value changed.
    QTest::newRow("cut short by a byte") << CutShort << QString() << true << "freqs-damaged.mdb";
}

void TestDatabaseRepair::savesReadableRowsOfDamagedFile()
{
    QFETCH(char, pageKind);
    QFETCH(QString, sql);
    QFETCH(bool, recordsLost);
    QFETCH(QString, keptAs);
    createDatabase(path(), manyRecords(400));
    QVERIFY(sql.isEmpty() || execute(path(), sql));
    const bool countKnown = !sql.startsWith(QLatin1String("DROP"));
    const QStringList sound = content(path());
    QVERIFY(pageKind == Misleading ? misleadSearch(path())
            : pageKind == CutShort ? QFile::resize(path(), QFileInfo(path()).size() - 1)
                                   : damagePage(path(), pageKind));
    const QByteArray damagedBytes = fileBytes(path());
    if (keptAs != QLatin1String("freqs-damaged.mdb"))
        writeFile(path("freqs-damaged.mdb"), "earlier");
    QStringList entries = folderEntries() << keptAs;
    entries.sort();

    const DatabaseRepair::Result result = repair();

    QVERIFY2(result.ok && result.damaged && result.notRebuilt.isEmpty(), qPrintable(result.message()));
    QCOMPARE(result.title(), QStringLiteral("Repair and Compact Database"));
    QCOMPARE(result.savedRecords < 400, recordsLost);
    QVERIFY(result.savedRecords > 0);
    QCOMPARE(result.unreadableExact, countKnown);
    QVERIFY(!countKnown || result.savedRecords + result.unreadableRecords == 400);
    const QString lost = countKnown ? QString::number(result.unreadableRecords) : QStringLiteral("unknown");
    QCOMPARE(result.message(),
             QStringLiteral("freqs.mdb was damaged. It has been repaired and compacted, keeping every record that "
                            "could still be read.\n\nRecords saved: %1\nRecords that could not be read: %2\n\nThe "
                            "damaged file has been kept as %3.")
                 .arg(result.savedRecords)
                 .arg(lost, keptAs));

    // The damaged original is kept as it was; the new file is sound and holds only true rows.
    QCOMPARE(folderEntries(), entries);
    QVERIFY(fileBytes(path(keptAs)) == damagedBytes);
    QVERIFY(keptAs == QLatin1String("freqs-damaged.mdb") || fileBytes(path("freqs-damaged.mdb")) == "earlier");
    QCOMPARE(rowsOf(path(), "PRAGMA integrity_check"), QStringList{"tok"});
    const QStringList repaired = content(path());
    QCOMPARE(repaired.filter(QRegularExpression("^Main:")).size(), int(result.savedRecords));
    for (const QString& line : repaired) // triggers did not fire on the copied rows
        QVERIFY2(sound.contains(line), qPrintable(line));
    QCOMPARE(repaired.filter(QRegularExpression("^[^:]*$")), sound.filter(QRegularExpression("^[^:]*$")));
    QVERIFY(opensAsOrvoDatabase());
}

void TestDatabaseRepair::rebuildsFrequencyIndexOfDamagedFile()
{
    const auto rebuildIndex = [](const QString& file) {
        SqliteFile sqlite;
        return sqlite.open(file, SqliteFile::Mode::Existing).ok && FrequencyIndex::rebuild(sqlite.handle()).ok;
    };
    createDatabase(path(), manyRecords(400));
    QVERIFY(rebuildIndex(path()));
    QVERIFY(damagePage(path(), TableLeaf));

    const DatabaseRepair::Result result = repair();
    QVERIFY2(result.ok && result.damaged && result.savedRecords < 400, qPrintable(result.message()));

    // The index names exactly the saved records' values: as one built afresh from them.
    const QString index = QStringLiteral("SELECT * FROM MainFrequencies ORDER BY 1, 2");
    const QStringList repaired = rowsOf(path(), index);
    QVERIFY(QFile::copy(path(), path("rebuilt.mdb")) && rebuildIndex(path("rebuilt.mdb")));
    QVERIFY(!repaired.isEmpty());
    QCOMPARE(repaired, rowsOf(path("rebuilt.mdb"), index));
    QCOMPARE(rowsOf(path(), "SELECT count(*) FROM MainFrequencies WHERE RecordId NOT IN (SELECT rowid FROM Main)"),
             QStringList{"i0"});
}

QTEST_GUILESS_MAIN(TestDatabaseRepair)
#include "tst_databaserepair.moc"

#include "editor/RecordForm.h"
#include "printing/ExportText.h"
#include "repair/DatabaseRepair.h"
#include "store/Data1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// A full disk (a file size limit), a folder that cannot exist, and read-only places: the export,
// the database and the repair report it and lose nothing.
class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void exportToImpossibleFolderIsReported();
    void exportOnFullDiskKeepsOldFile();
    void saveOnFullDiskLosesNothing_data();
    void saveOnFullDiskLosesNothing();
    void readOnlyPlacesLoseNothing();
};

namespace {

rlim_t g_unlimited = RLIM_INFINITY;

// Files of this process cannot grow past the given size until lifted.
bool limitFileSize(rlim_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

void liftFileSizeLimit()
{
    limitFileSize(g_unlimited);
}

// Root passes every file mode check through two capabilities. Taken out of the effective set
// (they stay permitted, so they can come back), file modes bind this thread as any user.
bool obeyFileModes(bool obey)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const quint32 bypass = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective = obey ? data[0].effective & ~bypass : data[0].effective | (data[0].permitted & bypass);
    return syscall(SYS_capset, &header, data) == 0;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const auto manyLines = [](ExportText::LineWriter& writer) {
    for (int i = 0; i < 20000; ++i)
        writer.line(QStringLiteral("Frequency line %1 with some text to fill the disk").arg(i));
};

} // namespace

void TestFullDisk::initTestCase()
{
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    g_unlimited = limit.rlim_cur;
}

void TestFullDisk::cleanup()
{
    liftFileSizeLimit();
    obeyFileModes(false);
}

void TestFullDisk::exportToImpossibleFolderIsReported()
{
    QTemporaryDir folder;
    const QString notAFolder = folder.filePath(QStringLiteral("plain-file"));
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    const QString path = notAFolder + QStringLiteral("/freq.txt");
    const Outcome written = ExportText::writeFile(path, manyLines);
    QVERIFY(!written.ok);
    QVERIFY2(written.error.startsWith(QStringLiteral("Could not write %1: ").arg(path)), qPrintable(written.error));
    QVERIFY(written.error.size() > QStringLiteral("Could not write %1: ").arg(path).size());
    QCOMPARE(contents(notAFolder), QByteArray("keep me"));
}

void TestFullDisk::exportOnFullDiskKeepsOldFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freq.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the last export\r\n");
    old.close();

    QVERIFY(limitFileSize(64 * 1024));
    const Outcome written = ExportText::writeFile(path, manyLines);
    liftFileSizeLimit();
    QVERIFY(!written.ok);
    QVERIFY2(written.error.startsWith(QStringLiteral("Could not write %1: ").arg(path)), qPrintable(written.error));
    QCOMPARE(contents(path), QByteArray("the last export\r\n"));
    // No half-written file is left beside it.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("freq.txt")});

    QVERIFY(ExportText::writeFile(path, manyLines).ok);
}

void TestFullDisk::saveOnFullDiskLosesNothing_data()
{
    QTest::addColumn<bool>("newRecord");
    QTest::newRow("new record") << true;
    QTest::newRow("edited record") << false;
}

void TestFullDisk::saveOnFullDiskLosesNothing()
{
    QFETCH(bool, newRecord);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, {TestRecord::make("Alpha", "a", {"728"}), TestRecord::make("Bravo", "b", {"20"})});
    Data1 data;
    data.setDatabaseName(path);
    data.setRecordSource(QueryTexts::allRecordsQuery());
    QVERIFY(data.refresh().ok);
    QVERIFY(data.moveTo(0));
    const QVector<TestRecord> before = readDatabase(path);

    RecordForm form;
    form.description = QStringLiteral("Large ") + QString(200000, QLatin1Char('x'));
    form.comments = QString(200000, QLatin1Char('y'));
    form = form.withStoredDefaults();
    const auto target = newRecord ? RecordForm::Target::NewRecord : RecordForm::Target::CurrentRecord;

    // The file cannot grow at all.
    QVERIFY(limitFileSize(rlim_t(QFileInfo(path).size())));
    const Outcome refused = form.store(data, target);
    liftFileSizeLimit();
    QVERIFY(!refused.ok);
    QVERIFY(!refused.busy);
    QVERIFY(!refused.error.isEmpty());
    const QVector<TestRecord> after = readDatabase(path);
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        QCOMPARE(after.at(i).description.toString(), before.at(i).description.toString());

    // With room again the same save goes through.
    const Outcome stored = form.store(data, target);
    QVERIFY2(stored.ok, qPrintable(stored.error));
    const QVector<TestRecord> saved = readDatabase(path);
    QCOMPARE(saved.size(), before.size() + (newRecord ? 1 : 0));
    QCOMPARE(saved.at(newRecord ? before.size() : 0).description.toString(), form.description);
}

void TestFullDisk::readOnlyPlacesLoseNothing()
{
    QTemporaryDir folder;
    const QDir place(folder.path());
    const QString database = place.filePath(QStringLiteral("freqs.mdb"));
    const QString exported = place.filePath(QStringLiteral("freq.txt"));
    createDatabase(database, {TestRecord::make("Alpha", "a", {"728"})});
    QFile old(exported);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the last export\r\n") > 0);
    old.close();
    const QByteArray databaseBytes = contents(database);
    const QStringList entries = place.entryList(QDir::Files);

    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(obeyFileModes(true));

    const Outcome written = ExportText::writeFile(exported, manyLines);
    QVERIFY(!written.ok);
    QVERIFY2(written.error.startsWith(QStringLiteral("Could not write %1: ").arg(exported)), qPrintable(written.error));

    // The file itself may be written, but its journal cannot be made beside it.
    Data1 data;
    data.setDatabaseName(database);
    data.setRecordSource(QueryTexts::allRecordsQuery());
    QVERIFY(data.refresh().ok);
    RecordForm form;
    form.description = QStringLiteral("Bravo");
    const Outcome saved = form.withStoredDefaults().store(data, RecordForm::Target::NewRecord);
    QVERIFY(!saved.ok && !saved.error.isEmpty());
    data.close();

    const DatabaseRepair::Result repaired = DatabaseRepair(database, place.filePath("newFreq.mdb")).run();
    QVERIFY(!repaired.ok && !repaired.replaced);
    QVERIFY2(repaired.message().endsWith(QLatin1String("freqs.mdb has not been changed.")),
             qPrintable(repaired.message()));

    QVERIFY(obeyFileModes(false));
    QCOMPARE(place.entryList(QDir::Files), entries);
    QCOMPARE(contents(exported), QByteArray("the last export\r\n"));
    QVERIFY(contents(database) == databaseBytes);

    // A database file that is read-only in a writable folder.
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::setPermissions(database, QFile::ReadOwner));
    QVERIFY(obeyFileModes(true));
    data.setDatabaseName(database);
    QVERIFY(data.refresh().ok);
    const Outcome refused = form.withStoredDefaults().store(data, RecordForm::Target::NewRecord);
    QVERIFY(!refused.ok && !refused.error.isEmpty());
    data.close();
    QVERIFY(obeyFileModes(false));
    QVERIFY(contents(database) == databaseBytes);
}

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"

#include "editor/RecordForm.h"
#include "printing/ExportText.h"
#include "repair/DatabaseRepair.h"
#include "store/Data1.h"
#include "query/QueryTexts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

enum class Place { FolderIsAFile, FullDisk, ReadOnlyFolder, ReadOnlyFile };
enum class Task { Export, SaveNew, SaveEdit, Repair };

// Files of this process cannot grow past the given size until lifted.
bool limitFileSize(rlim_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
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

} // namespace

Q_DECLARE_METATYPE(Place)
Q_DECLARE_METATYPE(Task)

// A full disk (a file size limit), a folder that cannot exist, and read-only places: the export,
// the database and the repair report it and lose nothing.
class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    // A write past the limit fails with EFBIG instead of ending the process.
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }
    void cleanup()
    {
        limitFileSize(RLIM_INFINITY);
        obeyFileModes(false);
    }
    void failureLosesNothing_data();
    void failureLosesNothing();
};

void TestFullDisk::failureLosesNothing_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<Task>("task");

    QTest::newRow("export into a plain file") << Place::FolderIsAFile << Task::Export;
    QTest::newRow("export, full disk") << Place::FullDisk << Task::Export;
    QTest::newRow("new record, full disk") << Place::FullDisk << Task::SaveNew;
    QTest::newRow("edited record, full disk") << Place::FullDisk << Task::SaveEdit;
    QTest::newRow("export, read-only folder") << Place::ReadOnlyFolder << Task::Export;
    // The file itself may be written, but its journal cannot be made beside it.
    QTest::newRow("new record, read-only folder") << Place::ReadOnlyFolder << Task::SaveNew;
    QTest::newRow("repair, read-only folder") << Place::ReadOnlyFolder << Task::Repair;
    QTest::newRow("new record, read-only file") << Place::ReadOnlyFile << Task::SaveNew;
}

void TestFullDisk::failureLosesNothing()
{
    QFETCH(Place, place);
    QFETCH(Task, task);
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QString database = dir.filePath(QStringLiteral("freqs.mdb"));
    const QString exported = dir.filePath(QStringLiteral("freq.txt"));
    createDatabase(database, {TestRecord::make("Alpha", "a", {"728"}), TestRecord::make("Bravo", "b", {"20"})});
    writeFile(exported, "the last export\r\n");
    const QByteArray databaseBefore = fileHash(database);
    const QByteArray exportBefore = fileHash(exported);
    const QStringList entries = dir.entryList(QDir::Files);

    const QString path = place == Place::FolderIsAFile ? exported + QStringLiteral("/freq.txt") : exported;
    RecordForm form;
    form.description = QStringLiteral("Large ") + QString(200000, QLatin1Char('x'));
    form.comments = QString(200000, QLatin1Char('y'));
    form = form.withStoredDefaults();
    const auto run = [&]() -> Outcome {
        if (task == Task::Export)
            return ExportText::writeFile(path, [](ExportText::LineWriter& writer) {
                for (int i = 0; i < 20000; ++i)
                    writer.line(QStringLiteral("Frequency line %1 with some text to fill the disk").arg(i));
            });
        if (task == Task::Repair) {
            const DatabaseRepair::Result result = DatabaseRepair(database, dir.filePath("newFreq.mdb")).run();
            return result.ok ? Outcome::success() : Outcome::failure(result.replaced ? QString() : result.message());
        }
        Data1 data;
        if (const Outcome opened = openRecords(data, database); !opened || !data.moveTo(0))
            return Outcome::failure(QStringLiteral("could not be opened"));
        return form.store(data, task == Task::SaveNew ? RecordForm::Target::NewRecord
                                                      : RecordForm::Target::CurrentRecord);
    };

    // The file cannot grow at all.
    QVERIFY(place != Place::FullDisk || limitFileSize(rlim_t(QFileInfo(database).size())));
    QVERIFY(place != Place::ReadOnlyFolder || QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(place != Place::ReadOnlyFile || QFile::setPermissions(database, QFile::ReadOwner));
    QVERIFY(obeyFileModes(true));
    const Outcome refused = run();
    QVERIFY(obeyFileModes(false));
    limitFileSize(RLIM_INFINITY);

    QVERIFY(!refused.ok && !refused.busy);
    const QString named = QStringLiteral("Could not write %1: ").arg(path);
    QVERIFY2(task == Task::Export   ? refused.error.startsWith(named) && refused.error.size() > named.size()
             : task == Task::Repair ? refused.error.endsWith(QLatin1String("freqs.mdb has not been changed."))
                                    : !refused.error.isEmpty(),
             qPrintable(refused.error));
    QCOMPARE(dir.entryList(QDir::Files), entries);
    QCOMPARE(fileHash(exported), exportBefore);
    QCOMPARE(fileHash(database), databaseBefore);
    if (place == Place::FolderIsAFile)
        return;

    // With room again the same task goes through.
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner));
    const Outcome done = run();
    QVERIFY2(done.ok, qPrintable(done.error));
    const QVector<TestRecord> saved = readDatabase(database);
    QCOMPARE(saved.size(), task == Task::SaveNew ? 3 : 2);
    const bool saves = task == Task::SaveNew || task == Task::SaveEdit;
    QCOMPARE(saved.at(task == Task::SaveNew ? 2 : 0).description.toString(), saves ? form.description : "Alpha");
}

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"

#include "editor/RecordForm.h"
#include "printing/ExportText.h"
#include "store/Data1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

// A full disk (a file size limit: the tests run as root, whom file modes do not stop) and a
// folder that cannot exist: the export and the database report it and lose nothing.
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

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"

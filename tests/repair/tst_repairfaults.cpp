#include "support/FaultChecks.h"
#include "support/FaultyVfs.h"

#include "repair/DatabaseRepair.h"

#include <QTemporaryDir>
#include <QTest>

using namespace FaultChecks;

// Every write, sync, truncate and delete of repair and compact failed in turn, and the rename
// that puts the new file in place: the file under its own name still holds every record.
class TestRepairFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(FaultyVfs::install()); }
    void cleanup() { FaultyVfs::disarm(); }
    void repairFaultsKeepTheRecords_data();
    void repairFaultsKeepTheRecords();

private:
    int m_swept = 0;
};

void TestRepairFaults::repairFaultsKeepTheRecords_data()
{
    QTest::addColumn<bool>("fromThenOn");
    QTest::newRow("one fault") << false;
    QTest::newRow("disk gone") << true;
}

void TestRepairFaults::repairFaultsKeepTheRecords()
{
    QFETCH(bool, fromThenOn);
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("original.mdb"));
    createDatabase(original, sampleRecords());
    QString problem;
    const QByteArray before = recordsDigest(original, &problem);
    QVERIFY2(!before.isEmpty(), qPrintable(problem));

    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    const QString temporary = folder.filePath(QStringLiteral("newFreq.mdb"));
    int k = 1;
    for (;; ++k) {
        QFile::remove(path);
        QFile::copy(original, path);
        DatabaseRepair repair(path, temporary);
        FaultyVfs::arm(k, fromThenOn ? FaultyVfs::Fault::FromThenOn : FaultyVfs::Fault::Once);
        const DatabaseRepair::Result result = repair.run();
        FaultyVfs::disarm();
        if (!FaultyVfs::struck()) {
            QVERIFY2(result.ok, qPrintable(result.message()));
            break;
        }
        QVERIFY(result.ok || !result.message().isEmpty());
        // Repair never changes the records: the file holds them all, old file or new.
        QCOMPARE(recordsDigest(path, &problem), before);
    }
    // The rename itself failing, through the repair's own hook.
    QFile::remove(path);
    QFile::copy(original, path);
    DatabaseRepair repair(path, temporary);
    repair.failAt(DatabaseRepair::Step::Replace);
    const DatabaseRepair::Result result = repair.run();
    QVERIFY(!result.ok);
    QVERIFY(!result.message().isEmpty());
    QCOMPARE(recordsDigest(path, &problem), before);

    m_swept += k;
    qInfo("%d fault points swept in repair and compact (%d writes and syncs, the rename), %d in all", k, k - 1,
          m_swept);
}

QTEST_MAIN(TestRepairFaults)
#include "tst_repairfaults.moc"

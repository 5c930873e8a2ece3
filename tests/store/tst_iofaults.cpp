#include "support/FaultChecks.h"
#include "support/FaultyVfs.h"

#include "editor/RecordForm.h"
#include "store/Data1.h"
#include "query/QueryTexts.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>

// Every write, sync, truncate and delete of saving and deleting a record, failed in turn: the file still opens, passes the integrity check and holds the records as
// they were before the operation or as they are after it, never a mix.
class TestIoFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyFaultLeavesBeforeOrAfter_data();
    void everyFaultLeavesBeforeOrAfter();

private:
    int m_swept = 0;
};

using namespace FaultChecks;

namespace {

using Operation = std::function<Outcome(Data1&)>;

RecordForm changedRecord()
{
    RecordForm form;
    form.description = QStringLiteral("Changed ") + QString(500, 'c');
    form.comments = QStringLiteral("new comments");
    form.frequencies[0] = QStringLiteral("728");
    return form.withStoredDefaults();
}

} // namespace

Q_DECLARE_METATYPE(Operation)

void TestIoFaults::initTestCase()
{
    QVERIFY(FaultyVfs::install());
}

void TestIoFaults::cleanup()
{
    FaultyVfs::disarm();
}

void TestIoFaults::everyFaultLeavesBeforeOrAfter_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("fromThenOn");

    const Operation saveNew = [](Data1& data) { return changedRecord().store(data, RecordForm::Target::NewRecord); };
    const Operation saveEdit = [](Data1& data) {
        data.moveTo(30);
        return changedRecord().store(data, RecordForm::Target::CurrentRecord);
    };
    const Operation remove = [](Data1& data) {
        data.moveTo(30);
        return data.deleteCurrent();
    };
    QTest::newRow("save new record, one fault") << saveNew << false;
    QTest::newRow("save new record, disk gone") << saveNew << true;
    QTest::newRow("save edit, one fault") << saveEdit << false;
    QTest::newRow("save edit, disk gone") << saveEdit << true;
    QTest::newRow("delete, one fault") << remove << false;
    QTest::newRow("delete, disk gone") << remove << true;
}

void TestIoFaults::everyFaultLeavesBeforeOrAfter()
{
    QFETCH(Operation, operation);
    QFETCH(bool, fromThenOn);
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("original.mdb"));
    createDatabase(original, sampleRecords());
    QString problem;
    const QByteArray before = recordsDigest(original, &problem);
    QVERIFY2(!before.isEmpty(), qPrintable(problem));

    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    const auto attempt = [&](int k) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        QFile::copy(original, path);
        Data1 data;
        const Outcome opened = openRecords(data, path);
        if (!opened)
            return opened;
        if (k > 0)
            FaultyVfs::arm(k, fromThenOn ? FaultyVfs::Fault::FromThenOn : FaultyVfs::Fault::Once);
        const Outcome done = operation(data);
        FaultyVfs::disarm();
        return done;
    };

    QVERIFY(attempt(0).ok);
    const QByteArray after = recordsDigest(path, &problem);
    QVERIFY2(!after.isEmpty(), qPrintable(problem));
    QVERIFY(after != before);

    int k = 1;
    for (;; ++k) {
        const Outcome done = attempt(k);
        if (!FaultyVfs::struck()) {
            QVERIFY(done.ok);
            break;
        }
        const QByteArray state = recordsDigest(path, &problem);
        QVERIFY2(!state.isEmpty(), qPrintable(QStringLiteral("fault %1: %2").arg(k).arg(problem)));
        if (done.ok)
            QVERIFY2(state == after, qPrintable(QStringLiteral("fault %1 reported success").arg(k)));
        else
            QVERIFY2(state == before || state == after, qPrintable(QStringLiteral("fault %1 left a mix").arg(k)));
        // A failure is reported in words.
        QVERIFY(done.ok || !done.error.isEmpty());
    }
    QVERIFY2(k > 2, "the operation wrote nothing through the test VFS");
    m_swept += k - 1;
    qInfo("%d fault points swept, %d in all so far", k - 1, m_swept);
}

QTEST_MAIN(TestIoFaults)
#include "tst_iofaults.moc"

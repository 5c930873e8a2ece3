#include "editor/RecordForm.h"
#include "store/Data1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TestRecord)

namespace {

QStringList boxes(const RecordForm& form)
{
    return QStringList(form.frequencies.begin(), form.frequencies.end());
}

// Forty frequency texts: the given ones first, the rest filled with `rest`.
QStringList fortyOf(QStringList first, const QString& rest)
{
    while (first.size() < RecordForm::FrequencyBoxes)
        first << rest;
    return first;
}

QStringList storedTexts(const TestRecord& record)
{
    QStringList texts{record.description.toString(), record.comments.toString()};
    for (const QVariant& frequency : record.frequencies)
        texts << frequency.toString();
    return texts;
}

QStringList formTexts(const RecordForm& form)
{
    return QStringList{form.description, form.comments} + boxes(form);
}

} // namespace

class TestRecordForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fromCurrentRecord_data();
    void fromCurrentRecord();
    void withStoredDefaults_data();
    void withStoredDefaults();
    void store_data();
    void store();
    void refusedStoreLeavesNothingPending();

private:
    void openDataOn(const QVector<TestRecord>& records);
    QString dbPath() const { return QDir(m_folder->path()).filePath(QStringLiteral("freqs.mdb")); }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Data1> m_data;
};

void TestRecordForm::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<Data1>();
}

void TestRecordForm::cleanup()
{
    m_data.reset();
    m_folder.reset();
}

void TestRecordForm::openDataOn(const QVector<TestRecord>& records)
{
    createDatabase(dbPath(), records);
    m_data->setDatabaseName(dbPath());
    m_data->setRecordSource(QueryTexts::allRecordsQuery());
    const Outcome opened = m_data->refresh();
    QVERIFY2(opened.ok, qPrintable(opened.error));
}

void TestRecordForm::fromCurrentRecord_data()
{
    QTest::addColumn<TestRecord>("record");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QStringList>("frequencies");

    QTest::newRow("texts as stored, not as numbers")
        << TestRecord::make("Bell", "Bronze", {"7.830", "0727", "about 9 Hz"}) << "Bell"
        << "Bronze" << fortyOf({"7.830", "0727", "about 9 Hz"}, "0");
    QTest::newRow("null comments") << TestRecord::make("Bell", nullText()) << "Bell"
                                   << "No Comments" << fortyOf({}, "0");
    QTest::newRow("empty comments") << TestRecord::make("Bell", "") << "Bell"
                                    << "No Comments" << fortyOf({}, "0");
    QTest::newRow("a blank is a comment") << TestRecord::make("Bell", " ") << "Bell"
                                          << " " << fortyOf({}, "0");
    QTest::newRow("null description opens empty") << TestRecord::make(nullText(), "x") << ""
                                                  << "x" << fortyOf({}, "0");
    QTest::newRow("F7 null, empty or 0 shows 0")
        << TestRecord::make("Bell", "x", {"1", "2", "3", "4", "5", "6", nullText(), "", "0", "10"}) << "Bell"
        << "x" << fortyOf({"1", "2", "3", "4", "5", "6", "0", "0", "0", "10"}, "0");
    TestRecord last = TestRecord::make("Bell", "x");
    last.frequencies[39] = QStringLiteral("4000");
    QStringList lastBoxes = fortyOf({}, "0");
    lastBoxes[39] = QStringLiteral("4000");
    QTest::newRow("F40 lands in the last box") << last << "Bell"
                                               << "x" << lastBoxes;
}

void TestRecordForm::fromCurrentRecord()
{
    QFETCH(TestRecord, record);
    QFETCH(QString, description);
    QFETCH(QString, comments);
    QFETCH(QStringList, frequencies);
    openDataOn({record});
    QVERIFY(m_data->hasCurrentRecord());

    const RecordForm form = RecordForm::fromCurrentRecord(*m_data);
    QCOMPARE(form.description, description);
    QCOMPARE(form.comments, comments);
    QCOMPARE(boxes(form), frequencies);
}

void TestRecordForm::withStoredDefaults_data()
{
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QStringList>("frequencies");
    QTest::addColumn<QString>("storedComments");
    QTest::addColumn<QStringList>("storedFrequencies");

    QTest::newRow("all empty") << "" << fortyOf({}, "") << "No Comments" << fortyOf({}, "0");
    QTest::newRow("typed values kept as typed") << " two  blanks \n"
                                                << fortyOf({" 7.83 ", "abc", "-1", "0"}, "") << " two  blanks \n"
                                                << fortyOf({" 7.83 ", "abc", "-1", "0"}, "0");
    QStringList gapped = fortyOf({}, "5");
    gapped[20] = QString();
    QStringList gappedStored = fortyOf({}, "5");
    gappedStored[20] = QStringLiteral("0");
    QTest::newRow("one gap among values") << "c" << gapped << "c" << gappedStored;
}

void TestRecordForm::withStoredDefaults()
{
    QFETCH(QString, comments);
    QFETCH(QStringList, frequencies);
    QFETCH(QString, storedComments);
    QFETCH(QStringList, storedFrequencies);

    RecordForm form;
    form.description = QStringLiteral(" ");
    form.comments = comments;
    for (int box = 0; box < RecordForm::FrequencyBoxes; ++box)
        form.frequencies[box] = frequencies.at(box);

    const RecordForm stored = form.withStoredDefaults();
    QCOMPARE(stored.description, QStringLiteral(" "));
    QCOMPARE(stored.comments, storedComments);
    QCOMPARE(boxes(stored), storedFrequencies);
}

void TestRecordForm::store_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<int>("position");

    QTest::newRow("new record") << true << -1;
    QTest::newRow("first record changed") << false << 0;
    QTest::newRow("last record changed") << false << 2;
}

void TestRecordForm::store()
{
    QFETCH(bool, adding);
    QFETCH(int, position);
    const QVector<TestRecord> records{TestRecord::make("Anvil", "a", {"1"}), TestRecord::make("Bell", "b", {"2"}),
                                      TestRecord::make("Chime", "c", {"3"})};
    openDataOn(records);
    if (!adding)
        QVERIFY(m_data->moveTo(position));

    RecordForm form;
    form.description = QStringLiteral(" Gong ");
    form.comments = QStringLiteral("line one\nline two");
    for (int box = 0; box < RecordForm::FrequencyBoxes; ++box)
        form.frequencies[box] = QStringLiteral("v%1").arg(box + 1);
    form.frequencies[4] = QStringLiteral("0727");

    const Outcome stored =
        form.store(*m_data, adding ? RecordForm::Target::NewRecord : RecordForm::Target::CurrentRecord);
    QVERIFY2(stored.ok, qPrintable(stored.error));

    const QVector<TestRecord> after = readDatabase(dbPath());
    QCOMPARE(after.size(), records.size() + (adding ? 1 : 0));
    const int changed = adding ? int(records.size()) : position;
    for (int i = 0; i < after.size(); ++i) {
        if (i == changed)
            QCOMPARE(storedTexts(after.at(i)), formTexts(form));
        else
            QCOMPARE(storedTexts(after.at(i)), storedTexts(records.at(i)));
    }
}

void TestRecordForm::refusedStoreLeavesNothingPending()
{
    const QVector<TestRecord> records{TestRecord::make("Bell", "b", {"2"})};
    openDataOn(records);
    // A read-only connection makes the engine itself refuse the write.
    QSqlQuery(m_data->database()).exec(QStringLiteral("PRAGMA query_only = ON"));

    RecordForm form = RecordForm::fromCurrentRecord(*m_data);
    form.description = QStringLiteral("Gong");
    const Outcome refused = form.store(*m_data, RecordForm::Target::CurrentRecord);
    QVERIFY(!refused.ok);
    QVERIFY2(refused.error.contains(QStringLiteral("readonly")), qPrintable(refused.error));

    QSqlQuery(m_data->database()).exec(QStringLiteral("PRAGMA query_only = OFF"));
    QVERIFY(!m_data->update().ok);
    QCOMPARE(storedTexts(readDatabase(dbPath()).value(0)), storedTexts(records.at(0)));
}

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"

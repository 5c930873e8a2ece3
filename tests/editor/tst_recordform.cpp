#include "editor/RecordForm.h"
#include "store/Data1.h"
#include "store/QueryTexts.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TestRecord)

namespace {

// Description, comments and forty frequencies: the ones given first, the last box, "0" between.
QStringList shownAs(const QString& description, const QString& comments, QStringList frequencies,
                    const QString& last = QStringLiteral("0"))
{
    while (frequencies.size() < RecordForm::FrequencyBoxes - 1)
        frequencies << QStringLiteral("0");
    return QStringList{description, comments} + frequencies + QStringList{last};
}

} // namespace

// What a save stores is shown through the editor's own tests; this is what it shows.
class TestRecordForm : public QObject
{
    Q_OBJECT

private slots:
    void fromCurrentRecord_data();
    void fromCurrentRecord();
};

void TestRecordForm::fromCurrentRecord_data()
{
    QTest::addColumn<TestRecord>("record");
    QTest::addColumn<QStringList>("shown");

    TestRecord asText = TestRecord::make("Bell", " ", {"7.830", "0727", "about 9 Hz"});
    asText.frequencies[39] = QStringLiteral("4000");
    QTest::newRow("texts as stored, a blank comment, F40 in the last box")
        << asText << shownAs("Bell", " ", {"7.830", "0727", "about 9 Hz"}, "4000");
    QTest::newRow("empty comments, empty F2")
        << TestRecord::make("Bell", "", {"1", "", "3"}) << shownAs("Bell", "No Comments", {"1", "0", "3"});
    QTest::newRow("null description opens empty") << TestRecord::make(nullText(), "x") << shownAs("", "x", {});
}

void TestRecordForm::fromCurrentRecord()
{
    QFETCH(TestRecord, record);
    QFETCH(QStringList, shown);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, {record});
    Data1 data;
    data.setDatabaseName(path);
    data.setRecordSource(QueryTexts::allRecordsQuery());
    QVERIFY(data.refresh().ok && data.hasCurrentRecord());

    const RecordForm form = RecordForm::fromCurrentRecord(data);
    QCOMPARE(QStringList({form.description, form.comments}) +
                 QStringList(form.frequencies.begin(), form.frequencies.end()),
             shown);
}

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"

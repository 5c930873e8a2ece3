#include "editor/RecordForm.h"
#include "main_window/Form1.h"
#include "store/Data1.h"
#include "query/FindSearch.h"
#include "query/QueryTexts.h"
#include "store/QueryPlanner.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QTest>

Q_DECLARE_METATYPE(FindOptions)

// Texts that a user can type or paste into the search box and the editor: nothing crashes, a
// search never changes the file, and the editor stores every text exactly.
class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void searchLeavesMainUnchanged_data() { hostileTexts(); }
    void searchLeavesMainUnchanged();
    void editorValueReadsBackExactly_data() { hostileTexts(); }
    void editorValueReadsBackExactly();
    void nulInSearchFindsItsRecord_data();
    void nulInSearchFindsItsRecord();

private:
    static void hostileTexts();
};

namespace {

QVector<TestRecord> sampleRecords()
{
    return {
        TestRecord::make("Alpha", "first comments", {"7.83", "20", "727.5"}),
        TestRecord::make("Bravo", nullText(), {"728", "0"}),
        TestRecord::make("O'Brien [test] 100%", "under_score *star* ?q #1", {"1e3", "-0"}),
        TestRecord::make("\u05E9\u05DC\u05D5\u05DD sample", "e\u0301", {"\uFF10\uFF17\uFF12\uFF18"}),
        TestRecord::make(nullText(), "no description"),
    };
}

} // namespace

void TestHostileInput::hostileTexts()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("single quote") << "'";
    QTest::newRow("two single quotes") << "''";
    QTest::newRow("double quote") << "\"";
    QTest::newRow("star") << "*";
    QTest::newRow("question mark") << "?";
    QTest::newRow("hash") << "#";
    QTest::newRow("open bracket") << "[";
    QTest::newRow("closed bracket") << "]";
    QTest::newRow("set") << "[a-c]";
    QTest::newRow("descending range") << "[z-a]";
    QTest::newRow("empty set") << "[]";
    QTest::newRow("percent") << "%";
    QTest::newRow("underscore") << "_";
    QTest::newRow("backslash") << "\\";
    QTest::newRow("drop table") << "'; DROP TABLE Main; --";
    QTest::newRow("balanced drop table") << "')) ; DROP TABLE Main; --";
    QTest::newRow("delete after comment") << "')) --\n; DELETE FROM Main; --";
    QTest::newRow("always true") << "') Or 1=1 Or ('";
    QTest::newRow("union") << "')) UNION SELECT 1, sql FROM sqlite_master --";
    QTest::newRow("100000 letters") << QString(100000, QLatin1Char('a'));
    QTest::newRow("100000 stars") << QString(100000, QLatin1Char('*'));
    QTest::newRow("star letter 50000 times") << QStringLiteral("*a").repeated(50000);
    QTest::newRow("100000 quotes") << QString(100000, QLatin1Char('\''));
    QTest::newRow("100000 open brackets") << QString(100000, QLatin1Char('['));
    QTest::newRow("100000 digits") << QString(100000, QLatin1Char('9'));
    QTest::newRow("NUL inside") << QString::fromUtf16(u"a\0b", 3);
    QTest::newRow("NUL alone") << QString(1, QChar(0));
    QTest::newRow("control characters") << "\x01\x02\x1b\x7f\t\r\n\x0b\x0c";
    QTest::newRow("right to left") << "\u05E9\u05DC\u05D5\u05DD";
    QTest::newRow("right to left override") << "\u202Eabc\u202C";
    QTest::newRow("combining marks") << "e\u0301\u0308";
    QTest::newRow("outside the basic plane") << "\U0001F600\U00010348";
    QTest::newRow("1e309") << "1e309";
    QTest::newRow("-0") << "-0";
    QTest::newRow("NaN") << "NaN";
    QTest::newRow("inf") << "inf";
    QTest::newRow("full-width digits") << "\uFF10\uFF17\uFF12\uFF18";
    QTest::newRow("number with a point at the end") << "728.";
    QTest::newRow("number of 400 digits") << QStringLiteral("1") + QString(400, QLatin1Char('0'));
    QTest::newRow("number with blanks") << "  728  ";
    QTest::newRow("two points") << "7.8.3";
}

void TestHostileInput::searchLeavesMainUnchanged()
{
    QFETCH(QString, text);
    MainWindowFixture fixture;
    QVERIFY(fixture.start(sampleRecords()));
    // A search that changes a single byte of the file fails, whatever it changed.
    const QByteArray before = fileHash(fixture.dbPath());
    QVERIFY(!before.isEmpty());

    const FindOptions optionSets[] = {{true, false, false}, {false, true, false}, {true, true, false},
                                      {false, false, true}};
    for (const FindOptions& options : optionSets) {
        const FindPlan plan = FindSearch::plan(options, text);
        if (!plan.runs()) {
            QVERIFY(!plan.prompt.isEmpty() && !plan.title.isEmpty());
            continue;
        }
        // A refused query must say why.
        Data1 data;
        const Outcome ran = openRecords(data, fixture.dbPath(), plan.query);
        QVERIFY(ran.ok || !ran.error.isEmpty());
    }

    // The window's own Find, which reports a refused text in a box. The search box keeps at
    // most its maximum length of the longest texts.
    auto* searchBox = fixture.child<QLineEdit>(QStringLiteral("Text1"));
    searchBox->setText(text);
    fixture.form->Command1_Click();
    QCOMPARE(fixture.module.SearchText, text.left(searchBox->maxLength()));

    QCOMPARE(fileHash(fixture.dbPath()), before);
}

// Stored as a new record and as an edit of another: the form reads back what was typed, and
// only that record in the file is new or changed.
void TestHostileInput::editorValueReadsBackExactly()
{
    QFETCH(QString, text);
    RecordForm typed;
    typed.description = typed.comments = typed.frequencies[0] = typed.frequencies[39] = text;
    typed.frequencies[20] = QStringLiteral("7.83") + text;
    const RecordForm stored = typed.withStoredDefaults();
    const auto boxes = [](const RecordForm& form) {
        return QStringList{form.description, form.comments}
               + QStringList(form.frequencies.begin(), form.frequencies.end());
    };
    for (const bool newRecord : {true, false}) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
        createDatabase(path, sampleRecords());
        Data1 data;
        QVERIFY(openRecords(data, path).ok);
        QVERIFY(newRecord || data.moveTo(1));

        const auto target = newRecord ? RecordForm::Target::NewRecord : RecordForm::Target::CurrentRecord;
        const Outcome outcome = stored.store(data, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));

        QVERIFY(data.refresh().ok);
        QVERIFY(data.moveTo(int(data.descriptions().indexOf(text))));
        QCOMPARE(boxes(RecordForm::fromCurrentRecord(data)), boxes(stored));

        // As the file holds it, read by another connection.
        const QVector<TestRecord> records = readDatabase(path);
        const QVector<TestRecord> original = sampleRecords();
        QCOMPARE(records.size(), original.size() + (newRecord ? 1 : 0));
        int changed = 0;
        for (int i = 0; i < records.size(); ++i) {
            const TestRecord& record = records.at(i);
            if (record.description.toString() == text && record.comments.toString() == text) {
                ++changed;
                QCOMPARE(record.frequencies.at(0).toString(), text);
                QCOMPARE(record.frequencies.at(1).toString(), QStringLiteral("0"));
            } else {
                QCOMPARE(record.description.toString(), original.at(i).description.toString());
            }
        }
        QCOMPARE(changed, 1);
    }
}

void TestHostileInput::nulInSearchFindsItsRecord_data()
{
    QTest::addColumn<bool>("reference");
    QTest::addColumn<FindOptions>("options");
    QTest::newRow("description") << false << FindOptions{true, false, false};
    QTest::newRow("description, reference scan") << true << FindOptions{true, false, false};
    QTest::newRow("comments") << false << FindOptions{false, true, false};
    QTest::newRow("both, reference scan") << true << FindOptions{true, true, false};
}

// The engine stops reading a statement at a NUL; the search must still see the whole text.
void TestHostileInput::nulInSearchFindsItsRecord()
{
    QFETCH(bool, reference);
    QFETCH(FindOptions, options);
    const QString withNul = QString::fromUtf16(u"x\0y", 3);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("freqs.mdb"));
    createDatabase(path, {TestRecord::make("xy", "xy"), TestRecord::make("x" + withNul, withNul + "z"),
                          TestRecord::make("x", "x")});
    Data1 data;
    PlannerOptions planner;
    planner.reference = reference;
    data.setPlannerOptions(planner);
    data.setDatabaseName(path);
    data.setRecordSource(FindSearch::plan(options, withNul).search);
    const Outcome ran = data.refresh();
    QVERIFY2(ran.ok, qPrintable(ran.error));
    QCOMPARE(data.descriptions(), QStringList{"x" + withNul});
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"

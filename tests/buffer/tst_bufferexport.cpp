#include "buffer/BufferExport.h"
#include "printing/ExportText.h"
#include "store/Module1.h"

#include <QBuffer>
#include <QLocale>
#include <QTest>

namespace {

struct Entry
{
    QString description;
    QString comments;
    QString frequencies;
};

using Entries = QVector<Entry>;

// Fills slots 1 to entries.size() as Send to Buffer does.
void send(Module1& shared, const Entries& entries)
{
    for (const Entry& entry : entries) {
        const int n = shared.BufNext;
        shared.BufDescription[n] = entry.description;
        shared.BufComments[n] = entry.comments;
        shared.BufFrequencies[n] = entry.frequencies;
        shared.BufNext = n + 1;
    }
}

QByteArray exported(const Module1& shared, const QDateTime& now)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ExportText::LineWriter writer(buffer);
    BufferExport::writeLines(shared, now, writer);
    return buffer.data();
}

QByteArray crlfLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

const QDateTime MorningClock(QDate(2026, 12, 5), QTime(9, 5));
const QString MorningHeader = QStringLiteral("Frequency Selection   9:05 am    5,Dec 2026");

} // namespace

Q_DECLARE_METATYPE(Entries)

class TestBufferExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void headerTakesTheGivenTime_data();
    void headerTakesTheGivenTime();
    void clearedSlotsAreNotWritten();
    void fullBuffer();
};

void TestBufferExport::initTestCase()
{
    if (QLocale::system().monthName(12, QLocale::ShortFormat) != QLatin1String("Dec"))
        QSKIP("the header rows are written for the C locale's month names");
}

void TestBufferExport::layout_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QStringList>("body");

    QTest::newRow("empty buffer: header and a blank line") << Entries{} << QStringList{};
    QTest::newRow("one entry: six lines")
        << Entries{{"Schumann", "Earth resonance", " 7.83,  14.3"}}
        << QStringList{"Schumann", "Earth resonance", "Frequencies:  7.83,  14.3", " "};
    QTest::newRow("No Comment written as stored")
        << Entries{{"Plain", "No Comment", " 728"}} << QStringList{"Plain", "No Comment", "Frequencies:  728", " "};
    QTest::newRow("no frequencies: the label alone")
        << Entries{{"Empty", "No Comment", ""}} << QStringList{"Empty", "No Comment", "Frequencies: ", " "};
    QTest::newRow("a leading separator is kept")
        << Entries{{"Gap", "c", ",  20"}} << QStringList{"Gap", "c", "Frequencies: ,  20", " "};
    QTest::newRow("entries in the order sent, not sorted")
        << Entries{{"C", "c", " 3"}, {"A", "a", " 1"}, {"B", "b", " 2"}}
        << QStringList{"C", "c", "Frequencies:  3", " ", "A", "a", "Frequencies:  1", " ",
                       "B", "b", "Frequencies:  2", " "};
    QTest::newRow("the same record twice")
        << Entries{{"Same", "s", " 5"}, {"Same", "s", " 5"}}
        << QStringList{"Same", "s", "Frequencies:  5", " ", "Same", "s", "Frequencies:  5", " "};
    QTest::newRow("comments over two lines") << Entries{{"Long", "line one\nline two", " 1"}}
                                             << QStringList{"Long", "line one", "line two", "Frequencies:  1", " "};
    QTest::newRow("text beyond ASCII") << Entries{{"Résonance µ", "Größe", " 1"}}
                                       << QStringList{"Résonance µ", "Größe", "Frequencies:  1", " "};
}

void TestBufferExport::layout()
{
    QFETCH(Entries, entries);
    QFETCH(QStringList, body);

    Module1 shared;
    shared.BufNext = 1;
    send(shared, entries);
    const int before = shared.BufNext;

    QCOMPARE(exported(shared, MorningClock), crlfLines(QStringList{MorningHeader, " "} + body));
    QCOMPARE(shared.BufNext, before);
}

void TestBufferExport::headerTakesTheGivenTime_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("header");

    QTest::newRow("9:05 am") << MorningClock << MorningHeader;
    QTest::newRow("12:30 pm") << QDateTime(QDate(2026, 12, 5), QTime(12, 30))
                              << "Frequency Selection   12:30 pm    5,Dec 2026";
    QTest::newRow("3:07 pm") << QDateTime(QDate(2026, 12, 5), QTime(15, 7))
                             << "Frequency Selection   3:07 pm    5,Dec 2026";
    QTest::newRow("12:05 am, the next day")
        << QDateTime(QDate(2026, 12, 6), QTime(0, 5)) << "Frequency Selection   12:05 am    6,Dec 2026";
}

void TestBufferExport::headerTakesTheGivenTime()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, header);

    Module1 shared;
    shared.BufNext = 1;
    QCOMPARE(exported(shared, now), crlfLines({header, " "}));
}

void TestBufferExport::clearedSlotsAreNotWritten()
{
    // Clear Buffer only resets BufNext; the old texts stay in their slots.
    Module1 shared;
    shared.BufNext = 1;
    send(shared, {{"Old one", "o", " 1"}, {"Old two", "o", " 2"}, {"Old three", "o", " 3"}});
    shared.BufNext = 1;
    send(shared, {{"New", "n", " 9"}});

    QCOMPARE(exported(shared, MorningClock), crlfLines({MorningHeader, " ", "New", "n", "Frequencies:  9", " "}));
}

void TestBufferExport::fullBuffer()
{
    Module1 shared;
    shared.BufNext = 1;
    Entries entries;
    for (int n = 1; n <= Module1::BufferSlots; ++n)
        entries << Entry{QStringLiteral("Entry %1").arg(n), QStringLiteral("c"), QStringLiteral(" %1").arg(n)};
    send(shared, entries);
    QCOMPARE(shared.BufNext, Module1::BufferSlots + 1);

    const QList<QByteArray> lines = exported(shared, MorningClock).split('\n');
    // 2 + 4 x 500 lines, each ended by CR LF; split leaves one empty piece after the last.
    QCOMPARE(lines.size(), 2 + 4 * Module1::BufferSlots + 1);
    QCOMPARE(lines.at(2), QByteArray("Entry 1\r"));
    QCOMPARE(lines.at(4 * Module1::BufferSlots - 2), QByteArray("Entry 500\r"));
    QCOMPARE(lines.at(4 * Module1::BufferSlots), QByteArray("Frequencies:  500\r"));
}

QTEST_GUILESS_MAIN(TestBufferExport)
#include "tst_bufferexport.moc"

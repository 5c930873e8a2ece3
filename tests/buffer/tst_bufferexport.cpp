#include "buffer/BufferExport.h"
#include "printing/ExportText.h"
#include "main_window/Module1.h"

#include <QBuffer>
#include <QLocale>
#include <QTest>

class TestBufferExport : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

void TestBufferExport::layout_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QStringList>("cleared"); // sent before a Clear Buffer
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("body");

    // Clear Buffer only resets BufNext; the old texts stay in their slots.
    QTest::newRow("empty buffer at 9:05 am after a clear: header and a blank line")
        << QTime(9, 5) << QStringList{"Old", "o", " 1"} << QStringList{} << QStringList{"9:05 am", " "};
    QTest::newRow("in the order sent, No Comment as stored, beyond ASCII, two comment lines, at 12:30 pm")
        << QTime(12, 30) << QStringList{}
        << QStringList{"C", "Größe", " 3", "A", "line one\r\nline two", "", "B", "No Comment", ",  2"}
        << QStringList{"12:30 pm", " ", "C", "Größe", "Frequencies:  3", " ", "A", "line one", "line two",
                       "Frequencies: ", " ", "B", "No Comment", "Frequencies: ,  2", " "};
}

void TestBufferExport::layout()
{
    QFETCH(QTime, time);
    QFETCH(QStringList, cleared);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, body);

    // Fills the slots as Send to Buffer does: description, comments, frequencies in turn.
    Module1 shared;
    for (const QStringList& sent : {cleared, entries}) {
        shared.BufNext = 1;
        for (int i = 0; i + 2 < sent.size(); i += 3, ++shared.BufNext) {
            shared.BufDescription[shared.BufNext] = sent.at(i);
            shared.BufComments[shared.BufNext] = sent.at(i + 1);
            shared.BufFrequencies[shared.BufNext] = sent.at(i + 2);
        }
    }

    QBuffer file;
    file.open(QIODevice::WriteOnly);
    ExportText::LineWriter writer(file);
    BufferExport::writeLines(shared, QDateTime(QDate(2026, 12, 5), time), writer);
    writer.flush();

    // The header's time is the first body line; the month's name comes from the system locale.
    body[0] = QStringLiteral("Frequency Selection   %1    5,%2 2026")
                  .arg(body[0], QLocale::system().monthName(12, QLocale::ShortFormat));
    QCOMPARE(file.data(), body.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    QCOMPARE(shared.BufNext, int(entries.size() / 3 + 1));
}

QTEST_GUILESS_MAIN(TestBufferExport)
#include "tst_bufferexport.moc"

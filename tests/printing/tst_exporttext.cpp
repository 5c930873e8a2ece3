#include "printing/ExportText.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

// Month names come from the system locale; the rows are written for the C locale that the
// test run sets.
bool systemMonthsAreEnglish()
{
    return QLocale::system().monthName(12, QLocale::ShortFormat) == QLatin1String("Dec");
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestExportText : public QObject
{
    Q_OBJECT

private slots:
    void timeText_data();
    void timeText();
    void dateText_data();
    void dateText();
    void headerLine_data();
    void headerLine();
    void lineEndings_data();
    void lineEndings();
    void writerNoticesRefusedWrites();
    void writeFileWritesEveryLine();
    void writeFileReplacesLongerFile();
    void writeFileFailure_data();
    void writeFileFailure();
    void failedWriteKeepsOldFile();
};

void TestExportText::timeText_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");

    QTest::newRow("9:05 am: minutes keep their zero, hours do not") << QTime(9, 5) << "9:05 am ";
    QTest::newRow("12:30 pm: the noon hour") << QTime(12, 30) << "12:30 pm ";
    QTest::newRow("12:05 am: after midnight") << QTime(0, 5) << "12:05 am ";
    QTest::newRow("3:07 pm") << QTime(15, 7) << "3:07 pm ";
    QTest::newRow("midnight") << QTime(0, 0) << "12:00 am ";
    QTest::newRow("noon") << QTime(12, 0) << "12:00 pm ";
    QTest::newRow("last morning minute, seconds dropped") << QTime(11, 59, 59) << "11:59 am ";
    QTest::newRow("last minute of the day") << QTime(23, 59) << "11:59 pm ";
    QTest::newRow("two-digit morning hour") << QTime(10, 0) << "10:00 am ";
}

void TestExportText::timeText()
{
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    QCOMPARE(ExportText::timeText(time), expected);
}

void TestExportText::dateText_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("blanks");
    QTest::addColumn<QString>("expected");

    QTest::newRow("three blanks, one-digit day") << QDate(2026, 12, 5) << 3 << "   5,Dec 2026";
    QTest::newRow("two blanks, two-digit day") << QDate(2026, 1, 31) << 2 << "  31,Jan 2026";
    QTest::newRow("leap day") << QDate(2028, 2, 29) << 3 << "   29,Feb 2028";
}

void TestExportText::dateText()
{
    if (!systemMonthsAreEnglish())
        QSKIP("month names of the C locale expected");
    QFETCH(QDate, date);
    QFETCH(int, blanks);
    QFETCH(QString, expected);
    QCOMPARE(ExportText::dateText(date, blanks), expected);
}

void TestExportText::headerLine_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("dateBlanks");
    QTest::addColumn<QString>("expected");

    QTest::newRow("buffer: four blanks between am and the day")
        << QDateTime(QDate(2026, 12, 5), QTime(9, 5)) << 3 << "Frequency Selection   9:05 am    5,Dec 2026";
    QTest::newRow("result list: three blanks between pm and the day")
        << QDateTime(QDate(2026, 12, 5), QTime(15, 7)) << 2 << "Frequency Selection   3:07 pm   5,Dec 2026";
    QTest::newRow("just after midnight on new year")
        << QDateTime(QDate(2027, 1, 1), QTime(0, 5)) << 3 << "Frequency Selection   12:05 am    1,Jan 2027";
}

void TestExportText::headerLine()
{
    if (!systemMonthsAreEnglish())
        QSKIP("month names of the C locale expected");
    QFETCH(QDateTime, now);
    QFETCH(int, dateBlanks);
    QFETCH(QString, expected);
    QCOMPARE(ExportText::headerLine(now, dateBlanks), expected);
}

void TestExportText::lineEndings_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("every line ends with CR LF") << QStringList{"one", "two"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("empty line") << QStringList{""} << QByteArray("\r\n");
    QTest::newRow("single blank kept") << QStringList{" "} << QByteArray(" \r\n");
    QTest::newRow("UTF-8") << QStringList{QStringLiteral("Größe µ")}
                           << QByteArray("Gr\xc3\xb6\xc3\x9f"
                                         "e \xc2\xb5\r\n");
    QTest::newRow("bare line feed inside a text") << QStringList{"one\ntwo"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("CR LF inside a text stays one break") << QStringList{"one\r\ntwo"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("bare carriage return inside a text") << QStringList{"one\rtwo"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("text ending in a break adds an empty line") << QStringList{"one\n"} << QByteArray("one\r\n\r\n");
}

void TestExportText::lineEndings()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, expected);

    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    ExportText::LineWriter writer(buffer);
    for (const QString& line : lines)
        writer.line(line);
    QVERIFY(!writer.failed());
    QCOMPARE(buffer.data(), expected);
}

void TestExportText::writerNoticesRefusedWrites()
{
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    ExportText::LineWriter writer(buffer);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("device not open|ReadOnly device"));
    writer.line(QStringLiteral("lost"));
    QVERIFY(writer.failed());
}

void TestExportText::writeFileWritesEveryLine()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(ExportText::FileName);
    const Outcome written = ExportText::writeFile(path, [](ExportText::LineWriter& out) {
        out.line(QStringLiteral("first"));
        out.line(QStringLiteral(" "));
        out.line(QStringLiteral("last"));
    });
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(readAll(path), QByteArray("first\r\n \r\nlast\r\n"));
}

void TestExportText::writeFileReplacesLongerFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(ExportText::FileName);
    writeBytes(path, QByteArray(5000, 'x') + "\r\n");

    const Outcome written = ExportText::writeFile(path, [](ExportText::LineWriter& out) { out.line("short"); });
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(readAll(path), QByteArray("short\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{ExportText::FileName});
}

void TestExportText::writeFileFailure_data()
{
    QTest::addColumn<QString>("blocker");

    // Tests run as root, whom file modes do not stop; these places cannot hold the file for
    // anyone: the file's own name is taken by a folder, or its folder is really a file.
    QTest::newRow("a folder where the file goes") << QStringLiteral("folder");
    QTest::newRow("the folder is a regular file") << QStringLiteral("file");
}

void TestExportText::writeFileFailure()
{
    QFETCH(QString, blocker);

    QTemporaryDir folder;
    QString path = folder.filePath(ExportText::FileName);
    if (blocker == QLatin1String("folder")) {
        QVERIFY(QDir(folder.path()).mkdir(ExportText::FileName));
    } else {
        writeBytes(folder.filePath(QStringLiteral("plain")), "not a folder");
        path = folder.filePath(QStringLiteral("plain/") + ExportText::FileName);
    }

    const Outcome written =
        ExportText::writeFile(path, [](ExportText::LineWriter& out) { out.line(QStringLiteral("never lands")); });
    QVERIFY(!written.ok);
    const QString prefix = QStringLiteral("Could not write ") + QDir::toNativeSeparators(path) + QStringLiteral(": ");
    QVERIFY2(written.error.startsWith(prefix), qPrintable(written.error));
    QVERIFY2(written.error.size() > prefix.size(), "the reason is missing");
    if (blocker == QLatin1String("folder"))
        QVERIFY(QFileInfo(path).isDir());
    else
        QCOMPARE(readAll(folder.filePath(QStringLiteral("plain"))), QByteArray("not a folder"));
}

void TestExportText::failedWriteKeepsOldFile()
{
#ifdef Q_OS_UNIX
    // A file size limit fails the write part way, as a full disk would, and holds for root.
    QTemporaryDir folder;
    const QString path = folder.filePath(ExportText::FileName);
    const QByteArray old("earlier export\r\n");
    writeBytes(path, old);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome written = ExportText::writeFile(path, [](ExportText::LineWriter& out) {
        for (int i = 0; i < 200; ++i)
            out.line(QString(100, QLatin1Char('a' + i % 26)));
    });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written.ok);
    QVERIFY2(written.error.startsWith(QStringLiteral("Could not write ") + QDir::toNativeSeparators(path) + ": "),
             qPrintable(written.error));
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{ExportText::FileName});
#else
    QSKIP("needs a file size limit");
#endif
}

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_exporttext.moc"

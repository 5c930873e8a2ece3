#include "printing/ExportText.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

class TestExportText : public QObject
{
    Q_OBJECT

private slots:
    void headerLineBlanksAreNotPadding();
    void writeFileReplacesTheFile_data();
    void writeFileReplacesTheFile();
};

// The buffer's and the result list's layout tests pin their headers; this is the case they do not reach.
void TestExportText::headerLineBlanksAreNotPadding()
{
    if (QLocale::system().monthName(12, QLocale::ShortFormat) != QLatin1String("Dec"))
        QSKIP("month names of the C locale expected");
    QCOMPARE(ExportText::headerLine(QDateTime(QDate(2027, 1, 31), QTime(0, 5)), 2),
             QStringLiteral("Frequency Selection   12:05 am   31,Jan 2027"));
}

void TestExportText::writeFileReplacesTheFile_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("CR LF after every line, empty and blank ones too")
        << QStringList{"one", "", " "} << QByteArray("one\r\n\r\n \r\n");
    QTest::newRow("CR LF inside a text stays one break") << QStringList{"one\r\ntwo"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("bare carriage return inside a text") << QStringList{"one\rtwo"} << QByteArray("one\r\ntwo\r\n");
}

void TestExportText::writeFileReplacesTheFile()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, expected);
    QTemporaryDir folder;
    const QString path = folder.filePath(ExportText::FileName);
    writeFile(path, QByteArray(5000, 'x') + "\r\n");

    const Outcome written = ExportText::writeFile(path, [&](ExportText::LineWriter& out) {
        for (const QString& line : lines)
            out.line(line);
    });

    QVERIFY2(written.ok, qPrintable(written.error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{ExportText::FileName});
}

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_exporttext.moc"

#include "printing/DesktopViewerLauncher.h"
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
    void startsWordpadFromTheApplicationFolder();
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
    // Breaks inside a text are the text's own bytes.
    QTest::newRow("CR LF inside a text") << QStringList{"one\r\ntwo"} << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("bare line feed inside a text") << QStringList{"one\ntwo"} << QByteArray("one\ntwo\r\n");
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

// Only the wordpad.exe rule of the viewer runs here; the other hands the file to the desktop's
// own program, which a test must not start.
void TestExportText::startsWordpadFromTheApplicationFolder()
{
#ifndef Q_OS_UNIX
    QSKIP("uses a shell script in place of the program");
#endif
    QTemporaryDir folder;
    QFile script(folder.filePath(QStringLiteral("wordpad.exe")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    // Records where it runs and what it was given, then ends at once.
    script.write("#!/bin/sh\n{ pwd -P; printf '%s\\n' \"$@\"; } > started.tmp && mv started.tmp started.txt\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

    QVERIFY(DesktopViewerLauncher().launch(folder.path(), QStringLiteral("freq.txt")));
    QFile started(folder.filePath(QStringLiteral("started.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(started.exists(), 10000);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(started.readAll()), QDir(folder.path()).canonicalPath() + QStringLiteral("\nfreq.txt\n"));
}

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_exporttext.moc"

#include "printing/DesktopViewerLauncher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Only the wordpad.exe rule runs here; the other hands the file to the desktop's own program,
// which a test must not start.
class TestDesktopViewerLauncher : public QObject
{
    Q_OBJECT

private slots:
    void startsWordpadFromTheApplicationFolder()
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
        QCOMPARE(QString::fromUtf8(started.readAll()),
                 QDir(folder.path()).canonicalPath() + QStringLiteral("\nfreq.txt\n"));
    }
};

QTEST_GUILESS_MAIN(TestDesktopViewerLauncher)
#include "tst_desktopviewerlauncher.moc"

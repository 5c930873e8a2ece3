#include "about/AboutText.h"

#include <QTest>

// The composed about text: its version line, its paragraphs and the quoted ones word for word.
class TestAboutText : public QObject
{
    Q_OBJECT

private slots:
    void firstLine_data();
    void firstLine();
    void eighteenParagraphsWithoutFinalBreak();
    void quotedParagraphs_data();
    void quotedParagraphs();
    void namesNoOneAndNoAddress_data();
    void namesNoOneAndNoAddress();
    void toolsAndAuthorsAreNamed();
};

void TestAboutText::firstLine_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("line");

    // The build number keeps the place of a sign: two blanks after "build".
    QTest::newRow("this version") << 1 << 0 << 57 << QStringLiteral("Welcome to Orvo version 1.0 - build  57");
    QTest::newRow("build zero") << 2 << 3 << 0 << QStringLiteral("Welcome to Orvo version 2.3 - build  0");
    QTest::newRow("large build") << 1 << 12 << 1234567
                                 << QStringLiteral("Welcome to Orvo version 1.12 - build  1234567");
}

void TestAboutText::firstLine()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);
    const QString text = AboutText::compose(major, minor, revision);
    QCOMPARE(text.section(QStringLiteral("\r\n"), 0, 0), line);
}

void TestAboutText::eighteenParagraphsWithoutFinalBreak()
{
    const QString text = AboutText::compose();
    QVERIFY(text.startsWith(QLatin1String("Welcome to Orvo version 1.0 - build  57\r\n\r\n")));
    const QStringList paragraphs = text.split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(paragraphs.size(), 18);
    QCOMPARE(paragraphs, AboutText::paragraphs(1, 0, 57));
    for (const QString& paragraph : paragraphs) {
        QVERIFY(!paragraph.trimmed().isEmpty());
        QVERIFY2(!paragraph.contains(QLatin1Char('\r')) && !paragraph.contains(QLatin1Char('\n')),
                 qPrintable(paragraph));
    }
    QCOMPARE(paragraphs.last(), QStringLiteral("The Orvo authors"));
    QVERIFY(text.endsWith(QLatin1String("\r\n\r\nThe Orvo authors")));
}

void TestAboutText::quotedParagraphs_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("9 data checked") << 9
                                    << QStringLiteral("The data has been checked a few times, and typo's found, were "
                                                      "corrected. I make no claims for the correctness of the "
                                                      "frequencies and data in Orvo. All care has been taken.");
    QTest::newRow("12 help tips") << 12
                                  << QStringLiteral("Help tips ... well Orvos is pretty straight forward, but here are "
                                                    "a few tips that might help you along.");
    QTest::newRow("13 search options")
        << 13
        << QStringLiteral("When using the 3 check box search options, you can only use Description and/or Comments, "
                          "or Frequencies on its own. Each record has 40 frequency fields and the Frequency search "
                          "option only searches these fields for a match. It does not search for frequencies in the "
                          "Description and Comments field as of this version.");
    QTest::newRow("14 description required")
        << 14
        << QStringLiteral("The only field that requires data is the Description field. Orvo will warn you if you leave "
                          "this field blank.");
    QTest::newRow("15 printers") << 15
                                 << QStringLiteral("I have only tested the printer routines on a few printers - please "
                                                   "let me know if you experience any problems here.");
    QTest::newRow("16 list all") << 16
                                 << QStringLiteral("To list all records, simply click on the find button when the "
                                                   "search text box it empty. A list of the entire database will be "
                                                   "displayed.");
}

void TestAboutText::quotedParagraphs()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(AboutText::paragraphs(1, 0, 57).at(number - 1), text);
}

void TestAboutText::namesNoOneAndNoAddress_data()
{
    QTest::addColumn<QString>("fragment");

    QTest::newRow("e-mail address") << QStringLiteral("@");
    QTest::newRow("web address") << QStringLiteral("http");
    QTest::newRow("www") << QStringLiteral("www.");
    QTest::newRow("domain") << QStringLiteral(".com");
    QTest::newRow("organisation domain") << QStringLiteral(".org");
}

void TestAboutText::namesNoOneAndNoAddress()
{
    QFETCH(QString, fragment);
    QVERIFY(!AboutText::compose().contains(fragment, Qt::CaseInsensitive));
}

void TestAboutText::toolsAndAuthorsAreNamed()
{
    const QStringList paragraphs = AboutText::paragraphs(1, 0, 57);
    const QString tools = paragraphs.at(10);
    for (const char* name : {"C++", "Qt", "SQLite"})
        QVERIFY2(tools.contains(QLatin1String(name)), name);
    QVERIFY(tools.endsWith(QLatin1String(" The database FREQ.MDB can be loaded into any version of Access for further "
                                         "manipulation and report generation.")));
    QVERIFY(paragraphs.at(7).contains(QLatin1String("Orvo authors")));
    QVERIFY(paragraphs.at(6).startsWith(QLatin1String("... ")));
}

QTEST_GUILESS_MAIN(TestAboutText)
#include "tst_abouttext.moc"

#include "about/AboutText.h"

#include <QTest>

// The composed about text: its version line, its paragraphs and the quoted ones word for word.
class TestAboutText : public QObject
{
    Q_OBJECT

private slots:
    void eighteenParagraphsWithoutFinalBreak();
    void quotedParagraphs_data();
    void quotedParagraphs();
    void namesToolsButNoAddress();
};

void TestAboutText::eighteenParagraphsWithoutFinalBreak()
{
    // The build number keeps the place of a sign: two blanks after "build".
    QCOMPARE(AboutText::compose(2, 3, 0).section(QStringLiteral("\r\n"), 0, 0),
             QStringLiteral("Welcome to Orvo version 2.3 - build  0"));
    const QString text = AboutText::compose();
    QVERIFY(text.startsWith(QLatin1String("Welcome to Orvo version 1.0 - build  57\r\n\r\n")));
    const QStringList paragraphs = text.split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(paragraphs.size(), 18);
    QCOMPARE(paragraphs, AboutText::paragraphs(1, 0, 57));
    for (const QString& paragraph : paragraphs)
        QVERIFY2(!paragraph.trimmed().isEmpty() && !paragraph.contains(QLatin1Char('\n')), qPrintable(paragraph));
    QVERIFY(text.endsWith(QLatin1String("\r\n\r\nThe Orvo authors")));
}

void TestAboutText::quotedParagraphs_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("9") << 9
                       << QStringLiteral("The data has been checked a few times, and typo's found, were corrected. I "
                                         "make no claims for the correctness of the frequencies and data in Orvo. All "
                                         "care has been taken.");
    QTest::newRow("12") << 12
                        << QStringLiteral("Help tips ... well Orvos is pretty straight forward, but here are a few "
                                          "tips that might help you along.");
    QTest::newRow("13")
        << 13
        << QStringLiteral("When using the 3 check box search options, you can only use Description and/or Comments, "
                          "or Frequencies on its own. Each record has 40 frequency fields and the Frequency search "
                          "option only searches these fields for a match. It does not search for frequencies in the "
                          "Description and Comments field as of this version.");
    QTest::newRow("14") << 14
                        << QStringLiteral("The only field that requires data is the Description field. Orvo will "
                                          "warn you if you leave this field blank.");
    QTest::newRow("15") << 15
                        << QStringLiteral("I have only tested the printer routines on a few printers - please let me "
                                          "know if you experience any problems here.");
    QTest::newRow("16") << 16
                        << QStringLiteral("To list all records, simply click on the find button when the search text "
                                          "box it empty. A list of the entire database will be displayed.");
}

void TestAboutText::quotedParagraphs()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(AboutText::paragraphs(1, 0, 57).at(number - 1), text);
}

void TestAboutText::namesToolsButNoAddress()
{
    const QString text = AboutText::compose();
    for (const char* address : {"@", "http", "www.", ".com", ".org"})
        QVERIFY2(!text.contains(QLatin1String(address), Qt::CaseInsensitive), address);
    for (const char* tool : {"C++", "Qt", "SQLite"})
        QVERIFY2(AboutText::paragraphs(1, 0, 57).at(10).contains(QLatin1String(tool)), tool);
}

QTEST_GUILESS_MAIN(TestAboutText)
#include "tst_abouttext.moc"

#include "about/AboutText.h"

#include <QTest>

// The composed about text: its version line, its paragraphs and the quoted ones word for word.
class TestAboutText : public QObject
{
    Q_OBJECT

private slots:
    void composedText();
};

void TestAboutText::composedText()
{
    // The build number keeps the place of a sign: two blanks after "build".
    QCOMPARE(AboutText::compose(2, 3, 0).section(QStringLiteral("\r\n"), 0, 0),
             QStringLiteral("Welcome to Orvo version 2.3 - build  0"));
    const QString text = AboutText::compose();
    QVERIFY(text.startsWith(QLatin1String("Welcome to Orvo version 1.0 - build  57\r\n\r\n")));
    const QStringList paragraphs = text.split(QStringLiteral("\r\n\r\n"));
    QCOMPARE(paragraphs, AboutText::paragraphs(1, 0, 57));
    QCOMPARE(paragraphs.size(), 18);
    for (const QString& paragraph : paragraphs)
        QVERIFY2(!paragraph.trimmed().isEmpty() && !paragraph.contains(QLatin1Char('\n')), qPrintable(paragraph));
    QVERIFY(text.endsWith(QLatin1String("\r\n\r\nThe Orvo authors")));
    // It names the tools, but no address to write to.
    for (const char* address : {"@", "http", "www.", ".com", ".org"})
        QVERIFY2(!text.contains(QLatin1String(address), Qt::CaseInsensitive), address);
    for (const char* tool : {"C++", "Qt", "SQLite"})
        QVERIFY2(paragraphs.at(10).contains(QLatin1String(tool)), tool);

    // The quoted paragraphs whose spelling a tidy-up would be tempted to correct.
    QCOMPARE(paragraphs.at(8), QStringLiteral("The data has been checked a few times, and typo's found, were corrected. "
                                              "I make no claims for the correctness of the frequencies and data in "
                                              "Orvo. All care has been taken."));
    QCOMPARE(paragraphs.at(11), QStringLiteral("Help tips ... well Orvos is pretty straight forward, but here are a few "
                                               "tips that might help you along."));
    QCOMPARE(paragraphs.at(15), QStringLiteral("To list all records, simply click on the find button when the search "
                                               "text box it empty. A list of the entire database will be displayed."));
}

QTEST_GUILESS_MAIN(TestAboutText)
#include "tst_abouttext.moc"

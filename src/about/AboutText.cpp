#include "about/AboutText.h"

#include "store/FrequencyText.h"

namespace AboutText {

QStringList paragraphs(int major, int minor, int revision)
{
    return {
        QStringLiteral("Welcome to Orvo version %1.%2 - build ").arg(major).arg(minor) +
            FrequencyText::written(revision),
        QStringLiteral("Orvo is a simple database for storing and managing the frequencies used by researchers who "
                       "carry on the work of an earlier researcher."),
        QStringLiteral("Who was the researcher whose work these lists carry on?"),
        QStringLiteral("To find out, read the page about that researcher on the project's web site."),
        QStringLiteral("Credits: the data in Orvo was compiled from two frequency lists that can be found on the home "
                       "page of the maintainer of the lists. It was taken for this database on 2 March 2026. Many "
                       "thanks to the maintainer of the lists for keeping the first list and for permission to use it "
                       "in Orvo."),
        QStringLiteral("For the two lists, go to the web page of the maintainer of the lists, linked from the "
                       "project's web site"),
        QStringLiteral("... the place to find both of them. Where the lists differ, the data in Orvo gives the first "
                       "list priority over the second, because the first is more up to date."),
        QStringLiteral("Orvo was written by the Orvo authors in 2026. It is free of charge and comes with no warranty "
                       "or claim of any kind; it is shared in good spirit."),
        QStringLiteral("The data has been checked a few times, and typo's found, were corrected. I make no claims for "
                       "the correctness ") +
            QStringLiteral("of the frequencies and data in Orvo. All care has been taken."),
        QStringLiteral("Please report any errors or bugs to the Orvo authors by e-mail. Updates will be published on "
                       "the project's web site."),
        QStringLiteral("Orvo is at an early test stage and has had little testing so far. It was built with C++, Qt "
                       "and SQLite. ") +
            QStringLiteral("The database FREQ.MDB can be loaded into any version of Access for further manipulation "
                           "and report generation."),
        QStringLiteral("Help tips ... well Orvos is pretty straight forward, but here are a few tips that might help "
                       "you along."),
        QStringLiteral("When using the 3 check box search options, you can only use Description and/or Comments, or "
                       "Frequencies on its own. ") +
            QStringLiteral("Each record has 40 frequency fields and the Frequency search option only searches these "
                           "fields for a match. It does ") +
            QStringLiteral("not search for frequencies in the Description and Comments field as of this version."),
        QStringLiteral("The only field that requires data is the Description field. Orvo will warn you if you leave "
                       "this field blank."),
        QStringLiteral("I have only tested the printer routines on a few printers - please let me know if you "
                       "experience any problems here."),
        QStringLiteral("To list all records, simply click on the find button when the search text box it empty. A list "
                       "of the entire database will be displayed."),
        QStringLiteral("Wishing you all good health."),
        QStringLiteral("The Orvo authors"),
    };
}

QString compose(int major, int minor, int revision)
{
    return paragraphs(major, minor, revision).join(QStringLiteral("\r\n\r\n"));
}

QString compose()
{
    return compose(ORVO_VERSION_MAJOR, ORVO_VERSION_MINOR, ORVO_VERSION_REVISION);
}

} // namespace AboutText

#include "store/FrequencyText.h"

#include <QLocale>
#include <QMap>
#include <QTest>
#include <clocale>
#include <limits>
#include <optional>
#include <string>

using FieldValues = QMap<int, QVariant>;

Q_DECLARE_METATYPE(std::optional<double>)

namespace QTest {
template <> char* toString(const std::optional<double>& number)
{
    return number ? QTest::toString(*number) : qstrdup("none");
}
} // namespace QTest

namespace {
QString listTextOf(const FieldValues& values)
{
    return FrequencyText::listText([&](int fieldNumber) { return values.value(fieldNumber); });
}

const QVariant Null = QVariant(QMetaType::fromType<QString>());
} // namespace

class TestFrequencyText : public QObject
{
    Q_OBJECT

private slots:
    void numberValue_data();
    void numberValue();
    void written_data();
    void written();
    void listText_data();
    void listText();
    void decimalCommaLocale();
};

void TestFrequencyText::numberValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<std::optional<double>>("expected");

    const std::optional<double> none;
    QTest::newRow("null") << QVariant() << none;
    QTest::newRow("int") << QVariant(728) << std::optional<double>(728);
    QTest::newRow("infinite double") << QVariant(std::numeric_limits<double>::infinity()) << none;
    QTest::newRow("decimal text") << QVariant("7.830") << std::optional<double>(7.83);
    QTest::newRow("point first") << QVariant(".5") << std::optional<double>(0.5);
    QTest::newRow("point last") << QVariant("5.") << std::optional<double>(5);
    QTest::newRow("exponent") << QVariant("1.5E+3") << std::optional<double>(1500);
    QTest::newRow("underflow is zero") << QVariant("1e-400") << std::optional<double>(0);
    QTest::newRow("empty") << QVariant("") << none;
    QTest::newRow("unit after number") << QVariant("7 Hz") << none;
    QTest::newRow("decimal comma") << QVariant("5,9") << none;
    QTest::newRow("hexadecimal") << QVariant("0x10") << none;
    QTest::newRow("infinity word") << QVariant("inf") << none;
    QTest::newRow("overflow") << QVariant("1e309") << none;
    QTest::newRow("largest double as written") << QVariant("-1.79769313486232E+308")
                                               << std::optional<double>(-std::numeric_limits<double>::max());
    QTest::newRow("just past the written largest") << QVariant("1.79769313486233E+308") << none;
    QTest::newRow("other script digits") << QVariant(QStringLiteral("\u0663")) << none;
}

void TestFrequencyText::numberValue()
{
    QFETCH(QVariant, value);
    QFETCH(std::optional<double>, expected);

    QCOMPARE(FrequencyText::numberValue(value), expected);
}

void TestFrequencyText::written_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("below one") << 0.5 << " .5";
    QTest::newRow("negative below one") << -0.5 << "-.5";
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero") << -0.0 << " 0";
    QTest::newRow("binary noise rounded away") << 0.1 + 0.2 << " .3";
    QTest::newRow("fifteen digits") << 1.0 / 3 << " .333333333333333";
    QTest::newRow("largest plain") << 123456789012345.0 << " 123456789012345";
    QTest::newRow("large uses exponent") << 1e15 << " 1E+15";
    QTest::newRow("large rounded") << 1234567890123456.0 << " 1.23456789012346E+15";
    QTest::newRow("smallest plain") << 0.0001 << " .0001";
    QTest::newRow("small uses exponent") << 0.00001 << " 1E-05";
    QTest::newRow("three digit exponent") << 1e100 << " 1E+100";
}

void TestFrequencyText::written()
{
    QFETCH(double, value);
    QFETCH(QString, expected);

    QCOMPARE(FrequencyText::written(value), expected);
}

void TestFrequencyText::listText_data()
{
    QTest::addColumn<FieldValues>("fields");
    QTest::addColumn<QString>("expected");

    QTest::newRow("three numbers") << FieldValues{{1, 7.83}, {2, 20}, {3, 727.5}} << " 7.83,  20,  727.5";
    QTest::newRow("first null keeps separator") << FieldValues{{1, Null}, {2, 20}} << ",  20";
    QTest::newRow("first zero, half") << FieldValues{{1, 0}, {2, 0.5}} << ",  .5";
    QTest::newRow("gap adds no separators") << FieldValues{{1, 1}, {5, 5}} << " 1,  5";
    QTest::newRow("only the last field") << FieldValues{{40, 728}} << ",  728";
    QTest::newRow("texts rewritten") << FieldValues{{1, "7.830"}, {2, "0727"}} << " 7.83,  727";
    QTest::newRow("zero text left out") << FieldValues{{1, "0"}, {2, "0"}, {3, "728"}} << ",  728";
    QTest::newRow("negative left out") << FieldValues{{1, -5}, {2, "-0.5"}} << "";
    QTest::newRow("not numbers left out") << FieldValues{{1, "abc"}, {2, ""}, {3, "7 Hz"}, {4, 9}} << ",  9";
    QTest::newRow("field 41 is not read") << FieldValues{{41, 5}} << "";
}

void TestFrequencyText::listText()
{
    QFETCH(FieldValues, fields);
    QFETCH(QString, expected);

    QCOMPARE(listTextOf(fields), expected);
}

// A decimal-comma locale, in Qt and (where the machine has it) in the C library, changes neither
// the reading nor the writing of numbers.
void TestFrequencyText::decimalCommaLocale()
{
    const QLocale previousDefault;
    const std::string previousCLocale = std::setlocale(LC_ALL, nullptr);
    for (const char* german : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
        if (std::setlocale(LC_ALL, german))
            break;
    }
    QLocale::setDefault(QLocale(QLocale::German));

    const QString text = listTextOf({{1, "7.83"}, {2, 1234.5}, {3, "0.5"}, {4, "5,9"}, {5, 1e-5}});
    const std::optional<double> parsed = FrequencyText::numberValue(QVariant("1234.5"));

    QLocale::setDefault(previousDefault);
    std::setlocale(LC_ALL, previousCLocale.c_str());
    QCOMPARE(text, QStringLiteral(" 7.83,  1234.5,  .5,  1E-05"));
    QCOMPARE(parsed, std::optional<double>(1234.5));
}

QTEST_GUILESS_MAIN(TestFrequencyText)
#include "tst_frequencytext.moc"

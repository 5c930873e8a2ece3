// A frequency value read as a number, written, and read again gives the same number to 15
// significant digits, and writing it again gives the same text.
#include "store/FrequencyText.h"

#include <QString>
#include <QVariant>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void checkRoundTrip(double value)
{
    if (!std::isfinite(value))
        return;
    const QString text = FrequencyText::written(value);
    const std::optional<double> again = FrequencyText::numberValue(QVariant(text));
    if (!again)
        std::abort();
    if (std::fabs(*again - value) > 1e-14 * std::fabs(value))
        std::abort();
    if (FrequencyText::written(*again) != text)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input as the text of a field.
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<double> number = FrequencyText::numberValue(QVariant(text))) {
        if (!std::isfinite(*number))
            std::abort();
        checkRoundTrip(*number);
    }
    // The input's first bytes as a stored double.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        FrequencyText::written(value);
        if (const std::optional<double> number = FrequencyText::numberValue(QVariant(value)))
            checkRoundTrip(*number);
    }
    return 0;
}

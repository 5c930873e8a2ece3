#pragma once

#include "query/RecordFields.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class QVariant;

// The one text form of a record's frequencies, the same in every locale.
namespace FrequencyText {
// The number a field value stands for: an int or double as it is, a text when it is a plain decimal number
// ("7.830", " 0727 ", "-1.5E+3"). Null, "", ".", "7 Hz", "5,9" and values too large for a double give none.
std::optional<double> numberValue(const QVariant& value);

// The same for a text field as the file stores it, in UTF-8, without making a QString of it.
std::optional<double> textNumber(QByteArrayView utf8);

// A blank for the sign (or "-"), "." as the point, at most 15 significant digits, no trailing zeros, no "0"
// before the point: 0.5 is " .5", 727 is " 727", 1E+15 and 1E-05 take the exponent form.
QString written(double value);

// Fields 1 to 40 that hold a number above 0, written and joined: F1 stands alone, every later field follows
// ", " even when nothing stands before it. Empty when no field counts.
QString listText(const std::function<QVariant(int fieldNumber)>& field);
// The same list from each field's number (by field number; [0] is not used), appended in ASCII.
using FieldNumbers = std::array<std::optional<double>, RecordFields::Frequencies + 1>;
void appendListText(QByteArray& out, const FieldNumbers& numbers);
} // namespace FrequencyText

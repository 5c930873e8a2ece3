#pragma once

#include <QStringList>

// The fields of a record, as table Main holds them and every query's select list names them.
namespace RecordFields {

constexpr int Frequencies = 40;

// Description, Comments, F1 ... F40.
const QStringList& names();

// The column of field F<n> in names(), or -1 when the name is no frequency field ("F0", "F41",
// "F07" and "Fx" are none). Letter case is ignored, as the query language ignores it.
int frequencyColumn(QStringView name);

} // namespace RecordFields

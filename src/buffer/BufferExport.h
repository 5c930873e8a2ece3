#pragma once

#include <QDateTime>

namespace ExportText {
class LineWriter;
}
struct Module1;

// The buffer as text: the header, a spacer line, then four lines for every buffered entry in
// the order sent (description, comments, frequencies, spacer).
namespace BufferExport {

// The buffer's header sets the date three blanks after the time.
constexpr int DateBlanks = 3;

void writeLines(const Module1& shared, const QDateTime& now, ExportText::LineWriter& out);

} // namespace BufferExport

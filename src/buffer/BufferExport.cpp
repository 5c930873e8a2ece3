#include "buffer/BufferExport.h"

#include "printing/ExportText.h"
#include "main_window/Module1.h"

namespace BufferExport {

void writeLines(const Module1& shared, const QDateTime& now, ExportText::LineWriter& out)
{
    const QString spacer = QStringLiteral(" ");
    out.line(ExportText::headerLine(now, DateBlanks));
    out.line(spacer);
    for (int n = 1; n < shared.BufNext && n <= Module1::BufferSlots; ++n) {
        out.line(shared.BufDescription[n]);
        out.line(shared.BufComments[n]);
        out.line(QStringLiteral("Frequencies: ") + shared.BufFrequencies[n]);
        out.line(spacer);
    }
}

} // namespace BufferExport

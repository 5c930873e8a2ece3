#include "query/RecordFields.h"
#include "printing/ResultListExport.h"

#include "store/Data1.h"
#include "store/FrequencyText.h"
#include "main_window/Module1.h"
#include "store/OrvoDatabase.h"

#include <algorithm>

namespace ResultListExport {

void MakeFreqStr(const Data1& data1, Module1& module)
{
    // Description and Comments come first; F<n> is name n + 1.
    const QStringList& names = RecordFields::names();
    module.FreqString = FrequencyText::listText([&](int number) { return data1.field(names.at(number + 1)); });
}

Outcome writeList(ExportText::LineWriter& out, Data1& data1, Module1& module, const QDateTime& now, const RunHooks& hooks)
{
    // The header's date stands two blanks off; the buffer export's stands three.
    out.line(ExportText::headerLine(now, 2));
    out.line(QStringLiteral(" "));

    const int startPosition = data1.hasCurrentRecord() ? data1.position() : -1;
    const QString startFrequencies = module.FreqString;
    const int startCounter = module.RecordCounter;
    const auto putBack = [&](const Outcome& failure) {
        if (!data1.moveTo(startPosition))
            data1.moveToEnd();
        module.FreqString = startFrequencies;
        module.RecordCounter = startCounter;
        return failure;
    };

    data1.moveFirst();
    module.RecordCounter = 0;
    while (!data1.isEof() && !out.failed()) {
        module.RecordCounter = std::min(module.RecordCounter + 1, module.ResultCount);
        if (hooks.yield)
            hooks.yield();
        if (hooks.progress)
            hooks.progress(module.RecordCounter);

        if (const Outcome read = data1.readCurrent(); !read)
            return putBack(read);
        const PrintOptions options = hooks.options ? hooks.options() : PrintOptions();
        // A null field is written as an empty line.
        out.line(data1.field(QStringLiteral("Description")).toString());
        if (options.comments)
            out.line(data1.field(QStringLiteral("Comments")).toString());
        if (options.frequencies) {
            MakeFreqStr(data1, module);
            if (module.FreqString.isEmpty())
                module.FreqString = NoFrequencies;
            out.line(QStringLiteral("Frequencies: ") + module.FreqString);
        }
        if (options.blankLine)
            out.line(QStringLiteral(" "));
        if (const Outcome moved = data1.moveNext(); !moved)
            return putBack(moved);
    }
    data1.moveToEnd();
    return Outcome::success();
}

} // namespace ResultListExport

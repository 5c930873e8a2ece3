#pragma once

#include "printing/ExportText.h"

#include <QDateTime>
#include <QString>
#include <functional>

class Data1;
struct Module1;

// The result list as text: a header, then each record of the data control's record set with
// the lines that the print options ask for.
namespace ResultListExport {

const QString NoFrequencies = QStringLiteral("No Frequencies Listed - See Comments");

struct PrintOptions
{
    bool comments = false;
    bool frequencies = false;
    bool blankLine = false;
};

// What the window lends a run: the options as they stand now (asked again for every record,
// so a box changed during the run counts from the next record on), a chance to let waiting
// events run, and the progress value after each step.
struct RunHooks
{
    std::function<PrintOptions()> options;
    std::function<void()> yield;
    std::function<void(int value)> progress;
};


// The current record's frequency list text into FreqString; the record set does not move.
void MakeFreqStr(const Data1& data1, Module1& module);

// Walks the record set from its first record and writes every record. RecordCounter counts
// the records written, held at ResultCount. Stops early when the writer fails. Leaves the
// record set at its end; when a record cannot be read, stops and puts the record set,
// FreqString and RecordCounter back as they were, and returns the failure.
Outcome writeList(ExportText::LineWriter& out, Data1& data1, Module1& module, const QDateTime& now, const RunHooks& hooks);

} // namespace ResultListExport

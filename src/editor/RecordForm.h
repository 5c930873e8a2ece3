#pragma once

#include "store/Outcome.h"

#include <QString>
#include <array>

class Data1;

// The texts of the record editor's boxes: what the editor shows for a record and what a save
// writes back. Every value stays text exactly as typed; nothing is trimmed or checked.
class RecordForm
{
public:
    static constexpr int FrequencyBoxes = 40;

    enum class Target
    {
        NewRecord,
        CurrentRecord
    };

    QString description;
    QString comments;
    // Box i holds field F(i+1).
    std::array<QString, FrequencyBoxes> frequencies;

    // The current record as the editor shows it: a null description as an empty box, empty or
    // null comments as "No Comments", an empty or null frequency as "0".
    static RecordForm fromCurrentRecord(const Data1& data);

    // The comments box's text as a save stores it: each of its line breaks as CR LF, the form of
    // the records converted from Access files and of the exports' own lines.
    static QString commentsFromBox(const QString& boxText);

    // A record is saved only with a description; a single blank counts as one.
    bool hasDescription() const { return !description.isEmpty(); }

    // What a save stores for boxes left empty: "No Comments" and "0", so that no saved record
    // has an empty comments or frequency field.
    RecordForm withStoredDefaults() const;

    // Adds a record or changes the current one with these texts. A refused write leaves
    // nothing pending in the data control and the file as it was.
    Outcome store(Data1& data, Target target) const;
};

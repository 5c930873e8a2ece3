#pragma once

#include <QString>

#include <array>

// The state that every window shares. One instance lives as long as the program and is
// handed to each window; texts start empty and numbers at 0.
struct Module1
{
    static constexpr int BufferSlots = 500;
    // Slots are numbered 1 to BufferSlots; index 0 is never used.
    using BufferTexts = std::array<QString, BufferSlots + 1>;

    QString DbPath;
    QString AppDir;
    QString QuerySql;
    // Record counters are wide enough for any result list; the original 16-bit limit is gone.
    int RecordCounter = 0;
    int MoveCounter = 0;
    QString FreqString;
    QString SearchText;
    int EditMode = 0;
    BufferTexts BufDescription;
    BufferTexts BufComments;
    BufferTexts BufFrequencies;
    int BufNext = 0;
    int FileNum = 0;
    int ResultCount = 0;
};

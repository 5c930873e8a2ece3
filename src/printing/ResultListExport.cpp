#include "query/RecordFields.h"
#include "printing/ResultListExport.h"

#include "store/Data1.h"
#include "store/FrequencyText.h"
#include "main_window/Module1.h"
#include "store/OrvoDatabase.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace ResultListExport {

void MakeFreqStr(const Data1& data1, Module1& module)
{
    // Description and Comments come first; F<n> is name n + 1.
    const QStringList& names = RecordFields::names();
    module.FreqString = FrequencyText::listText([&](int number) { return data1.field(names.at(number + 1)); });
}

namespace {

// Every record's lines in UTF-8, prepared while the records are read in file order and written
// later in list order: a record's description, comments and frequency text lie side by side in
// one of a few large blocks.
class PreparedRecords
{
public:
    explicit PreparedRecords(qsizetype count) { m_places.reserve(std::size_t(count)); }

    // The record's three texts are appended in turn to what add() gives, each closed by endText().
    QByteArray& add(int position)
    {
        constexpr qsizetype BlockSize = qsizetype(1) << 22;
        if (m_blocks.empty() || m_blocks.back().size() > BlockSize - (qsizetype(1) << 16)) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(BlockSize);
        }
        // The count asked for up front may fall short: the rest of a list bound at start-up is
        // read only now.
        if (std::size_t(position) >= m_places.size())
            m_places.resize(std::size_t(position) + 1);
        m_places[std::size_t(position)] = {int(m_blocks.size()) - 1, int(m_blocks.back().size()), {0, 0, 0}};
        m_adding = position;
        m_part = 0;
        return m_blocks.back();
    }
    // Marks the end of the record's next text.
    void endText()
    {
        Place& place = m_places[std::size_t(m_adding)];
        int at = place.at;
        for (int i = 0; i < m_part; ++i)
            at += place.lengths[i];
        place.lengths[m_part++] = int(m_blocks.back().size() - at);
    }

    // Empty texts for a record that was not read: another program deleted it.
    QByteArrayView description(int position) const { return text(position, 0); }
    QByteArrayView comments(int position) const { return text(position, 1); }
    QByteArrayView frequencies(int position) const { return text(position, 2); }

private:
    struct Place
    {
        int block = -1;
        int at = 0;
        int lengths[3] = {0, 0, 0};
    };

    QByteArrayView text(int position, int part) const
    {
        if (std::size_t(position) >= m_places.size() || m_places[std::size_t(position)].block < 0)
            return {};
        const Place& place = m_places[std::size_t(position)];
        int at = place.at;
        for (int i = 0; i < part; ++i)
            at += place.lengths[i];
        return QByteArrayView(m_blocks[std::size_t(place.block)]).sliced(at, place.lengths[part]);
    }

    std::vector<QByteArray> m_blocks;
    std::vector<Place> m_places;
    int m_adding = -1;
    int m_part = 0;
};

// The field's text as the record set would give it, in UTF-8. Text stored as UTF-8 is taken as
// it is, unless decoding would change it: bytes that are not UTF-8, or a leading byte order mark.
void appendText(QByteArray& out, const FileRow& row, const std::optional<int>& column)
{
    if (!column)
        return;
    if (const std::optional<QByteArrayView> stored = row.storedText(*column);
        stored && stored->isValidUtf8() && !stored->startsWith("\xEF\xBB\xBF"))
        out.append(*stored);
    else
        out.append(row.value(*column).toString().toUtf8());
}

} // namespace

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

    // Every line a record can have is prepared, whatever the boxes say now: a box ticked
    // during the run counts from the next record on.
    const std::optional<int> description = data1.columnOf(QStringLiteral("Description"));
    const std::optional<int> comments = data1.columnOf(QStringLiteral("Comments"));
    std::optional<int> frequencies[RecordFields::Frequencies + 1];
    for (int number = 1; number <= RecordFields::Frequencies; ++number)
        frequencies[number] = data1.columnOf(RecordFields::names().at(number + 1));
    PreparedRecords prepared(data1.keys().size());
    FrequencyText::FieldNumbers numbers;
    const Outcome read = data1.readInFileOrder(
        [&](int position, const FileRow& row) {
            // A null field is written as an empty line.
            QByteArray& out = prepared.add(position);
            appendText(out, row, description);
            prepared.endText();
            appendText(out, row, comments);
            prepared.endText();
            for (int number = 1; number <= RecordFields::Frequencies; ++number) {
                const std::optional<int>& column = frequencies[number];
                const std::optional<QByteArrayView> stored = column ? row.storedText(*column) : std::nullopt;
                numbers[std::size_t(number)] = stored ? FrequencyText::textNumber(*stored)
                                               : column ? FrequencyText::numberValue(row.value(*column))
                                                        : std::nullopt;
            }
            FrequencyText::appendListText(out, numbers);
            prepared.endText();
        },
        hooks.yield);
    if (!read)
        return putBack(read);

    data1.moveFirst();
    module.RecordCounter = 0;
    const QByteArray frequenciesLabel = QByteArrayLiteral("Frequencies: ");
    const QByteArray noFrequencies = NoFrequencies.toLatin1();
    QByteArray frequencyLine;
    int lastListed = -1;
    while (!data1.isEof() && !out.failed()) {
        module.RecordCounter = std::min(module.RecordCounter + 1, module.ResultCount);
        if (hooks.yield)
            hooks.yield();
        if (hooks.progress)
            hooks.progress(module.RecordCounter);

        const int position = data1.position();
        const PrintOptions options = hooks.options ? hooks.options() : PrintOptions();
        out.utf8Line(prepared.description(position));
        if (options.comments)
            out.utf8Line(prepared.comments(position));
        if (options.frequencies) {
            const QByteArrayView listed = prepared.frequencies(position);
            frequencyLine = frequenciesLabel;
            frequencyLine.append(listed.isEmpty() ? QByteArrayView(noFrequencies) : listed);
            out.utf8Line(frequencyLine);
            lastListed = position;
        }
        if (options.blankLine)
            out.line(QStringLiteral(" "));
        if (const Outcome moved = data1.moveNext(); !moved)
            return putBack(moved);
    }
    // FreqString holds the last frequency list written, as a walk that made each one would leave it.
    if (lastListed >= 0) {
        const QByteArrayView listed = prepared.frequencies(lastListed);
        module.FreqString = listed.isEmpty() ? NoFrequencies : QString::fromLatin1(listed);
    }
    data1.moveToEnd();
    return Outcome::success();
}

} // namespace ResultListExport

#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class FloorOperations;
class QMainWindow;

// The floor: each operation done the fastest plain way measured for it, against the same file
// and on bare SQLite's connection. Searches and the print start from the list as Orvo holds
// it after start-up (the records' keys in list order and their descriptions), loaded once
// and untimed. Each returns the number of rows it found or wrote.
class BestFloor
{
public:
    explicit BestFloor(FloorOperations& bare);
    ~BestFloor();

    // Reads every record's key and description in list order; false when the query fails.
    bool loadList();

    // The descriptions in memory, case-folded, and one byte search through all of them.
    qint64 findInDescriptions(const QString& text);
    // One scan of Main in file order; each record whose description or comments hold the text
    // (ASCII, none of the letters that characters beyond ASCII fold to) sets the bit of its
    // list position, and the positions come out in list order. -1 for any other text.
    qint64 findInDescriptionsAndComments(const QString& text);
    // The descriptions the last search found, in order, for the check that Orvo lists the same.
    QByteArray foundLines() const;

    // The print with all boxes ticked: Main read in file order, each record formatted, placed
    // by its list position, written with one buffered writer and synced.
    qint64 writeList(const QString& path);

    // A bare main window with Orvo's menu bar (File and the 26 letters) at the given size,
    // shown; then the file opened and the all-records query stepped to its first row.
    qint64 startUp(const QSize& size);
    void closeWindow();

private:
    qint64 position(qint64 rowid) const;

    FloorOperations& m_bare;
    std::vector<qint64> m_keys;
    // Descriptions as stored and case-folded, one after another; starts[i] is where row i
    // begins, starts[size] the end.
    std::string m_texts;
    std::vector<std::size_t> m_textStarts;
    std::string m_folded;
    std::vector<std::size_t> m_foldedStarts;
    // List position by rowid, -1 where no record has that rowid.
    std::vector<int> m_rank;
    std::vector<int> m_found;
    std::unique_ptr<QMainWindow> m_window;
};

#include "BestFloor.h"

#include "FloorOperations.h"
#include "FloorText.h"
#include "main_window/WindowGeometry.h"
#include "printing/ExportText.h"
#include "query/RecordFields.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

bool writeAll(int file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(file, bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += std::size_t(written);
    }
    return true;
}

bool holds(const std::string& folded, const QByteArray& needle)
{
    return memmem(folded.data(), folded.size(), needle.constData(), std::size_t(needle.size())) != nullptr;
}

} // namespace

BestFloor::BestFloor(FloorOperations& bare) : m_bare(bare) {}

BestFloor::~BestFloor() = default;

bool BestFloor::loadList()
{
    m_keys.clear();
    m_texts.clear();
    m_folded.clear();
    m_textStarts.assign(1, 0);
    m_foldedStarts.assign(1, 0);
    Statement list(m_bare.handle(),
                   QStringLiteral("SELECT rowid, Description FROM Main ORDER BY Description COLLATE NOCASE"));
    int step = SQLITE_DONE;
    while ((step = sqlite3_step(list.get())) == SQLITE_ROW) {
        m_keys.push_back(sqlite3_column_int64(list.get(), 0));
        const char* description = FloorText::text(list.get(), 1);
        const int bytes = sqlite3_column_bytes(list.get(), 1);
        m_texts.append(description, std::size_t(bytes));
        m_textStarts.push_back(m_texts.size());
        // A NUL ends each folded text, so that no match runs from one into the next.
        m_folded.append(QString::fromUtf8(description, bytes).toCaseFolded().toStdString()).push_back('\0');
        m_foldedStarts.push_back(m_folded.size());
    }
    m_rank.assign(std::size_t(m_keys.empty() ? 0 : *std::max_element(m_keys.begin(), m_keys.end()) + 1), -1);
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] >= 0)
            m_rank[std::size_t(m_keys[i])] = int(i);
    }
    return step == SQLITE_DONE;
}

qint64 BestFloor::position(qint64 rowid) const
{
    return rowid >= 0 && std::size_t(rowid) < m_rank.size() ? m_rank[std::size_t(rowid)] : -1;
}

qint64 BestFloor::findInDescriptions(const QString& text)
{
    const QByteArray needle = text.toCaseFolded().toUtf8();
    m_found.clear();
    const char* const all = m_folded.data();
    std::size_t at = 0;
    while (at < m_folded.size()) {
        const void* hit = memmem(all + at, m_folded.size() - at, needle.constData(), std::size_t(needle.size()));
        if (!hit)
            break;
        const auto next = std::upper_bound(m_foldedStarts.begin(), m_foldedStarts.end(),
                                           std::size_t(static_cast<const char*>(hit) - all));
        m_found.push_back(int(next - m_foldedStarts.begin() - 1));
        at = *next;
    }
    return qint64(m_found.size());
}

qint64 BestFloor::findInDescriptionsAndComments(const QString& text)
{
    // Folding bytes of ASCII is exact for such a text: bytes of other characters are never
    // ASCII, and only K and S have a character beyond ASCII (the kelvin sign, the long s) that
    // folds to them.
    const QByteArray needle = text.toCaseFolded().toUtf8();
    for (const char c : needle) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == 'k' || c == 's')
            return -1;
    }
    std::vector<std::uint64_t> found((m_keys.size() + 63) / 64);
    Statement scan(m_bare.handle(), QStringLiteral("SELECT rowid, Description, Comments FROM Main"));
    std::string folded;
    while (sqlite3_step(scan.get()) == SQLITE_ROW) {
        const qint64 at = position(sqlite3_column_int64(scan.get(), 0));
        for (int column = 1; column <= 2 && at >= 0; ++column) {
            const char* value = FloorText::text(scan.get(), column);
            folded.assign(value, std::size_t(sqlite3_column_bytes(scan.get(), column)));
            for (char& c : folded)
                c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
            if (holds(folded, needle)) {
                found[std::size_t(at) / 64] |= std::uint64_t(1) << (at % 64);
                break;
            }
        }
    }
    m_found.clear();
    for (std::size_t word = 0; word < found.size(); ++word) {
        for (std::uint64_t bits = found[word]; bits; bits &= bits - 1)
            m_found.push_back(int(word * 64 + std::size_t(__builtin_ctzll(bits))));
    }
    return qint64(m_found.size());
}

QByteArray BestFloor::foundLines() const
{
    QCryptographicHash lines(QCryptographicHash::Md5);
    for (const int row : m_found) {
        const std::size_t start = m_textStarts[std::size_t(row)];
        lines.addData(QByteArrayView(m_texts.data() + start, qsizetype(m_textStarts[std::size_t(row) + 1] - start)));
        lines.addData("\n");
    }
    return lines.result();
}

qint64 BestFloor::writeList(const QString& path)
{
    Statement scan(m_bare.handle(), QStringLiteral("SELECT rowid, ") +
                                        RecordFields::names().join(QStringLiteral(", ")) +
                                        QStringLiteral(" FROM Main"));
    std::string records;
    // Where each list position's lines lie in records.
    std::vector<std::pair<std::size_t, std::size_t>> placed(m_keys.size());
    while (sqlite3_step(scan.get()) == SQLITE_ROW) {
        const qint64 at = position(sqlite3_column_int64(scan.get(), 0));
        if (at < 0)
            continue;
        const std::size_t start = records.size();
        FloorText::appendRecord(records, scan.get(), 1);
        placed[std::size_t(at)] = {start, records.size() - start};
    }
    const int file = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        return -1;
    constexpr std::size_t BufferSize = 1 << 20;
    std::string buffer = ExportText::headerLine(QDateTime::currentDateTime(), 2).toStdString() + "\r\n \r\n";
    buffer.reserve(BufferSize);
    bool written = true;
    for (const auto& [start, length] : placed) {
        if (buffer.size() + length > BufferSize) {
            written = written && writeAll(file, buffer);
            buffer.clear();
        }
        buffer.append(records, start, length);
    }
    written = written && writeAll(file, buffer) && ::fsync(file) == 0;
    ::close(file);
    return written ? qint64(placed.size()) : -1;
}

qint64 BestFloor::startUp(const QSize& size)
{
    m_window = std::make_unique<QMainWindow>();
    WindowGeometry::useLayoutFont(m_window.get());
    m_window->setFixedSize(size);
    QMenuBar* bar = m_window->menuBar();
    bar->setStyleSheet(QStringLiteral("QMenuBar { spacing: 0px; } QMenuBar::item { padding: 2px 4px; }"));
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setFont(bar->font());
    for (const char* caption : {"Print List Results", "Tips and About", "Repair and Compact Database"})
        file->addAction(QLatin1String(caption));
    file->addSeparator();
    file->addAction(QStringLiteral("Exit"));
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        bar->addAction(QStringLiteral("&") + QLatin1Char(letter));
    m_window->show();
    QApplication::processEvents();
    return m_bare.openAndFirstRow();
}

void BestFloor::closeWindow()
{
    m_window.reset();
}

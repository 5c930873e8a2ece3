// CSV read, written and read again gives the same columns and rows.
#include "exchange/CsvReader.h"
#include "exchange/CsvWriter.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

struct Table
{
    bool ok = false;
    QStringList columns;
    QVector<SourceRow> rows;
};

Table readAll(QByteArray bytes)
{
    Table table;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer);
    if (!reader.open())
        return table;
    table.columns = reader.columns();
    SourceRow row;
    while (reader.next(row))
        table.rows.append(row);
    table.ok = reader.error().isEmpty();
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Table first = readAll(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!first.ok)
        return 0;
    QByteArray written;
    {
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        CsvWriter writer(buffer);
        if (!writer.writeRow(first.columns))
            std::abort();
        for (const SourceRow& row : first.rows) {
            if (!writer.writeRow(row))
                std::abort();
        }
    }
    const Table second = readAll(written);
    if (!second.ok || second.columns != first.columns || second.rows != first.rows)
        std::abort();
    return 0;
}

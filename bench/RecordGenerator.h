#pragma once

#include "store/Outcome.h"

#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <functional>

// Deterministic frequency records for benchmarks and tests: the same seed gives the same
// records on every machine (own random source, no library distributions).
namespace RecordGenerator {

constexpr std::uint64_t DefaultSeed = 0x4f72766f2d31ULL;

// One row of Main; a null QVariant is a null field.
struct Record
{
    QString description;
    QVariant comments;
    std::array<QVariant, 40> frequencies;
};

class Source
{
public:
    explicit Source(std::uint64_t seed = DefaultSeed);
    Record next();

private:
    std::uint64_t nextBits();
    // 0 .. bound - 1
    int below(int bound);
    bool chance(int percent) { return below(100) < percent; }
    QString word();
    QString description();
    QVariant comments();
    QString frequency();

    std::uint64_t m_state;
};

// Creates path with OrvoDatabase::createEmpty and inserts count records in one transaction.
// progress (may be empty) is called now and then with the number written so far.
Outcome writeDatabase(const QString& path, int count, std::uint64_t seed = DefaultSeed,
                      const std::function<void(int written)>& progress = {});

} // namespace RecordGenerator

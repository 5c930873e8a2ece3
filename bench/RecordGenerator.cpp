#include "RecordGenerator.h"

#include "query/RecordFields.h"
#include "store/FrequencyIndex.h"
#include "store/OrvoDatabase.h"

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <sqlite3.h>

namespace RecordGenerator {
namespace {

// Words for every letter; a few carry "eart", and a few are not plain ASCII so that case
// folding beyond ASCII is exercised.
const char* const Words[] = {"accordion",
                             "alpine",
                             "anvil",
                             "aeolian",
                             "amber",
                             "bell",
                             "bass",
                             "bumblebee",
                             "brass",
                             "breeze",
                             "cello",
                             "chime",
                             "cricket",
                             "cascade",
                             "clock",
                             "drum",
                             "dove",
                             "distant",
                             "dynamo",
                             "deep",
                             "echo",
                             "earth",
                             "engine",
                             "electric",
                             "evening",
                             "flute",
                             "foghorn",
                             "falcon",
                             "fan",
                             "faint",
                             "gong",
                             "glass",
                             "generator",
                             "gentle",
                             "grand",
                             "heart",
                             "hearth",
                             "harp",
                             "hum",
                             "hollow",
                             "hearty",
                             "iron",
                             "idle",
                             "insect",
                             "inner",
                             "jet",
                             "jingle",
                             "jazz",
                             "jar",
                             "kettle",
                             "keel",
                             "kite",
                             "kestrel",
                             "lute",
                             "low",
                             "loom",
                             "lark",
                             "lantern",
                             "marimba",
                             "motor",
                             "meadow",
                             "metal",
                             "muted",
                             "night",
                             "noise",
                             "nest",
                             "north",
                             "organ",
                             "oboe",
                             "owl",
                             "ocean",
                             "open",
                             "piano",
                             "pipe",
                             "pulse",
                             "pebble",
                             "quartz",
                             "quiet",
                             "quail",
                             "quick",
                             "rain",
                             "reed",
                             "river",
                             "rotor",
                             "rumble",
                             "string",
                             "siren",
                             "sparrow",
                             "soft",
                             "steel",
                             "thunder",
                             "tuning",
                             "tower",
                             "tide",
                             "ukulele",
                             "under",
                             "upper",
                             "urban",
                             "violin",
                             "valve",
                             "vessel",
                             "vast",
                             "whistle",
                             "wind",
                             "wave",
                             "warm",
                             "xylophone",
                             "xenon",
                             "x-ray",
                             "yodel",
                             "yarn",
                             "yellow",
                             "zither",
                             "zephyr",
                             "zinc",
                             "zone",
                             "\u00e9cho",
                             "\u00fcber",
                             "\u00d8re",
                             "stra\u00dfe",
                             "\u00c5ngstr\u00f6m",
                             "m\u00f8lle",
                             "\u212aelvin",
                             "\u017fong"};
constexpr int WordCount = int(sizeof Words / sizeof Words[0]);
constexpr int PlainWordCount = WordCount - 8;

// Values that lists share, so that a search for one finds a few hundred records per million.
const char* const CommonValues[] = {"728",   "880",   "787", "10000", "20",  "7.83", "465", "125",  "95",   "3.5",
                                    "1550",  "2008",  "440", "528",   "60",  "50",   "100", "1000", "2720", "5000",
                                    "727.5", "728.5", "0.5", "1.2",   "432", "110",  "174", "285",  "396",  "639"};
constexpr int CommonCount = int(sizeof CommonValues / sizeof CommonValues[0]);
// Texts that look like a common value but are not equal to it.
const char* const NearValues[] = {"728.0", "0728", "7280", "72.8", "728 ", "7.830", "880.00", "1E+3", "7.83e0"};
constexpr int NearCount = int(sizeof NearValues / sizeof NearValues[0]);

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

Source::Source(std::uint64_t seed) : m_state(seed) {}

// splitmix64: small, fast and the same everywhere.
std::uint64_t Source::nextBits()
{
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

int Source::below(int bound)
{
    return int((nextBits() >> 33) % std::uint64_t(bound));
}

QString Source::word()
{
    // One word in two hundred is one of the non-ASCII ones.
    return QString::fromUtf8(Words[chance(1) && chance(50) ? PlainWordCount + below(8) : below(PlainWordCount)]);
}

QString Source::description()
{
    QString text = word() + QLatin1Char(' ') + word();
    if (chance(40))
        text += QLatin1Char(' ') + word();
    if (chance(30))
        text += QLatin1String(", ") + word() + QLatin1Char(' ') + word();
    if (chance(15))
        text += QStringLiteral(" no. %1").arg(1 + below(99));
    const int start = below(100);
    if (start < 2)
        return QString::number(1 + below(9)) + QLatin1Char(' ') + text;
    if (start < 3)
        return QLatin1String("(") + text + QLatin1Char(')');
    return start < 13 ? text : capitalised(text);
}

QVariant Source::comments()
{
    const int kind = below(100);
    if (kind < 10)
        return {};
    if (kind < 20)
        return QString();
    if (kind < 25)
        return QStringLiteral("No Comments");
    const int target = 20 + below(below(10) < 8 ? 120 : 400);
    QString text;
    while (text.size() < target) {
        if (!text.isEmpty())
            text += chance(8) ? QLatin1String("\r\n") : QLatin1String(" ");
        QString sentence = capitalised(word());
        for (int n = 3 + below(9); n > 0; --n)
            sentence += QLatin1Char(' ') + word();
        text += sentence + QLatin1Char('.');
    }
    return text;
}

QString Source::frequency()
{
    const int kind = below(1000);
    if (kind < 300)
        return QString::fromLatin1(CommonValues[below(CommonCount)]);
    if (kind < 305)
        return QString::fromLatin1(NearValues[below(NearCount)]);
    if (kind < 700) {
        // Spread over four decades.
        const int decade = below(4);
        int top = 20;
        for (int i = 0; i < decade; ++i)
            top *= 10;
        return QString::number(1 + below(top));
    }
    if (kind < 900)
        return QStringLiteral("%1.%2").arg(1 + below(5000)).arg(1 + below(99));
    return QStringLiteral("0.%1").arg(1 + below(999), below(2) ? 2 : 3, 10, QLatin1Char('0'));
}

Record Source::next()
{
    Record record;
    record.description = description();
    record.comments = comments();

    // Most records have a few values, some none, a few all forty.
    int count = 0;
    if (chance(1))
        count = 40;
    else if (!chance(8))
        for (count = 1; count < 40 && chance(65); ++count) {
        }
    // Records typed into the editor hold "0" in their empty slots; imported ones hold null.
    const bool zeroFilled = chance(50);
    int slot = 0;
    for (int i = 0; i < count && slot < 40; ++i) {
        if (slot > 0 && chance(3))
            record.frequencies[slot++] = QStringLiteral("0");
        if (slot < 40)
            record.frequencies[slot++] = frequency();
    }
    for (; slot < 40; ++slot)
        record.frequencies[slot] = zeroFilled ? QVariant(QStringLiteral("0")) : QVariant();
    return record;
}

namespace {

Outcome engineFailure(sqlite3* db, const QString& what)
{
    return Outcome::failure(what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db)));
}

bool bindText(sqlite3_stmt* insert, int column, const QVariant& value)
{
    if (value.isNull())
        return sqlite3_bind_null(insert, column) == SQLITE_OK;
    const QByteArray utf8 = value.toString().toUtf8();
    return sqlite3_bind_text(insert, column, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
}

// Takes the indexes on Main, the frequency index and its triggers off the new file; names
// gets what was taken off.
Outcome withoutIndexes(sqlite3* db, QStringList* names)
{
    QStringList drops;
    sqlite3_stmt* schema = nullptr;
    const QByteArray schemaSql = QStringLiteral("SELECT type, name FROM sqlite_master WHERE (type = 'index' AND "
                                                "tbl_name = 'Main') OR name LIKE '%1%'")
                                     .arg(FrequencyIndex::TableName)
                                     .toUtf8();
    if (sqlite3_prepare_v2(db, schemaSql.constData(), -1, &schema, nullptr) != SQLITE_OK)
        return engineFailure(db, QStringLiteral("Reading the schema"));
    while (sqlite3_step(schema) == SQLITE_ROW) {
        const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(schema, 0)));
        *names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(schema, 1)));
        // Dropping the table drops its own index.
        if (type != QLatin1String("index") || !names->last().startsWith(FrequencyIndex::TableName))
            drops.prepend(QStringLiteral("DROP %1 %2").arg(type, names->last()));
    }
    sqlite3_finalize(schema);
    for (const QString& drop : drops) {
        if (sqlite3_exec(db, drop.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return engineFailure(db, drop);
    }
    return Outcome::success();
}

// Opening builds what a file lacks, but does not fail when it cannot; without an index the
// file would time other searches than a real one.
Outcome buildIndexes(const QString& path, const QStringList& names)
{
    const QString connection = QStringLiteral("orvo-generate");
    Outcome outcome = OrvoDatabase::open(path, connection);
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
    sqlite3* db = nullptr;
    sqlite3_stmt* built = nullptr;
    const QByteArray builtSql =
        "SELECT count(*) FROM sqlite_master WHERE name IN ('" + names.join("', '").toUtf8() + "')";
    if (outcome &&
        (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
         sqlite3_prepare_v2(db, builtSql.constData(), -1, &built, nullptr) != SQLITE_OK ||
         sqlite3_step(built) != SQLITE_ROW || sqlite3_column_int(built, 0) != names.size()))
        outcome = Outcome::failure(QStringLiteral("Opening %1 did not build its indexes.").arg(path));
    sqlite3_finalize(built);
    sqlite3_close(db);
    return outcome;
}

Outcome insertAll(sqlite3* db, int count, std::uint64_t seed, const std::function<void(int)>& progress)
{
    QByteArray sql = "INSERT INTO Main (" + RecordFields::names().join(QLatin1Char(',')).toUtf8() + ") VALUES (?";
    for (int i = 1; i < RecordFields::names().size(); ++i)
        sql += ",?";
    sql += ')';
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &insert, nullptr) != SQLITE_OK)
        return engineFailure(db, QStringLiteral("Preparing the insert"));
    Source source(seed);
    Outcome outcome;
    for (int n = 0; n < count && outcome; ++n) {
        const Record record = source.next();
        bool bound = bindText(insert, 1, record.description) && bindText(insert, 2, record.comments);
        for (int i = 0; i < 40; ++i)
            bound = bound && bindText(insert, 3 + i, record.frequencies[std::size_t(i)]);
        if (!bound || sqlite3_step(insert) != SQLITE_DONE)
            outcome = engineFailure(db, QStringLiteral("Inserting record %1").arg(n + 1));
        sqlite3_reset(insert);
        if (progress && (n + 1) % 100000 == 0)
            progress(n + 1);
    }
    sqlite3_finalize(insert);
    return outcome;
}

} // namespace

// The records go into the bare table, and the indexes are built afterwards by opening the
// file, as Orvo builds those a file lacks. The table's pages then lie together, as in a file
// that was compacted, instead of among the index pages that inserts made one row at a time.
Outcome writeDatabase(const QString& path, int count, std::uint64_t seed, const std::function<void(int)>& progress)
{
    if (const Outcome created = OrvoDatabase::createEmpty(path); !created)
        return created;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const Outcome failed = engineFailure(db, QStringLiteral("Opening %1").arg(path));
        sqlite3_close(db);
        return failed;
    }
    QStringList indexes;
    Outcome outcome = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK
                          ? withoutIndexes(db, &indexes)
                          : engineFailure(db, QStringLiteral("Starting the transaction"));
    if (outcome)
        outcome = insertAll(db, count, seed, progress);
    if (outcome && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        outcome = engineFailure(db, QStringLiteral("Committing"));
    if (!outcome)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (outcome)
        outcome = buildIndexes(path, indexes);
    return outcome;
}

} // namespace RecordGenerator

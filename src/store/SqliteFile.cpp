#include "store/SqliteFile.h"

#include "store/OrvoDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <utility>
#include <unistd.h>

namespace {

constexpr int BusyTimeoutMs = 2000;
// Where the engine's unix layer takes a writer's reserved lock: the byte after PENDING_BYTE.
constexpr off_t ReservedByte = 0x40000001;

bool meansDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

} // namespace

SqliteFile::~SqliteFile()
{
    close();
}

Outcome SqliteFile::open(const QString& path, Mode mode)
{
    close();
    const int flags = SQLITE_OPEN_READWRITE | (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_handle, flags, nullptr);
    if (code != SQLITE_OK) {
        const QString reason =
            m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QString::fromUtf8(sqlite3_errstr(code));
        close();
        return Outcome::failure(reason);
    }
    sqlite3_busy_timeout(m_handle, BusyTimeoutMs);
    return Outcome::success();
}

void SqliteFile::close()
{
    if (m_handle)
        sqlite3_close_v2(m_handle);
    m_handle = nullptr;
}

QString SqliteFile::lastError() const
{
    return m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QStringLiteral("The file is not open.");
}

Outcome SqliteFile::exec(const QString& sql)
{
    if (!m_handle)
        return Outcome::failure(lastError());
    if (sqlite3_exec(m_handle, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return Outcome::failure(lastError());
    return Outcome::success();
}

bool SqliteFile::lastErrorMeansDamage() const
{
    return m_handle && meansDamage(sqlite3_errcode(m_handle));
}

SqliteFile::Integrity SqliteFile::checkIntegrity(Depth depth)
{
    Integrity result;
    SqliteStatement check(*this, depth == Depth::Full ? QStringLiteral("PRAGMA integrity_check")
                                                      : QStringLiteral("PRAGMA quick_check"));
    if (!check.prepared()) {
        const int code = m_handle ? sqlite3_errcode(m_handle) : SQLITE_MISUSE;
        if (!meansDamage(code))
            result.checked = Outcome::failure(lastError());
        result.problem = lastError();
        return result;
    }
    QStringList lines;
    int code;
    while ((code = check.step()) == SQLITE_ROW)
        lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)));
    if (code != SQLITE_DONE) {
        if (!meansDamage(code))
            result.checked = Outcome::failure(lastError());
        result.problem = lastError();
        return result;
    }
    result.intact = lines == QStringList{QStringLiteral("ok")};
    if (!result.intact)
        result.problem = lines.value(0);
    return result;
}

bool SqliteFile::hasTable(const QString& name)
{
    SqliteStatement query(*this, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(query.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return query.step() == SQLITE_ROW;
}

Outcome SqliteFile::countRows(const QString& table, qint64* count)
{
    SqliteStatement query(*this, QStringLiteral("SELECT count(*) FROM ") + quotedName(table));
    if (!query.prepared() || query.step() != SQLITE_ROW)
        return Outcome::failure(lastError());
    *count = sqlite3_column_int64(query.get(), 0);
    return Outcome::success();
}

qint64 SqliteFile::cutShortTo(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = file.read(100);
    const auto number = [&header](int at, int bytes) {
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | uchar(header.at(at + i));
        return value;
    };
    // The page count in the header is valid only when the change counter beside it matches
    // (and a write-ahead log may hold pages the file does not yet have).
    if (header.size() < 100 || header.mid(24, 4) != header.mid(92, 4) ||
        QFileInfo::exists(path + QStringLiteral("-wal")))
        return -1;
    const qint64 pageSize = number(16, 2) == 1 ? 65536 : number(16, 2);
    if (pageSize == 0 || file.size() >= number(28, 4) * pageSize)
        return -1;
    return file.size() / pageSize * pageSize;
}

bool SqliteFile::changeWaiting(const QString& path)
{
    QFile journal(path + QStringLiteral("-journal"));
    return journal.open(QIODevice::ReadOnly) && journal.read(8) == QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
}

Outcome WriterLock::acquire(const QString& path)
{
    release();
    const QByteArray name = QFile::encodeName(path);
    const int file = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    // Nobody may write a file that cannot be opened for writing: it needs no lock.
    if (file < 0)
        return errno == EACCES || errno == EROFS ? Outcome::success() : Outcome::failure(qt_error_string(errno));
    struct flock byte = {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = ReservedByte;
    byte.l_len = 1;
    QElapsedTimer waited;
    waited.start();
    while (::fcntl(file, F_OFD_SETLK, &byte) != 0) {
        const int error = errno;
        if ((error != EAGAIN && error != EACCES) || waited.elapsed() >= BusyTimeoutMs) {
            ::close(file);
            if (error != EAGAIN && error != EACCES)
                return Outcome::failure(qt_error_string(error));
            return Outcome::locked(QStringLiteral("Another program is changing %1. Try again when it has finished.")
                                       .arg(QFileInfo(path).fileName()));
        }
        QThread::msleep(20);
    }
    m_file = file;
    return Outcome::success();
}

void WriterLock::release()
{
    if (m_file >= 0)
        ::close(m_file);
    m_file = -1;
}

SqliteStatement::SqliteStatement(sqlite3* handle, const QByteArray& sql)
{
    if (handle && sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteStatement::SqliteStatement(SqliteFile& file, const QString& sql) : SqliteStatement(file.handle(), sql.toUtf8())
{
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept : m_statement(std::exchange(other.m_statement, nullptr))
{
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
    }
    return *this;
}

void SqliteStatement::bind(const QVariantList& values)
{
    for (int i = 0; i < values.size() && m_statement; ++i) {
        const QVariant& value = values.at(i);
        switch (value.typeId()) {
        case QMetaType::Double:
            sqlite3_bind_double(m_statement, i + 1, value.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
            sqlite3_bind_int64(m_statement, i + 1, value.toLongLong());
            break;
        default:
            if (value.isNull()) {
                sqlite3_bind_null(m_statement, i + 1);
            } else {
                const QByteArray text = value.toString().toUtf8();
                sqlite3_bind_text(m_statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
        }
    }
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

int SqliteStatement::step()
{
    return m_statement ? sqlite3_step(m_statement) : SQLITE_MISUSE;
}

void SqliteStatement::reset()
{
    if (m_statement)
        sqlite3_reset(m_statement);
}

QString quotedName(const QString& name)
{
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

SqliteTransaction::~SqliteTransaction()
{
    if (m_open)
        sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

Outcome SqliteTransaction::begin(bool immediate)
{
    if (sqlite3_exec(m_handle, immediate ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return OrvoDatabase::readFailure(m_handle);
    m_open = true;
    return Outcome::success();
}

Outcome SqliteTransaction::commit()
{
    if (sqlite3_exec(m_handle, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return OrvoDatabase::readFailure(m_handle);
    m_open = false;
    return Outcome::success();
}

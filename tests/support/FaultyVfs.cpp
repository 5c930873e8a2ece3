#include "support/FaultyVfs.h"

#include <sqlite3.h>

#include <map>

namespace FaultyVfs {
namespace {

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

bool g_armed = false;
int g_failAt = 0;
int g_count = 0;
bool g_struck = false;
Fault g_fault = Fault::Once;

// A file keeps the real VFS's own object; only its method table is swapped for a copy whose
// failing methods find the real table right behind it.
struct Methods
{
    sqlite3_io_methods faulty;
    const sqlite3_io_methods* real;
};
std::map<const sqlite3_io_methods*, Methods> g_methods;

const sqlite3_io_methods* realOf(sqlite3_file* file)
{
    return reinterpret_cast<const Methods*>(file->pMethods)->real;
}

// True when this operation is the one to fail.
bool strikes()
{
    if (!g_armed)
        return false;
    ++g_count;
    if (g_count == g_failAt || (g_fault == Fault::FromThenOn && g_count > g_failAt)) {
        g_struck = true;
        return true;
    }
    return false;
}

int xWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    return strikes() ? SQLITE_IOERR_WRITE : realOf(file)->xWrite(file, buffer, amount, offset);
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    return strikes() ? SQLITE_IOERR_TRUNCATE : realOf(file)->xTruncate(file, size);
}

int xSync(sqlite3_file* file, int flags)
{
    return strikes() ? SQLITE_IOERR_FSYNC : realOf(file)->xSync(file, flags);
}

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    const int opened = g_real->xOpen(g_real, name, file, flags, outFlags);
    if (file->pMethods) { // SQLite calls xClose only when pMethods is set.
        auto [entry, added] = g_methods.try_emplace(file->pMethods, Methods{*file->pMethods, file->pMethods});
        if (added) {
            entry->second.faulty.xWrite = xWrite;
            entry->second.faulty.xTruncate = xTruncate;
            entry->second.faulty.xSync = xSync;
        }
        file->pMethods = &entry->second.faulty;
    }
    return opened;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return strikes() ? SQLITE_IOERR_DELETE : g_real->xDelete(g_real, name, syncDir);
}

} // namespace

bool install()
{
    if (g_real)
        return true;
    g_real = sqlite3_vfs_find(nullptr);
    if (!g_real)
        return false;
    // The rest (access, paths, randomness, time, system calls) stays the real VFS's own: they
    // take the VFS pointer only to find their own data, which the copy carries.
    g_vfs = *g_real;
    g_vfs.zName = "orvo-faulty";
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    return sqlite3_vfs_register(&g_vfs, 1) == SQLITE_OK;
}

void arm(int k, Fault fault)
{
    g_armed = true;
    g_failAt = k;
    g_count = 0;
    g_struck = false;
    g_fault = fault;
}

void disarm()
{
    g_armed = false;
}

bool struck()
{
    return g_struck;
}

} // namespace FaultyVfs

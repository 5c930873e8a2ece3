#include "FaultyVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace FaultyVfs {
namespace {

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

bool g_armed = false;
int g_failAt = 0;
int g_count = 0;
bool g_struck = false;
Fault g_fault = Fault::Once;

struct FaultyFile
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* file)
{
    return reinterpret_cast<FaultyFile*>(file)->real;
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

int xClose(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}

int xRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xRead(real, buffer, amount, offset);
}

int xWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    if (strikes())
        return SQLITE_IOERR_WRITE;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xWrite(real, buffer, amount, offset);
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    if (strikes())
        return SQLITE_IOERR_TRUNCATE;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xTruncate(real, size);
}

int xSync(sqlite3_file* file, int flags)
{
    if (strikes())
        return SQLITE_IOERR_FSYNC;
    sqlite3_file* real = realOf(file);
    return real->pMethods->xSync(real, flags);
}

int xFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xFileSize(real, size);
}

int xLock(sqlite3_file* file, int level)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xLock(real, level);
}

int xUnlock(sqlite3_file* file, int level)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xUnlock(real, level);
}

int xCheckReservedLock(sqlite3_file* file, int* out)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xCheckReservedLock(real, out);
}

int xFileControl(sqlite3_file* file, int op, void* argument)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xFileControl(real, op, argument);
}

int xSectorSize(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xSectorSize(real);
}

int xDeviceCharacteristics(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xDeviceCharacteristics(real);
}

int xShmMap(sqlite3_file* file, int page, int size, int extend, void volatile** out)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xShmMap(real, page, size, extend, out);
}

int xShmLock(sqlite3_file* file, int offset, int n, int flags)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xShmLock(real, offset, n, flags);
}

void xShmBarrier(sqlite3_file* file)
{
    sqlite3_file* real = realOf(file);
    real->pMethods->xShmBarrier(real);
}

int xShmUnmap(sqlite3_file* file, int deleteFlag)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xShmUnmap(real, deleteFlag);
}

int xFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xFetch(real, offset, amount, out);
}

int xUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page)
{
    sqlite3_file* real = realOf(file);
    return real->pMethods->xUnfetch(real, offset, page);
}

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* faulty = reinterpret_cast<FaultyFile*>(file);
    faulty->real = reinterpret_cast<sqlite3_file*>(faulty + 1);
    const int opened = g_real->xOpen(g_real, name, faulty->real, flags, outFlags);
    // SQLite calls xClose only when pMethods is set.
    file->pMethods = faulty->real->pMethods ? &g_methods : nullptr;
    return opened;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    if (strikes())
        return SQLITE_IOERR_DELETE;
    return g_real->xDelete(g_real, name, syncDir);
}

int xAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return g_real->xAccess(g_real, name, flags, out);
}

int xFullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return g_real->xFullPathname(g_real, name, size, out);
}

} // namespace

bool install()
{
    if (g_real)
        return true;
    g_real = sqlite3_vfs_find(nullptr);
    if (!g_real)
        return false;
    g_vfs = *g_real;
    g_vfs.iVersion = g_real->iVersion;
    g_vfs.szOsFile = int(sizeof(FaultyFile)) + g_real->szOsFile;
    g_vfs.zName = "orvo-faulty";
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    // The rest (randomness, time, dynamic loading, system calls) stays the real VFS's own:
    // they take the VFS pointer only to find their own data, which the copy carries.

    std::memset(&g_methods, 0, sizeof g_methods);
    g_methods.iVersion = 3;
    g_methods.xClose = xClose;
    g_methods.xRead = xRead;
    g_methods.xWrite = xWrite;
    g_methods.xTruncate = xTruncate;
    g_methods.xSync = xSync;
    g_methods.xFileSize = xFileSize;
    g_methods.xLock = xLock;
    g_methods.xUnlock = xUnlock;
    g_methods.xCheckReservedLock = xCheckReservedLock;
    g_methods.xFileControl = xFileControl;
    g_methods.xSectorSize = xSectorSize;
    g_methods.xDeviceCharacteristics = xDeviceCharacteristics;
    g_methods.xShmMap = xShmMap;
    g_methods.xShmLock = xShmLock;
    g_methods.xShmBarrier = xShmBarrier;
    g_methods.xShmUnmap = xShmUnmap;
    g_methods.xFetch = xFetch;
    g_methods.xUnfetch = xUnfetch;
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

int operations()
{
    return g_count;
}

} // namespace FaultyVfs

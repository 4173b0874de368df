// Preloaded by the full-disk row: after horolanFillDisk(bytes), every disk has that much room
// left, as Qt's free-space query (statvfs64) finds it; -1 lifts it.
#include <dlfcn.h>
#include <sys/statvfs.h>

static long long g_room = -1;

extern "C" void horolanFillDisk(long long roomBytes)
{
    g_room = roomBytes;
}

extern "C" int statvfs64(const char* path, struct statvfs64* info) noexcept
{
    static auto* const next = reinterpret_cast<decltype(&statvfs64)>(dlsym(RTLD_NEXT, "statvfs64"));
    const int result = next(path, info);
    if (result == 0 && g_room >= 0) {
        info->f_bsize = info->f_frsize = 1;
        info->f_bavail = info->f_bfree = decltype(info->f_bfree)(g_room);
    }
    return result;
}

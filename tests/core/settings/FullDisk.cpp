// Preloaded by the disk-full rows: after horolanFillDisk(folder, bytes), files in that folder
// have that many bytes of room left, as write() and statvfs64() (Qt's free-space query) see it.
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/statvfs.h>
#include <unistd.h>

static char g_folder[PATH_MAX];
static long long g_room = -1; // no fault

extern "C" void horolanFillDisk(const char* folder, long long roomBytes)
{
    snprintf(g_folder, sizeof g_folder, "%s", folder);
    g_room = roomBytes;
}

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static auto* const next = reinterpret_cast<decltype(&write)>(dlsym(RTLD_NEXT, "write"));
    char link[32], path[PATH_MAX] = {};
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const size_t length = strlen(g_folder);
    if (g_room >= 0 && readlink(link, path, sizeof path - 1) > 0
        && strncmp(path, g_folder, length) == 0 && path[length] == '/') {
        if (size_t(g_room) < size)
            return errno = ENOSPC, -1;
        g_room -= static_cast<long long>(size);
    }
    return next(fd, data, size);
}

// Qt asks for the room of the mount point: each folder that holds the full one answers for it.
extern "C" int statvfs64(const char* path, struct statvfs64* info) noexcept
{
    static auto* const next = reinterpret_cast<decltype(&statvfs64)>(dlsym(RTLD_NEXT, "statvfs64"));
    const size_t length = strlen(path);
    const int result = next(path, info);
    if (result == 0 && g_room >= 0 && strncmp(g_folder, path, length) == 0
        && (g_folder[length] == '/' || g_folder[length] == 0 || length == 1)) {
        info->f_bsize = info->f_frsize = 1;
        info->f_bavail = info->f_bfree = decltype(info->f_bfree)(g_room);
    }
    return result;
}

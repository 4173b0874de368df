// Preloaded by the settings tests: write, fsync, close and rename (and the calls Qt uses for
// them: fdatasync, linkat, renameat) on files under an armed folder are counted, and the n-th call
// of one kind fails with an errno, or kills the process, as a full disk, a quota or a dying disk
// would. Inert until armed.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

enum Kind { Write, Sync, Close, Rename, Kinds };

char g_folder[4096];
std::atomic<bool> g_armed { false };
std::atomic<long> g_calls[Kinds];
int g_kind = -1;
long g_nth = 0;
int g_error = 0; // 0: the process is killed

bool under(const char* path)
{
    const size_t n = std::strlen(g_folder);
    return path && std::strncmp(path, g_folder, n) == 0;
}

bool fdUnder(int fd)
{
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return under(target);
}

// True when the call is to fail (errno set); does not return when it is to kill.
bool fault(Kind kind, bool mine)
{
    if (!g_armed.load() || !mine)
        return false;
    const long call = ++g_calls[kind];
    if (kind != g_kind || call != g_nth)
        return false;
    if (g_error == 0)
        ::kill(::getpid(), SIGKILL);
    errno = g_error;
    return true;
}

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

// Arms the injector for files under folder (an absolute path): calls are counted from 0, and the
// nth call of kind ("write", "sync", "close", "rename") fails with error, or kills the process
// when error is 0. n of 0 only counts; a null folder disarms.
void horolanArmFaults(const char* folder, const char* kind, long nth, int error)
{
    g_armed = false;
    for (auto& calls : g_calls)
        calls = 0;
    if (!folder)
        return;
    std::snprintf(g_folder, sizeof g_folder, "%s", folder);
    const char* names[] = { "write", "sync", "close", "rename" };
    g_kind = -1;
    for (int k = 0; k < Kinds; ++k)
        if (kind && std::strcmp(kind, names[k]) == 0)
            g_kind = k;
    g_nth = nth;
    g_error = error;
    g_armed = true;
}

long horolanFaultCalls(const char* kind)
{
    const char* names[] = { "write", "sync", "close", "rename" };
    for (int k = 0; k < Kinds; ++k)
        if (std::strcmp(kind, names[k]) == 0)
            return g_calls[k];
    return -1;
}

ssize_t write(int fd, const void* data, size_t size)
{
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (fault(Write, fd > 2 && g_armed && fdUnder(fd)))
        return -1;
    return real(fd, data, size);
}

int fsync(int fd)
{
    static auto real = next<int (*)(int)>("fsync");
    if (fault(Sync, g_armed && fdUnder(fd)))
        return -1;
    return real(fd);
}

int fdatasync(int fd)
{
    static auto real = next<int (*)(int)>("fdatasync");
    if (fault(Sync, g_armed && fdUnder(fd)))
        return -1;
    return real(fd);
}

// A failed close still closes, as the kernel's does.
int close(int fd)
{
    static auto real = next<int (*)(int)>("close");
    const bool failed = fault(Close, fd > 2 && g_armed && fdUnder(fd));
    const int saved = errno;
    const int result = real(fd);
    if (!failed)
        return result;
    errno = saved;
    return -1;
}

int rename(const char* from, const char* to)
{
    static auto real = next<int (*)(const char*, const char*)>("rename");
    if (fault(Rename, under(from) || under(to)))
        return -1;
    return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    static auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    if (fault(Rename, under(from) || under(to)))
        return -1;
    return real(fromDir, from, toDir, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    static auto real = next<int (*)(int, const char*, int, const char*, int)>("linkat");
    if (fault(Rename, under(to)))
        return -1;
    return real(fromDir, from, toDir, to, flags);
}

} // extern "C"

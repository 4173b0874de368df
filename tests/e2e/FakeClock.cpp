// Preloaded into the clock: its wall clock starts at HOROLAN_FAKE_EPOCH_MS (ms since 1970, UTC)
// at the first reading and runs on, or stands still with HOROLAN_FAKE_FROZEN=1. Monotonic clocks
// stay real so timers keep running. Raw system calls only: this runs inside the C library's and
// the sanitizers' start-up, where nothing may allocate or look up symbols; getenv does neither.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_ready { false };
bool g_frozen = false;
std::int64_t g_fakeNs = -1; // at the first reading; -1: not faked
std::int64_t g_offsetNs = 0; // added to the real wall clock

std::int64_t realNs(clockid_t id)
{
    timespec ts {};
    syscall(SYS_clock_gettime, id, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void setUp()
{
    if (const char* epoch = std::getenv("HOROLAN_FAKE_EPOCH_MS"); epoch && *epoch) {
        g_fakeNs = 0;
        for (const char* p = epoch; *p >= '0' && *p <= '9'; ++p)
            g_fakeNs = g_fakeNs * 10 + (*p - '0');
        g_fakeNs *= 1000000;
        g_offsetNs = g_fakeNs - realNs(CLOCK_REALTIME);
        const char* frozen = std::getenv("HOROLAN_FAKE_FROZEN");
        g_frozen = frozen && frozen[0] == '1';
    }
    g_ready.store(true, std::memory_order_release);
}

std::int64_t fakeNs(clockid_t id)
{
    if (!g_ready.load(std::memory_order_acquire))
        setUp();
    if (g_fakeNs < 0 || (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE && id != CLOCK_TAI))
        return -1;
    return g_frozen ? g_fakeNs : realNs(CLOCK_REALTIME) + g_offsetNs;
}

} // namespace

extern "C" {

int clock_gettime(clockid_t id, timespec* ts)
{
    const std::int64_t ns = fakeNs(id);
    if (ns < 0 || !ts)
        return int(syscall(SYS_clock_gettime, id, ts));
    *ts = { time_t(ns / 1000000000), long(ns % 1000000000) };
    return 0;
}

int gettimeofday(timeval* tv, void* tz)
{
    const std::int64_t ns = fakeNs(CLOCK_REALTIME);
    if (ns < 0 || !tv)
        return int(syscall(SYS_gettimeofday, tv, tz));
    *tv = { time_t(ns / 1000000000), suseconds_t(ns % 1000000000 / 1000) };
    return 0;
}

} // extern "C"

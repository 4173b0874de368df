// Preloaded into the clock under test: its wall clock starts at a given moment and runs on (or
// stands still). Monotonic clocks stay real so timers keep running. Raw system calls only: this
// runs before and inside the C library's and the sanitizers' own start-up, where nothing may
// allocate or look up symbols.
//
//   HOROLAN_FAKE_EPOCH_MS   the wall clock at the first reading, ms since 1970 (UTC)
//   HOROLAN_FAKE_FROZEN=1   every reading gives that moment

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_ready { false };
std::int64_t g_offsetNs = 0; // added to the real wall clock
bool g_frozen = false;
std::int64_t g_fakeNs = 0;
bool g_active = false;

std::int64_t realNs(clockid_t id)
{
    timespec ts {};
    syscall(SYS_clock_gettime, id, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void setUp()
{
    if (g_ready.load(std::memory_order_acquire))
        return;
    // getenv neither allocates nor takes locks.
    const char* epoch = std::getenv("HOROLAN_FAKE_EPOCH_MS");
    if (epoch && *epoch) {
        std::int64_t ms = 0;
        bool negative = *epoch == '-';
        for (const char* p = epoch + (negative ? 1 : 0); *p >= '0' && *p <= '9'; ++p)
            ms = ms * 10 + (*p - '0');
        g_fakeNs = (negative ? -ms : ms) * 1000000;
        g_offsetNs = g_fakeNs - realNs(CLOCK_REALTIME);
        const char* frozen = std::getenv("HOROLAN_FAKE_FROZEN");
        g_frozen = frozen && frozen[0] == '1';
        g_active = true;
    }
    g_ready.store(true, std::memory_order_release);
}

bool isWallClock(clockid_t id)
{
    return id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE || id == CLOCK_TAI;
}

std::int64_t fakeNs(clockid_t id)
{
    return g_frozen ? g_fakeNs : realNs(id) + g_offsetNs;
}

} // namespace

extern "C" {

int clock_gettime(clockid_t id, timespec* ts)
{
    setUp();
    if (!g_active || !isWallClock(id) || !ts)
        return int(syscall(SYS_clock_gettime, id, ts));
    const std::int64_t ns = fakeNs(id);
    ts->tv_sec = time_t(ns / 1000000000);
    ts->tv_nsec = long(ns % 1000000000);
    return 0;
}

int gettimeofday(timeval* tv, void* tz)
{
    setUp();
    if (!g_active)
        return int(syscall(SYS_gettimeofday, tv, tz));
    if (tv) {
        const std::int64_t ns = fakeNs(CLOCK_REALTIME);
        tv->tv_sec = time_t(ns / 1000000000);
        tv->tv_usec = suseconds_t(ns % 1000000000 / 1000);
    }
    return 0;
}

time_t time(time_t* out)
{
    setUp();
    const time_t now = g_active ? time_t(fakeNs(CLOCK_REALTIME) / 1000000000)
                                : time_t(realNs(CLOCK_REALTIME) / 1000000000);
    if (out)
        *out = now;
    return now;
}

} // extern "C"

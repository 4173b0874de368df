// Preloaded into the clock: its wall clock starts at HOROLAN_FAKE_EPOCH_MS (ms since 1970, UTC)
// at the first reading and runs on, or stands still with HOROLAN_FAKE_FROZEN=1. Monotonic clocks
// stay real so timers keep running. Raw system calls only: this runs inside the C library's and
// the sanitizers' start-up, where nothing may allocate or look up symbols; getenv does neither.

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

std::int64_t realNs(clockid_t id)
{
    timespec ts {};
    syscall(SYS_clock_gettime, id, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The faked wall clock in ns, or -1 for any other clock or when there is none to fake.
std::int64_t fakeNs(clockid_t id)
{
    static std::atomic<bool> ready { false };
    static std::int64_t startNs = -1;
    static std::int64_t offsetNs = 0; // added to the real wall clock; 0: it stands still
    if (!ready.load(std::memory_order_acquire)) {
        const char* epoch = std::getenv("HOROLAN_FAKE_EPOCH_MS");
        for (const char* p = epoch; p && *p >= '0' && *p <= '9'; ++p)
            startNs = (startNs < 0 ? 0 : startNs * 10) + (*p - '0');
        startNs = startNs < 0 ? -1 : startNs * 1000000;
        const char* frozen = std::getenv("HOROLAN_FAKE_FROZEN");
        offsetNs = startNs < 0 || (frozen && *frozen == '1') ? 0 : startNs - realNs(CLOCK_REALTIME);
        ready.store(true, std::memory_order_release);
    }
    if (startNs < 0 || (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE))
        return -1;
    return offsetNs ? realNs(CLOCK_REALTIME) + offsetNs : startNs;
}

} // namespace

// The wall clock's two ways in.
extern "C" int clock_gettime(clockid_t id, timespec* ts)
{
    const std::int64_t ns = fakeNs(id);
    if (ns < 0 || !ts)
        return int(syscall(SYS_clock_gettime, id, ts));
    *ts = { time_t(ns / 1000000000), long(ns % 1000000000) };
    return 0;
}

extern "C" int gettimeofday(timeval* tv, void* tz)
{
    const std::int64_t ns = fakeNs(CLOCK_REALTIME);
    if (ns < 0 || !tv)
        return int(syscall(SYS_gettimeofday, tv, tz));
    *tv = { time_t(ns / 1000000000), suseconds_t(ns % 1000000000 / 1000) };
    return 0;
}

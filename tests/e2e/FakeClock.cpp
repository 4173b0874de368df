// Preloaded into the clock: the wall clock Qt reads shows HOROLAN_FAKE_EPOCH_MS at the real moment
// HOROLAN_FAKE_AT_MS (else at its first reading) and runs on, or stands still with
// HOROLAN_FAKE_FROZEN=1; timers keep the monotonic one. Raw system calls and getenv only: this runs
// inside the start-up of the C library and the sanitizers.
#include <atomic>
#include <cstdlib>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

extern "C" int gettimeofday(timeval* tv, void* tz)
{
    static std::atomic<bool> ready { false };
    static long long startUs = -1; // -1: nothing to fake
    static long long offsetUs = 0; // added to the real wall clock; 0: it stands still
    timeval real {};
    syscall(SYS_gettimeofday, &real, tz);
    const long long realUs = real.tv_sec * 1000000LL + real.tv_usec;
    if (!ready.load(std::memory_order_acquire)) {
        const auto us = [](const char* name, long long none) {
            long long value = none;
            for (const char* p = std::getenv(name); p && *p >= '0' && *p <= '9'; ++p)
                value = (value == none ? 0 : value * 10) + (*p - '0') * 1000;
            return value;
        };
        startUs = us("HOROLAN_FAKE_EPOCH_MS", -1);
        const char* frozen = std::getenv("HOROLAN_FAKE_FROZEN");
        offsetUs = startUs < 0 || (frozen && *frozen == '1')
            ? 0
            : startUs - us("HOROLAN_FAKE_AT_MS", realUs);
        ready.store(true, std::memory_order_release);
    }
    const long long us = startUs < 0 ? realUs : offsetUs ? realUs + offsetUs : startUs;
    *tv = { time_t(us / 1000000), suseconds_t(us % 1000000) };
    return 0;
}

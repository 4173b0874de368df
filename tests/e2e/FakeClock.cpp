// Preloaded into the clock: the wall clock Qt reads shows HOROLAN_FAKE_EPOCH_MS at the real moment
// HOROLAN_FAKE_AT_MS (else at its first reading) and runs on, or stands still with
// HOROLAN_FAKE_FROZEN=1; timers keep the monotonic one. With HOROLAN_FAKE_JUMP_MS, SIGUSR2 sets it
// that much forwards (or back, negative) and tells the clock as the kernel tells of a setting: its
// timerfd on the wall clock, here an eventfd, becomes readable. Raw system calls and getenv only:
// this runs inside the start-up of the C library and the sanitizers.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
std::atomic<long long> jumpedUs { 0 }; // what SIGUSR2 added so far
long long jumpUs = 0;
std::atomic<int> wallTimer { -1 }; // the clock's timerfd on the wall clock, an eventfd here

long long envMs(const char* name, long long none)
{
    const char* p = std::getenv(name);
    if (!p || !*p)
        return none;
    const bool negative = *p == '-';
    long long value = 0;
    for (p += negative; *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + (*p - '0');
    return negative ? -value : value;
}

void jump(int)
{
    jumpedUs += jumpUs;
    if (const int fd = wallTimer; fd >= 0) {
        const uint64_t one = 1;
        (void)!write(fd, &one, sizeof one);
    }
}

__attribute__((constructor)) void armJump()
{
    jumpUs = envMs("HOROLAN_FAKE_JUMP_MS", 0) * 1000;
    if (jumpUs != 0) {
        struct sigaction action { };
        action.sa_handler = jump;
        action.sa_flags = SA_RESTART;
        sigaction(SIGUSR2, &action, nullptr);
    }
}
} // namespace

extern "C" int timerfd_create(int clockid, int flags)
{
    if (clockid != CLOCK_REALTIME || jumpUs == 0)
        return int(syscall(SYS_timerfd_create, clockid, flags));
    const int fd = eventfd(
        0, (flags & TFD_NONBLOCK ? EFD_NONBLOCK : 0) | (flags & TFD_CLOEXEC ? EFD_CLOEXEC : 0));
    wallTimer = fd;
    return fd;
}

extern "C" int timerfd_settime(
    int fd, int flags, const struct itimerspec* value, struct itimerspec* old)
{
    if (fd >= 0 && fd == wallTimer)
        return 0;
    return int(syscall(SYS_timerfd_settime, fd, flags, value, old));
}

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
            const long long ms = envMs(name, -1);
            return ms < 0 ? none : ms * 1000;
        };
        startUs = us("HOROLAN_FAKE_EPOCH_MS", -1);
        const char* frozen = std::getenv("HOROLAN_FAKE_FROZEN");
        offsetUs = startUs < 0 || (frozen && *frozen == '1')
            ? 0
            : startUs - us("HOROLAN_FAKE_AT_MS", realUs);
        ready.store(true, std::memory_order_release);
    }
    const long long us = (startUs < 0       ? realUs
                                 : offsetUs ? realUs + offsetUs
                                            : startUs)
        + jumpedUs.load();
    *tv = { time_t(us / 1000000), suseconds_t(us % 1000000) };
    return 0;
}

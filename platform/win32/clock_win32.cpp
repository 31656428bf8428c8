#include "platform/clock.hpp"

#include "platform/win32/win32_api.hpp"

#include <mmsystem.h>

namespace crv::plat {

namespace {

// The performance counter, or the millisecond tick count on the rare
// machine without one.
struct Counter {
    std::uint64_t frequency = 1000;
    bool performance = false;

    Counter() {
        LARGE_INTEGER f{};
        LARGE_INTEGER t{};
        if (QueryPerformanceFrequency(&f) && f.QuadPart > 0 && QueryPerformanceCounter(&t)) {
            frequency = static_cast<std::uint64_t>(f.QuadPart);
            performance = true;
        }
    }
};

const Counter& counter() {
    static const Counter c;
    return c;
}

// Sleep rounds up to the scheduler's period, 15.6 ms unless someone asks
// for less: a 1 ms period while the program runs lets the frame limiter's
// sleeps end on time.
struct TimerPeriod {
    bool raised = timeBeginPeriod(1) == TIMERR_NOERROR;
    ~TimerPeriod() {
        if (raised) timeEndPeriod(1);
    }
};
const TimerPeriod g_timer_period;

}  // namespace

std::uint64_t counter_ticks() {
    if (counter().performance) {
        LARGE_INTEGER t{};
        QueryPerformanceCounter(&t);
        return static_cast<std::uint64_t>(t.QuadPart);
    }
    return GetTickCount64();
}

std::uint64_t counter_frequency() { return counter().frequency; }

std::uint32_t tick_count_ms() { return GetTickCount(); }

void sleep_ms(int milliseconds) {
    if (milliseconds <= 0) return;
    Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace crv::plat

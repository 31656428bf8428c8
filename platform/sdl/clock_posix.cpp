#include "platform/clock.hpp"

#include <cerrno>
#include <ctime>

namespace crv::plat {

namespace {
timespec now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}
}  // namespace

// Microsecond ticks: n x 1000 stays within 64 bits for 290,000 years.
std::uint64_t counter_ticks() {
    timespec t = now();
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000u + static_cast<std::uint64_t>(t.tv_nsec) / 1000u;
}

std::uint64_t counter_frequency() { return 1000000u; }

std::uint32_t tick_count_ms() {
    timespec t = now();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(t.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(t.tv_nsec) / 1000000u);
}

void sleep_ms(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec request{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec left{};
    while (nanosleep(&request, &left) != 0 && errno == EINTR) request = left;
}

}  // namespace crv::plat

// The monotonic clock and sleeping. Any thread.
#pragma once

#include <cstdint>

namespace crv::plat {

// Ticks of the high-resolution counter and their rate (ticks per second).
// The counter never wraps in practice.
std::uint64_t counter_ticks();
std::uint64_t counter_frequency();
// Milliseconds since boot as an unsigned 32-bit count (wraps after 49 days).
std::uint32_t tick_count_ms();
void sleep_ms(int milliseconds);

}  // namespace crv::plat

// The low-speed rule of a download: a transfer that has run for a whole
// window and received fewer than a minimum of bytes in its last window is
// too slow, however regularly its bytes come. Times are ms since the
// transfer started, as the caller measures them. The last window is
// counted in k_slots slots of window / k_slots ms plus the slot under way,
// so that it spans between one window and one slot more: the rule never
// ends a transfer that got its minimum within the window. Fixed memory;
// one object per transfer, any thread.
#pragma once

#include <array>
#include <cstdint>

namespace crv {

class LowSpeedRule {
public:
    static constexpr int k_slots = 30;

    LowSpeedRule(std::int64_t window_ms, std::int64_t min_bytes)
        : window_ms_(window_ms > 0 ? window_ms : 1),
          slot_ms_((window_ms_ + k_slots - 1) / k_slots),
          min_bytes_(min_bytes) {}

    void add(std::int64_t now_ms, std::int64_t bytes) {
        move_to(now_ms);
        counts_[static_cast<std::size_t>(slot_ % (k_slots + 1))] += bytes;
    }

    bool too_slow(std::int64_t now_ms) {
        if (now_ms < window_ms_) return false;
        move_to(now_ms);
        std::int64_t sum = 0;
        for (std::int64_t count : counts_) sum += count;
        return sum < min_bytes_;
    }

private:
    // Slots that the time has left behind by more than the window are
    // emptied for reuse; a clock that goes back keeps the current slot.
    void move_to(std::int64_t now_ms) {
        std::int64_t slot = now_ms / slot_ms_;
        if (slot <= slot_) return;
        std::int64_t steps = slot - slot_ < k_slots + 1 ? slot - slot_ : k_slots + 1;
        for (std::int64_t s = 1; s <= steps; ++s) counts_[static_cast<std::size_t>((slot_ + s) % (k_slots + 1))] = 0;
        slot_ = slot;
    }

    std::int64_t window_ms_;
    std::int64_t slot_ms_;
    std::int64_t min_bytes_;
    std::int64_t slot_ = 0;
    std::array<std::int64_t, k_slots + 1> counts_{};
};

}  // namespace crv

#include "app/clock.hpp"

#include "runtime/app_state.hpp"
#include "app/present.hpp"
#include "platform/clock.hpp"
#include "render2d/rainbows.hpp"

#include <algorithm>

namespace crv {

namespace {
bool counter_available = false;
double counter_frequency = 0;
double origin = 0;
}  // namespace

void timer_init() {
    counter_available = false;
    std::uint64_t frequency = plat::counter_frequency();
    if (frequency > 0) {
        counter_available = true;
        counter_frequency = static_cast<double>(frequency);
    }
}

double clock_ms() {
    if (counter_available) {
        double v = static_cast<double>(plat::counter_ticks() * 1000u) / counter_frequency;
        if (origin == 0) {
            origin = v;
            return 0;
        }
        return v - origin;
    }
    if (origin == 0) origin = plat::tick_count_ms();
    return static_cast<double>(plat::tick_count_ms()) - origin;
}

double clock_ms_at(std::uint64_t ticks) {
    double now = clock_ms();  // also fixes the origin on the first reading
    if (!counter_available || ticks == 0) return now;
    double v = static_cast<double>(ticks * 1000u) / counter_frequency - origin;
    return std::clamp(v, 0.0, now);
}

double clock_since_start() { return clock_ms() - app_state.start_time; }

double frame_duration() {
    double d = app_state.frame_time - app_state.previous_frame_time;
    return d > 0 ? d : 1;
}

double frame_interval_for(int fps) { return fps > 0 ? 1000.0 / fps : 2.0; }

void set_frame_rate(int fps) {
    if (app_state.renderer != nullptr) app_state.renderer->frame_interval = frame_interval_for(fps);
}

bool frame_limit(OpenGLRainbows& renderer, MessageCallback callback) {
    double now = 0;
    for (;;) {
        if (!pump_messages(renderer, callback)) return false;
        now = clock_ms();
        double remaining = renderer.frame_deadline - now;
        if (remaining > 7) {
            plat::sleep_ms(static_cast<int>(remaining - 3));
            continue;
        }
        if (remaining > 1) continue;
        break;
    }
    if (renderer.frame_interval <= 0) return true;
    double next = renderer.frame_deadline + renderer.frame_interval;
    if (now > next) {
        next += renderer.frame_interval;
        if (now > next) next = now + renderer.frame_interval;
    }
    renderer.frame_deadline = next;
    return true;
}

}  // namespace crv

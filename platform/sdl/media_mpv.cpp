#include "platform/media_player.hpp"

#include "platform/clock.hpp"
#include "platform/window.hpp"

#include <GL/gl.h>
#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

// Each player is one libmpv core, paused after loading so that nothing
// plays before it is asked to, kept open at the end of the file so that
// the position and a seek back to the start still work there. A video
// player renders through libmpv's OpenGL render API into the game
// window's own context.

namespace crv::plat {

struct MediaPlayer {
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    bool opened = false;
    int dest_x = 0, dest_y = 0, dest_width = 0, dest_height = 0;
    // Margins last handed to libmpv, as ratios of the client size.
    double margins[4] = {-1, -1, -1, -1};
};

namespace {

std::string audio_outputs = "pipewire,pulse,alsa,null";
std::string audio_output_file;

constexpr std::uint64_t k_open_timeout_ms = 10000;

void* gl_lookup(void*, const char* name) { return gl_proc_address(name); }

void set_option(mpv_handle* mpv, const char* name, const std::string& value) {
    mpv_set_option_string(mpv, name, value.c_str());
}

mpv_handle* create_core(bool video) {
    // libmpv refuses to start unless numbers are formatted the C way.
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (numeric == nullptr || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
    mpv_handle* mpv = mpv_create();
    if (mpv == nullptr) return nullptr;
    set_option(mpv, "config", "no");
    set_option(mpv, "terminal", "no");
    set_option(mpv, "msg-level", "all=no");
    set_option(mpv, "input-default-bindings", "no");
    set_option(mpv, "input-vo-keyboard", "no");
    set_option(mpv, "osc", "no");
    set_option(mpv, "osd-level", "0");
    set_option(mpv, "load-scripts", "no");
    set_option(mpv, "ytdl", "no");
    set_option(mpv, "idle", "yes");
    set_option(mpv, "keep-open", "always");
    // Positions count from the file's first timestamp, whatever it is, so
    // that a piece always runs from 0 to its length.
    set_option(mpv, "rebase-start-time", "yes");
    set_option(mpv, "pause", "yes");
    set_option(mpv, "hwdec", "no");
    set_option(mpv, "gpu-hwdec-interop", "no");
    set_option(mpv, "audio-display", "no");
    set_option(mpv, "ao", audio_outputs);
    // The silent output keeps time like a device with a short buffer, so
    // that positions near the end are still true.
    set_option(mpv, "ao-null-buffer", "0.05");
    if (!audio_output_file.empty()) set_option(mpv, "ao-pcm-file", audio_output_file);
    if (video) {
        set_option(mpv, "vo", "libmpv");
    } else {
        set_option(mpv, "vid", "no");
        set_option(mpv, "vo", "null");
    }
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return nullptr;
    }
    return mpv;
}

// Handles what the core reports; returns once the file is loaded, found
// unplayable, or the time is up.
void wait_until_open(MediaPlayer* player) {
    const std::uint64_t deadline = counter_ticks() + k_open_timeout_ms * counter_frequency() / 1000;
    while (counter_ticks() < deadline) {
        mpv_event* event = mpv_wait_event(player->mpv, 0.05);
        if (event->event_id == MPV_EVENT_FILE_LOADED) {
            player->opened = true;
            return;
        }
        if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN) return;
    }
}

// Events pile up in the core's queue unless they are taken off.
void drain_events(MediaPlayer* player) {
    while (mpv_wait_event(player->mpv, 0)->event_id != MPV_EVENT_NONE) {
    }
}

MediaPlayer* open_file(MediaPlayer* player, const char* path) {
    const char* command[] = {"loadfile", path, nullptr};
    if (path != nullptr && mpv_command(player->mpv, command) >= 0) wait_until_open(player);
    return player;
}

double double_property(MediaPlayer* player, const char* name) {
    double value = 0;
    if (mpv_get_property(player->mpv, name, MPV_FORMAT_DOUBLE, &value) < 0 || !std::isfinite(value)) return 0;
    return value;
}

void set_pause(MediaPlayer* player, bool pause) {
    if (player == nullptr || !player->opened) return;
    int flag = pause ? 1 : 0;
    mpv_set_property(player->mpv, "pause", MPV_FORMAT_FLAG, &flag);
}

// The core's volume is a percentage whose gain grows with its cube.
double core_volume(int volume) { return 100.0 * std::cbrt(volume / 1000.0); }

void margin(MediaPlayer* player, int index, const char* name, double ratio) {
    if (player->margins[index] == ratio) return;
    player->margins[index] = ratio;
    mpv_set_property(player->mpv, name, MPV_FORMAT_DOUBLE, &ratio);
}

template <typename Proc>
Proc lookup(const char* name) {
    return reinterpret_cast<Proc>(gl_proc_address(name));
}

// The core expects OpenGL in its default state (apart from viewport,
// scissor box, blend function and clear colour) and leaves its own
// bindings behind; the game's 2D state is put aside around each frame.
void default_gl_state() {
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

void unbind_core_objects() {
    using UseProgram = void (*)(GLuint);
    using BindBuffer = void (*)(GLenum, GLuint);
    using BindVertexArray = void (*)(GLuint);
    using ActiveTexture = void (*)(GLenum);
    using BindFramebuffer = void (*)(GLenum, GLuint);
    if (auto f = lookup<UseProgram>("glUseProgram")) f(0);
    if (auto f = lookup<BindBuffer>("glBindBuffer")) {
        f(GL_ARRAY_BUFFER, 0);
        f(GL_ELEMENT_ARRAY_BUFFER, 0);
        f(GL_PIXEL_UNPACK_BUFFER, 0);
        f(GL_PIXEL_PACK_BUFFER, 0);
    }
    if (auto f = lookup<BindVertexArray>("glBindVertexArray")) f(0);
    if (auto f = lookup<BindFramebuffer>("glBindFramebuffer")) f(GL_FRAMEBUFFER, 0);
    if (auto f = lookup<ActiveTexture>("glActiveTexture")) {
        for (GLenum unit = 0; unit < 8; ++unit) {
            f(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        f(GL_TEXTURE0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void media_set_audio_outputs(const std::string& outputs, const std::string& output_file) {
    audio_outputs = outputs;
    audio_output_file = output_file;
}

MediaPlayer* media_open_music(const char* path) {
    mpv_handle* mpv = create_core(false);
    if (mpv == nullptr) return nullptr;
    auto* player = new MediaPlayer;
    player->mpv = mpv;
    return open_file(player, path);
}

MediaPlayer* media_open_video(const char* path, Window* window) {
    if (window == nullptr) return nullptr;
    mpv_handle* mpv = create_core(true);
    if (mpv == nullptr) return nullptr;
    auto* player = new MediaPlayer;
    player->mpv = mpv;
    mpv_opengl_init_params gl_init{gl_lookup, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl_init},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    default_gl_state();
    const int created = mpv_render_context_create(&player->render, mpv, params);
    unbind_core_objects();
    glPopAttrib();
    if (created < 0) {
        player->render = nullptr;
        return player;
    }
    return open_file(player, path);
}

void media_close(MediaPlayer* player) {
    if (player == nullptr) return;
    if (player->render != nullptr) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        mpv_render_context_free(player->render);
        unbind_core_objects();
        glPopAttrib();
    }
    mpv_terminate_destroy(player->mpv);
    delete player;
}

bool media_opened(MediaPlayer* player) { return player != nullptr && player->opened; }

double media_length_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    drain_events(player);
    return double_property(player, "duration") * 1000.0;
}

double media_position_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    drain_events(player);
    int at_end = 0;
    if (mpv_get_property(player->mpv, "eof-reached", MPV_FORMAT_FLAG, &at_end) >= 0 && at_end != 0)
        return media_length_ms(player);
    return double_property(player, "time-pos") * 1000.0;
}

bool media_source_size(MediaPlayer* player, int* width, int* height) {
    if (!media_opened(player)) return false;
    std::int64_t w = 0, h = 0;
    if (mpv_get_property(player->mpv, "width", MPV_FORMAT_INT64, &w) < 0 ||
        mpv_get_property(player->mpv, "height", MPV_FORMAT_INT64, &h) < 0 || w <= 0 || h <= 0)
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

void media_play(MediaPlayer* player) { set_pause(player, false); }
void media_pause(MediaPlayer* player) { set_pause(player, true); }
void media_resume(MediaPlayer* player) { set_pause(player, false); }
void media_stop(MediaPlayer* player) { set_pause(player, true); }

void media_seek_start(MediaPlayer* player) {
    if (!media_opened(player)) return;
    const char* command[] = {"seek", "0", "absolute+exact", nullptr};
    mpv_command(player->mpv, command);
}

void media_set_volume(MediaPlayer* player, int volume) {
    if (!media_opened(player)) return;
    volume = volume < 0 ? 0 : volume > 1000 ? 1000 : volume;
    double value = core_volume(volume);
    mpv_set_property(player->mpv, "volume", MPV_FORMAT_DOUBLE, &value);
}

int media_volume(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    const double percent = double_property(player, "volume");
    return static_cast<int>(std::lround(1000.0 * std::pow(percent / 100.0, 3.0)));
}

void media_set_destination(MediaPlayer* player, int x, int y, int width, int height) {
    if (player == nullptr) return;
    player->dest_x = x;
    player->dest_y = y;
    player->dest_width = width;
    player->dest_height = height;
}

bool media_render(MediaPlayer* player, int width, int height, bool force) {
    if (!media_opened(player) || player->render == nullptr || width <= 0 || height <= 0) return false;
    drain_events(player);
    const std::uint64_t update = mpv_render_context_update(player->render);
    if ((update & MPV_RENDER_UPDATE_FRAME) == 0 && !force) return false;

    // The core fits the picture into the area its margins leave; the
    // margins are the destination rectangle's distances to the edges.
    if (player->dest_width > 0 && player->dest_height > 0) {
        margin(player, 0, "video-margin-ratio-left", static_cast<double>(player->dest_x) / width);
        margin(player, 1, "video-margin-ratio-right",
               static_cast<double>(width - player->dest_x - player->dest_width) / width);
        margin(player, 2, "video-margin-ratio-top", static_cast<double>(player->dest_y) / height);
        margin(player, 3, "video-margin-ratio-bottom",
               static_cast<double>(height - player->dest_y - player->dest_height) / height);
    }

    mpv_opengl_fbo target{0, width, height, 0};
    int flip = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    default_gl_state();
    const bool drawn = mpv_render_context_render(player->render, params) >= 0;
    unbind_core_objects();
    glPopClientAttrib();
    glPopAttrib();
    return drawn;
}

}  // namespace crv::plat

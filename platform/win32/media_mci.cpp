#include "platform/media_player.hpp"

#include "platform/window.hpp"
#include "platform/win32/window_win32.hpp"

#include <GL/gl.h>
#include <mmsystem.h>
#include <vfw.h>

#include <algorithm>
#include <cstdint>
#include <new>

// Each player is one media window of the system's (MCI window): hidden and
// without a parent for music, a child of the game window for video, which
// then shows its own picture over the game window's client area. The
// window opens the file with the MCI device the system has for its kind
// (wave audio for WAVE files, the DirectShow device for compressed audio
// and video, the AVI device for AVI files) and keeps time in milliseconds.

namespace crv::plat {

struct MediaPlayer {
    HWND window = nullptr;
    bool opened = false;
    bool video = false;
    int volume = 1000;
    double start = 0;  // the file's first position, which counts as 0
    // Asked to play and neither paused nor stopped since: a device that is
    // no longer playing then has reached the end.
    bool running = false;
};

namespace {

// Music: popup, no error box, no menu, no play bar. Video: child, visible,
// no error box, no automatic sizing of window or picture, no play bar, no
// menu.
constexpr DWORD k_music_style = WS_POPUP | MCIWNDF_NOERRORDLG | MCIWNDF_NOMENU | MCIWNDF_NOPLAYBAR;
constexpr DWORD k_video_style = WS_CHILD | WS_VISIBLE | MCIWNDF_NOERRORDLG | MCIWNDF_NOAUTOSIZEWINDOW |
                                MCIWNDF_NOPLAYBAR | MCIWNDF_NOAUTOSIZEMOVIE | MCIWNDF_NOMENU;

LONG send(MediaPlayer* player, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return static_cast<LONG>(SendMessageW(player->window, message, wparam, lparam));
}

LONG mode(MediaPlayer* player) { return send(player, MCIWNDM_GETMODEW); }

MediaPlayer* open_window(const char* path, HWND parent, DWORD style, bool video) {
    auto* player = new (std::nothrow) MediaPlayer;
    if (player == nullptr) return nullptr;
    player->video = video;
    // The window is made empty and the file opened afterwards, so that a
    // file the system cannot play still leaves a player behind.
    player->window = MCIWndCreateW(parent, GetModuleHandleW(nullptr), style, nullptr);
    if (player->window == nullptr) {
        delete player;
        return nullptr;
    }
    if (path != nullptr && *path != '\0') {
        const std::wstring wide = win32::widen_path(path);
        if (send(player, MCIWNDM_OPENW, 0, reinterpret_cast<LPARAM>(wide.c_str())) == 0 &&
            send(player, MCIWNDM_GETDEVICEID) != 0) {
            player->opened = true;
            send(player, MCIWNDM_SETTIMEFORMATW, 0, reinterpret_cast<LPARAM>(L"ms"));
            player->start = send(player, MCIWNDM_GETSTART);
        }
    }
    return player;
}

}  // namespace

// The system chooses the output; there is no list to choose from and no
// file output.
void media_set_audio_outputs(const std::string&, const std::string&) {}

MediaPlayer* media_open_music(const char* path) { return open_window(path, nullptr, k_music_style, false); }

MediaPlayer* media_open_video(const char* path, Window* window) {
    if (window == nullptr) return nullptr;
    const HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window_native_id(window)));
    return open_window(path, parent, k_video_style, true);
}

void media_close(MediaPlayer* player) {
    if (player == nullptr) return;
    if (player->opened) {
        send(player, MCI_STOP);
        send(player, MCI_CLOSE);
    }
    DestroyWindow(player->window);
    delete player;
}

bool media_opened(MediaPlayer* player) { return player != nullptr && player->opened; }

double media_length_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    return std::max<LONG>(send(player, MCIWNDM_GETLENGTH), 0);
}

// A device that played to the end may stay on the start of its last frame
// (the AVI device does); the end counts as the length.
double media_position_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    const double length = media_length_ms(player);
    if (player->running && mode(player) != MCI_MODE_PLAY) return length;
    const double position = send(player, MCIWNDM_GETPOSITION) - player->start;
    return std::clamp(position, 0.0, length);
}

bool media_source_size(MediaPlayer* player, int* width, int* height) {
    if (!media_opened(player) || !player->video) return false;
    RECT source{};
    if (send(player, MCIWNDM_GET_SOURCE, 0, reinterpret_cast<LPARAM>(&source)) != 0) return false;
    if (source.right - source.left <= 0 || source.bottom - source.top <= 0) return false;
    *width = source.right - source.left;
    *height = source.bottom - source.top;
    return true;
}

void media_play(MediaPlayer* player) {
    if (!media_opened(player) || mode(player) == MCI_MODE_PLAY) return;
    if (media_position_ms(player) >= media_length_ms(player)) return;
    player->running = send(player, MCI_PLAY) == 0;
}

void media_pause(MediaPlayer* player) {
    if (!media_opened(player)) return;
    if (mode(player) == MCI_MODE_PLAY) send(player, MCI_PAUSE);
    player->running = false;
}

// A player that was stopped or moved to the start while paused is no
// longer paused to the device: it plays on from where it is.
void media_resume(MediaPlayer* player) {
    if (!media_opened(player)) return;
    if (mode(player) == MCI_MODE_PAUSE)
        player->running = send(player, MCI_RESUME) == 0;
    else
        media_play(player);
}

// Seeking stops the device; a piece that was playing goes on.
void media_seek_start(MediaPlayer* player) {
    if (!media_opened(player)) return;
    const bool playing = mode(player) == MCI_MODE_PLAY;
    send(player, MCI_SEEK, 0, MCIWND_START);
    player->running = playing && send(player, MCI_PLAY) == 0;
}

void media_stop(MediaPlayer* player) {
    if (!media_opened(player)) return;
    send(player, MCI_STOP);
    player->running = false;
}

// The device's volume runs from 0 to 1000 like the interface's. Wave audio
// has no volume of its own to report; the value last set is the answer.
void media_set_volume(MediaPlayer* player, int volume) {
    if (!media_opened(player)) return;
    player->volume = std::clamp(volume, 0, 1000);
    send(player, MCIWNDM_SETVOLUME, 0, player->volume);
}

int media_volume(MediaPlayer* player) { return media_opened(player) ? player->volume : 0; }

// The media window covers the destination rectangle and shows the whole
// picture in it.
void media_set_destination(MediaPlayer* player, int x, int y, int width, int height) {
    if (!media_opened(player) || !player->video) return;
    SetWindowPos(player->window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT dest{0, 0, width, height};
    send(player, MCIWNDM_PUT_DEST, 0, reinterpret_cast<LPARAM>(&dest));
}

// The media window draws the picture itself; the game window only needs
// its area outside the picture black, once.
bool media_render(MediaPlayer* player, int width, int height, bool force) {
    if (!media_opened(player) || !player->video || !force || width <= 0 || height <= 0) return false;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    return true;
}

}  // namespace crv::plat

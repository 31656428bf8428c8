#include "platform/media_player.hpp"

#include "platform/window.hpp"
#include "platform/win32/window_win32.hpp"

#include <GL/gl.h>
#include <mmsystem.h>
#include <vfw.h>
#include <digitalv.h>

#include <algorithm>
#include <cstdint>
#include <new>

// Each player is one MCI device of the system's, opened on the file with
// the device the system has for its kind (wave audio for WAVE files, the
// DirectShow device for compressed audio and video, the AVI device for AVI
// files), keeping time in milliseconds. Music has no window of its own (a
// hidden media window would add nothing, and a program without a display
// could not make one); a video plays in a media window (MCI window), a
// child of the game window that shows its own picture over the game
// window's client area. The requests go to the device either way.

namespace crv::plat {

struct MediaPlayer {
    HWND window = nullptr;       // video only
    MCIDEVICEID device = 0;      // 0 when the file could not be opened
    bool opened = false;
    int volume = 1000;
    double start = 0;  // the file's first position, which counts as 0
    // Asked to play and neither paused nor stopped since: a device that is
    // no longer playing then has reached the end.
    bool running = false;
};

namespace {

// Video: child, visible, no error box, no automatic sizing of window or
// picture, no play bar, no menu.
constexpr DWORD k_video_style = WS_CHILD | WS_VISIBLE | MCIWNDF_NOERRORDLG | MCIWNDF_NOAUTOSIZEWINDOW |
                                MCIWNDF_NOPLAYBAR | MCIWNDF_NOAUTOSIZEMOVIE | MCIWNDF_NOMENU;

// A request to the player's device; true when the device did it.
template <typename Params>
bool command(MediaPlayer* player, UINT message, DWORD flags, Params* params) {
    return mciSendCommandW(player->device, message, flags, reinterpret_cast<DWORD_PTR>(params)) == 0;
}

bool command(MediaPlayer* player, UINT message, DWORD flags = 0) {
    MCI_GENERIC_PARMS params{};
    return command(player, message, flags, &params);
}

DWORD status(MediaPlayer* player, DWORD item, DWORD flags = 0) {
    MCI_STATUS_PARMS params{};
    params.dwItem = item;
    if (!command(player, MCI_STATUS, MCI_STATUS_ITEM | flags, &params)) return 0;
    return static_cast<DWORD>(params.dwReturn);
}

DWORD mode(MediaPlayer* player) { return status(player, MCI_STATUS_MODE); }

// Milliseconds, and where the file starts.
void finish_open(MediaPlayer* player) {
    player->opened = true;
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    command(player, MCI_SET, MCI_SET_TIME_FORMAT, &set);
    player->start = status(player, MCI_STATUS_POSITION, MCI_STATUS_START);
}

}  // namespace

// The system chooses the output; there is no list to choose from and no
// file output.
void media_set_audio_outputs(const std::string&, const std::string&) {}

MediaPlayer* media_open_music(const char* path) {
    auto* player = new (std::nothrow) MediaPlayer;
    if (player == nullptr || path == nullptr || *path == '\0') return player;
    const std::wstring wide = win32::widen_path(path);
    MCI_OPEN_PARMSW open{};
    open.lpstrElementName = wide.c_str();
    if (mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) == 0) {
        player->device = open.wDeviceID;
        finish_open(player);
    }
    return player;
}

MediaPlayer* media_open_video(const char* path, Window* window) {
    if (window == nullptr) return nullptr;
    const HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window_native_id(window)));
    auto* player = new (std::nothrow) MediaPlayer;
    if (player == nullptr) return nullptr;
    // The window is made empty and the file opened afterwards, so that a
    // file the system cannot play still leaves a player behind.
    player->window = MCIWndCreateW(parent, GetModuleHandleW(nullptr), k_video_style, nullptr);
    if (player->window == nullptr || path == nullptr || *path == '\0') return player;
    const std::wstring wide = win32::widen_path(path);
    if (SendMessageW(player->window, MCIWNDM_OPENW, 0, reinterpret_cast<LPARAM>(wide.c_str())) == 0) {
        player->device = static_cast<MCIDEVICEID>(SendMessageW(player->window, MCIWNDM_GETDEVICEID, 0, 0));
        if (player->device != 0) finish_open(player);
    }
    return player;
}

void media_close(MediaPlayer* player) {
    if (player == nullptr) return;
    if (player->opened) command(player, MCI_STOP);
    // The media window closes its own device.
    if (player->window != nullptr)
        DestroyWindow(player->window);
    else if (player->opened)
        command(player, MCI_CLOSE);
    delete player;
}

bool media_opened(MediaPlayer* player) { return player != nullptr && player->opened; }

double media_length_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    return status(player, MCI_STATUS_LENGTH);
}

// A device that played to the end may stay on the start of its last frame
// (the AVI device does); the end counts as the length.
double media_position_ms(MediaPlayer* player) {
    if (!media_opened(player)) return 0;
    const double length = media_length_ms(player);
    if (player->running && mode(player) != MCI_MODE_PLAY) return length;
    const double position = status(player, MCI_STATUS_POSITION) - player->start;
    return std::clamp(position, 0.0, length);
}

bool media_source_size(MediaPlayer* player, int* width, int* height) {
    if (!media_opened(player) || player->window == nullptr) return false;
    MCI_DGV_RECT_PARMS where{};
    if (!command(player, MCI_WHERE, MCI_DGV_WHERE_SOURCE, &where)) return false;
    // The rectangle's right and bottom hold the width and height.
    if (where.rc.right <= 0 || where.rc.bottom <= 0) return false;
    *width = where.rc.right;
    *height = where.rc.bottom;
    return true;
}

void media_play(MediaPlayer* player) {
    if (!media_opened(player) || mode(player) == MCI_MODE_PLAY) return;
    if (media_position_ms(player) >= media_length_ms(player)) return;
    MCI_PLAY_PARMS play{};
    player->running = command(player, MCI_PLAY, 0, &play);
}

void media_pause(MediaPlayer* player) {
    if (!media_opened(player)) return;
    if (mode(player) == MCI_MODE_PLAY) command(player, MCI_PAUSE);
    player->running = false;
}

// A player that was stopped or moved to the start while paused is no
// longer paused to the device: it plays on from where it is.
void media_resume(MediaPlayer* player) {
    if (!media_opened(player)) return;
    if (mode(player) == MCI_MODE_PAUSE)
        player->running = command(player, MCI_RESUME);
    else
        media_play(player);
}

// Seeking stops the device; a piece that was playing goes on.
void media_seek_start(MediaPlayer* player) {
    if (!media_opened(player)) return;
    const bool playing = mode(player) == MCI_MODE_PLAY;
    command(player, MCI_SEEK, MCI_SEEK_TO_START);
    MCI_PLAY_PARMS play{};
    player->running = playing && command(player, MCI_PLAY, 0, &play);
}

void media_stop(MediaPlayer* player) {
    if (!media_opened(player)) return;
    command(player, MCI_STOP);
    player->running = false;
}

// The digital-video devices take a volume from 0 to 1000 like the
// interface's; wave audio has none and reports none, so the value last set
// is the answer.
void media_set_volume(MediaPlayer* player, int volume) {
    if (!media_opened(player)) return;
    player->volume = std::clamp(volume, 0, 1000);
    MCI_DGV_SETAUDIO_PARMSW audio{};
    audio.dwItem = MCI_DGV_SETAUDIO_VOLUME;
    audio.dwValue = static_cast<DWORD>(player->volume);
    command(player, MCI_SETAUDIO, MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE, &audio);
}

int media_volume(MediaPlayer* player) { return media_opened(player) ? player->volume : 0; }

// The media window covers the destination rectangle and shows the whole
// picture in it.
void media_set_destination(MediaPlayer* player, int x, int y, int width, int height) {
    if (!media_opened(player) || player->window == nullptr) return;
    SetWindowPos(player->window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    MCI_DGV_PUT_PARMS put{};
    put.rc = RECT{0, 0, width, height};
    command(player, MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_DGV_RECT, &put);
}

// The media window draws the picture itself; the game window only needs
// its area outside the picture black, once.
bool media_render(MediaPlayer* player, int width, int height, bool force) {
    if (!media_opened(player) || player->window == nullptr || !force || width <= 0 || height <= 0) return false;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    return true;
}

}  // namespace crv::plat

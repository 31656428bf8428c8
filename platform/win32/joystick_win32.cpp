#include "platform/joystick.hpp"

#include "platform/win32/dinput_win32.hpp"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

// Game controllers through DirectInput 8: each one bound to the game window
// exclusive and foreground (the only level force feedback works at), its
// six axes set to -32768..32768 and no dead zone on x and y. Without
// DirectInput, the first two WinMM joysticks.

namespace crv::plat {

struct Joystick {
    std::int64_t id = -1;
    IDirectInputDevice8W* device = nullptr;  // null for a WinMM joystick
    GUID instance{};
    int winmm_slot = -1;
    std::string instance_name;
    std::string product_name;
    bool attached = true;
    bool force_feedback = false;
    IDirectInputEffect* effect = nullptr;
    JoystickState state{};
};

namespace {

// An attached controller as the last look found it.
struct Attached {
    std::int64_t id = -1;
    GUID instance{};
    int winmm_slot = -1;
    std::string instance_name;
    std::string product_name;
    // It refused to be set up (a dead zone); not offered again.
    bool refused = false;
};

bool started = false;
std::vector<Attached> attached;
std::vector<Joystick*> opened;
std::int64_t next_id = 1;
bool looked = false;
ULONGLONG last_look = 0;
// Looking through the devices is slow on some systems; controllers plugged
// in are found within this time, unplugged ones at once when a read fails.
constexpr ULONGLONG k_look_interval_ms = 1000;

// WinMM reads at most two joysticks.
constexpr int k_winmm_slots = 2;

const auto k_unplugged = static_cast<HRESULT>(DIERR_UNPLUGGED);

constexpr DWORD k_axis_offsets[6] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ};
constexpr DWORD k_slider_offsets[2] = {DIJOFS_SLIDER(0), DIJOFS_SLIDER(1)};

std::string text_of(const WCHAR* text, std::size_t limit) { return win32::narrow(std::wstring_view(text, wcsnlen(text, limit))); }

void clear_state(JoystickState* out) {
    std::memset(out, 0, sizeof *out);
    for (std::uint32_t& hat : out->hats) hat = k_hat_centred;
}

BOOL CALLBACK on_device(const DIDEVICEINSTANCEW* device, void* found) {
    static_cast<std::vector<DIDEVICEINSTANCEW>*>(found)->push_back(*device);
    return DIENUM_CONTINUE;
}

void let_go(Joystick* joystick) {
    if (joystick->effect != nullptr) joystick->effect->Release();
    joystick->effect = nullptr;
    if (joystick->device != nullptr) {
        joystick->device->Unacquire();
        joystick->device->Release();
    }
    joystick->device = nullptr;
}

void detach(Joystick* joystick) {
    let_go(joystick);
    joystick->attached = false;
    clear_state(&joystick->state);
}

// The same device as one seen before keeps its id; a new one gets the next.
void add_found(std::vector<Attached>& now, Attached found) {
    for (const Attached& old : attached) {
        const bool same = found.winmm_slot >= 0 ? old.winmm_slot == found.winmm_slot
                                                : old.winmm_slot < 0 && IsEqualGUID(old.instance, found.instance);
        if (same) {
            now.push_back(old);
            return;
        }
    }
    found.id = next_id++;
    now.push_back(std::move(found));
}

void look_for_controllers() {
    std::vector<Attached> now;
    if (IDirectInput8W* input = win32::direct_input()) {
        std::vector<DIDEVICEINSTANCEW> found;
        input->EnumDevices(DI8DEVCLASS_GAMECTRL, on_device, &found, DIEDFL_ATTACHEDONLY);
        for (const DIDEVICEINSTANCEW& device : found) {
            Attached a;
            a.instance = device.guidInstance;
            a.instance_name = text_of(device.tszInstanceName, MAX_PATH);
            a.product_name = text_of(device.tszProductName, MAX_PATH);
            add_found(now, std::move(a));
        }
    } else {
        for (int slot = 0; slot < k_winmm_slots; ++slot) {
            JOYINFOEX info{};
            info.dwSize = sizeof info;
            info.dwFlags = JOY_RETURNALL;
            JOYCAPSW caps{};
            if (joyGetPosEx(JOYSTICKID1 + static_cast<UINT>(slot), &info) != JOYERR_NOERROR ||
                joyGetDevCapsW(JOYSTICKID1 + static_cast<UINT>(slot), &caps, sizeof caps) != JOYERR_NOERROR)
                continue;
            Attached a;
            a.winmm_slot = slot;
            a.product_name = text_of(caps.szPname, MAXPNAMELEN);
            a.instance_name = a.product_name;
            add_found(now, std::move(a));
        }
    }
    attached = std::move(now);
    for (Joystick* joystick : opened) {
        if (!joystick->attached) continue;
        auto listed = std::find_if(attached.begin(), attached.end(), [&](const Attached& a) { return a.id == joystick->id; });
        if (listed == attached.end()) detach(joystick);
    }
    looked = true;
    last_look = GetTickCount64();
}

// Data format, and the game window's exclusive foreground level once there
// is a window (before that the device reads in the background).
bool bind(IDirectInputDevice8W* device) {
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick))) return false;
    HWND window = win32::game_window();
    return window == nullptr || SUCCEEDED(device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
}

bool set_range(IDirectInputDevice8W* device, DWORD offset) {
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = -32768;
    range.lMax = 32768;
    return SUCCEEDED(device->SetProperty(DIPROP_RANGE, &range.diph));
}

bool set_no_dead_zone(IDirectInputDevice8W* device, DWORD offset) {
    DIPROPDWORD zone{};
    zone.diph.dwSize = sizeof zone;
    zone.diph.dwHeaderSize = sizeof zone.diph;
    zone.diph.dwObj = offset;
    zone.diph.dwHow = DIPH_BYOFFSET;
    zone.dwData = 0;
    return SUCCEEDED(device->SetProperty(DIPROP_DEADZONE, &zone.diph));
}

IDirectInputDevice8W* open_device(const GUID& instance, bool* force_feedback) {
    IDirectInput8W* input = win32::direct_input();
    IDirectInputDevice8W* device = nullptr;
    if (input == nullptr || FAILED(input->CreateDevice(instance, &device, nullptr)) || device == nullptr) return nullptr;
    if (!bind(device)) {
        device->Release();
        return nullptr;
    }
    // An axis the controller lacks refuses its range; that is no fault.
    for (DWORD offset : k_axis_offsets) set_range(device, offset);
    for (DWORD offset : k_slider_offsets) set_range(device, offset);
    if (!set_no_dead_zone(device, DIJOFS_X) || !set_no_dead_zone(device, DIJOFS_Y)) {
        device->Release();
        return nullptr;
    }
    device->Acquire();
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    *force_feedback = SUCCEEDED(device->GetCapabilities(&caps)) && (caps.dwFlags & DIDC_FORCEFEEDBACK) != 0;
    return device;
}

std::uint32_t hat_angle(DWORD pov) { return LOWORD(pov) == 0xFFFF ? k_hat_centred : static_cast<std::uint32_t>(pov); }

// The device's state now. A device that lost the controller (the window
// went to the back, or was made anew) is bound and acquired again once;
// when that fails too it reads as zero this time.
void read_device(Joystick* joystick) {
    clear_state(&joystick->state);
    IDirectInputDevice8W* device = joystick->device;
    HRESULT result = device->Poll();
    if (FAILED(result) && result != k_unplugged) {
        bind(device);
        result = device->Acquire();
        if (SUCCEEDED(result)) result = device->Poll();
    }
    DIJOYSTATE raw{};
    if (SUCCEEDED(result)) result = device->GetDeviceState(sizeof raw, &raw);
    if (result == k_unplugged) {
        detach(joystick);
        return;
    }
    if (FAILED(result)) return;
    const LONG axes[6] = {raw.lX, raw.lY, raw.lZ, raw.lRx, raw.lRy, raw.lRz};
    for (int i = 0; i < 6; ++i) joystick->state.axes[i] = static_cast<std::int32_t>(axes[i]);
    for (int i = 0; i < 2; ++i) joystick->state.sliders[i] = static_cast<std::int32_t>(raw.rglSlider[i]);
    for (int i = 0; i < 4; ++i) joystick->state.hats[i] = hat_angle(raw.rgdwPOV[i]);
    for (int i = 0; i < 32; ++i) joystick->state.buttons[i] = (raw.rgbButtons[i] & 0x80) != 0 ? 0x80 : 0;
}

// WinMM positions are 0..65535; they are centred like the other axes, and
// each button is a bit of the mask.
void read_winmm(Joystick* joystick) {
    clear_state(&joystick->state);
    JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    if (joyGetPosEx(JOYSTICKID1 + static_cast<UINT>(joystick->winmm_slot), &info) != JOYERR_NOERROR) return;
    joystick->state.axes[0] = static_cast<std::int32_t>(info.dwXpos) - 32768;
    joystick->state.axes[1] = static_cast<std::int32_t>(info.dwYpos) - 32768;
    joystick->state.axes[2] = static_cast<std::int32_t>(info.dwZpos) - 32768;
    joystick->state.hats[0] = info.dwPOV == JOY_POVCENTERED ? k_hat_centred : info.dwPOV;
    for (int i = 0; i < 32; ++i) joystick->state.buttons[i] = (info.dwButtons >> i) & 1 ? 0x80 : 0;
}

}  // namespace

bool joysticks_start() {
    started = true;
    looked = false;
    attached.clear();
    return true;
}

void joysticks_stop() {
    for (Joystick* joystick : opened) detach(joystick);
    attached.clear();
    started = false;
}

void joysticks_update() {
    if (!started) return;
    if (!looked || win32::direct_input_replaced() || GetTickCount64() - last_look >= k_look_interval_ms)
        look_for_controllers();
    for (Joystick* joystick : opened) {
        if (!joystick->attached) continue;
        if (joystick->device != nullptr)
            read_device(joystick);
        else
            read_winmm(joystick);
    }
}

int joystick_list(std::int64_t* ids, int max) {
    if (!started) return 0;
    int n = 0;
    for (const Attached& a : attached) {
        if (a.refused) continue;
        if (n < max) ids[n] = a.id;
        ++n;
    }
    return n;
}

Joystick* joystick_open(std::int64_t id) {
    if (!started) return nullptr;
    auto found = std::find_if(attached.begin(), attached.end(), [&](const Attached& a) { return a.id == id; });
    if (found == attached.end() || found->refused) return nullptr;
    auto* joystick = new Joystick;
    joystick->id = id;
    joystick->instance = found->instance;
    joystick->winmm_slot = found->winmm_slot;
    joystick->instance_name = found->instance_name;
    joystick->product_name = found->product_name;
    clear_state(&joystick->state);
    if (found->winmm_slot < 0) {
        joystick->device = open_device(found->instance, &joystick->force_feedback);
        if (joystick->device == nullptr) {
            found->refused = true;
            delete joystick;
            return nullptr;
        }
        read_device(joystick);
    } else {
        read_winmm(joystick);
    }
    opened.push_back(joystick);
    return joystick;
}

void joystick_close(Joystick* joystick) {
    if (joystick == nullptr) return;
    let_go(joystick);
    opened.erase(std::remove(opened.begin(), opened.end(), joystick), opened.end());
    delete joystick;
}

bool joystick_attached(Joystick* joystick) { return joystick != nullptr && joystick->attached; }

const char* joystick_product_name(Joystick* joystick) {
    return joystick != nullptr ? joystick->product_name.c_str() : "";
}

const char* joystick_instance_name(Joystick* joystick) {
    return joystick != nullptr ? joystick->instance_name.c_str() : "";
}

bool joystick_read(Joystick* joystick, JoystickState* out) {
    if (!joystick_attached(joystick)) {
        clear_state(out);
        return false;
    }
    *out = joystick->state;
    return true;
}

bool joystick_can_rumble(Joystick* joystick) {
    return joystick_attached(joystick) && joystick->device != nullptr && joystick->force_feedback;
}

bool joystick_rumble(Joystick* joystick, std::uint16_t strength, std::uint32_t duration_ms, std::int32_t direction_x,
                     std::int32_t direction_y) {
    if (!joystick_can_rumble(joystick)) return false;
    IDirectInputDevice8W* device = joystick->device;
    device->Acquire();
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    if (FAILED(device->GetCapabilities(&caps)) || (caps.dwFlags & DIDC_FORCEFEEDBACK) == 0) return false;
    // Every effect of the device stops and goes; the new one replaces them.
    device->SendForceFeedbackCommand(DISFFC_RESET);
    if (joystick->effect != nullptr) joystick->effect->Release();
    joystick->effect = nullptr;
    // Back from the interface's strength to the force's 0..10000 (exact
    // for every magnitude a game can ask for).
    const auto magnitude = static_cast<LONG>((static_cast<std::uint32_t>(strength) * 10000u + 32767u) / 65535u);
    if (magnitude == 0 || duration_ms == 0) return true;
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {std::clamp<LONG>(direction_x, -32767, 32767), std::clamp<LONG>(direction_y, -32767, 32767)};
    DICONSTANTFORCE force{magnitude};
    DIEFFECT effect{};
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    constexpr std::uint32_t k_longest_ms = 0xFFFFFFFEu / 1000u;  // INFINITE is not a duration
    effect.dwDuration = std::min(duration_ms, k_longest_ms) * 1000u;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.cbTypeSpecificParams = sizeof force;
    effect.lpvTypeSpecificParams = &force;
    if (FAILED(device->CreateEffect(GUID_ConstantForce, &effect, &joystick->effect, nullptr)) ||
        joystick->effect == nullptr) {
        joystick->effect = nullptr;
        return false;
    }
    return SUCCEEDED(joystick->effect->Start(1, 0));
}

}  // namespace crv::plat

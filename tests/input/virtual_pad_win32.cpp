// Controllers for the Windows build: a stand-in DirectInput, handed to the
// backend before any test runs, whose game controllers are the VirtualPads
// of the test; the keyboard and mouse it passes on to the system's
// DirectInput. The devices answer as DirectInput documents: states only
// in the data format that was set, axis values in the range that was set,
// DIERR_UNPLUGGED once unplugged, effects only with force feedback.
#include "tests/input/virtual_pad.hpp"

#include "platform/win32/dinput_win32.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace crv::test {

namespace {

const auto k_unplugged = static_cast<HRESULT>(DIERR_UNPLUGGED);
const auto k_not_acquired = static_cast<HRESULT>(DIERR_NOTACQUIRED);
const auto k_invalid = static_cast<HRESULT>(DIERR_INVALIDPARAM);
const auto k_no_effect = static_cast<HRESULT>(DI_NOEFFECT);

struct Range {
    LONG min = 0;
    LONG max = 65535;  // DirectInput's own default
};

}  // namespace

struct VirtualPad::Device final : IDirectInputDevice8W {
    LONG references = 1;
    VirtualPad* owner = nullptr;  // null once unplugged
    GUID instance{};
    std::wstring name;
    bool force_feedback = false;
    bool acquired = false;
    DWORD format_size = 0;
    std::map<DWORD, Range> ranges;
    std::map<DWORD, DWORD> dead_zones;
    HWND window = nullptr;
    DWORD level = 0;
    int resets = 0;
    // The pad's raw state: axes as SDL numbers them, -32768..32767.
    std::int16_t axes[8] = {};
    std::uint8_t hat = pad_hat::centred;
    bool buttons[32] = {};

    struct Effect final : IDirectInputEffect {
        LONG references = 1;
        Device* device;
        std::size_t index;
        Effect(Device* d, std::size_t i) : device(d), index(i) { device->AddRef(); }
        ~Effect() { device->Release(); }
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
        ULONG STDMETHODCALLTYPE Release() override {
            LONG left = --references;
            if (left == 0) delete this;
            return static_cast<ULONG>(left);
        }
        HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) override {
            if (device->owner == nullptr) return k_unplugged;
            if (index < device->owner->rumbles.size()) device->owner->rumbles[index].started = true;
            return DI_OK;
        }
        HRESULT STDMETHODCALLTYPE Stop() override { return DI_OK; }
        HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Download() override { return DI_OK; }
        HRESULT STDMETHODCALLTYPE Unload() override { return DI_OK; }
        HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return E_NOTIMPL; }
    };

    LONG scaled(DWORD offset, std::int16_t raw) const {
        auto found = ranges.find(offset);
        Range r = found != ranges.end() ? found->second : Range{};
        // -32768..32767 onto the range, both ends reached.
        return r.min + static_cast<LONG>((static_cast<long long>(raw) + 32768) * (r.max - r.min) / 65535);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = --references;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override {
        if (owner == nullptr) return k_unplugged;
        if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS)) return k_invalid;
        caps->dwFlags = DIDC_ATTACHED | (force_feedback ? DIDC_FORCEFEEDBACK : 0);
        caps->dwAxes = 8;
        caps->dwButtons = 32;
        caps->dwPOVs = 1;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        if (header == nullptr || header->dwHow != DIPH_BYOFFSET) return k_invalid;
        if (&property == &DIPROP_RANGE) {
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (header->dwSize != sizeof(DIPROPRANGE) || range->lMin >= range->lMax) return k_invalid;
            ranges[header->dwObj] = Range{range->lMin, range->lMax};
            return DI_OK;
        }
        if (&property == &DIPROP_DEADZONE) {
            if (header->dwSize != sizeof(DIPROPDWORD)) return k_invalid;
            if (refuse_dead_zone) return E_NOTIMPL;
            dead_zones[header->dwObj] = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        return DI_PROPNOEFFECT;
    }
    HRESULT STDMETHODCALLTYPE Acquire() override {
        if (owner == nullptr) return k_unplugged;
        if (format_size == 0) return k_invalid;
        acquired = true;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE Unacquire() override {
        acquired = false;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override {
        if (owner == nullptr) return k_unplugged;
        if (!acquired) return k_not_acquired;
        if (size != format_size || size != sizeof(DIJOYSTATE)) return k_invalid;
        DIJOYSTATE state{};
        const DWORD offsets[8] = {DIJOFS_X,  DIJOFS_Y,  DIJOFS_Z,         DIJOFS_RX,
                                  DIJOFS_RY, DIJOFS_RZ, DIJOFS_SLIDER(0), DIJOFS_SLIDER(1)};
        LONG* fields[8] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                           &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        for (int i = 0; i < 8; ++i) *fields[i] = scaled(offsets[i], axes[i]);
        static constexpr std::pair<std::uint8_t, DWORD> angles[] = {
            {pad_hat::up, 0},       {pad_hat::right_up, 4500},   {pad_hat::right, 9000}, {pad_hat::right_down, 13500},
            {pad_hat::down, 18000}, {pad_hat::left_down, 22500}, {pad_hat::left, 27000}, {pad_hat::left_up, 31500}};
        for (DWORD& pov : state.rgdwPOV) pov = 0xFFFFFFFFu;
        for (const auto& [bits, angle] : angles)
            if (hat == bits) state.rgdwPOV[0] = angle;
        for (int i = 0; i < 32; ++i) state.rgbButtons[i] = buttons[i] ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override {
        if (format == nullptr) return k_invalid;
        if (acquired) return static_cast<HRESULT>(DIERR_ACQUIRED);
        format_size = format->dwDataSize;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND w, DWORD flags) override {
        if (acquired) return static_cast<HRESULT>(DIERR_ACQUIRED);
        if (w == nullptr || !IsWindow(w)) return k_invalid;
        window = w;
        level = flags;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID kind, LPCDIEFFECT effect, LPDIRECTINPUTEFFECT* out,
                                           LPUNKNOWN) override {
        *out = nullptr;
        if (owner == nullptr) return k_unplugged;
        if (!force_feedback || !IsEqualGUID(kind, GUID_ConstantForce)) return static_cast<HRESULT>(DIERR_UNSUPPORTED);
        if (effect == nullptr || effect->dwSize != sizeof(DIEFFECT) || effect->cAxes != 2 ||
            effect->cbTypeSpecificParams != sizeof(DICONSTANTFORCE) || effect->lpvTypeSpecificParams == nullptr)
            return k_invalid;
        // Axes named by their offsets in the data format: x, then y.
        if (effect->rgdwAxes[0] != DIJOFS_X || effect->rgdwAxes[1] != DIJOFS_Y) return k_invalid;
        RumbleRequest r;
        r.magnitude = static_cast<const DICONSTANTFORCE*>(effect->lpvTypeSpecificParams)->lMagnitude;
        r.direction_x = effect->rglDirection[0];
        r.direction_y = effect->rglDirection[1];
        r.duration_us = effect->dwDuration;
        r.gain = effect->dwGain;
        r.trigger = effect->dwTriggerButton;
        r.flags = effect->dwFlags;
        r.resets = resets;
        owner->rumbles.push_back(r);
        *out = new Effect(this, owner->rumbles.size() - 1);
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW, REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD command) override {
        if (owner == nullptr) return k_unplugged;
        if (!force_feedback) return static_cast<HRESULT>(DIERR_UNSUPPORTED);
        if (command == DISFFC_RESET) ++resets;
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Poll() override {
        if (owner == nullptr) return k_unplugged;
        return acquired ? k_no_effect : k_not_acquired;
    }
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) override { return E_NOTIMPL; }

    bool refuse_dead_zone = false;
    std::wstring instance_name;
};

namespace {

// The stand-in: lists the pads plugged in, makes their devices, and hands
// every other device to the system's DirectInput.
struct StandInInput final : IDirectInput8W {
    std::vector<VirtualPad::Device*> pads;  // plugged in, in order
    IDirectInput8W* system = nullptr;
    bool system_tried = false;
    unsigned next_instance = 1;

    IDirectInput8W* system_input() {
        if (!system_tried) {
            system_tried = true;
            void* made = nullptr;
            if (SUCCEEDED(DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W, &made,
                                             nullptr)))
                system = static_cast<IDirectInput8W*>(made);
        }
        return system;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the program.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID which, LPDIRECTINPUTDEVICE8W* out, LPUNKNOWN outer) override {
        *out = nullptr;
        for (VirtualPad::Device* pad : pads) {
            if (IsEqualGUID(pad->instance, which)) {
                pad->AddRef();
                *out = pad;
                return DI_OK;
            }
        }
        if (IDirectInput8W* s = system_input()) return s->CreateDevice(which, out, outer);
        return static_cast<HRESULT>(DIERR_DEVICENOTREG);
    }
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD kind, LPDIENUMDEVICESCALLBACKW callback, LPVOID context,
                                          DWORD flags) override {
        if (kind != DI8DEVCLASS_GAMECTRL || (flags & DIEDFL_ATTACHEDONLY) == 0) return E_NOTIMPL;
        // A copy: the callback may not change what is being listed.
        std::vector<VirtualPad::Device*> listed = pads;
        for (VirtualPad::Device* pad : listed) {
            DIDEVICEINSTANCEW device{};
            device.dwSize = sizeof device;
            device.guidInstance = pad->instance;
            device.dwDevType = DI8DEVTYPE_GAMEPAD;
            wcsncpy(device.tszInstanceName, pad->instance_name.c_str(), MAX_PATH - 1);
            wcsncpy(device.tszProductName, pad->name.c_str(), MAX_PATH - 1);
            if (callback(&device, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCWSTR, LPGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID,
                                                     DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD,
                                               LPVOID) override {
        return E_NOTIMPL;
    }
};

StandInInput stand_in;

// Before any test makes its input object.
const bool installed = [] {
    plat::win32::use_direct_input(&stand_in);
    return true;
}();

std::wstring wide(const std::string& text) {
    std::wstring w;
    for (char c : text) w += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return w;
}

}  // namespace

VirtualPad::VirtualPad(const std::string& name, bool rumble, int, int, int) : name_(name) {
    EXPECT_TRUE(installed);
    device_ = new Device;
    device_->owner = this;
    device_->name = wide(name);
    device_->instance_name = device_->name;
    device_->force_feedback = rumble;
    device_->instance = GUID{0x7e57'0000u + stand_in.next_instance++, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    stand_in.pads.push_back(device_);
}

VirtualPad::~VirtualPad() { unplug(); }

void VirtualPad::axis(int axis, std::int16_t value) {
    if (device_ != nullptr && axis >= 0 && axis < 8) device_->axes[axis] = value;
}

void VirtualPad::button(int button, bool down) {
    if (device_ != nullptr && button >= 0 && button < 32) device_->buttons[button] = down;
}

void VirtualPad::hat(std::uint8_t value) {
    if (device_ != nullptr) device_->hat = value;
}

void VirtualPad::set_instance_name(const std::string& name) {
    if (device_ != nullptr) device_->instance_name = wide(name);
}

void VirtualPad::refuse_dead_zone() {
    if (device_ != nullptr) device_->refuse_dead_zone = true;
}

void VirtualPad::lose_acquisition() {
    if (device_ != nullptr) device_->acquired = false;
}

void VirtualPad::unplug() {
    if (device_ == nullptr) return;
    stand_in.pads.erase(std::remove(stand_in.pads.begin(), stand_in.pads.end(), device_), stand_in.pads.end());
    device_->owner = nullptr;
    device_->Release();
    device_ = nullptr;
}

}  // namespace crv::test

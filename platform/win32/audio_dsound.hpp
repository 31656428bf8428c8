// What the DirectSound device of this backend set on its buffers, for the
// tests that check the levels and the cooperating window on the real device
// (the loopback device mixes in software and has no buffers). Not part of
// the platform interface. Main thread only.
#pragma once

#include "platform/audio.hpp"
#include "platform/win32/win32_api.hpp"

namespace crv::plat::win32 {

// The voice's buffer volume and pan in hundredths of a decibel as
// DirectSound reads them back; false for a loopback voice or when the
// buffer has no volume and pan controls.
bool dsound_voice_levels(AudioVoice* voice, long* volume, long* pan);

// The window the device's cooperative level was last set for.
HWND dsound_cooperative_window(AudioDevice* device);

}  // namespace crv::plat::win32

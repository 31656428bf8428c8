#!/usr/bin/env bash
# The Windows stage: cross-builds the run-time and the test programs that
# build for Windows so far with mingw-w64 (toolchains/), then runs them under
# Wine through CTest in a private Wine prefix inside build-win. Prints how
# long each step took. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib.sh
build=$root/build-win
jobs=${CRV_JOBS:-2}

# Test programs built and run here: every program without the "display"
# label, and the display programs below. Of the device tests only the
# key-name test is left out (tests/input/CMakeLists.txt): it checks the Linux
# backend's scan-code table; the Windows build tests its controllers through
# a stand-in DirectInput instead. The device tests that make windows (file
# dialogs, console, video, the media game, the sound device's window) run
# one at a time.
suites=(core_tests path_tests platform_tests net_tests lobby_tests sys_tests tools_tests tool_cli_tests gfx3d_tests
  app_tests input_tests sound_tests media_tests)
# Display programs built and run here, one at a time on the virtual X
# server: Veltrack driven from outside and under crvdbg; the keyboard, mouse
# and waits, driven through Wine's windows with xdotool; the 2D and 3D
# drawing against their golden pictures (with the scene3d example); the
# application frame seen from outside; crvfont's images on a window; the
# other six examples, run and driven as on Linux. Building these builds all
# seven examples; the arcade's media are made and packed by the Windows
# crvfont and crvpack under Wine while building, so the Wine prefix comes
# first.
display_suites=(game_tests input_display_tests render2d_tests gfx3d_display_tests frame_tests crvfont_tests
  example_tests)
for target in bmp png jpeg wave pack mesh world settings line_file channels shader http_header lobby_frames; do
  suites+=("fuzz_replay_$target")
done
# Test cases of those programs that are left out, and why. Cases of a
# mechanism that Windows does not have at all are not compiled there:
#   ProgramEnd.AFullDiskLeavesTheOldFileAndNoTemporary  no per-process
#     file-size limit to fill the disk under a save
#   RunProgram.AProgramNotWaitedForLeavesNoChildBehind  no zombies
excluded=(
  # The system's C library has no UTF-8 locale for setlocale; to_wide then
  # converts from the ANSI code page, as Windows programs do.
  'DynString\.WideTextRoundTripsAndNeverOverflows'
  # The Linux backend's sources of the answers (locale variables, the power
  # supply folder, XDG folders); the Windows backend asks the system.
  'PlatformInfo\.LocaleFollowsTheLanguageTable'
  'PlatformInfo\.BatteriesOfThePowerSupplyFolderAreAveraged'
  'PlatformInfo\.Folders'
  # Control characters, "*" and "?" cannot be part of a Windows file name.
  'DirList\.OddNamesAreListedAsTheyAre'
  # Under Wine a button release or a move sent by xdotool while the wait
  # runs is missed in about half the runs (cause not found yet); the waits'
  # key, click and controller cases pass.
  'WaitTest\.IdleStepReturnsWhenTheMouseChanges'
  # The batch turns sprites on the CPU with the roundings of the Linux
  # driver's matrix path; under Wine that path runs in the host's driver
  # with the host's sine and cosine, the batch with the Windows C library's.
  'Batch\.TurnedAndZoomedSpritesMatchTheMatrixPath'
  # Under Wine the focus given to another process's window (the test's own
  # window, or the game's window by the test) does not reach the game as
  # the activation it gets on Windows and on Linux; the cause is not found
  # yet. Veltrack's focus test, which checks that it does not pause, runs.
  'Frame\.FocusLossPausesAndFocusResumes'
  'Frame\.APauseTheGameAsksForEndsWhenTheWindowIsActive'
)

step_start=0
step() { step_start=$SECONDS; echo "== $*"; }
done_step() { echo "   $((SECONDS - step_start)) s"; }

step "Windows dependencies"
scripts/win-deps.sh "$build"
done_step

# Wine: a private prefix, its server kept alive for the whole run, and one
# warm-up process that starts Wine's own services (they keep a piped stderr
# open, which would stall the first test). A bare -all would also hide a
# missing DLL, which then looks like a silent exit.
crv_wine_env "$build"
# Wine plays sound through ALSA: a private configuration gives it a silent
# output device, so that DirectSound and the media player have one on
# machines without sound hardware.
mkdir -p "$build"
printf 'pcm.!default { type null }\n' >"$build/asoundrc"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$build/asoundrc
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
# Wine draws on the X server named by DISPLAY (./test's virtual one), or on
# a private virtual one when there is none. It must be there before the
# prefix's first program: Wine's own services start on that display.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  source scripts/xvfb.sh
  start_xvfb
  trap 'stop_wine; stop_xvfb' EXIT
fi
step "Wine prefix"
# The server of this private prefix is ours: any left over is replaced by a
# persistent one before the prefix is made, so that later processes find it
# running ("wineserver -p" fails while another server runs).
wineserver -k >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX"
wineserver -p
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1 || true
# With a display, the first window also starts Wine's desktop process,
# which would keep the pipes of the test that made it open: it is started
# here, and a waiting process keeps it until the server ends (it quits a
# few seconds after its last user).
if [ -n "${DISPLAY:-}" ]; then
  wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
  wine cmd /c "ping -n 7200 127.0.0.1 >nul" </dev/null >/dev/null 2>&1 &
fi
done_step

crv_use_ccache "$root"
step "Configure and cross-build ($((${#suites[@]} + ${#display_suites[@]})) programs)"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/toolchains/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCRV_INSTALL=ON "${crv_test_build_flags[@]}" "${crv_launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs" --target "${suites[@]}" "${display_suites[@]}"
done_step

# Programs that were not built register one failing placeholder each.
exclude="_NOT_BUILT\$"
for e in "${excluded[@]}"; do exclude+="|^$e\$"; done
step "Tests under Wine"
status=0
ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE display -E "$exclude" || status=1
done_step
step "Display tests under Wine"
# They share one X server and its keyboard focus: one at a time.
CORVANE_AUTOMATION=1 ctest --test-dir "$build" --output-on-failure -L display -E "$exclude" || status=1
done_step
step "A game of one's own: the Windows package and the game template built against it"
tests/install/install_test_win.sh "$build" "$root" || status=1
done_step
exit $status

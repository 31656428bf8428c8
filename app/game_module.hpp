// What a game module supplies to the run-time: its project settings and its
// main routine. The run-time's process entry (the corvane_main library)
// calls win_main, which calls these.
#pragma once

namespace crv {

// Fills AppState's project settings (screen size, full screen, debug mode,
// mouse mode, multisample, frame rate, caption, build information).
void load_project_settings();
// The game's main routine; it never returns (the program ends through
// end_program).
void game_main();

}  // namespace crv

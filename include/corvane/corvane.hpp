/// @file
/// Everything a game may call, in one include.
///
/// A game defines crv::load_project_settings() and crv::game_main()
/// (corvane/app.hpp), links the run-time and its main, and calls the
/// functions of namespace crv directly. Each header below opens with what it
/// owns, its lifetime and threading rules and how it reports failure; in
/// short: the run-time is single-threaded (the socket layer excepted),
/// failures are results and the last-error code (crv::last_error_code,
/// crv::error_text), and a fatal error ends the program through
/// crv::end_program.

/// @namespace crv
/// Everything of the run-time a game calls: free functions, the value
/// types DynString and DynArray, and the global record app_state.
#pragma once

#include <corvane/app.hpp>
#include <corvane/colour.hpp>
#include <corvane/core.hpp>
#include <corvane/dyn_array.hpp>
#include <corvane/dyn_string.hpp>
#include <corvane/gfx3d.hpp>
#include <corvane/input.hpp>
#include <corvane/keys.hpp>
#include <corvane/net.hpp>
#include <corvane/path.hpp>
#include <corvane/render2d.hpp>
#include <corvane/sound.hpp>
#include <corvane/state.hpp>
#include <corvane/sys.hpp>

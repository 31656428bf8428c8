// The places where the files and system services meet the application
// frame's start-up and program end. Start-up: enter_executable_folder,
// pack_contexts_create, foreign_bind_all (sys/foreign.hpp). Program end,
// in runtime_shutdown: call_by_name("CRV_ON_QUIT") (sys/foreign.hpp),
// held_files_save, enter_executable_folder, channels_close_all
// (sys/channels.hpp), pack_contexts_release, foreign_release_all.
// The held settings and line files are also saved by an exit handler, so
// that every std::exit writes them even without the frame. Main thread.
#pragma once

#include <corvane/dyn_string.hpp>

namespace crv {

// The executable's folder with "/" separators and no final "/".
DynString executable_folder();
// Makes the executable's folder the current one; false when it cannot.
bool enter_executable_folder();

// Creates both pack contexts in app_state.packs, each available and naming
// pack_file: by default the running executable, so that a pack appended to
// it is found. A game without an appended pack reads everything from disk.
void pack_contexts_create();
void pack_contexts_create(const DynString& pack_file);
// Releases what each context holds (buffer or temporary file) and destroys it.
void pack_contexts_release();

// Writes the held settings file and line file if they changed.
void held_files_save();
// Installs the exit handler that calls held_files_save (once per process).
void register_held_files_exit_handler();

}  // namespace crv

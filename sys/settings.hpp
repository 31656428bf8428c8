// The settings store: one settings file held at a time, a text of
// "[section]" headers and "key=value" lines. Section and key names match
// ignoring case and keep the spelling first used. The file may come from
// the media pack; it is written only to disk, when another file is opened
// and at program end (every way of ending: the store registers an exit
// handler when it is created), and only if something changed. A save
// replaces the file whole or not at all. The store is created on first use
// and lives to process exit. Game thread.
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

// Saves the held file if changed, then loads the named one. A missing file
// gives an empty store under that name; an empty name holds no file.
void settings_open(const DynString& name);
DynString settings_get(const DynString& section, const DynString& key, const DynString& default_value);
// An empty key deletes the section; an empty value deletes the key (and
// adds nothing when the key is missing).
void settings_put(const DynString& section, const DynString& key, const DynString& value);
// Writes the held file when it changed and has a disk name. Write errors are
// not reported; the old file then stays as it was.
void settings_save();

}  // namespace crv

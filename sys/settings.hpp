// The settings store: one settings file held at a time, a text of
// "[section]" headers and "key=value" lines (the game's operations are
// declared in corvane/sys.hpp). Section and key names match ignoring case
// and keep the spelling first used. The file may come from the media pack;
// it is written only to disk, when another file is opened and at program
// end (every way of ending: the store registers an exit handler when it is
// created), and only if something changed. A save replaces the file whole
// or not at all. The store is created on first use and lives to process
// exit. Game thread.
#pragma once

#include <corvane/sys.hpp>

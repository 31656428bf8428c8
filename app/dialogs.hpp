// The file dialog and the console window: two services that step outside
// the game window. The dialog is shown over the hidden game window and
// returns the chosen path; the console takes over standard input and
// output for the rest of the program. Main thread only; a cancelled or
// failed dialog gives "NO_FILE", a console that cannot be opened leaves
// standard input and output as they were. No error code is set. The
// game's operations are declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

#include <string>
#include <vector>

namespace crv {

struct DialogFilter {
    std::string description;
    std::string patterns;
};
// The pairs of a filter text, as the dialog offers them: the text is cut
// at 1023 bytes and the list ends at the first empty entry.
std::vector<DialogFilter> parse_dialog_filter(const DynString& filter);

}  // namespace crv

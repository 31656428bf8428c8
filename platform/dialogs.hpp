// The system's open and save file dialogs. Modal: the call returns when the
// user has confirmed or cancelled. The dialog runs apart from the game's
// own windowing, so nothing the game window receives meanwhile is lost or
// handled twice. Main thread only; a dialog that cannot be shown counts as
// cancelled.
#pragma once

#include <string>
#include <vector>

namespace crv::plat {

struct FileFilter {
    std::string description;  // the name the dialog offers
    std::string patterns;     // one or more patterns separated by ";" (e.g. "*.txt;*.doc")
};

// Opens in folder with the filters offered in order (the first is
// selected). True with the chosen path when the user confirmed one.
bool file_dialog(bool open, const std::vector<FileFilter>& filters, const std::string& folder,
                 std::string& chosen);

}  // namespace crv::plat

// Well-known folders and the running program's own location.
// Pure queries; any thread.
#pragma once

#include <string>

namespace crv::plat {

// The system's temporary folder, always ending in "/" ($TMPDIR, else /tmp/).
std::string temp_folder();
// Full path of the running executable; empty when it cannot be read.
std::string executable_path();
// The process's full command line as one text (program name included);
// arguments holding blanks are quoted.
std::string command_line();
// The process's current directory; false when it cannot be changed.
bool change_directory(const std::string& folder);

}  // namespace crv::plat

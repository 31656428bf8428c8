#include "platform/dialogs.hpp"

#include "platform/win32/window_win32.hpp"

#include <commdlg.h>

#include <vector>

// The system's common open and save dialogs, owned by the game window (which
// the caller has hidden). They run their own message loop; the messages the
// game window gets meanwhile are queued by its procedure as always.

namespace crv::plat {

namespace {

// Characters of the chosen path the dialog may write, its end included.
constexpr DWORD k_path_buffer = 1024;

// Pairs of description and pattern, each ended by a 0, the list by one more.
std::wstring filter_list(const std::vector<FileFilter>& filters) {
    std::wstring list;
    for (const FileFilter& f : filters) {
        list += win32::widen(f.description);
        list += L'\0';
        list += win32::widen(f.patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

}  // namespace

bool file_dialog(bool open, const std::vector<FileFilter>& filters, const std::string& folder, std::string& chosen) {
    chosen.clear();
    const std::wstring filter = filter_list(filters);
    const std::wstring initial = win32::widen_path(folder);
    std::vector<wchar_t> path(k_path_buffer, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = win32::newest_window();
    request.lpstrFilter = filters.empty() ? nullptr : filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = path.data();
    request.nMaxFile = k_path_buffer;
    request.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    const BOOL confirmed = open ? GetOpenFileNameW(&request) : GetSaveFileNameW(&request);
    if (!confirmed) return false;
    chosen = win32::narrow(path.data());
    return !chosen.empty();
}

}  // namespace crv::plat

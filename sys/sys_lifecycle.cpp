#include "sys/sys_lifecycle.hpp"

#include "runtime/app_state.hpp"
#include "platform/files.hpp"
#include "platform/paths.hpp"
#include <corvane/sys.hpp>
#include "sys/resource.hpp"
#include "sys/settings.hpp"

#include <cstdlib>
#include <string>

namespace crv {

DynString executable_folder() {
    std::string path = plat::executable_path();
    for (char& c : path)
        if (c == '\\') c = '/';
    std::size_t slash = path.rfind('/');
    if (slash == 0) return DynString("/");
    if (slash != std::string::npos) path.resize(slash);
    return DynString(path.c_str());
}

bool enter_executable_folder() {
    DynString folder = executable_folder();
    return !folder.empty() && plat::change_dir(folder.text());
}

void pack_contexts_create(const DynString& pack_file) {
    for (ResourcePack*& pack : app_state.packs) {
        if (pack == nullptr) pack = new ResourcePack;
        pack->set_pack_name(pack_file.text());
    }
}

void pack_contexts_create() { pack_contexts_create(DynString(plat::executable_path().c_str())); }

void pack_contexts_release() {
    for (ResourcePack*& pack : app_state.packs) {
        delete pack;
        pack = nullptr;
    }
}

void held_files_save() {
    settings_save();
    line_file_save();
}

void register_held_files_exit_handler() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    std::atexit([] { held_files_save(); });
}

}  // namespace crv

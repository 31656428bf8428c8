#include "sys/foreign.hpp"

#include "runtime/log.hpp"
#include <corvane/core.hpp>
#include "platform/dynlib.hpp"

#include <cstring>
#include <string>
#include <vector>

namespace crv {

namespace {

struct Declaration {
    std::string library;
    std::string entry;
    void* slot;
};

struct ForeignRegistry {
    std::vector<plat::Library*> modules;
    std::vector<std::string> module_names;  // lower case, same order
    std::vector<Declaration> declarations;
};

ForeignRegistry& registry() {
    static ForeignRegistry r;
    return r;
}

const CallByNameEntry*& call_table() {
    static const CallByNameEntry* table = nullptr;
    return table;
}

std::string lower(const char* text) {
    std::string s = text != nullptr ? text : "";
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

void store(void* slot, void* address) {
    if (slot != nullptr) std::memcpy(slot, &address, sizeof address);
}

void report(const std::string& message) {
    std::string line = message + "\n";
    debug_print(DynString(line.c_str()));
    log_write(line.c_str());
}

}  // namespace

void set_call_by_name_table(const CallByNameEntry* table) { call_table() = table; }

void (*find_by_name(const DynString& name))() {
    for (const CallByNameEntry* e = call_table(); e != nullptr && e->address != nullptr; ++e)
        if (e->name != nullptr && std::strcmp(e->name, name.text()) == 0) return e->address;
    return nullptr;
}

int call_by_name(const DynString& name) {
    if (void (*address)() = find_by_name(name)) {
        address();
        return 1;
    }
    if (name != "CRV_ON_QUIT" && name != "CRV_WIN32_MSG")
        debug_print(DynString("CALLBYNAME \"") + name + "\" *** failed ***\n");
    return 0;
}

void foreign_declare_slot(const char* library, const char* entry, void* slot) {
    store(slot, nullptr);
    registry().declarations.push_back({library != nullptr ? library : "", entry != nullptr ? entry : "", slot});
}

bool foreign_has_declarations() { return !registry().declarations.empty(); }

void foreign_bind_all() {
    if (!foreign_has_declarations()) return;
    log_write("Delay load DLLs\n");
    // Binding never adds declarations, so the copy is only a guard against
    // a slot that aliases the registry.
    std::vector<Declaration> declarations = registry().declarations;
    for (const Declaration& d : declarations) foreign_bind(d.library.c_str(), d.entry.c_str(), d.slot);
}

void foreign_bind(const char* library, const char* entry, void* slot) {
    ForeignRegistry& r = registry();
    std::string key = lower(library);
    plat::Library* module = nullptr;
    for (std::size_t i = 0; i < r.module_names.size(); ++i)
        if (r.module_names[i] == key) module = r.modules[i];
    if (module == nullptr) {
        module = plat::library_open(library);
        // Library names from Windows programs ignore case; the files on
        // this system are mostly lower case.
        if (module == nullptr && key != (library != nullptr ? library : "")) module = plat::library_open(key.c_str());
        if (module == nullptr) {
            store(slot, nullptr);
            report(std::string("DECLARE module not found: ") + (library != nullptr ? library : ""));
            return;
        }
        r.modules.push_back(module);
        r.module_names.push_back(key);
    }
    void* address = plat::library_symbol(module, entry);
    store(slot, address);
    if (address == nullptr) report(std::string("DECLARE entry not found: ") + (entry != nullptr ? entry : ""));
}

int foreign_module_count() { return static_cast<int>(registry().modules.size()); }

void foreign_release_all() {
    ForeignRegistry& r = registry();
    for (plat::Library* module : r.modules) plat::library_close(module);
    r.modules.clear();
    r.modules.shrink_to_fit();
    r.module_names.clear();
    r.module_names.shrink_to_fit();
    r.declarations.clear();
    r.declarations.shrink_to_fit();
}

}  // namespace crv

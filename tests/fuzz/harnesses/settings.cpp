// Settings files opened from a "mem://" name, then read and changed as a
// game does. A memory-named file is never written back.
#include "sys/settings.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    settings_open(DynString(fuzz::memory_name_of(data, size).c_str()));
    for (const char* section : {"", "textures", "objects", "game"})
        for (const char* key : {"count", "1", "name", ""}) settings_get(DynString(section), DynString(key), DynString("d"));
    settings_put(DynString("game"), DynString("name"), DynString("value"));
    settings_put(DynString("textures"), DynString("1"), DynString(""));
    settings_put(DynString("objects"), DynString(""), DynString(""));
    settings_get(DynString("game"), DynString("name"), DynString(""));
    settings_open(DynString(""));
    return 0;
}

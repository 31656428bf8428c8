// World files loaded by the 3D engine from a "mem://" name, as object_load
// takes them. The harness works in a folder of its own that holds a mesh and
// two small images, so that listed names can find real files; nothing a
// world file lists may be taken as a memory address.
#include "gfx3d/rainbows3d.hpp"
#include "platform/files.hpp"
#include "render2d/image.hpp"
#include "tests/fuzz/fuzz_support.hpp"

#include <cstring>
#include <string>

namespace {

void quiet(const char*) {}

const char k_mesh[] = "ZVDA 1.1\n1 0 0\n1 255 0 0 3 0 0 1 0 2 0\n1 3\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n";

// A 2 x 2 24-bit BMP: rows bottom-up, each padded to 4 bytes.
const std::uint8_t k_bmp[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0,
                              24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace crv;
    mesh_message = quiet;
    std::string dir = fuzz::scratch_name("_world");
    plat::dir_make(dir.c_str());
    if (!plat::change_dir(dir.c_str())) return 0;
    fuzz::write_file("m.zvd", reinterpret_cast<const std::uint8_t*>(k_mesh), std::strlen(k_mesh));
    fuzz::write_file("t.bmp", k_bmp, sizeof k_bmp);
    const std::uint8_t rgba[16] = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 0, 10, 11, 12, 255};
    write_png("t.png", rgba, 2, 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    static Rainbows3D engine(nullptr);
    bool loaded = engine.object_load(1, fuzz::memory_name_of(data, size).c_str());
    const ObjectEntry* e = engine.entry(1);
    if (loaded && e != nullptr)
        for (const SubObject& s : e->sub_objects) fuzz::check(s.mesh != nullptr, "a world sub-object has no mesh");
    return 0;
}

// zvd meshes, binary and "ZVDA" text, loaded from a "mem://" name as the 3D
// engine loads an object, then expanded, bounded, given normals and
// tangents, and written back: the written file must load again.
#include "gfx3d/mesh.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {
void quiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    mesh_message = quiet;
    MeshObjectX mesh;
    if (!mesh_load(mesh, fuzz::memory_name_of(data, size).c_str())) {
        fuzz::check(!mesh.has_frames() && mesh.palette.empty(), "a failed load left data behind");
        return 0;
    }
    mesh.rebuild_triangles();
    mesh.compute_bounds();
    std::vector<std::uint8_t> saved = mesh_save_bytes(mesh);
    mesh.generate_normals(true, true, true);
    mesh.generate_normals(true, false, false);
    // The loaded mesh goes before the saved one is loaded: one load budget
    // at a time, as scripts/fuzz.sh's memory limit for this target assumes.
    std::int32_t frames = mesh.frames.size();
    mesh.clear();
    if (!saved.empty()) {
        MeshObjectX again;
        fuzz::check(mesh_load_bytes(again, saved.data(), saved.size(), "saved"), "a saved mesh does not load");
        fuzz::check(again.frames.size() == frames, "a saved mesh changed its frame count");
    }
    return 0;
}

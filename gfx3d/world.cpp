// Object loading: a single zvd mesh, or a world file (a settings text whose
// first four bytes are ";ZVW") that lists texture images and zvd meshes
// with their texture numbers. The names a world file lists are file names
// only: never taken as "mem://" names, whatever folder the world has.
#include "gfx3d/rainbows3d.hpp"

#include "render2d/gl_api.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "sys/resource.hpp"
#include "sys/settings_text.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace crv {

namespace {

// A world file's sections, read by the rules of settings files. Read only:
// nothing is written back, and the game's own settings file is left alone.
struct WorldSettings {
    std::vector<SettingsSection> sections;

    // Every missing key reads as "0".
    std::string get(const char* section, const std::string& key) const {
        for (const SettingsSection& s : sections) {
            if (!same_settings_name(s.name, section)) continue;
            for (const SettingsPair& p : s.pairs)
                if (same_settings_name(p.key, key.c_str())) return p.value;
        }
        return "0";
    }
    std::int32_t get_int(const char* section, const std::string& key) const {
        return static_cast<std::int32_t>(std::strtol(get(section, key).c_str(), nullptr, 10));
    }
};

// A memory name has no folder: its "/" belong to the prefix, and "mem://"
// in front of a listed name would make it an address.
std::string folder_of(const char* name) {
    if (is_memory_name(name)) return std::string();
    std::string s = name;
    std::size_t cut = s.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : s.substr(0, cut + 1);
}

// Worlds list at most this many textures and sub-objects; larger counts in
// a damaged file are cut to it rather than allocated.
constexpr std::int32_t k_world_list_limit = 65536;

}  // namespace

bool Rainbows3D::object_load(std::int32_t index, const char* name) {
    ObjectEntry* e = entry_for_write(index);
    if (e == nullptr) return false;
    char head[4] = {0, 0, 0, 0};
    {
        ResourceStream stream;
        if (!stream.open_read(name)) return false;
        std::int32_t got = 0;
        stream.read(head, 4, &got);
    }
    if (std::memcmp(head, ";ZVW", 4) == 0) {
        std::int32_t key = renderer_ != nullptr ? renderer_->colour_key : k_default_colour_key;
        return world_load(index, name, key);
    }
    if (building_ == index) building_ = -1;
    release_entry(*e);
    e->sub_objects.push_back(SubObject{std::make_unique<MeshObjectX>(), -1, -1});
    MeshObjectX& m = *e->sub_objects[0].mesh;
    if (mesh_load(m, name) && m.has_geometry()) {
        e->built = true;
        m.rebuild_triangles();
        m.compute_bounds();
        return true;
    }
    release_entry(*e);
    return false;
}

bool Rainbows3D::world_load(std::int32_t index, const char* name, std::int32_t colour_key) {
    ObjectEntry* e = entry_for_write(index);
    if (e == nullptr) return false;
    if (building_ == index) building_ = -1;
    release_entry(*e);
    e->is_world = true;
    e->built = true;

    WorldSettings world;
    std::string bytes;
    if (load_resource(name, bytes)) world.sections = parse_settings_text(bytes);
    std::string folder = folder_of(name);
    ResourcePack* pack = video_pack();

    std::int32_t texture_count = std::clamp(world.get_int("textures", "count"), 0, k_world_list_limit);
    bool gl = context_alive();
    if (gl) renderer_->flush();
    e->textures.resize(static_cast<std::size_t>(texture_count));
    DecodedImage image;
    for (std::int32_t i = 1; i <= texture_count; ++i) {
        std::string path = folder + world.get("textures", std::to_string(i));
        std::string resolved;
        if (!resolve_data_name(pack, path.c_str(), resolved, true)) continue;
        bool decoded = decode_bmp(image, resolved.c_str(), colour_key) || decode_png(image, resolved.c_str(), colour_key);
        if (decoded && gl) {
            WorldTexture& t = e->textures[static_cast<std::size_t>(i - 1)];
            std::int32_t tw = 0, th = 0;
            renderer_->upload_texture(&t.texture, image, 0, 0, 0, 0, false, false, &t.mip_texture, &tw, &th);
        }
    }
    if (gl) glBindTexture(GL_TEXTURE_2D, 0);

    std::int32_t object_count = std::clamp(world.get_int("objects", "count"), 0, k_world_list_limit);
    e->sub_objects.resize(static_cast<std::size_t>(object_count));
    for (std::int32_t i = 1; i <= object_count; ++i) {
        SubObject& s = e->sub_objects[static_cast<std::size_t>(i - 1)];
        s.mesh = std::make_unique<MeshObjectX>();
        std::string key = std::to_string(i);
        std::string path = folder + world.get("objects", key);
        std::string resolved;
        if (resolve_data_name(pack, path.c_str(), resolved, true)) mesh_load(*s.mesh, resolved.c_str());
        std::int32_t a = world.get_int("objects", key + "ta"), b = world.get_int("objects", key + "tb");
        s.texture_a = a > 0 ? a - 1 : a;
        s.texture_b = b > 0 ? b - 1 : b;
        s.mesh->rebuild_triangles();
        s.mesh->compute_bounds();
    }
    return true;
}

}  // namespace crv

// Opening and reading a file through the media pack against reading the
// same file from disk: name resolution, opening and reading every byte.
#include "sys/media_pack.hpp"
#include "sys/resource.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A folder with files on disk and a pack of 64 entries holding the same
// files under other names (so that the pack is searched, not the disk).
struct Media {
    Media() {
        std::string pattern = (std::filesystem::temp_directory_path() / "crv-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        std::vector<crv::PackSource> sources;
        for (int i = 0; i < 64; ++i) {
            std::size_t size = i % 2 == 0 ? 4096 : 262144;
            std::string text;
            // Text-like content: numbers and words, compressible as game data is.
            for (int n = 0; text.size() < size; ++n) text += "value" + std::to_string(n * 7919 % 10007) + " ";
            text.resize(size);
            std::string name = "file" + std::to_string(i) + ".txt";
            std::ofstream(folder + "/" + name, std::ios::binary) << text;
            sources.push_back({"packed" + std::to_string(i) + ".txt", {text.begin(), text.end()}});
        }
        std::vector<std::uint8_t> pack;
        std::string error;
        crv::pack_build(sources, pack, error);
        std::ofstream(folder + "/media.pak", std::ios::binary)
            .write(reinterpret_cast<const char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
        context.set_pack_name(folder + "/media.pak");
    }
    ~Media() { std::filesystem::remove_all(folder); }

    std::string folder;
    crv::ResourcePack context;
};

Media& media() {
    static Media m;
    return m;
}

void open_and_read(benchmark::State& state, const std::string& name) {
    std::vector<char> buffer(1 << 20);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::string resolved;
        if (!crv::resolve_resource(&media().context, name.c_str(), resolved, true)) {
            state.SkipWithError("not found");
            return;
        }
        crv::ResourceStream stream;
        stream.open_read(resolved.c_str());
        std::int32_t got = 0;
        stream.read(buffer.data(), stream.size(), &got);
        bytes += got;
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(bytes);
}

// Argument: the entry number; even entries are 4 KiB, odd ones 256 KiB. The
// last entries sit at the end of the pack's directory.
void BM_DiskOpenRead(benchmark::State& state) {
    open_and_read(state, media().folder + "/file" + std::to_string(state.range(0)) + ".txt");
}
void BM_PackOpenRead(benchmark::State& state) {
    open_and_read(state, media().folder + "/packed" + std::to_string(state.range(0)) + ".txt");
}

BENCHMARK(BM_DiskOpenRead)->Arg(0)->Arg(62)->Arg(1)->Arg(63);
BENCHMARK(BM_PackOpenRead)->Arg(0)->Arg(62)->Arg(1)->Arg(63);

}  // namespace

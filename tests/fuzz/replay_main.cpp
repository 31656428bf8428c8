// Runs a fuzz harness over files, without libFuzzer: every argument is a
// file or a folder of files (not recursive). This is how the normal test
// suite replays the seed corpora and every input a fuzz run ever crashed on.
// A harness that crashes or aborts fails the test; so does an argument that
// names nothing, so that a moved folder cannot pass unnoticed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        fs::path arg(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(arg, ec)) {
            for (const fs::directory_entry& e : fs::directory_iterator(arg, ec))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
        for (const fs::path& p : files) {
            std::ifstream in(p, std::ios::binary);
            inputs.emplace_back(p.string(), std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
        }
    }
    // Read everything first: a harness may change the working folder.
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    for (auto& [name, bytes] : inputs) {
        std::fprintf(stderr, "%s\n", name.c_str());
        // A copy of exactly the input's size, so that reading one byte past
        // it is caught under AddressSanitizer.
        std::vector<std::uint8_t> copy(bytes);
        LLVMFuzzerTestOneInput(copy.empty() ? reinterpret_cast<const std::uint8_t*>("") : copy.data(), copy.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}

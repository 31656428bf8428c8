#include "app/frame_capture.hpp"

#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace crv {

namespace {

struct CaptureRequest {
    std::string folder;
    std::set<std::int64_t> frames;
};

const CaptureRequest& request() {
    static const CaptureRequest parsed = [] {
        CaptureRequest r;
        const char* env = std::getenv("CORVANE_CAPTURE_FRAMES");
        if (env == nullptr) return r;
        std::string text(env);
        std::size_t colon = text.rfind(':');
        if (colon == std::string::npos) return r;
        r.folder = text.substr(0, colon);
        std::stringstream list(text.substr(colon + 1));
        std::string item;
        while (std::getline(list, item, ','))
            if (!item.empty()) r.frames.insert(std::atoll(item.c_str()));
        return r;
    }();
    return parsed;
}

}  // namespace

void capture_frame_if_requested(OpenGLRainbows& renderer, std::int64_t frame) {
    const CaptureRequest& r = request();
    if (r.frames.count(frame) == 0 || renderer.width <= 0 || renderer.height <= 0) return;
    int w = renderer.width, h = renderer.height;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string path = r.folder + "/frame_" + std::to_string(frame) + ".ppm";
    std::string partial = path + ".part";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (f == nullptr) return;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int row = h - 1; row >= 0; --row)  // OpenGL rows run bottom-up
        std::fwrite(&pixels[static_cast<std::size_t>(row) * w * 3], 1, static_cast<std::size_t>(w) * 3, f);
    std::fclose(f);
    std::rename(partial.c_str(), path.c_str());
}

void trace_frame_time(double frame_time) {
    static std::FILE* trace = [] {
        const char* name = std::getenv("CORVANE_FRAME_TRACE");
        return name != nullptr && *name != 0 ? std::fopen(name, "w") : static_cast<std::FILE*>(nullptr);
    }();
    if (trace == nullptr) return;
    double cpu_ms = 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
    std::fprintf(trace, "%.4f %.4f\n", frame_time, cpu_ms);
}

}  // namespace crv

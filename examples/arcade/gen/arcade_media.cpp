// Draws and synthesises every picture and sound of the arcade example, so
// that nothing in it comes from elsewhere:
//
//   arcade_media OUT_FOLDER
//
// writes into OUT_FOLDER the sprite strips (ship.png, rock.png,
// pebble.png, boom.png, shot.png, star.png: frames side by side, see
// arcade.cpp for their sizes), the sound effects (shot.wav, boom.wav,
// hit.wav: 16-bit mono WAVE) and a few bars of music that loop
// (music.wav). Pictures are RGBA PNG files with hard edges: a pixel is
// either opaque or fully transparent, which is what the run-time's
// pixel-exact collision tests (alpha not 0). Everything is computed from
// fixed numbers, so every build makes the same files. Exit status 0, or 1
// with the file and the reason when a file cannot be written.
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double k_pi = 3.14159265358979323846;

// ------------------------------------------------------------------ pictures

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

Rgba opaque(double r, double g, double b) {
    auto c = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
    return Rgba{c(r), c(g), c(b), 255};
}

struct Canvas {
    int width, height;
    std::vector<Rgba> pixels;
    Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
    void set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<std::size_t>(y) * width + x] = c;
    }
    Rgba get(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A small deterministic hash for noise: 0..1.
double noise(int x, int y, int seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

bool inside_polygon(const std::vector<std::array<double, 2>>& poly, double x, double y) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const auto &a = poly[i], &b = poly[j];
        if ((a[1] > y) != (b[1] > y) && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0]) in = !in;
    }
    return in;
}

bool write_png(const std::string& path, const Canvas& canvas) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width), static_cast<png_uint_32>(canvas.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < canvas.height; ++y) {
        // libpng takes non-const rows; it only reads them.
        auto* row = reinterpret_cast<png_bytep>(
            const_cast<Rgba*>(canvas.pixels.data() + static_cast<std::size_t>(y) * canvas.width));
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The player's ship, nose up, 48 x 48; the frames differ in the engine
// flames.
Canvas draw_ship() {
    constexpr int k_size = 48, k_frames = 4;
    Canvas c(k_size * k_frames, k_size);
    const std::vector<std::array<double, 2>> hull = {{24, 1},  {29, 14}, {31, 22}, {45, 33}, {45, 39}, {32, 36},
                                                     {30, 41}, {18, 41}, {16, 36}, {3, 39},  {3, 33},  {17, 22},
                                                     {19, 14}};
    for (int f = 0; f < k_frames; ++f) {
        const int ox = f * k_size;
        // Flames first, so that the hull covers their roots.
        const int flame = 3 + (f * 3) % 5;
        for (int side = 0; side < 2; ++side) {
            const int fx = side == 0 ? 20 : 28;
            for (int y = 40; y < std::min(k_size, 41 + flame); ++y)
                for (int dx = -2; dx <= 2; ++dx) {
                    double t = double(y - 40) / (flame + 1);
                    if (std::abs(dx) > 2 - t * 2) continue;
                    c.set(ox + fx + dx, y, std::abs(dx) == 0 && t < 0.5 ? opaque(255, 250, 200)
                                                                        : opaque(255, 150 - 80 * t, 30));
                }
        }
        for (int y = 0; y < k_size; ++y)
            for (int x = 0; x < k_size; ++x) {
                double px = x + 0.5, py = y + 0.5;
                if (!inside_polygon(hull, px, py)) continue;
                // Lit from the upper left: the left half brighter, darker
                // towards the tail.
                double light = 0.75 + 0.25 * (24 - px) / 24 - 0.2 * py / 48;
                Rgba colour = opaque(150 * light + 40, 165 * light + 40, 190 * light + 45);
                if (px < 8 || px > 40) colour = opaque(220 * light, 50 * light, 50 * light);  // wing tips
                if (std::abs(px - 24) < 1.1 && py > 8 && py < 36) colour = opaque(90, 100, 130);  // spine
                double ex = (px - 24) / 3.6, ey = (py - 19) / 6.5;
                if (ex * ex + ey * ey < 1) colour = ey < -0.3 && ex < 0 ? opaque(220, 255, 255) : opaque(40, 180, 230);
                c.set(ox + x, y, colour);
            }
    }
    return c;
}

// A rock turning: frames of size x size, each 360 / frames degrees further
// round. The outline is a lumpy circle; craters turn with it, the light
// stays at the upper left.
Canvas draw_rock(int size, int seed) {
    constexpr int k_frames = 8, k_lumps = 11;
    Canvas c(size * k_frames, size);
    std::array<double, k_lumps> radius{};
    for (int i = 0; i < k_lumps; ++i) radius[i] = (0.78 + 0.2 * noise(i, 7, seed)) * (size / 2.0 - 1);
    struct Crater {
        double angle, distance, r;
    };
    std::vector<Crater> craters;
    for (int i = 0; i < 4; ++i)
        craters.push_back({noise(i, 1, seed) * 2 * k_pi, (0.15 + 0.45 * noise(i, 2, seed)) * size / 2,
                           (0.08 + 0.08 * noise(i, 3, seed)) * size});
    for (int f = 0; f < k_frames; ++f) {
        const double turn = f * 2 * k_pi / k_frames;
        const double centre = size / 2.0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
                double d = std::hypot(dx, dy);
                double a = std::atan2(dy, dx) - turn;
                a = std::fmod(a + 4 * k_pi, 2 * k_pi);
                double pos = a / (2 * k_pi) * k_lumps;
                int i0 = static_cast<int>(pos) % k_lumps, i1 = (i0 + 1) % k_lumps;
                double t = pos - std::floor(pos);
                t = t * t * (3 - 2 * t);
                double edge = radius[i0] * (1 - t) + radius[i1] * t;
                if (d > edge) continue;
                double light = 0.55 + 0.45 * (-(dx + dy) / (edge * 1.42)) - 0.25 * std::pow(d / edge, 4);
                double grain = 0.9 + 0.2 * noise(x, y, seed + f);
                double r = 150 * light * grain, g = 118 * light * grain, b = 92 * light * grain;
                for (const Crater& k : craters) {
                    double cx = std::cos(k.angle + turn) * k.distance, cy = std::sin(k.angle + turn) * k.distance;
                    double e = std::hypot(dx - cx, dy - cy) / k.r;
                    if (e < 1) {
                        // The crater's rim catches the light on its lower right.
                        double rim = ((dx - cx) + (dy - cy)) / k.r;
                        double shade = e > 0.7 && rim > 0 ? 1.25 : 0.65;
                        r *= shade, g *= shade, b *= shade;
                    }
                }
                c.set(f * size + x, y, opaque(r + 18, g + 14, b + 12));
            }
    }
    return c;
}

// An explosion growing and burning out over 8 frames of 64 x 64.
Canvas draw_explosion() {
    constexpr int k_size = 64, k_frames = 8;
    Canvas c(k_size * k_frames, k_size);
    for (int f = 0; f < k_frames; ++f) {
        const double t = f / double(k_frames - 1);
        const double outer = 8 + 23 * std::sqrt(t);
        for (int y = 0; y < k_size; ++y)
            for (int x = 0; x < k_size; ++x) {
                double dx = x + 0.5 - 32, dy = y + 0.5 - 32;
                double d = std::hypot(dx, dy) / outer;
                double ragged = 0.85 + 0.3 * noise(static_cast<int>(std::atan2(dy, dx) * 6), f, 11);
                if (d > ragged) continue;
                // Holes open as it burns out.
                if (noise(x / 2, y / 2, 40 + f) < t * t * 0.9 + d * t * 0.4) continue;
                double heat = std::clamp(1.15 - d - 0.7 * t, 0.0, 1.0);
                c.set(f * k_size + x, y, opaque(255 * std::min(1.0, heat + 0.45), 255 * heat * heat + 40 * (1 - t),
                                                200 * std::pow(heat, 4)));
            }
        // Sparks flying out.
        for (int s = 0; s < 14; ++s) {
            double a = noise(s, 3, 21) * 2 * k_pi, v = 0.6 + 0.4 * noise(s, 4, 21);
            double r = (10 + 22 * t) * v * 1.1;
            int sx = static_cast<int>(32 + std::cos(a) * r), sy = static_cast<int>(32 + std::sin(a) * r);
            if (t < 0.95) {
                c.set(f * k_size + sx, sy, opaque(255, 240, 160));
                c.set(f * k_size + sx + 1, sy, opaque(255, 200, 90));
            }
        }
    }
    return c;
}

// The laser bolt: 2 frames of 6 x 18, a white core in a cyan glow.
Canvas draw_shot() {
    constexpr int k_w = 6, k_h = 18;
    Canvas c(k_w * 2, k_h);
    for (int f = 0; f < 2; ++f)
        for (int y = 0; y < k_h; ++y)
            for (int x = 0; x < k_w; ++x) {
                double dx = std::abs(x + 0.5 - 3);
                double taper = y < 3 ? 1.0 + (3 - y) * 0.6 : (y > 12 ? (y - 12) * 0.45 : 0);
                if (dx + taper > 3) continue;
                bool core = dx < 1.1 && (y + f) % 5 != 0;
                c.set(f * k_w + x, y, core ? opaque(235, 255, 255) : opaque(40, 220, 255));
            }
    return c;
}

// A star twinkling: 4 frames of 5 x 5, a dot whose cross grows and shrinks.
Canvas draw_star() {
    constexpr int k_size = 5;
    Canvas c(k_size * 4, k_size);
    for (int f = 0; f < 4; ++f) {
        const int arm = f == 0 ? 0 : (f == 2 ? 2 : 1);
        const double glow = 0.6 + 0.13 * arm;
        c.set(f * k_size + 2, 2, opaque(255 * glow + 60, 255 * glow + 60, 255));
        for (int a = 1; a <= arm; ++a) {
            Rgba dim = opaque(170 - a * 40, 180 - a * 40, 255 - a * 50);
            c.set(f * k_size + 2 - a, 2, dim);
            c.set(f * k_size + 2 + a, 2, dim);
            c.set(f * k_size + 2, 2 - a, dim);
            c.set(f * k_size + 2, 2 + a, dim);
        }
    }
    return c;
}

// ------------------------------------------------------------------ sounds

constexpr int k_rate = 22050;

bool write_wave(const std::string& path, const std::vector<double>& samples) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::vector<std::uint8_t> bytes;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(t[i]));
    };
    const auto data_size = static_cast<std::uint32_t>(samples.size() * 2);
    tag("RIFF");
    u32(36 + data_size);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(k_rate);
    u32(k_rate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(data_size);
    for (double s : samples) {
        auto v = static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 1.0) * 32767));
        u16(static_cast<std::uint16_t>(v));
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// White noise from the hash, -1..1.
double white(int i, int seed) { return noise(i, i >> 12, seed) * 2 - 1; }

// The laser: a square wave falling from 1500 to 350 Hz in a tenth of a
// second.
std::vector<double> synth_shot() {
    const int n = k_rate * 12 / 100;
    std::vector<double> s(static_cast<std::size_t>(n));
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / n;
        phase += (1500 - 1150 * t) / k_rate;
        double square = std::fmod(phase, 1.0) < 0.5 ? 1 : -1;
        s[static_cast<std::size_t>(i)] = 0.35 * square * (1 - t) * std::min(1.0, i / 40.0);
    }
    return s;
}

// A rock bursting: noise through a low-pass filter that closes, over a
// falling thump.
std::vector<double> synth_boom() {
    const int n = k_rate * 7 / 10;
    std::vector<double> s(static_cast<std::size_t>(n));
    double low = 0, phase = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / n;
        double cutoff = 0.35 * (1 - t) + 0.02;
        low += cutoff * (white(i, 5) - low);
        phase += (110 - 70 * t) / k_rate;
        double thump = std::sin(2 * k_pi * phase) * std::exp(-6 * t);
        s[static_cast<std::size_t>(i)] = (0.8 * low + 0.5 * thump) * std::exp(-4 * t) * std::min(1.0, i / 30.0);
    }
    return s;
}

// The ship hit: a falling saw tooth and crackle, longer and lower.
std::vector<double> synth_hit() {
    const int n = k_rate;
    std::vector<double> s(static_cast<std::size_t>(n));
    double phase = 0, low = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / n;
        phase += (320 * std::exp(-2.5 * t) + 30) / k_rate;
        double saw = 2 * std::fmod(phase, 1.0) - 1;
        low += 0.2 * (white(i, 9) - low);
        s[static_cast<std::size_t>(i)] = (0.4 * saw + 0.5 * low) * std::exp(-3 * t) * std::min(1.0, i / 30.0);
    }
    return s;
}

double note_hz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Four bars in A minor at 132 beats a minute (Am F C G): a bass in
// eighths, an arpeggio in sixteenths, kick, snare and hi-hat. Each sound
// ends inside its bar, so the piece loops without a click.
std::vector<double> synth_music() {
    constexpr double k_beat = 60.0 / 132;
    constexpr int k_bars = 4;
    const int n = static_cast<int>(k_beat * 4 * k_bars * k_rate);
    std::vector<double> mix(static_cast<std::size_t>(n), 0.0);
    auto add = [&](double start_s, double length_s, auto&& voice) {
        const int from = static_cast<int>(start_s * k_rate);
        const int count = static_cast<int>(length_s * k_rate);
        for (int i = 0; i < count && from + i < n; ++i) mix[static_cast<std::size_t>(from + i)] += voice(i, double(i) / count);
    };
    // Chord roots and the three notes of each chord (MIDI numbers).
    const int roots[k_bars] = {45, 41, 48, 43};
    const int chords[k_bars][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};
    for (int bar = 0; bar < k_bars; ++bar) {
        const double bar_start = bar * 4 * k_beat;
        for (int e = 0; e < 8; ++e) {
            const double hz = note_hz(roots[bar] - (e % 2 == 1 ? 0 : 12) + 12);
            add(bar_start + e * k_beat / 2, k_beat / 2 * 0.9, [hz](int i, double t) {
                double phase = std::fmod(hz * i / k_rate, 1.0);
                double triangle = 4 * std::abs(phase - 0.5) - 1;
                return 0.28 * triangle * (1 - t * 0.6) * std::min(1.0, i / 60.0) * std::min(1.0, (1 - t) * 20);
            });
        }
        static const int pattern[16] = {0, 1, 2, 1, 0, 1, 2, 3, 0, 1, 2, 1, 2, 3, 2, 1};
        for (int s = 0; s < 16; ++s) {
            const int step = pattern[s];
            const int midi = step == 3 ? chords[bar][0] + 12 : chords[bar][step] + 12;
            const double hz = note_hz(midi);
            add(bar_start + s * k_beat / 4, k_beat / 4 * 0.95, [hz](int i, double t) {
                double phase = std::fmod(hz * i / k_rate, 1.0);
                double pulse = phase < 0.25 ? 1 : -1;
                return 0.09 * pulse * std::exp(-4 * t) * std::min(1.0, i / 40.0) * std::min(1.0, (1 - t) * 30);
            });
        }
        for (int beat = 0; beat < 4; ++beat) {
            const double at = bar_start + beat * k_beat;
            if (beat % 2 == 0)
                add(at, 0.25, [](int i, double t) {
                    double phase = (120 * i - 80.0 * i * i / (2 * 0.25 * k_rate)) / k_rate;
                    return 0.55 * std::sin(2 * k_pi * phase) * std::exp(-5 * t);
                });
            else
                add(at, 0.15, [beat, bar](int i, double t) {
                    return 0.25 * white(i, 100 + bar * 4 + beat) * std::exp(-6 * t) * std::min(1.0, (1 - t) * 20);
                });
            add(at + k_beat / 2, 0.05, [beat, bar](int i, double t) {
                double v = white(i, 200 + bar * 4 + beat) - white(i + 1, 200 + bar * 4 + beat);
                return 0.08 * v * (1 - t);
            });
        }
    }
    return mix;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: arcade_media OUT_FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    struct Picture {
        const char* name;
        Canvas canvas;
    };
    const Picture pictures[] = {{"ship.png", draw_ship()},     {"rock.png", draw_rock(48, 1)},
                                {"pebble.png", draw_rock(32, 2)}, {"boom.png", draw_explosion()},
                                {"shot.png", draw_shot()},     {"star.png", draw_star()}};
    for (const Picture& p : pictures)
        if (!write_png(folder + p.name, p.canvas)) {
            std::fprintf(stderr, "arcade_media: %s%s: cannot be written\n", folder.c_str(), p.name);
            return 1;
        }
    struct Sound {
        const char* name;
        std::vector<double> samples;
    };
    const Sound sounds[] = {{"shot.wav", synth_shot()},
                            {"boom.wav", synth_boom()},
                            {"hit.wav", synth_hit()},
                            {"music.wav", synth_music()}};
    for (const Sound& s : sounds)
        if (!write_wave(folder + s.name, s.samples)) {
            std::fprintf(stderr, "arcade_media: %s%s: cannot be written\n", folder.c_str(), s.name);
            return 1;
        }
    return 0;
}

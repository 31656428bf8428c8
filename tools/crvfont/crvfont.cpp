// crvfont: renders a TrueType or OpenType font into a bitmap font image in
// the layout font_load reads.
//
//   crvfont FONT.ttf SIZE OUT.png [--fixed] [--outline N] [--chars RANGE]
//
// The image: 16 cells per row, cell k holding the character a game prints
// with byte k (taken as Latin-1, so byte k is Unicode character k). When
// every chosen code is below 128 and the cells are more than half as wide
// as tall, the image holds 8 rows of cells and is wider than tall (128
// glyphs); otherwise 16 rows, and it is kept taller than wide (256 glyphs),
// by extra empty lines at the bottom of each cell where needed. Glyphs are
// white with their coverage as alpha (outline pixels dark), on transparent
// black, written as an 8-bit RGBA PNG.
//
// Proportional widths: font_load measures a glyph from the first to the
// last cell column holding a pixel whose alpha is not 0 and adds one pixel
// of spacing when the cell has room. So that the measured advance is the
// font's own (rounded to pixels), each drawn glyph gets two marker pixels of
// alpha 1 in the bottom line of its cell, at the pen position (column 0)
// and at column advance - 2, and its ink is clipped to those columns. Alpha
// 1 stays below the alpha test's threshold and adds 1/255 when blended, so
// markers never show. The run-time itself makes a space as wide as "j".
//
// --fixed: all cells as wide as the widest advance, each glyph centred in
// its cell and marked across the whole cell, so proportional and fixed
// printing both advance by the cell width.
// --outline N: an N-pixel dark outline around every glyph; glyphs move N
// pixels right and down and advance 2N pixels more.
// --chars RANGE: the codes to draw, e.g. "32-126,160-255" (decimal or 0x
// hex, 0..255). Characters the font lacks leave their cells empty, which
// font_load gives the cell width as advance.
//
// Exit status 0 on success, 1 when a file cannot be read or written (the
// message names the file and the reason), 2 on wrong usage.
//
// File names are UTF-8 inside the tool. On Windows the arguments are taken
// from the wide command line and files are opened by their wide names, so
// that names outside the ANSI code page work; FreeType gets the font's
// bytes rather than its name, as its own file access uses narrow names.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/win32_api.hpp"

#include <shellapi.h>
#endif

namespace {

std::filesystem::path path_of(const std::string& name) {
#ifdef _WIN32
    return std::filesystem::path(crv::plat::win32::widen(name));
#else
    return std::filesystem::path(name);
#endif
}

std::FILE* open_file(const std::string& name, const char* mode) {
#ifdef _WIN32
    return _wfopen(path_of(name).c_str(), crv::plat::win32::widen(mode).c_str());
#else
    return std::fopen(name.c_str(), mode);
#endif
}

// The whole file; false with the reason when it cannot be read.
bool read_file(const std::string& name, std::vector<unsigned char>& bytes, std::string& reason) {
    std::FILE* f = open_file(name, "rb");
    if (f == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    bytes.clear();
    unsigned char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const bool ok = std::ferror(f) == 0;
    if (!ok) reason = std::strerror(errno);
    std::fclose(f);
    return ok;
}

constexpr const char* k_usage =
    "usage: crvfont FONT.ttf SIZE OUT.png [--fixed] [--outline N] [--chars RANGE]\n"
    "  Renders a TrueType/OpenType font of SIZE pixels (4..256) into a bitmap\n"
    "  font image (PNG) that font_load reads.\n"
    "  --fixed        every glyph as wide as the widest (fixed-width font)\n"
    "  --outline N    an N-pixel dark outline around each glyph (0..16)\n"
    "  --chars RANGE  the codes to draw, e.g. 32-126,160-255 (the default;\n"
    "                 decimal or 0x hex, 0..255, Latin-1)\n"
    "  --help, --version\n";

constexpr int k_max_cell_width = 255;  // a glyph's advance is one byte
constexpr int k_max_cell_height = 256;
constexpr std::uint8_t k_outline_grey = 8;

struct Options {
    std::string font, out;
    int size = 0;
    int outline = 0;
    bool fixed = false;
    bool chosen[256] = {};
};

int usage_error(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "crvfont: %s\n", message.c_str());
    std::fputs(k_usage, stderr);
    return 2;
}

int fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "crvfont: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

// A whole decimal or 0x-hex number within lo..hi.
bool parse_number(const std::string& text, int lo, int hi, int& out) {
    if (text.empty() || text.size() > 10) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = text.c_str() + (hex ? 2 : 0);
    if (*digits == 0 || *digits == '-' || *digits == '+' || std::isspace(static_cast<unsigned char>(*digits)))
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits, &end, hex ? 16 : 10);
    if (errno != 0 || *end != 0 || value < lo || value > hi) return false;
    out = static_cast<int>(value);
    return true;
}

// "A-B,C,D-E": ranges and single codes separated by commas.
bool parse_chars(const std::string& text, bool (&chosen)[256]) {
    std::fill(std::begin(chosen), std::end(chosen), false);
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        // The dash of a range: not a leading one (that would be a sign).
        const std::size_t dash = item.find('-', 1);
        int first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!parse_number(item, 0, 255, first)) return false;
            last = first;
        } else if (!parse_number(item.substr(0, dash), 0, 255, first) ||
                   !parse_number(item.substr(dash + 1), 0, 255, last) || last < first) {
            return false;
        }
        for (int c = first; c <= last; ++c) chosen[c] = true;
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

// 0 when the arguments are usable; otherwise the exit status (after --help
// and --version, 0 is returned through done).
int parse_args(int argc, char** argv, Options& o, bool& done) {
    done = false;
    std::vector<std::string> positional;
    bool chars_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name, std::string& out) {
            const std::string prefix = std::string(name) + "=";
            if (arg.compare(0, prefix.size(), prefix) == 0) {
                out = arg.substr(prefix.size());
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            std::fputs(k_usage, stdout);
            done = true;
            return 0;
        }
        if (arg == "--version") {
            std::printf("crvfont %s\n", CRV_VERSION);
            done = true;
            return 0;
        }
        if (arg == "--fixed") {
            o.fixed = true;
        } else if (arg == "--outline" || arg.rfind("--outline=", 0) == 0) {
            if (!value("--outline", text)) return usage_error("--outline needs a number");
            if (!parse_number(text, 0, 16, o.outline)) return usage_error("--outline " + text + ": not 0..16");
        } else if (arg == "--chars" || arg.rfind("--chars=", 0) == 0) {
            if (!value("--chars", text)) return usage_error("--chars needs a range");
            if (!parse_chars(text, o.chosen))
                return usage_error("--chars " + text + ": not a list of codes 0..255 such as 32-126,160-255");
            chars_given = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            return usage_error("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 3) return usage_error(positional.size() < 3 ? "" : "too many arguments");
    o.font = positional[0];
    o.out = positional[2];
    if (!parse_number(positional[1], 4, 256, o.size))
        return usage_error("SIZE " + positional[1] + ": not a pixel size 4..256");
    if (!chars_given) parse_chars("32-126,160-255", o.chosen);
    return 0;
}

const char* freetype_error(FT_Error error) {
#undef FTERRORS_H_
#define FT_ERROR_START_LIST switch (error) {
#define FT_ERRORDEF(e, v, s) \
    case v:                  \
        return s;
#define FT_ERROR_END_LIST }
#include FT_ERRORS_H
    return "unknown FreeType error";
}

// One character as FreeType renders it: 8-bit coverage, its pen advance
// and where the bitmap lies from the pen position on the baseline.
struct Glyph {
    bool present = false;
    int advance = 0;
    int left = 0, top = 0;  // bitmap left from the pen, top above the baseline
    int width = 0, rows = 0;
    std::vector<std::uint8_t> coverage;
};

// A character the font lacks, or cannot render, stays not present.
void render(FT_Face face, int code, Glyph& g) {
    if (FT_Get_Char_Index(face, static_cast<FT_ULong>(code)) == 0) return;
    if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER) != 0) return;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& b = slot->bitmap;
    g.present = true;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(b.width);
    g.rows = static_cast<int>(b.rows);
    g.coverage.assign(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* line = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
        for (int x = 0; x < g.width; ++x) {
            std::uint8_t v = 0;
            if (b.pixel_mode == FT_PIXEL_MODE_GRAY)
                v = static_cast<std::uint8_t>(b.num_grays == 256 ? line[x] : line[x] * 255 / (b.num_grays - 1));
            else if (b.pixel_mode == FT_PIXEL_MODE_MONO)
                v = (line[x / 8] >> (7 - x % 8) & 1) != 0 ? 255 : 0;
            g.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width) + static_cast<std::size_t>(x)] = v;
        }
    }
}

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    std::uint8_t* at(int x, int y) {
        return &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4];
    }
};

// Draws one glyph into the cell at (cx, cy): ink at pen x origin and
// baseline row baseline inside the cell, clipped to cell columns
// 0..ink_right and the cell's rows; then its outline and markers.
void draw_glyph(Image& image, const Glyph& g, int cx, int cy, int cw, int ch, int origin, int baseline, int ink_right,
                int outline, int marker_right) {
    std::vector<std::uint8_t> ink(static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch), 0);
    auto cell = [&](std::vector<std::uint8_t>& plane, int x, int y) -> std::uint8_t& {
        return plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(cw) + static_cast<std::size_t>(x)];
    };
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) {
            const int px = origin + g.left + x, py = baseline - g.top + y;
            if (px < 0 || px > ink_right || py < 0 || py >= ch) continue;
            cell(ink, px, py) = g.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width) +
                                           static_cast<std::size_t>(x)];
        }
    // The outline: the ink spread over a disc of radius outline.
    std::vector<std::uint8_t> ring(ink.size(), 0);
    if (outline > 0) {
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x <= ink_right; ++x) {
                std::uint8_t v = 0;
                for (int dy = -outline; dy <= outline; ++dy)
                    for (int dx = -outline; dx <= outline; ++dx) {
                        const int sx = x + dx, sy = y + dy;
                        if (dx * dx + dy * dy > outline * (outline + 1) || sx < 0 || sx > ink_right || sy < 0 ||
                            sy >= ch)
                            continue;
                        v = std::max(v, cell(ink, sx, sy));
                    }
                cell(ring, x, y) = v;
            }
    }
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x <= ink_right; ++x) {
            // White ink over the dark outline.
            const int a = cell(ink, x, y), o = cell(ring, x, y);
            const int alpha = a + o * (255 - a) / 255;
            if (alpha == 0) continue;
            const int grey = (255 * a + k_outline_grey * (alpha - a) + alpha / 2) / alpha;
            std::uint8_t* p = image.at(cx + x, cy + y);
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(grey);
            p[3] = static_cast<std::uint8_t>(alpha);
        }
    for (int x : {0, marker_right}) {
        std::uint8_t* p = image.at(cx + x, cy + ch - 1);
        if (p[3] == 0) {
            p[0] = p[1] = p[2] = 255;
            p[3] = 1;
        }
    }
}

// Writes beside the target first, so that a failed write leaves an
// existing file as it was.
bool write_png(const std::string& path, const Image& image, std::string& reason) {
    const std::string temporary = path + ".crvfont-" + std::to_string(std::random_device{}());
    std::FILE* f = open_file(temporary, "wb");
    if (f == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    bool ok = png_image_write_to_stdio(&png, f, 0, image.rgba.data(), 0, nullptr) != 0;
    if (!ok) reason = png.message;
    png_image_free(&png);
    if (std::fflush(f) != 0 && ok) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(f) != 0 && ok) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (ok) {
        // Replaces an existing file on every system (std::rename does not
        // on Windows).
        std::error_code error;
        std::filesystem::rename(path_of(temporary), path_of(path), error);
        if (error) {
            reason = error.message();
            ok = false;
        }
    }
    if (!ok) {
        std::error_code ignored;
        std::filesystem::remove(path_of(temporary), ignored);
    }
    return ok;
}

int run(const Options& o) {
    // Read here, so that a missing file gets the system's message (FreeType's
    // own is vaguer). A folder is no font on any system, though only some
    // refuse to open it.
    std::error_code error;
    if (std::filesystem::is_directory(path_of(o.font), error))
        return fail(o.font, "not a font FreeType can read (a folder)");
    std::vector<unsigned char> font_bytes;
    if (std::string reason; !read_file(o.font, font_bytes, reason)) return fail(o.font, "cannot be read: " + reason);
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return fail(o.font, "FreeType cannot start");
    struct LibraryGuard {
        FT_Library l;
        ~LibraryGuard() { FT_Done_FreeType(l); }
    } library_guard{library};
    FT_Face face = nullptr;
    const auto font_size = static_cast<FT_Long>(font_bytes.size());
    if (const FT_Error e = FT_New_Memory_Face(library, font_bytes.data(), font_size, 0, &face); e != 0)
        return fail(o.font, std::string("not a font FreeType can read (") + freetype_error(e) + ")");
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && face->charmap == nullptr)
        return fail(o.font, "has no character map");
    if (const FT_Error e = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(o.size)); e != 0)
        return fail(o.font, "cannot be set to " + std::to_string(o.size) + " pixels (" + freetype_error(e) + ")");

    std::vector<Glyph> glyphs(256);
    int drawn = 0, highest = 0;
    std::string missing;
    for (int code = 0; code < 256; ++code) {
        if (!o.chosen[code]) continue;
        highest = code;
        render(face, code, glyphs[static_cast<std::size_t>(code)]);
        if (glyphs[static_cast<std::size_t>(code)].present) ++drawn;
        else if (code >= 32 && code != 127 && (code < 128 || code >= 160)) missing += " " + std::to_string(code);
    }

    // Cell size: the widest advance, and the font's ascent and descent
    // stretched to whatever a glyph reaches beyond them.
    int widest = 1;
    int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    for (const Glyph& g : glyphs) {
        if (!g.present) continue;
        widest = std::max(widest, g.advance);
        if (g.rows > 0) {
            ascent = std::max(ascent, g.top);
            descent = std::max(descent, g.rows - g.top);
        }
    }
    const int cw = widest + 2 * o.outline;
    int ch = ascent + descent + 2 * o.outline;
    // A wide image holds 128 glyphs, a tall one 256.
    const bool tall = highest >= 128 || 2 * cw <= ch;
    if (tall && cw >= ch) ch = cw + 1;
    if (cw > k_max_cell_width || ch > k_max_cell_height)
        return fail(o.font, "at " + std::to_string(o.size) + " pixels its cells would be " + std::to_string(cw) +
                                " x " + std::to_string(ch) + " pixels, more than " +
                                std::to_string(k_max_cell_width) + " x " + std::to_string(k_max_cell_height));

    Image image;
    image.width = 16 * cw;
    image.height = (tall ? 16 : 8) * ch;
    image.rgba.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4, 0);
    const int baseline = o.outline + ascent;
    for (int code = 0; code < (tall ? 256 : 128); ++code) {
        const Glyph& g = glyphs[static_cast<std::size_t>(code)];
        if (!g.present || g.advance <= 0) continue;
        const int cx = (code % 16) * cw, cy = (code / 16) * ch;
        if (o.fixed) {
            draw_glyph(image, g, cx, cy, cw, ch, o.outline + (widest - g.advance) / 2, baseline, cw - 1, o.outline,
                       cw - 1);
        } else {
            // Lit up to column advance - 2, font_load's spacing pixel makes
            // the advance.
            const int advance = g.advance + 2 * o.outline;
            const int right = std::max(advance - 2, 0);
            draw_glyph(image, g, cx, cy, cw, ch, o.outline, baseline, right, o.outline, right);
        }
    }

    std::string reason;
    if (!write_png(o.out, image, reason)) return fail(o.out, "cannot be written: " + reason);
    std::printf("%s: %d glyphs in cells of %d x %d pixels (%d x %d image), %d characters drawn\n", o.out.c_str(),
                tall ? 256 : 128, cw, ch, image.width, image.height, drawn);
    if (!missing.empty()) std::printf("not in the font, left empty:%s\n", missing.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The arguments in UTF-8, from the wide command line.
    std::vector<std::string> utf8;
    if (int count = 0; wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) utf8.push_back(crv::plat::win32::narrow(wide[i]));
        LocalFree(wide);
    }
    std::vector<char*> pointers;
    for (std::string& arg : utf8) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    if (!utf8.empty()) {
        argc = static_cast<int>(utf8.size());
        argv = pointers.data();
    }
#endif
    Options options;
    bool done = false;
    if (const int status = parse_args(argc, argv, options, done); status != 0 || done) return status;
    return run(options);
}

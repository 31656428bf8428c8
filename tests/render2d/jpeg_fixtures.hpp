// JPEG files the decoder must refuse, made from a valid file by byte
// surgery, and a well-formed flat picture coded arithmetically (a few
// hundred bytes whatever its size). Shared by the image tests and the
// writer of the fuzz seed corpora.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace crv::test {

// The offset of the first marker FF `code` after the start marker, or 0.
inline std::size_t jpeg_marker(const std::vector<std::uint8_t>& jpg, std::uint8_t code) {
    for (std::size_t i = 2; i + 1 < jpg.size(); ++i)
        if (jpg[i] == 0xff && jpg[i + 1] == code) return i;
    return 0;
}

// Where the entropy-coded data of the first scan starts and ends (at the
// end marker FF D9 of a file written by libjpeg), or {0, 0}.
struct JpegScan {
    std::size_t begin = 0, end = 0;
};
inline JpegScan jpeg_scan(const std::vector<std::uint8_t>& jpg) {
    std::size_t sos = jpeg_marker(jpg, 0xda);
    if (sos == 0 || sos + 4 > jpg.size()) return {};
    std::size_t begin = sos + 2 + (static_cast<std::size_t>(jpg[sos + 2]) << 8 | jpg[sos + 3]);
    std::size_t end = jpg.size() - 2;
    if (begin >= end || jpg[end] != 0xff || jpg[end + 1] != 0xd9) return {};
    return {begin, end};
}

// The file cut in the middle of its scan, with nothing after.
inline std::vector<std::uint8_t> jpeg_cut_in_scan(std::vector<std::uint8_t> jpg) {
    JpegScan scan = jpeg_scan(jpg);
    jpg.resize((scan.begin + scan.end) / 2);
    return jpg;
}

// The file cut in the middle of its scan and closed there by the end
// marker: the decoder meets the marker before the scan's last block.
inline std::vector<std::uint8_t> jpeg_ended_by_marker(std::vector<std::uint8_t> jpg) {
    jpg = jpeg_cut_in_scan(std::move(jpg));
    jpg.push_back(0xff);
    jpg.push_back(0xd9);
    return jpg;
}

// 64 one bits (FF bytes, each stuffed with a 00) put in the middle of the
// scan: whatever code was being read, a code of sixteen ones follows,
// which no Huffman table may hold.
inline std::vector<std::uint8_t> jpeg_with_corrupt_scan(std::vector<std::uint8_t> jpg) {
    JpegScan scan = jpeg_scan(jpg);
    std::vector<std::uint8_t> ones;
    for (int i = 0; i < 8; ++i) ones.insert(ones.end(), {0xff, 0x00});
    auto at = jpg.begin() + static_cast<std::ptrdiff_t>((scan.begin + scan.end) / 2);
    // Not between an FF and its stuffed 00.
    if (*(at - 1) == 0xff) ++at;
    jpg.insert(at, ones.begin(), ones.end());
    return jpg;
}

// The same bytes with the baseline frame header (SOF0) declaring another
// size: the scan stays as small as it was.
inline std::vector<std::uint8_t> jpeg_declaring(std::vector<std::uint8_t> jpg, std::uint16_t w, std::uint16_t h) {
    std::size_t sof = jpeg_marker(jpg, 0xc0);
    if (sof == 0 || sof + 9 > jpg.size()) return jpg;
    jpg[sof + 5] = static_cast<std::uint8_t>(h >> 8);
    jpg[sof + 6] = static_cast<std::uint8_t>(h);
    jpg[sof + 7] = static_cast<std::uint8_t>(w >> 8);
    jpg[sof + 8] = static_cast<std::uint8_t>(w);
    return jpg;
}

#ifdef C_ARITH_CODING_SUPPORTED
// A w x h picture of one grey, arithmetic-coded: a well-formed file of a
// couple of hundred bytes, far past the size ratio the decoder accepts.
inline std::vector<std::uint8_t> flat_arithmetic_jpeg(std::uint16_t w, std::uint16_t h) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &bytes, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.arith_code = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3, 0x80);
    while (info.next_scanline < info.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> jpg(bytes, bytes + size);
    std::free(bytes);
    return jpg;
}
#endif

}  // namespace crv::test

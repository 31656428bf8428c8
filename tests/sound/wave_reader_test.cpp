#include "sound/wave_reader.hpp"

#include "tests/sound/wave_files.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace crv {
namespace {

using test::Bytes;
using test::chunk;
using test::FmtFields;
using test::fmt_body;
using test::riff;

const Bytes k_samples = test::pcm16({100, -100, 200, -200});

Bytes with_fmt(const FmtFields& f, const Bytes& samples = k_samples) {
    return riff({chunk("fmt ", fmt_body(f)), chunk("data", samples)});
}

bool reads(const Bytes& file) {
    WaveSound wave;
    return read_wave(file.data(), file.size(), wave);
}

TEST(WaveReader, ReadsFormatAndFindsTheSamples) {
    FmtFields f;
    f.channels = 2;
    f.rate = 44100;
    f.size = 18;  // the two extra bytes of a longer format block are skipped
    const Bytes samples = test::pcm16({1, 2, 3, 4, 5, 6});
    const Bytes file = riff({chunk("LIST", Bytes(10, 'x')), chunk("fmt ", fmt_body(f)), chunk("fact", Bytes(4, 0)),
                             chunk("data", samples), chunk("junk", Bytes(3, 0))});
    WaveSound wave;
    ASSERT_TRUE(read_wave(file.data(), file.size(), wave));
    EXPECT_EQ(wave.format.channels, 2);
    EXPECT_EQ(wave.format.samples_per_second, 44100);
    EXPECT_EQ(wave.format.bits_per_sample, 16);
    EXPECT_EQ(wave.format.block_align, 4);
    ASSERT_EQ(wave.sample_bytes, samples.size());
    EXPECT_EQ(Bytes(wave.samples, wave.samples + wave.sample_bytes), samples);
}

TEST(WaveReader, ExtensibleFormatIsTakenOnlyForPcm) {
    FmtFields f;
    f.tag = 0xFFFE;
    f.size = 40;
    Bytes body = fmt_body(f);
    const std::uint8_t pcm_guid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::copy(pcm_guid, pcm_guid + 16, body.begin() + 24);
    EXPECT_TRUE(reads(riff({chunk("fmt ", body), chunk("data", k_samples)})));
    body[24] = 0x03;  // IEEE float
    EXPECT_FALSE(reads(riff({chunk("fmt ", body), chunk("data", k_samples)})));
}

TEST(WaveReader, MoreThanTwoChannelsArePlayedAsStereoWhenTheFramesAreStereo) {
    FmtFields f;
    f.channels = 3;
    f.block_align = 4;
    WaveSound wave;
    const Bytes file = with_fmt(f);
    ASSERT_TRUE(read_wave(file.data(), file.size(), wave));
    EXPECT_EQ(wave.format.channels, 2);
}

struct Damaged {
    const char* what;
    std::function<Bytes()> make;
};

class WaveReaderRefuses : public ::testing::TestWithParam<Damaged> {};

TEST_P(WaveReaderRefuses, DamagedFile) { EXPECT_FALSE(reads(GetParam().make())) << GetParam().what; }

FmtFields fields(std::function<void(FmtFields&)> change) {
    FmtFields f;
    change(f);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveReaderRefuses,
    ::testing::Values(
        Damaged{"empty", [] { return Bytes{}; }},
        Damaged{"shorter than the RIFF header", [] { return Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}; }},
        Damaged{"no RIFF", [] { Bytes b = with_fmt({}); b[0] = 'X'; return b; }},
        Damaged{"RIFF of another form", [] { return riff({chunk("fmt ", fmt_body({})), chunk("data", k_samples)}, "AVI "); }},
        Damaged{"fmt shorter than 16 bytes", [] { return with_fmt(fields([](FmtFields& f) { f.size = 14; })); }},
        Damaged{"fmt reaching past the end", [] { return riff({chunk("fmt ", fmt_body({}), 4000)}); }},
        Damaged{"fmt size near 4 GiB", [] { return riff({chunk("fmt ", fmt_body({}), 0xFFFFFFF8)}); }},
        Damaged{"skipped chunk reaching past the end", [] { return riff({chunk("LIST", Bytes(8, 0), 0xFFFFFFFF), chunk("fmt ", fmt_body({}))}); }},
        Damaged{"data reaching past the end", [] { return riff({chunk("fmt ", fmt_body({})), chunk("data", k_samples, 1000)}); }},
        Damaged{"data before fmt", [] { return riff({chunk("data", k_samples), chunk("fmt ", fmt_body({}))}); }},
        Damaged{"no data chunk", [] { return riff({chunk("fmt ", fmt_body({}))}); }},
        Damaged{"empty data chunk", [] { return with_fmt({}, Bytes{}); }},
        Damaged{"header cut inside a chunk header", [] { Bytes b = with_fmt({}); b.resize(12 + 24 + 5); return b; }},
        Damaged{"no channels", [] { return with_fmt(fields([](FmtFields& f) { f.channels = 0; })); }},
        Damaged{"24 bits", [] { return with_fmt(fields([](FmtFields& f) { f.bits = 24; })); }},
        Damaged{"0 bits", [] { return with_fmt(fields([](FmtFields& f) { f.bits = 0; })); }},
        Damaged{"block alignment not channels x bytes", [] { return with_fmt(fields([](FmtFields& f) { f.block_align = 3; })); }},
        Damaged{"block alignment 0", [] { return with_fmt(fields([](FmtFields& f) { f.block_align = 0; })); }},
        Damaged{"rate 0", [] { return with_fmt(fields([](FmtFields& f) { f.rate = 0; })); }},
        Damaged{"rate beyond the output's range", [] { return with_fmt(fields([](FmtFields& f) { f.rate = 0x7fffffff; })); }},
        Damaged{"compressed (ADPCM)", [] { return with_fmt(fields([](FmtFields& f) { f.tag = 2; })); }},
        Damaged{"mu-law", [] { return with_fmt(fields([](FmtFields& f) { f.tag = 7; f.bits = 8; })); }}),
    [](const ::testing::TestParamInfo<Damaged>& info) {
        std::string name;
        for (const char* p = info.param.what; *p != 0; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// Every prefix of a good file and every single-byte change of its headers
// is read without touching a byte outside the buffer (the sanitizer build
// checks that); a cut file is never taken.
TEST(WaveReader, CutAndFlippedFilesStayInsideTheBuffer) {
    FmtFields f;
    f.size = 18;
    const Bytes good = riff({chunk("LIST", Bytes(6, 'i')), chunk("fmt ", fmt_body(f)), chunk("data", k_samples)});
    ASSERT_TRUE(reads(good));
    for (std::size_t n = 0; n < good.size(); ++n) {
        // An exact-size copy, so that a read past its end is a heap error.
        std::unique_ptr<std::uint8_t[]> cut(new std::uint8_t[n == 0 ? 1 : n]);
        std::copy(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n), cut.get());
        WaveSound wave;
        EXPECT_FALSE(read_wave(cut.get(), n, wave)) << "cut at " << n;
    }
    const std::size_t headers = good.size() - k_samples.size();
    for (std::size_t i = 0; i < headers; ++i) {
        for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7f}, std::uint8_t{0xff}}) {
            Bytes changed = good;
            changed[i] = value;
            std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[changed.size()]);
            std::copy(changed.begin(), changed.end(), copy.get());
            WaveSound wave;
            if (read_wave(copy.get(), changed.size(), wave)) {
                EXPECT_GE(wave.samples, copy.get());
                EXPECT_LE(wave.samples + wave.sample_bytes, copy.get() + changed.size());
            }
        }
    }
}

}  // namespace
}  // namespace crv

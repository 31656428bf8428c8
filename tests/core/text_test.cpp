#include "core/blowfish.hpp"
#include <corvane/core.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace crv {
namespace {

TEST(TextFunctions, MidText) {
    struct Case { int start, count; const char* result; };
    const Case cases[] = {{1, 3, "ell"}, {3, -1, "lo"}, {5, 2, ""}, {-1, 2, ""}, {0, 0, ""},
                          {2, 100, "llo"}, {0, -5, "hello"}};
    for (const Case& c : cases)
        EXPECT_STREQ(mid_text("hello", c.start, c.count).text(), c.result) << c.start << "," << c.count;
}

TEST(TextFunctions, FindForwardAndBackward) {
    DynString text("abcabc");
    struct Case { const char* pattern; int start, first, last; };
    const Case cases[] = {
        {"bc", 0, 1, -1}, {"bc", 2, 4, 1}, {"bc", 6, -1, 4}, {"bc", -1, 1, 4},
        {"", 0, -1, -1}, {"abcabc", 0, 0, 0}, {"abcabcd", 0, -1, -1}, {"x", -7, -1, -1},
        {"c", 3, 5, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find_text(text, c.pattern, c.start), c.first) << c.pattern << " from " << c.start;
        EXPECT_EQ(find_text_last(text, c.pattern, c.start), c.last) << c.pattern << " back from " << c.start;
    }
    EXPECT_EQ(find_text_last(text, "bc", 3), 1);
    EXPECT_EQ(find_text_last(text, "bc", 0), -1);
    // Horspool shifts on the window's last byte, including high bytes.
    DynString high("\xff\xfe\xff\xfe\xfd");
    EXPECT_EQ(find_text(high, "\xfe\xfd", 0), 3);
}

TEST(TextFunctions, ReplaceNeverRescansTheReplacement) {
    struct Case { const char* text; const char* pattern; const char* with; const char* result; };
    const Case cases[] = {
        {"aaa", "a", "aa", "aaaaaa"}, {"aab", "aab", "a", "a"}, {"a.b.c", ".", "/", "a/b/c"},
        {"hello world", "o", "0", "hell0 w0rld"}, {"abcabc", "bc", "XY", "aXYaXY"},
        {"abc", "", "x", "abc"}, {"abc", "b", "", "ac"}, {"xx", "x", "xyx", "xyxxyx"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(replace_text(c.text, c.pattern, c.with).text(), c.result) << c.text;
}

TEST(TextFunctions, TrimAndCase) {
    EXPECT_STREQ(trim_right("xx   ", " ").text(), "xx");
    EXPECT_STREQ(trim_left(" \t x ", " \t").text(), "x ");
    EXPECT_STREQ(trim_left("aaa", "a").text(), "");
    EXPECT_STREQ(trim_right("abc", "").text(), "abc");
    EXPECT_STREQ(to_upper_text("Hello, w\xe9rld").text(), "HELLO, W\xe9RLD");
    EXPECT_STREQ(to_lower_text("MiXeD").text(), "mixed");
}

TEST(TextFunctions, UrlEscaping) {
    struct Case { const char* plain; const char* encoded; };
    const Case cases[] = {
        {"\xe9", "%c3%a9"}, {" ", "%20"}, {"a-b_c.d~", "a%2db%5fc%2ed%7e"}, {"Az09", "Az09"},
        {"\x80\xbf\xc0\xff", "%c2%80%c2%bf%c3%80%c3%bf"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(url_encode(c.plain).text(), c.encoded) << c.plain;
        EXPECT_STREQ(url_decode(c.encoded).text(), c.plain) << c.encoded;
    }
    EXPECT_STREQ(url_decode("a+b").text(), "a b");
    EXPECT_STREQ(url_decode("%C3%A9").text(), "\xe9");
    EXPECT_STREQ(url_decode("%e2%82%ac").text(), " ");  // the euro sign is above 255
    EXPECT_STREQ(url_decode("x%41").text(), "xA");
    EXPECT_STREQ(url_decode("100%").text(), "100%");
    EXPECT_STREQ(url_decode("%4").text(), "%4");
    EXPECT_STREQ(url_decode("%zz").text(), "%zz");
    EXPECT_STREQ(url_decode("a%80b%f0%9f%98%80c%c3").text(), "abc");  // dropped bytes
}

TEST(TextFunctions, HexText) {
    const unsigned char data[] = {1, 171};
    EXPECT_STREQ(hex_text(data, 2, false).text(), "01ab");
    EXPECT_STREQ(hex_text(data, 2, true).text(), "01AB");
    EXPECT_STREQ(hex_text(data, 0, true).text(), "");
}

TEST(Cipher, PublishedTestVectors) {
    struct Case { std::uint64_t key, plain, cipher; };
    const Case cases[] = {
        {0x0000000000000000ull, 0x0000000000000000ull, 0x4EF997456198DD78ull},
        {0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0x51866FD5B85ECB8Aull},
        {0x3000000000000000ull, 0x1000000000000001ull, 0x7D856F9A613063F2ull},
        {0xFEDCBA9876543210ull, 0x0123456789ABCDEFull, 0x0ACEAB0FC6A0A28Dull},
    };
    for (const Case& c : cases) {
        std::uint8_t key[8];
        for (int i = 0; i < 8; ++i) key[i] = static_cast<std::uint8_t>(c.key >> (56 - 8 * i));
        CipherState state;
        cipher_init(state, key, 8);
        std::uint32_t l = static_cast<std::uint32_t>(c.plain >> 32), r = static_cast<std::uint32_t>(c.plain);
        cipher_encrypt_block(state, l, r);
        EXPECT_EQ((std::uint64_t{l} << 32) | r, c.cipher);
        cipher_decrypt_block(state, l, r);
        EXPECT_EQ((std::uint64_t{l} << 32) | r, c.plain);
    }
}

TEST(Cipher, TextRoundTripAndLayout) {
    for (const char* plain : {"a", "12345678", "123456789", "a somewhat longer secret text"}) {
        DynString hex = encrypt_text("key", plain);
        std::size_t blocks = (std::string(plain).size() + 7) / 8;
        EXPECT_EQ(hex.length(), blocks * 16) << plain;
        DynString upper = to_upper_text(hex);
        EXPECT_STREQ(decrypt_text("key", upper).text(), plain);
        EXPECT_STREQ(upper.text(), hex.text());  // the argument was lower-cased in place
    }
    // Each block is two little-endian halves: the published vector with key
    // FEDCBA9876543210, plain 01234567 89ABCDEF and cipher 0ACEAB0F C6A0A28D,
    // with every half stored low byte first.
    DynString key("\xfe\xdc\xba\x98\x76\x54\x32\x10");
    EXPECT_STREQ(encrypt_text(key, "\x67\x45\x23\x01\xef\xcd\xab\x89").text(), "0fabce0a8da2a0c6");
}

TEST(Cipher, BadInputIsHarmless) {
    EXPECT_STREQ(encrypt_text("", "plain").text(), "");
    DynString hex("abc");
    EXPECT_STREQ(decrypt_text("", hex).text(), "");
    DynString odd("0123456789abcdef0");
    decrypt_text("k", odd);  // odd digit count: the last one is ignored
    DynString junk("zz!!??xx");
    decrypt_text("k", junk);
    DynString none;
    EXPECT_STREQ(decrypt_text("k", none).text(), "");
}

TEST(TextFunctions, ErrorTextAndSlashes) {
    struct Case { int code; const char* text; };
    const Case cases[] = {{0, "0000 success"}, {3, "0003 no such file"}, {7, "0007 out of memory"},
                          {9, "0009 out of bounds"}, {20, "0020 out of data"}, {8, "0008 unknown error"}};
    for (const Case& c : cases) {
        set_error(c.code);
        EXPECT_STREQ(error_text().text(), c.text);
    }
    set_error(0);
    DynString path("a\\b\\c/d");
    EXPECT_EQ(slashes_forward(path), 7);
    EXPECT_STREQ(path.text(), "a/b/c/d");
    EXPECT_EQ(text_length(DynString("abc")), 3);
}

}  // namespace
}  // namespace crv

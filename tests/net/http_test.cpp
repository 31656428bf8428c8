#include <corvane/net.hpp>

#include "net/http_header.hpp"
#include "net/low_speed.hpp"
#include "net/socket.hpp"
#include "net_test_util.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/http_server.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace crv {
namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> folder_files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether the file holds exactly these bytes; a large file is not read.
bool holds(const std::string& path, const std::string& bytes) {
    std::error_code error;
    return std::filesystem::file_size(path, error) == bytes.size() && read_file(path) == bytes;
}

// Whether the file holds exactly the first size bytes of the test server's
// pattern; read in blocks, so that a large file costs no memory.
bool holds_pattern(const std::string& path, std::uint64_t size) {
    constexpr std::size_t k_block = test::HttpServer::k_pattern_period * 4096;
    std::string expected(k_block, '\0');
    for (std::size_t i = 0; i < k_block; ++i) expected[i] = test::HttpServer::pattern_byte(i);
    std::ifstream in(path, std::ios::binary);
    std::string block(k_block, '\0');
    std::uint64_t done = 0;
    while (in.read(block.data(), k_block) || in.gcount() > 0) {
        std::size_t n = static_cast<std::size_t>(in.gcount());
        if (done + n > size || std::memcmp(block.data(), expected.data(), n) != 0) return false;
        done += n;
    }
    return done == size;
}

// The process's resident memory in KiB, where the system tells it.
std::optional<long> resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return std::nullopt;
}

// A web server serving a temporary folder.
class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bytes;
        for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i % 7 == 3 ? 0 : 'a' + i % 26);
        binary_ = bytes;
        write_file(site_.file("zeros.bin"), binary_);
        for (int i = 0; i < 100; ++i) hundred_ += static_cast<char>('A' + i % 26);
        write_file(site_.file("hundred.txt"), hundred_);

        server_ = std::make_unique<test::HttpServer>(site_.path());
        port_ = server_->port();
        ASSERT_NE(port_, 0);
    }

    void TearDown() override {
        stop_server();
        http_set_idle_timeout(0);
        http_set_total_timeout(0);
        http_set_max_body_size(0);
    }

    void stop_server() {
        if (server_) server_->stop();
    }

    test::TempDir site_;
    test::TempDir work_;
    std::unique_ptr<test::HttpServer> server_;
    int port_ = 0;
    std::string binary_;
    std::string hundred_;
};

TEST_F(HttpTest, FileGetsEveryByteOfTheBody) {
    std::string target = work_.file("copy.bin");
    write_file(target, "old content that is longer than nothing");
    ASSERT_TRUE(http_get_file("127.0.0.1", "/zeros.bin", port_, target.c_str(), 2000));
    EXPECT_EQ(read_file(target), binary_);
    EXPECT_EQ(folder_files(work_.path()), std::vector<std::string>{"copy.bin"});
}

// A server that accepts and then says nothing, or trickles a byte at a
// time, ends the download at its deadline: the call fails with 10060 and
// leaves no partial file, nor touches an older file of the same name.
TEST_F(HttpTest, SilentAndTricklingServersFailAtTheirDeadlines) {
    const struct {
        const char* path;
        int idle_ms;
        int total_ms;
    } cases[] = {{"/silent", 300, 0}, {"/trickle", 300, 1000}};
    struct Result {
        bool ok = true;
        int error = 0;
    };
    test::TempDir folder;
    write_file(folder.file("kept.txt"), "an older download");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        http_set_idle_timeout(c.idle_ms);
        http_set_total_timeout(c.total_ms);
        for (const char* name : {"kept.txt", "new.txt"}) {
            std::string target = folder.file(name);
            auto result = test::returns_within(20000, [&] {
                bool ok = http_get_file("127.0.0.1", c.path, port_, target.c_str(), 2000);
                return Result{ok, sock_last_error()};
            }, [&] { stop_server(); });
            ASSERT_TRUE(result.has_value()) << name << ": still waiting long after the deadline";
            EXPECT_FALSE(result->ok) << name;
            EXPECT_EQ(result->error, k_sock_error_stalled) << name;
        }
        EXPECT_EQ(read_file(folder.file("kept.txt")), "an older download");
        EXPECT_EQ(folder_files(folder.path()), std::vector<std::string>{"kept.txt"});

        auto text = test::returns_within(20000, [&] {
            return std::string(http_get_text("127.0.0.1", c.path, port_, 1000, 2000).text());
        }, [&] { stop_server(); });
        ASSERT_TRUE(text.has_value()) << "still waiting long after the deadline";
        EXPECT_EQ(*text, "");
    }
}

// With default settings every download ends: slow servers at the
// low-speed window or the header's time limit, endless ones at the maximum
// body size or the header's size limit, cut ones at once; a large body at
// full speed still arrives whole. The rows run side by side, so that the
// table takes one window. A failed download leaves the older file of its
// name and no partial file, and memory stays flat throughout.
TEST_F(HttpTest, DefaultLimitsEndEveryHostileServer) {
    constexpr int k_window = k_http_low_speed_window_ms;
    constexpr int k_margin = 20000;
    constexpr std::uint64_t k_large = 100 * 1000 * 1000;
    const struct Row {
        const char* path;
        bool text;  // http_get_text instead of http_get_file
        int error;  // 0: the download succeeds
        int min_ms;
        int max_ms;
    } rows[] = {
        {"/trickle", false, k_sock_error_stalled, k_window, k_window + k_margin},
        {"/trickle", true, k_sock_error_stalled, k_window, k_window + k_margin},
        {"/slow-header", false, k_sock_error_stalled, k_window, k_window + k_margin},
        {"/endless-chunked", false, k_sock_error_stalled, k_window, k_window + k_margin},
        {"/endless", false, k_http_error_too_large, 0, 60000},
        {"/endless", true, k_http_error_too_large, 0, 60000},
        {"/endless-header", false, k_http_error_too_large, 0, k_margin},
        {"/huge-length", false, k_http_error_too_large, 0, k_margin},
        {"/over-length", false, k_http_error_too_large, 0, k_margin},
        {"/short-body", false, k_http_error_cut_short, 0, k_margin},
        {"/reset-mid-body", false, k_http_error_cut_short, 0, k_margin},
        {"/cut-header", false, k_http_error_cut_short, 0, k_margin},
        {"/pattern/100000000", false, 0, 0, 60000},
    };
    constexpr std::size_t k_rows = std::size(rows);
    struct Result {
        std::atomic<bool> done{false};
        bool ok = false;
        int error = 0;
        std::string text;
        long long elapsed_ms = 0;
    };
    std::vector<Result> results(k_rows);
    auto target = [&](std::size_t i) { return work_.file("row" + std::to_string(i)); };
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < k_rows; ++i) {
        if (rows[i].text) continue;
        write_file(target(i), "an older download");
        targets.push_back("row" + std::to_string(i));
    }
    std::sort(targets.begin(), targets.end());

    const std::optional<long> memory_before = resident_kib();
    long memory_peak = memory_before.value_or(0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < k_rows; ++i) {
        threads.emplace_back([&, i] {
            Result& r = results[i];
            using Clock = std::chrono::steady_clock;
            const Clock::time_point start = Clock::now();
            if (rows[i].text) {
                r.text = http_get_text("127.0.0.1", rows[i].path, port_, 1000, 2000).text();
                r.ok = !r.text.empty();
            } else {
                r.ok = http_get_file("127.0.0.1", rows[i].path, port_, target(i).c_str(), 2000);
            }
            r.error = sock_last_error();
            r.elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            r.done = true;
        });
    }
    int longest = 0;
    for (const Row& row : rows) longest = std::max(longest, row.max_ms);
    auto next_sample = std::chrono::steady_clock::now();
    bool all_done = test::wait_until([&] {
        // Now and then: reading the figure takes memory of its own.
        if (std::chrono::steady_clock::now() >= next_sample) {
            next_sample += std::chrono::milliseconds(100);
            if (auto now = resident_kib()) memory_peak = std::max(memory_peak, *now);
        }
        return std::all_of(results.begin(), results.end(), [](const Result& r) { return r.done.load(); });
    }, longest);
    // A row still running has no bound at all: stopping the server ends it.
    if (!all_done) stop_server();
    for (std::thread& t : threads) t.join();

    for (std::size_t i = 0; i < k_rows; ++i) {
        const Row& row = rows[i];
        const Result& r = results[i];
        SCOPED_TRACE(std::string(row.path) + (row.text ? " (text)" : " (file)"));
        EXPECT_LE(r.elapsed_ms, row.max_ms) << "ended late or not at all";
        EXPECT_GE(r.elapsed_ms, row.min_ms) << "ended before its limit";
        if (row.error == 0) {
            EXPECT_TRUE(r.ok);
            EXPECT_TRUE(holds_pattern(target(i), k_large)) << "not the whole body";
        } else {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, row.error);
            if (!row.text) {
                EXPECT_TRUE(holds(target(i), "an older download"));
            }
        }
    }
    EXPECT_EQ(folder_files(work_.path()), targets) << "a temporary file was left";
    if (memory_before) {
        EXPECT_LT(memory_peak - *memory_before, 64 * 1024) << "KiB more memory at the peak";
    }
}

// The maximum body size is the caller's to set; a "Content-Length" above
// it fails before any body byte is taken, and 0 restores the default.
TEST_F(HttpTest, MaximumBodySizeEndsLargerBodies) {
    const struct {
        const char* path;
        bool ok;
    } cases[] = {{"/pattern/5000", true}, {"/zeros.bin", true}, {"/pattern/5001", false}, {"/endless", false}};
    http_set_max_body_size(5000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string target = work_.file("body");
        EXPECT_EQ(http_get_file("127.0.0.1", c.path, port_, target.c_str(), 2000), c.ok);
        if (!c.ok) {
            EXPECT_EQ(sock_last_error(), k_http_error_too_large);
        }
        EXPECT_EQ(http_get_text("127.0.0.1", c.path, port_, 10, 2000).length() > 0, c.ok);
    }
    http_set_max_body_size(0);
    std::string target = work_.file("body");
    ASSERT_TRUE(http_get_file("127.0.0.1", "/pattern/5001", port_, target.c_str(), 2000));
    EXPECT_TRUE(holds_pattern(target, 5001));
}

// A temporary file belongs to its download for as long as that runs, in
// this process or another; once the process that wrote it is killed, the
// next download of the same name removes it.
TEST_F(HttpTest, KilledDownloadsLeaveNoTemporaryFileForLong) {
    test::TempDir folder;
    const std::string target = folder.file("level.pak");
    auto temporaries = [&] {
        std::vector<std::string> names = folder_files(folder.path());
        std::erase_if(names, [](const std::string& n) { return n.rfind("level.pak.part", 0) != 0; });
        return names;
    };
    // Downloads that stay under way until this server stops.
    test::HttpServer holding(site_.path());
    ASSERT_NE(holding.port(), 0);
    const std::string holding_port = std::to_string(holding.port());
    test::ChildProcess child({HTTP_CHILD, "127.0.0.1", "/silent", holding_port, target});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(test::wait_until([&] { return temporaries().size() == 1; }, 20000));
    struct Download {
        test::HttpServer& server;
        std::thread thread;
        ~Download() {
            server.stop();
            if (thread.joinable()) thread.join();
        }
    } own{holding, std::thread([&] {
              EXPECT_FALSE(http_get_file("127.0.0.1", "/silent", holding.port(), target.c_str(), 2000));
          })};
    ASSERT_TRUE(test::wait_until([&] { return temporaries().size() == 2; }, 20000));
    const std::vector<std::string> live = temporaries();

    ASSERT_TRUE(http_get_file("127.0.0.1", "/hundred.txt", port_, target.c_str(), 2000));
    EXPECT_EQ(read_file(target), hundred_);
    EXPECT_EQ(temporaries(), live) << "a live download's file was removed";

    EXPECT_TRUE(child.kill());
    holding.stop();
    own.thread.join();
    EXPECT_EQ(temporaries().size(), 1u) << "the killed download's file";
    ASSERT_TRUE(http_get_file("127.0.0.1", "/zeros.bin", port_, target.c_str(), 2000));
    EXPECT_EQ(read_file(target), binary_);
    EXPECT_EQ(folder_files(folder.path()), std::vector<std::string>{"level.pak"});
}

// The response header as downloads read it: where it ends, its size limit
// and the body length it announces, the same however the bytes are cut.
TEST(HttpHeaderTest, LengthLimitAndEnd) {
    constexpr std::int64_t k_none = -1;
    constexpr std::size_t k_max = k_http_max_header_bytes;
    const struct {
        std::string bytes;
        std::size_t max;
        std::size_t header;  // bytes that belong to the header
        bool done;
        std::int64_t length;  // k_none also where the length is invalid
        bool invalid;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 42\r\n\r\nbody", k_max, 39, true, 42, false},
        {"HTTP/1.0 200 OK\ncontent-LENGTH:7\n\n", k_max, 34, true, 7, false},
        {"Content-Length:\t5 \r\nContent-Length: 5\r\n\r\n", k_max, 41, true, 5, false},
        {"Content-Length: 5, 5\r\n\r\n", k_max, 24, true, 5, false},
        {"Content-Length: 99999999999999999999999\r\n\r\n", k_max, 43, true, HttpHeader::k_huge, false},
        {"X-Content-Length: 5\r\nContent-Lengths: 6\r\nContent-Length : 7\r\n\r\n", k_max, 63, true, k_none, false},
        {"Content-Length: 5\r\nContent-Length: 6\r\n\r\n", k_max, 40, true, k_none, true},
        {"Content-Length: 5x\r\n\r\n", k_max, 22, true, k_none, true},
        {"Content-Length: -1\r\n\r\n", k_max, 22, true, k_none, true},
        {"Content-Length: 1 2\r\n\r\n", k_max, 23, true, k_none, true},
        {"Content-Length:\r\n\r\n", k_max, 19, true, k_none, true},
        // The body of a chunked response is framed on the wire: no length.
        {"Transfer-Encoding: chunked\r\nContent-Length: x\r\n\r\n1\r\n", k_max, 49, true, k_none, false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n", k_max, 36, false, k_none, false},
        // A header of exactly its limit ends; one byte more is too long.
        {"HTTP/1.0 200 OK\r\nX-Pad: 123456789012\r\n\r\n", 40, 40, true, k_none, false},
        {"HTTP/1.0 200 OK\r\nX-Pad: 1234567890123\r\n\r\n", 40, 40, false, k_none, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        for (std::size_t block : {c.bytes.size(), std::size_t{1}, std::size_t{7}}) {
            HttpHeader header(c.max);
            std::size_t taken = 0;
            for (std::size_t at = 0; at < c.bytes.size() && !header.done() && !header.too_long(); at += block)
                taken += header.consume(c.bytes.data() + at, std::min(block, c.bytes.size() - at));
            EXPECT_EQ(taken, c.header) << "blocks of " << block;
            EXPECT_EQ(header.done(), c.done);
            EXPECT_EQ(header.too_long(), !c.done && c.header == c.max);
            if (!c.done) continue;
            EXPECT_EQ(header.length_invalid(), c.invalid);
            if (!c.invalid) {
                EXPECT_EQ(header.content_length(), c.length);
            }
        }
    }
}

// The low-speed rule looks at the last window only, and never ends a
// transfer within its first window or one that got its minimum in time.
TEST(LowSpeedRuleTest, MinimumBytesInTheLastWindow) {
    {
        LowSpeedRule nothing(30000, 1024);
        EXPECT_FALSE(nothing.too_slow(29999));
        EXPECT_TRUE(nothing.too_slow(30000));
    }
    {
        LowSpeedRule short_by_one(30000, 1024);
        short_by_one.add(0, 1000);
        short_by_one.add(29000, 23);
        EXPECT_TRUE(short_by_one.too_slow(30000));
        LowSpeedRule enough(30000, 1024);
        enough.add(0, 1000);
        enough.add(29000, 24);
        EXPECT_FALSE(enough.too_slow(30000));
    }
    {
        // A burst is remembered for a window (and at most one slot more).
        LowSpeedRule burst(30000, 1024);
        burst.add(5000, 1 << 20);
        EXPECT_FALSE(burst.too_slow(35000));
        EXPECT_TRUE(burst.too_slow(36000));
    }
    {
        // 40 bytes a second pass for ever; 30 bytes a second do not.
        LowSpeedRule steady(30000, 1024), trickle(30000, 1024);
        bool steady_slow = false;
        std::int64_t trickle_end = 0;
        for (std::int64_t ms = 0; ms < 600000; ms += 250) {
            steady.add(ms, 10);
            steady_slow = steady_slow || steady.too_slow(ms);
            trickle.add(ms, ms % 1000 == 0 ? 30 : 0);
            if (trickle_end == 0 && trickle.too_slow(ms)) trickle_end = ms;
        }
        EXPECT_FALSE(steady_slow);
        EXPECT_EQ(trickle_end, 30000);
    }
}

TEST_F(HttpTest, ErrorPageIsSavedLikeAnyBody) {
    std::string target = work_.file("missing.html");
    ASSERT_TRUE(http_get_file("127.0.0.1", "/no-such-file", port_, target.c_str(), 2000));
    EXPECT_NE(read_file(target).find("404"), std::string::npos);
}

TEST_F(HttpTest, TextStopsAtTheZeroByteAndAtTheMaximumLength) {
    EXPECT_EQ(std::string(http_get_text("127.0.0.1", "/zeros.bin", port_, 1000, 2000).text()), binary_.substr(0, 3));
    std::string hundred = http_get_text("127.0.0.1", "/hundred.txt", port_, 1000, 2000).text();
    EXPECT_EQ(hundred, hundred_);
    EXPECT_EQ(std::string(http_get_text("127.0.0.1", "/hundred.txt", port_, 10, 2000).text()), hundred_.substr(0, 10));
    EXPECT_EQ(std::string(http_get_text("127.0.0.1", "/hundred.txt", port_, 0, 2000).text()), "");
}

TEST_F(HttpTest, HeaderEndedByBareLineFeeds) {
    EXPECT_EQ(std::string(http_get_text("127.0.0.1", "/lf-header", port_, 1000, 2000).text()),
              "first line\nsecond line");
}

TEST_F(HttpTest, BackslashesInTheFileNameAreFolderSeparators) {
    std::string target = work_.path() + "\\copy.txt";
    ASSERT_TRUE(http_get_file("127.0.0.1", "/hundred.txt", port_, target.c_str(), 2000));
    EXPECT_EQ(read_file(work_.file("copy.txt")), hundred_);
}

TEST(HttpFailures, RefusedTargetsAndServers) {
    ASSERT_TRUE(sock_init());
    int listener = sock_listen(0);
    ASSERT_GE(listener, 0);
    // An in-memory target is refused before anything is sent.
    EXPECT_FALSE(http_get_file("127.0.0.1", "/", sock_port(listener), "mem://00000010.12345678", 2000));
    EXPECT_EQ(sock_accept(listener, nullptr), -1);
    EXPECT_EQ(sock_last_error(), 10035);

    test::TempDir dir;
    EXPECT_FALSE(http_get_file("127.0.0.1", "/", sock_port(listener), (dir.path() + "/no/such/dir/f").c_str(), 2000));
    EXPECT_EQ(sock_accept(listener, nullptr), -1);

    int closed_port = test::free_tcp_port();
    EXPECT_FALSE(http_get_file("127.0.0.1", "/", closed_port, dir.file("f").c_str(), 2000));
    EXPECT_EQ(sock_last_error(), 10061);
    EXPECT_EQ(std::string(http_get_text("127.0.0.1", "/", closed_port, 100, 2000).text()), "");
    sock_shutdown_all();
}

}  // namespace
}  // namespace crv

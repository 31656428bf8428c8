#include <corvane/net.hpp>

#include "net/socket.hpp"
#include "net_test_util.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/http_server.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

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

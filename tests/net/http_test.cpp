#include "net/http.hpp"

#include "net/socket.hpp"
#include "net_test_util.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace crv {
namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A web server in a process of its own, serving a temporary folder.
class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bytes;
        for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i % 7 == 3 ? 0 : 'a' + i % 26);
        binary_ = bytes;
        write_file(site_.file("zeros.bin"), binary_);
        for (int i = 0; i < 100; ++i) hundred_ += static_cast<char>('A' + i % 26);
        write_file(site_.file("hundred.txt"), hundred_);

        std::string port_file = work_.file("port");
        std::vector<std::string> args = {"python3", HTTP_SERVER_SCRIPT, site_.path(), port_file};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawnp(&server_, "python3", nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(test::wait_until([&] { return !read_file(port_file).empty(); }, 10000));
        port_ = std::stoi(read_file(port_file));
    }

    void TearDown() override {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            int status = 0;
            waitpid(server_, &status, 0);
        }
    }

    test::TempDir site_;
    test::TempDir work_;
    pid_t server_ = 0;
    int port_ = 0;
    std::string binary_;
    std::string hundred_;
};

TEST_F(HttpTest, FileGetsEveryByteOfTheBody) {
    std::string target = work_.file("copy.bin");
    write_file(target, "old content that is longer than nothing");
    ASSERT_TRUE(http_get_file("127.0.0.1", "/zeros.bin", port_, target.c_str(), 2000));
    EXPECT_EQ(read_file(target), binary_);
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

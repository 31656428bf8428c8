// The download example against a local web server: the file arrives
// intact under the name asked for, the bar shows the progress on the way
// and the result at the end; failures leave an existing file alone.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/http_server.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <memory>
#include <string>
#include <vector>

namespace crv {
namespace {

constexpr int k_bar_row = 104;  // through the middle of the progress bar

class DownloadExample : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(17);
        for (int i = 0; i < 3000000; ++i) data_ += static_cast<char>(random() & 0xff);
        std::ofstream(site_.file("data.bin"), std::ios::binary) << data_;
        server_ = std::make_unique<test::HttpServer>(site_.path());
        ASSERT_NE(server_->port(), 0);
        port_ = std::to_string(server_->port());
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + port_ + path; }

    test::ChildResult run(const std::vector<std::string>& args, const std::string& capture = "") {
        std::vector<std::string> argv = {CRV_EXAMPLE_DOWNLOAD};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::pair<std::string, std::string>> env = {{"CORVANE_AUTOMATION", "1"},
                                                                {test::k_temp_variable, work_.path()}};
        if (!capture.empty()) env.emplace_back("CORVANE_CAPTURE_FRAMES", work_.path() + ":" + capture);
        return test::run_child(argv, env, false, 60000);
    }

    // Pixels of the bar's middle row drawn in the bar's green.
    static int bar_filled(const test::Picture& p) {
        return p.count(20, k_bar_row, 620, k_bar_row + 1, [](const std::uint8_t* c) {
            return c[0] < 100 && c[1] > 150 && c[2] < 130;
        });
    }

    test::TempDir site_, work_;
    std::unique_ptr<test::HttpServer> server_;
    std::string port_;
    std::string data_;
};

TEST_F(DownloadExample, SavesTheFileIntactAndShowsItsProgress) {
    // Frames 10, 20, ... are captured; the example ends 20 frames after the
    // download, so the last one captured shows the result.
    std::string frames;
    for (int f = 10; f <= 3000; f += 10) frames += (frames.empty() ? "" : ",") + std::to_string(f);
    const std::string target = work_.file("copy.bin");
    test::ChildResult r = run({url("/data.bin"), target, "20"}, frames);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("saved 3000000 bytes to " + target), std::string::npos) << r.output;
    EXPECT_TRUE(test::read_whole(target) == data_);
    EXPECT_FALSE(std::filesystem::exists(target + ".part"));

    // At most 64 KiB a frame: early on the bar is partly filled.
    test::Picture early, last;
    ASSERT_TRUE(test::read_ppm(work_.file("frame_10.ppm"), early));
    EXPECT_LT(bar_filled(early), 600 / 3);
    int last_frame = 10;
    while (std::filesystem::exists(work_.file("frame_" + std::to_string(last_frame + 10) + ".ppm"))) last_frame += 10;
    ASSERT_GT(last_frame, 10);
    ASSERT_TRUE(test::read_ppm(work_.file("frame_" + std::to_string(last_frame) + ".ppm"), last));
    EXPECT_GE(bar_filled(last), 598);
    // The result line under the bar.
    EXPECT_GT(last.count(20, 155, 620, 175, [](const std::uint8_t* c) { return c[0] + c[1] + c[2] > 400; }), 100);
}

TEST_F(DownloadExample, FailuresAreShownAndLeaveAnOlderFileAlone) {
    const std::string target = work_.file("keep.bin");
    struct Case {
        std::string address;
        std::string message;
    } cases[] = {
        {url("/missing.bin"), "failed: the server answered \"HTTP/1.0 404"},
        {"http://127.0.0.1:1/data.bin", "failed: cannot connect"},
        {"ftp://127.0.0.1/data.bin", "not an http:// address"},
        {"http://127.0.0.1:99999/data.bin", "not an http:// address"},
    };
    for (const Case& c : cases) {
        std::ofstream(target, std::ios::binary) << "older";
        test::ChildResult r = run({c.address, target, "2"});
        EXPECT_EQ(r.exit_code, 0) << c.address << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.address << ": " << r.output;
        EXPECT_EQ(test::read_whole(target), "older") << c.address;
        EXPECT_FALSE(std::filesystem::exists(target + ".part")) << c.address;
    }
}

}  // namespace
}  // namespace crv

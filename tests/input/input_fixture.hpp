// Test support for the display tests: the game window (made once per test
// program), a fresh input object with its devices as the global one for
// each test, the window focused and the pointer over it, and helpers that
// drive the X server's keyboard and mouse with xdotool.
#pragma once

#include "input/input.hpp"
#include "render2d/rainbows.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace crv::test {

constexpr int k_window_width = 320;
constexpr int k_window_height = 240;

class InputDisplayTest : public ::testing::Test {
public:
    // Runs xdotool with these arguments; fails the test when it fails. Any
    // thread.
    static void xdotool(const std::string& args);

protected:
    void SetUp() override;
    void TearDown() override;

    OpenGLRainbows& renderer() { return *renderer_; }
    InputSystem& input() { return *input_; }
    std::string window_id() const;

    // Pumps the window's messages and polls the keyboard until done()
    // holds or the time is up; whether it came to hold.
    bool eventually(const std::function<bool()>& done, int timeout_ms = 3000);
    // Moves the pointer to a client position of the window and waits until
    // the run-time sees it there.
    void pointer_to(int x, int y);

private:
    OpenGLRainbows* renderer_ = nullptr;
    std::unique_ptr<InputSystem> input_;
};

}  // namespace crv::test

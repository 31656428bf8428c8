// Test support: a real game window with its OpenGL context for in-process
// rendering tests (needs an X server: label such tests "display"). The
// window is made the way start-up makes it and lives for the whole test
// program; each test starts from a cleared picture and the default state.
#pragma once

#include "render2d/rainbows.hpp"

#include <gtest/gtest.h>

namespace crv::test {

// Creates the window on first use (width x height client area) and returns
// the renderer; later calls resize it. Fails the test when no window can be
// made.
OpenGLRainbows& gl_renderer(int width = 64, int height = 48);

// A fixture that clears the picture and resets the 2D state before each
// test.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    OpenGLRainbows& r() { return *renderer_; }

private:
    OpenGLRainbows* renderer_ = nullptr;
};

}  // namespace crv::test

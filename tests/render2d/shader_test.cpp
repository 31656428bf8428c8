// Shader programs through the ARB shader-object entry points.
#include "render2d/rainbows.hpp"
#include "sys/resource.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crv {
namespace {

using test::Bytes;

std::vector<std::string> messages;
void collect(const char* text) { messages.emplace_back(text); }

// Swaps red and blue of the texture and scales green by the uniform.
const char k_swap[] =
    "uniform sampler2D TextureID1;\n"
    "uniform float tint;\n"
    "void main() {\n"
    "    vec4 c = texture2D(TextureID1, gl_TexCoord[0].st);\n"
    "    gl_FragColor = vec4(c.b, c.g * tint, c.r, c.a);\n"
    "}\n";

class Shaders : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (!r().ext.shader_objects()) GTEST_SKIP() << "no shader objects on this driver";
        messages.clear();
        r().shader_message = collect;
        fragment_ = dir_.file("swap.frag");
        test::write_file(fragment_, Bytes(k_swap, k_swap + sizeof k_swap - 1));
    }
    void TearDown() override {
        r().shader_use(-1);
        r().shader_message = nullptr;
        r().free_sprite(30);
    }
    std::string source_file(const char* name, const std::string& text) {
        test::write_file(dir_.file(name), Bytes(text.begin(), text.end()));
        return dir_.file(name);
    }
    test::TempDir dir_;
    std::string fragment_;
};

TEST_F(Shaders, FragmentProgramChangesColoursGolden) {
    ASSERT_TRUE(r().shader_load(3, "", fragment_.c_str()));
    EXPECT_TRUE(messages.empty());
    Bytes picture = test::solid(16, 16, 0x2080ff);  // red ff, green 80, blue 20
    for (int x = 0; x < 16; ++x) test::put(picture, 16, x, 0, 0xffffff);
    ASSERT_TRUE(r().sprite_from_pixels(30, test::pixel_array(picture), 16, 16));
    r().sprite_draw(30, 4, 4);
    r().shader_use(3);
    EXPECT_EQ(r().current_shader(), 3);
    r().shader_set_float("tint", 0.5f);
    r().sprite_draw(30, 28, 4);
    r().shader_set_float("missing", 1.0f);
    EXPECT_EQ(messages, (std::vector<std::string>{"undefined uniform:", "missing"}));
    r().shader_use(255);
    EXPECT_EQ(r().current_shader(), -1);
    r().sprite_draw(30, 28, 26);
    std::int32_t swapped = r().read_pixel(30, 10);
    EXPECT_EQ(swapped & 0xff, 0x20);
    EXPECT_NEAR((swapped >> 8) & 0xff, 0x40, 1);
    EXPECT_EQ((swapped >> 16) & 0xff, 0xff);
    EXPECT_EQ(r().read_pixel(30, 30), 0x2080ff);
    EXPECT_TRUE(test::matches_golden(r(), "shader_colours"));
}

TEST_F(Shaders, CompileErrorsAndTheFixedPipeline) {
    std::string broken = source_file("broken.frag", "void main() { gl_FragColor = vec4(1.0) }\n");
    EXPECT_FALSE(r().shader_load(4, "", broken.c_str()));
    ASSERT_GE(messages.size(), 2u);
    EXPECT_FALSE(messages[0].empty()) << "the compiler's log comes first";
    EXPECT_EQ(messages.back(), "fragment shader failed");

    messages.clear();
    std::string bad_vertex = source_file("broken.vert", "void main() { gl_Position = ; }\n");
    EXPECT_FALSE(r().shader_load(4, bad_vertex.c_str(), fragment_.c_str()));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "vertex shader failed");
    EXPECT_FALSE(r().shader_load(255, "", fragment_.c_str()));

    // Vertex and fragment shaders from memory names link into one program.
    std::string vertex = "void main() { gl_Position = ftransform(); gl_TexCoord[0] = gl_MultiTexCoord0; }\n";
    std::string in_memory = memory_name(vertex.data(), static_cast<std::int32_t>(vertex.size()));
    messages.clear();
    EXPECT_TRUE(r().shader_load(5, in_memory.c_str(), fragment_.c_str())) << (messages.empty() ? "" : messages[0]);
    EXPECT_NE(r().shader_slot(5).program, 0u);

    // Without a current shader nothing is set and nothing reported.
    messages.clear();
    r().shader_use(-1);
    r().shader_set_float("tint", 1.0f);
    EXPECT_TRUE(messages.empty());
    // The end of a frame switches shaders off.
    r().shader_use(5);
    r().reset_frame_state();
    EXPECT_EQ(r().current_shader(), -1);
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
}

TEST_F(Shaders, MissingSupportIsReportedOnce) {
    GlExtensions saved = r().ext;
    r().ext.glCreateShaderObjectARB = nullptr;
    EXPECT_FALSE(r().shader_load(1, "", fragment_.c_str()));
    EXPECT_FALSE(r().shader_load(1, "", fragment_.c_str()));
    r().ext = saved;
    EXPECT_EQ(messages, std::vector<std::string>{"No OpenGL 2.0 Shader Support"});
}

}  // namespace
}  // namespace crv

// The preview texture over a real OpenGL 3.3 context, in a virtual X server that
// the test starts itself.

#include "app/gl_gpu_backend.h"
#include "app/hidden_gl_context.h"
#include "tests/app/xvfb_display.h"

#include <gtest/gtest.h>

#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/column_background.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>

namespace vornmark::app {

namespace {

class GlGpuBackendTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        xvfb = new XvfbDisplay();
        if (xvfb->ready()) {
            context = new HiddenGlContext();
        }
    }
    static void TearDownTestSuite() {
        delete context;
        context = nullptr;
        delete xvfb;
        xvfb = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(context != nullptr && context->ok()) << "no OpenGL 3.3 context under Xvfb";
    }
    void TearDown() override { gl.release(); }

    // The texture's content as GL holds it.
    static std::vector<std::uint8_t> read_back(const GlGpuBackend& state) {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(state.texture_width()) *
                                      state.texture_height() * 4);
        glBindTexture(GL_TEXTURE_2D,
                      static_cast<GLuint>(reinterpret_cast<std::intptr_t>(state.texture_id())));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return out;
    }
    static std::vector<std::uint8_t> pattern(int w, int h, int salt) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(i * 7 + salt);
        }
        return pixels;
    }

    static inline XvfbDisplay* xvfb = nullptr;
    static inline HiddenGlContext* context = nullptr;
    GlGpuBackend gl;
};

TEST_F(GlGpuBackendTest, NothingBeforeTheFirstCreateWhateverTheUpdate) {
    EXPECT_FALSE(gl.has_texture());
    const auto pixels = pattern(4, 4, 1);
    gl.update_texture(pixels.data(), 4, 4);
    EXPECT_FALSE(gl.has_texture());
    EXPECT_EQ(gl.texture_width(), 0);
    EXPECT_EQ(gl.texture_height(), 0);
}

TEST_F(GlGpuBackendTest, CreateGivesADrawableTextureOfThatSize) {
    gl.create_texture(1920, 1080);
    ASSERT_TRUE(gl.has_texture());
    EXPECT_EQ(gl.texture_width(), 1920);
    EXPECT_EQ(gl.texture_height(), 1080);
    const auto name = static_cast<GLuint>(reinterpret_cast<std::intptr_t>(gl.texture_id()));
    EXPECT_TRUE(glIsTexture(name));
    GLint width = 0;
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(format, GL_RGBA8);
}

TEST_F(GlGpuBackendTest, ZeroSizeCreateFailsAndKeepsTheRecordedSize) {
    gl.create_texture(0, 0);
    EXPECT_FALSE(gl.has_texture());

    gl.create_texture(64, 32);
    ASSERT_TRUE(gl.has_texture());
    gl.create_texture(0, 0);
    EXPECT_FALSE(gl.has_texture());
    EXPECT_EQ(gl.texture_width(), 64);
    EXPECT_EQ(gl.texture_height(), 32);
}

TEST_F(GlGpuBackendTest, UpdateReplacesTheWholeImage) {
    // 3 pixels wide: rows of 12 bytes, not a multiple of 8.
    gl.create_texture(3, 5);
    const auto first = pattern(3, 5, 1);
    gl.update_texture(first.data(), 3, 5);
    EXPECT_EQ(read_back(gl), first);
    const auto second = pattern(3, 5, 99);
    gl.update_texture(second.data(), 3, 5);
    EXPECT_EQ(read_back(gl), second);
}

TEST_F(GlGpuBackendTest, RegionUpdateReplacesOnlyThatRectangleAndRefusesOneOutside) {
    gl.create_texture(5, 4);
    auto image = pattern(5, 4, 1);
    gl.update_texture(image.data(), 5, 4);
    // A 3 x 2 tile at (2, 1): rows of 12 bytes in the upload, 20 in the texture.
    const auto tile = pattern(3, 2, 50);
    gl.update_texture_region(tile.data(), 2, 1, 3, 2);
    for (int y = 0; y < 2; ++y) std::copy_n(tile.begin() + y * 12, 12, image.begin() + ((1 + y) * 5 + 2) * 4);
    EXPECT_EQ(read_back(gl), image);
    for (const auto& [x, y, w, h] :
         {std::array{3, 1, 3, 2}, std::array{-1, 0, 1, 1}, std::array{0, 3, 1, 2}, std::array{0, 0, 0, 1}}) {
        gl.update_texture_region(tile.data(), x, y, w, h);
        EXPECT_EQ(read_back(gl), image) << x << "," << y << " " << w << "x" << h;
    }
}

TEST_F(GlGpuBackendTest, NullPixelsChangeNothingAndDoNotRecreate) {
    gl.create_texture(4, 4);
    const auto pixels = pattern(4, 4, 5);
    gl.update_texture(pixels.data(), 4, 4);
    const ImTextureID before = gl.texture_id();
    gl.update_texture(nullptr, 8, 8);
    EXPECT_EQ(gl.texture_id(), before);
    EXPECT_EQ(gl.texture_width(), 4);
    EXPECT_EQ(read_back(gl), pixels);
}

TEST_F(GlGpuBackendTest, UpdateOfAnotherSizeRecreatesThenUploads) {
    gl.create_texture(4, 4);
    const auto pixels = pattern(8, 2, 3);
    gl.update_texture(pixels.data(), 8, 2);
    ASSERT_TRUE(gl.has_texture());
    EXPECT_EQ(gl.texture_width(), 8);
    EXPECT_EQ(gl.texture_height(), 2);
    EXPECT_EQ(read_back(gl), pixels);
}

TEST_F(GlGpuBackendTest, ImageStaysUntilReleased) {
    gl.create_texture(2, 2);
    const auto pixels = pattern(2, 2, 11);
    gl.update_texture(pixels.data(), 2, 2);
    EXPECT_EQ(read_back(gl), pixels);
    const auto name = static_cast<GLuint>(reinterpret_cast<std::intptr_t>(gl.texture_id()));
    gl.release();
    EXPECT_FALSE(gl.has_texture());
    EXPECT_FALSE(glIsTexture(name));
}

// ImGui's renderer drawing into a 64 x 64 offscreen framebuffer of the test's context.
class ImGuiOverGl {
public:
    static constexpr int size = 64;

    ImGuiOverGl() {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(size, size);
        io.DeltaTime = 1.0f / 60.0f;
        io.Fonts->AddFontDefault();
        ImGui_ImplOpenGL3_Init("#version 330");
        glGenTextures(1, &colour_);
        glBindTexture(GL_TEXTURE_2D, colour_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
        glViewport(0, 0, size, size);
    }
    ~ImGuiOverGl() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &colour_);
        ImGui_ImplOpenGL3_Shutdown();
        ImGui::DestroyContext();
    }
    ImGuiOverGl(const ImGuiOverGl&) = delete;
    ImGuiOverGl& operator=(const ImGuiOverGl&) = delete;

    // One frame on a dark grey ground, with draw() filling the background list; RGBA rows
    // bottom to top, as GL reads them.
    std::vector<std::uint8_t> frame(const std::function<void(ImDrawList&)>& draw) {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui::NewFrame();
        draw(*ImGui::GetBackgroundDrawList());
        ImGui::Render();
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.05f, 0.05f, 0.05f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

private:
    GLuint colour_ = 0;
    GLuint framebuffer_ = 0;
};

TEST_F(GlGpuBackendTest, ColumnBackgroundThroughTheBackendLooksLikeImGuisOwnAndKeepsItsPlace) {
    ImGuiOverGl imgui;
    const ImU32 fill = IM_COL32(20, 20, 20, 255);
    const ImU32 later = IM_COL32(200, 40, 40, 255);
    struct Case {
        ImVec2 min, max;
        float rounding;
    };
    // Rounded and square; inside the frame, and reaching past its edges (the clears are
    // clipped and turned upside down as the renderer's scissor boxes are).
    const Case cases[] = {{{5, 6}, {50, 40}, 4.0f}, {{5, 6}, {50, 40}, 0.0f}, {{-10, 30}, {30, 90}, 4.0f}};
    for (const Case& c : cases) {
        // A shape drawn after the background must lie on top of it.
        const auto after = [&](ImDrawList& list) {
            list.AddRectFilled(ImVec2(20, 20), ImVec2(28, 44), later);
        };
        const auto imgui_own = imgui.frame([&](ImDrawList& list) {
            list.AddRectFilled(c.min, c.max, fill, c.rounding);
            after(list);
        });
        const auto through_backend = imgui.frame([&](ImDrawList& list) {
            draw_column_background(list, &gl, c.min, c.max, fill, c.rounding);
            after(list);
        });
        EXPECT_EQ(through_backend, imgui_own) << c.min.x << "," << c.min.y << " rounding " << c.rounding;
        // And the background was drawn at all: the middle of it has its colour.
        const int mid_x = 10;
        const int mid_y = ImGuiOverGl::size - 1 - 34;
        EXPECT_EQ(through_backend[(mid_y * ImGuiOverGl::size + mid_x) * 4], 20) << c.min.x << "," << c.min.y;
    }
}

}  // namespace

}  // namespace vornmark::app

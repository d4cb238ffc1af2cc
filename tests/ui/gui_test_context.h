#pragma once

// A headless Dear ImGui context for panel tests: no window, no graphics API. Each
// frame's draw data is read back as text runs (decoded from the glyph quads of the
// font atlas) and texture uses, so tests can check what a panel drew and click on
// what it labelled.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <imgui.h>

#include "ui/gpu_backend.h"

struct ImGuiWindow;

namespace vornmark {

// One line of text as it was drawn: the characters of consecutive glyphs, with blanks
// put back where the pen moved by one or more space widths.
struct TextRun {
    std::string text;
    ImVec2 min;
    ImVec2 max;
    ImU32 color = 0;               // vertex colour of the first glyph
    std::vector<ImVec2> char_min;  // per character of `text` (blanks: zero-size at the pen)
    std::vector<ImVec2> char_max;
    std::vector<ImU32> char_color;
};

// A substring found in a text run: the box of its own glyphs and its colour.
struct TextHit {
    std::string run_text;
    ImVec2 min;
    ImVec2 max;
    ImU32 color = 0;
    ImVec2 center() const { return ImVec2((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f); }
};

class GuiTestContext {
public:
    // Creates the context (and makes it current) with three built-in fonts of 13, 15
    // and 28 pixels, the atlas built, no "imgui.ini" and 60 frames a second.
    explicit GuiTestContext(ImVec2 display_size = ImVec2(1600.0f, 900.0f));
    ~GuiTestContext();
    GuiTestContext(const GuiTestContext&) = delete;
    GuiTestContext& operator=(const GuiTestContext&) = delete;

    ImGuiIO& io();
    void set_display_size(ImVec2 size);
    ImFont* ui_font() const { return ui_font_; }        // 13 px, the default font
    ImFont* mono_font() const { return mono_font_; }    // 15 px
    ImFont* large_font() const { return large_font_; }  // 28 px

    // One frame: NewFrame, draw(), Render; the draw data is then read back.
    // Without a Begin of its own, draw() lands in ImGui's implicit debug window.
    void frame(const std::function<void()>& draw);
    void frames(int count, const std::function<void()>& draw);
    // One frame with draw() inside a borderless window of `size` at (0, 0), the way a
    // panel sits in a column of the main layout.
    void window_frame(ImVec2 size, const std::function<void()>& draw);

    // Mouse input for the next frames.
    void move_mouse(ImVec2 pos);
    // A left click at pos over three frames: move there, press, release. ImGui's
    // Button returns true in the third (the release), so a panel reacts in it.
    void click(ImVec2 pos, const std::function<void()>& draw);
    // Clicks the centre of the text found in the last frame; false (and no frames run)
    // when it is not there.
    bool click_text(std::string_view text, const std::function<void()>& draw);

    // Read-back of the last frame.
    const std::vector<TextRun>& texts() const { return texts_; }
    // Text of every run, joined by newlines: handy in failure messages.
    std::string all_text() const;
    // Found also where the GUI wrapped the text between two of its words.
    bool has_text(std::string_view text) const { return find_text(text).has_value(); }
    std::optional<TextHit> find_text(std::string_view text) const;
    // Draw commands that sample this texture (ImGui::Image) in the last frame.
    int texture_draw_count(ImTextureID id) const;
    // Screen box of everything drawn with this texture in the last frame.
    std::optional<TextHit> texture_rect(ImTextureID id) const;
    // Screen box of the untextured shapes (rectangles, lines) filled with exactly this
    // colour in the last frame, text excluded; restricted to the draw list of the first
    // window whose name contains `window_part` when that is not empty.
    std::optional<TextHit> shape_bounds(ImU32 colour, std::string_view window_part = {}) const;
    // Number of draw commands in the last frame (a cheap "did anything change" probe).
    int command_count() const { return command_count_; }

    // ImGui's own data about a window, child windows included: the first whose name
    // contains `name_part` (a child of "##main" called "##left" is "##main/##left_<id>").
    static ImGuiWindow* find_window(std::string_view name_part);
    static ImVec2 window_size(std::string_view name_part);
    // Rectangle of the last item submitted (call inside a draw callback).
    static void last_item_rect(ImVec2& min, ImVec2& max);

private:
    void read_back();

    ImGuiContext* context_ = nullptr;
    ImFont* ui_font_ = nullptr;
    ImFont* mono_font_ = nullptr;
    ImFont* large_font_ = nullptr;
    std::vector<TextRun> texts_;
    std::vector<ImTextureID> texture_uses_;
    int command_count_ = 0;
};

// A preview backend that keeps what the panels asked of it. Behaves like the real
// one: create_texture with a zero or negative size fails, update_texture does nothing
// before a texture exists or for a null pointer and re-creates on a size change.
class FakeGpuBackend : public IGpuBackend {
public:
    struct Size {
        std::int32_t width;
        std::int32_t height;
        bool operator==(const Size&) const = default;
    };

    void create_texture(std::int32_t width, std::int32_t height) override;
    void update_texture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) override;
    void update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height) override;
    ImTextureID texture_id() const override;
    bool has_texture() const override { return texture_ok; }
    std::int32_t texture_width() const override { return width; }
    std::int32_t texture_height() const override { return height; }

    // The id that texture_id() returns, for GuiTestContext::texture_draw_count.
    static ImTextureID fake_id();

    bool texture_ok = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Size> created;                  // every create_texture call
    int update_calls = 0;                       // every update_texture call
    int uploads = 0;                            // calls that did copy an image
    const std::uint8_t* last_pixels = nullptr;  // pointer of the last call
    Size last_update_size{0, 0};
    std::vector<std::uint8_t> last_upload;  // bytes of the last upload
    int region_uploads = 0;                 // update_texture_region calls that copied
    std::vector<std::uint8_t> content;      // the texture's image as the uploads left it
};

}  // namespace vornmark

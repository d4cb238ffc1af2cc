#include "tests/ui/gui_test_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include <imgui_internal.h>

namespace vornmark {

namespace {

// Where a glyph lies in the atlas identifies it: its top-left texture coordinate.
struct GlyphKey {
    float u;
    float v;
    bool operator<(const GlyphKey& o) const { return u < o.u || (u == o.u && v < o.v); }
};

struct GlyphRef {
    const ImFont* font;
    const ImFontGlyph* glyph;
};

std::map<GlyphKey, GlyphRef> glyph_table() {
    std::map<GlyphKey, GlyphRef> table;
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    for (ImFont* font : atlas->Fonts) {
        for (const ImFontGlyph& glyph : font->Glyphs) {
            if (glyph.Visible) {
                table.emplace(GlyphKey{glyph.U0, glyph.V0}, GlyphRef{font, &glyph});
            }
        }
    }
    return table;
}

void append_utf8(std::string& out, unsigned int c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A glyph quad as ImFont::RenderText writes it: corners top-left, top-right,
// bottom-right, bottom-left with the glyph's texture corners in the same order.
bool is_glyph_quad(const ImDrawVert* v, const ImFontGlyph& g) {
    return v[1].uv.x == g.U1 && v[1].uv.y == g.V0 && v[2].uv.x == g.U1 && v[2].uv.y == g.V1 &&
           v[3].uv.x == g.U0 && v[3].uv.y == g.V1;
}

void read_runs(const ImDrawList* list, const std::map<GlyphKey, GlyphRef>& table,
               std::vector<TextRun>& runs) {
    TextRun run;
    const ImFont* run_font = nullptr;
    int next_vertex = -1;
    float pen_x = 0.0f;
    float line_y = 0.0f;
    float space_width = 0.0f;
    auto flush = [&] {
        if (!run.text.empty()) {
            runs.push_back(std::move(run));
        }
        run = TextRun{};
        run_font = nullptr;
        next_vertex = -1;
    };

    const int count = list->VtxBuffer.Size;
    const ImDrawVert* vtx = list->VtxBuffer.Data;
    for (int i = 0; i + 3 < count;) {
        auto it = table.find(GlyphKey{vtx[i].uv.x, vtx[i].uv.y});
        if (it == table.end() || !is_glyph_quad(vtx + i, *it->second.glyph)) {
            ++i;
            continue;
        }
        const ImFont* font = it->second.font;
        const ImFontGlyph& glyph = *it->second.glyph;
        const float glyph_h = glyph.Y1 - glyph.Y0;
        const float scale = glyph_h > 0.0f ? (vtx[i + 2].pos.y - vtx[i].pos.y) / glyph_h : 1.0f;
        const float glyph_pen_x = vtx[i].pos.x - glyph.X0 * scale;
        const float glyph_line_y = vtx[i].pos.y - glyph.Y0 * scale;

        const bool same_run = i == next_vertex && font == run_font &&
                              std::fabs(glyph_line_y - line_y) < 1.0f && glyph_pen_x >= pen_x - 1.0f &&
                              glyph_pen_x - pen_x < space_width * 12.0f + 1.0f;
        if (!same_run) {
            flush();
            run_font = font;
            line_y = glyph_line_y;
            pen_x = glyph_pen_x;
            const ImFontGlyph* space = font->FindGlyphNoFallback(' ');
            space_width = (space ? space->AdvanceX : font->FontSize * 0.25f) * scale;
            run.color = vtx[i].col;
            run.min = vtx[i].pos;
            run.max = vtx[i + 2].pos;
        }
        // Blanks render no quad; the pen's jump tells how many there were.
        if (space_width > 0.0f) {
            const int blanks = static_cast<int>(std::lround((glyph_pen_x - pen_x) / space_width));
            for (int b = 0; b < blanks; ++b) {
                const ImVec2 at(pen_x + space_width * static_cast<float>(b), line_y);
                run.text += ' ';
                run.char_min.push_back(at);
                run.char_max.push_back(at);
                run.char_color.push_back(vtx[i].col);
            }
        }
        const std::size_t before = run.text.size();
        append_utf8(run.text, glyph.Codepoint);
        for (std::size_t b = before; b < run.text.size(); ++b) {
            run.char_min.push_back(vtx[i].pos);
            run.char_max.push_back(vtx[i + 2].pos);
            run.char_color.push_back(vtx[i].col);
        }
        run.min = ImVec2(std::min(run.min.x, vtx[i].pos.x), std::min(run.min.y, vtx[i].pos.y));
        run.max = ImVec2(std::max(run.max.x, vtx[i + 2].pos.x), std::max(run.max.y, vtx[i + 2].pos.y));
        pen_x = glyph_pen_x + glyph.AdvanceX * scale;
        next_vertex = i + 4;
        i += 4;
    }
    flush();
}

}  // namespace

GuiTestContext::GuiTestContext(ImVec2 display_size) {
    IMGUI_CHECKVERSION();
    context_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    io.DisplaySize = display_size;
    io.DeltaTime = 1.0f / 60.0f;

    ui_font_ = io.Fonts->AddFontDefault();
    ImFontConfig mono;
    mono.SizePixels = 15.0f;
    mono_font_ = io.Fonts->AddFontDefault(&mono);
    ImFontConfig large;
    large.SizePixels = 28.0f;
    large_font_ = io.Fonts->AddFontDefault(&large);

    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(1)));
}

GuiTestContext::~GuiTestContext() {
    ImGui::DestroyContext(context_);
}

ImGuiIO& GuiTestContext::io() {
    ImGui::SetCurrentContext(context_);
    return ImGui::GetIO();
}

void GuiTestContext::set_display_size(ImVec2 size) {
    io().DisplaySize = size;
}

void GuiTestContext::frame(const std::function<void()>& draw) {
    ImGui::SetCurrentContext(context_);
    ImGui::NewFrame();
    draw();
    ImGui::Render();
    read_back();
}

void GuiTestContext::frames(int count, const std::function<void()>& draw) {
    for (int i = 0; i < count; ++i) {
        frame(draw);
    }
}

void GuiTestContext::window_frame(ImVec2 size, const std::function<void()>& draw) {
    frame([&] {
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f), ImGuiCond_Always);
        ImGui::SetNextWindowSize(size, ImGuiCond_Always);
        ImGui::Begin("##test_panel", nullptr,
                     ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                         ImGuiWindowFlags_NoSavedSettings);
        draw();
        ImGui::End();
    });
}

void GuiTestContext::move_mouse(ImVec2 pos) {
    io().MousePos = pos;
}

void GuiTestContext::click(ImVec2 pos, const std::function<void()>& draw) {
    ImGuiIO& in = io();
    in.MousePos = pos;
    in.MouseDown[0] = false;
    frame(draw);
    in.MouseDown[0] = true;
    frame(draw);
    in.MouseDown[0] = false;
    frame(draw);
}

bool GuiTestContext::click_text(std::string_view text, const std::function<void()>& draw) {
    const std::optional<TextHit> hit = find_text(text);
    if (!hit) {
        return false;
    }
    click(hit->center(), draw);
    return true;
}

std::string GuiTestContext::all_text() const {
    std::string out;
    for (const TextRun& run : texts_) {
        out += run.text;
        out += '\n';
    }
    return out;
}

std::optional<TextHit> GuiTestContext::find_text(std::string_view text) const {
    if (text.empty()) {
        return std::nullopt;
    }
    for (const TextRun& run : texts_) {
        // A line break of wrapped text stands where a blank was: a phrase is found across it.
        std::string flowing = run.text;
        std::replace(flowing.begin(), flowing.end(), '\n', ' ');
        const std::size_t at = flowing.find(text);
        if (at == std::string::npos) {
            continue;
        }
        TextHit hit;
        hit.run_text = run.text;
        bool first = true;
        for (std::size_t c = at; c < at + text.size(); ++c) {
            if (run.char_min[c].x == run.char_max[c].x) {
                continue;  // a blank
            }
            if (first) {
                hit.min = run.char_min[c];
                hit.max = run.char_max[c];
                hit.color = run.char_color[c];
                first = false;
            } else {
                hit.min =
                    ImVec2(std::min(hit.min.x, run.char_min[c].x), std::min(hit.min.y, run.char_min[c].y));
                hit.max =
                    ImVec2(std::max(hit.max.x, run.char_max[c].x), std::max(hit.max.y, run.char_max[c].y));
            }
        }
        if (first) {
            continue;  // only blanks matched
        }
        return hit;
    }
    return std::nullopt;
}

int GuiTestContext::texture_draw_count(ImTextureID id) const {
    int n = 0;
    for (ImTextureID used : texture_uses_) {
        n += used == id ? 1 : 0;
    }
    return n;
}

namespace {

void grow(std::optional<TextHit>& box, ImVec2 p) {
    if (!box) {
        box = TextHit{};
        box->min = p;
        box->max = p;
        return;
    }
    box->min = ImVec2(std::min(box->min.x, p.x), std::min(box->min.y, p.y));
    box->max = ImVec2(std::max(box->max.x, p.x), std::max(box->max.y, p.y));
}

}  // namespace

std::optional<TextHit> GuiTestContext::texture_rect(ImTextureID id) const {
    std::optional<TextHit> box;
    const ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr || !data->Valid) {
        return box;
    }
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback != nullptr || cmd.TextureId != id) {
                continue;
            }
            for (unsigned int e = 0; e < cmd.ElemCount; ++e) {
                const ImDrawIdx index = list->IdxBuffer[static_cast<int>(cmd.IdxOffset + e)];
                grow(box, list->VtxBuffer[static_cast<int>(cmd.VtxOffset + index)].pos);
            }
        }
    }
    return box;
}

std::optional<TextHit> GuiTestContext::shape_bounds(ImU32 colour, std::string_view window_part) const {
    std::optional<TextHit> box;
    const ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr || !data->Valid) {
        return box;
    }
    const ImDrawList* only = nullptr;
    if (!window_part.empty()) {
        ImGuiWindow* window = find_window(window_part);
        if (window == nullptr) {
            return box;
        }
        only = window->DrawList;
    }
    const ImVec2 white = ImGui::GetIO().Fonts->TexUvWhitePixel;
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        if (only != nullptr && list != only) {
            continue;
        }
        for (const ImDrawVert& v : list->VtxBuffer) {
            if (v.col == colour && v.uv.x == white.x && v.uv.y == white.y) {
                grow(box, v.pos);
            }
        }
    }
    if (box) {
        box->color = colour;
    }
    return box;
}

ImGuiWindow* GuiTestContext::find_window(std::string_view name_part) {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    for (ImGuiWindow* window : g.Windows) {
        if (std::string_view(window->Name).find(name_part) != std::string_view::npos) {
            return window;
        }
    }
    return nullptr;
}

ImVec2 GuiTestContext::window_size(std::string_view name_part) {
    ImGuiWindow* window = find_window(name_part);
    return window ? window->Size : ImVec2(-1.0f, -1.0f);
}

void GuiTestContext::last_item_rect(ImVec2& min, ImVec2& max) {
    min = ImGui::GetItemRectMin();
    max = ImGui::GetItemRectMax();
}

void GuiTestContext::read_back() {
    texts_.clear();
    texture_uses_.clear();
    command_count_ = 0;
    const ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr || !data->Valid) {
        return;
    }
    const auto table = glyph_table();
    const ImTextureID font_texture = ImGui::GetIO().Fonts->TexID;
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        read_runs(list, table, texts_);
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback == nullptr && cmd.ElemCount > 0) {
                ++command_count_;
                if (cmd.TextureId != font_texture) {
                    texture_uses_.push_back(cmd.TextureId);
                }
            }
        }
    }
}

void FakeGpuBackend::create_texture(std::int32_t w, std::int32_t h) {
    created.push_back(Size{w, h});
    texture_ok = false;
    if (w > 0 && h > 0) {
        texture_ok = true;
        width = w;
        height = h;
    }
}

void FakeGpuBackend::update_texture(const std::uint8_t* pixels, std::int32_t w, std::int32_t h) {
    ++update_calls;
    last_pixels = pixels;
    last_update_size = Size{w, h};
    if (!texture_ok || pixels == nullptr) {
        return;
    }
    if (w != width || h != height) {
        create_texture(w, h);
        if (!texture_ok) {
            return;
        }
    }
    ++uploads;
    last_upload.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    content = last_upload;
}

void FakeGpuBackend::update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y,
                                           std::int32_t w, std::int32_t h) {
    if (!texture_ok || pixels == nullptr || x < 0 || y < 0 || w <= 0 || h <= 0 || x > width - w ||
        y > height - h)
        return;
    ++region_uploads;
    content.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (std::int32_t row = 0; row < h; ++row)
        std::copy_n(pixels + static_cast<std::size_t>(row) * static_cast<std::size_t>(w) * 4,
                    static_cast<std::size_t>(w) * 4,
                    content.begin() + (static_cast<std::ptrdiff_t>(y + row) * width + x) * 4);
}

ImTextureID FakeGpuBackend::texture_id() const {
    return fake_id();
}

ImTextureID FakeGpuBackend::fake_id() {
    return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(0xF00D));
}

}  // namespace vornmark

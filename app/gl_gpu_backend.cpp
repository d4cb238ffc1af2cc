#include "app/gl_gpu_backend.h"

#include <cstdint>

#include <imgui.h>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

namespace vornmark::app {

namespace {

// Clears the command's clip rectangle to the colour the callback was given. Runs inside
// the ImGui renderer, which sets the scissor box again for every later draw.
void clear_clip_rectangle(const ImDrawList*, const ImDrawCmd* command) {
    const ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr) return;
    // Framebuffer pixels, y up, rounded as the renderer rounds its scissor boxes.
    const ImVec2 origin = data->DisplayPos;
    const ImVec2 scale = data->FramebufferScale;
    const ImVec4 clip = command->ClipRect;
    const float left = (clip.x - origin.x) * scale.x;
    const float top = (clip.y - origin.y) * scale.y;
    const float right = (clip.z - origin.x) * scale.x;
    const float bottom = (clip.w - origin.y) * scale.y;
    if (right <= left || bottom <= top) return;
    const float framebuffer_height = data->DisplaySize.y * scale.y;
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<GLint>(left), static_cast<GLint>(framebuffer_height - bottom),
              static_cast<GLsizei>(right - left), static_cast<GLsizei>(bottom - top));
    const auto colour = static_cast<ImU32>(reinterpret_cast<std::uintptr_t>(command->UserCallbackData));
    const ImVec4 rgba = ImGui::ColorConvertU32ToFloat4(colour);
    glClearColor(rgba.x, rgba.y, rgba.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace

void GlGpuBackend::add_opaque_fill(ImDrawList& list, ImVec2 min, ImVec2 max, ImU32 colour) {
    // The clip rectangle carries the rectangle, the callback's pointer the colour.
    list.PushClipRect(min, max, true);
    list.AddCallback(&clear_clip_rectangle, reinterpret_cast<void*>(static_cast<std::uintptr_t>(colour)));
    list.PopClipRect();
}

void GlGpuBackend::create_texture(std::int32_t w, std::int32_t h) {
    release();
    // GL would accept an empty texture; the preview treats it as a failed creation.
    if (w <= 0 || h <= 0) {
        return;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0) {
        return;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    const GLenum error = glGetError();
    glBindTexture(GL_TEXTURE_2D, 0);
    // Too large for the driver, or out of memory: no texture, the size stays as it was.
    if (error != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return;
    }
    preview_texture = texture;
    width = w;
    height = h;
}

void GlGpuBackend::update_texture(const std::uint8_t* pixels, std::int32_t w, std::int32_t h) {
    if (preview_texture == 0 || pixels == nullptr) {
        return;
    }
    if (w != width || h != height) {
        create_texture(w, h);
        if (preview_texture == 0) {
            return;
        }
    }
    glBindTexture(GL_TEXTURE_2D, preview_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GlGpuBackend::update_texture_region(const std::uint8_t* pixels, std::int32_t x, std::int32_t y,
                                         std::int32_t w, std::int32_t h) {
    if (preview_texture == 0 || pixels == nullptr || x < 0 || y < 0 || w <= 0 || h <= 0 || x > width - w ||
        y > height - h) {
        return;
    }
    glBindTexture(GL_TEXTURE_2D, preview_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
}

ImTextureID GlGpuBackend::texture_id() const {
    return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(preview_texture));
}

bool GlGpuBackend::has_texture() const {
    return preview_texture != 0;
}

std::int32_t GlGpuBackend::texture_width() const {
    return width;
}

std::int32_t GlGpuBackend::texture_height() const {
    return height;
}

void GlGpuBackend::release() {
    if (preview_texture != 0) {
        glDeleteTextures(1, &preview_texture);
        preview_texture = 0;
    }
}

}  // namespace vornmark::app

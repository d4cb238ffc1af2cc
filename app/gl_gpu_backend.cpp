#include "app/gl_gpu_backend.h"

#include <cstdint>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

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

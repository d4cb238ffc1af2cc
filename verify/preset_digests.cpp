#include "verify/preset_digests.h"

#include <iterator>

namespace vornmark {

namespace {

// preset_image_hex and preset_tile_hex, written by vornmark-preset-digests from
// one full render; tests/verify/preset_digests_test.cpp checks samples of them
// against tiles rendered directly by the kernel.
#include "verify/preset_digests.inc"

Sha256Digest parsed(const char* hex) {
    Sha256Digest digest{};
    parse_digest_hex(hex, digest);
    return digest;
}

}  // namespace

const KnownImage& preset_known_image() {
    static const KnownImage preset = [] {
        KnownImage image;
        image.config = preset_config(1);
        image.image = parsed(preset_image_hex);
        image.tiles.reserve(std::size(preset_tile_hex));
        for (const char* hex : preset_tile_hex) image.tiles.push_back(parsed(hex));
        return image;
    }();
    return preset;
}

const std::vector<KnownImage>& built_in_known_images() {
    // A build without generated digests (an empty preset_image_hex) knows no image and
    // verifies nothing, rather than calling every preset image wrong.
    static const std::vector<KnownImage> known = preset_image_hex[0] == '\0'
                                                     ? std::vector<KnownImage>{}
                                                     : std::vector<KnownImage>{preset_known_image()};
    return known;
}

const KnownImage* find_known_image(const std::vector<KnownImage>& known, const BenchmarkConfig& config) {
    for (const KnownImage& image : known)
        if (image.rendered_by(config)) return &image;
    return nullptr;
}

}  // namespace vornmark

#include "cli/image_writer.h"

#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace vornmark::cli {

namespace {

class ImageWriterTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vornmark-image-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A 3 x 2 image with distinct bytes and an alpha that must be dropped.
    std::vector<std::uint8_t> sample_image() const {
        std::vector<std::uint8_t> rgba(3 * 2 * 4);
        for (std::size_t i = 0; i < rgba.size(); ++i)
            rgba[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 77 : i * 10);
        return rgba;
    }

    std::string read_all(const std::filesystem::path& path) const {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::filesystem::path dir;
};

}  // namespace

TEST(ImageFormat, ChosenByEndingIgnoringCase) {
    EXPECT_EQ(image_format_for_path("a.png"), ImageFormat::Png);
    EXPECT_EQ(image_format_for_path("dir/A.PNG"), ImageFormat::Png);
    EXPECT_EQ(image_format_for_path("a.ppm"), ImageFormat::Ppm);
    EXPECT_EQ(image_format_for_path("a.jpg"), ImageFormat::Unknown);
    EXPECT_EQ(image_format_for_path("png"), ImageFormat::Unknown);
    EXPECT_EQ(image_format_for_path(".png"), ImageFormat::Unknown);
}

TEST_F(ImageWriterTest, PpmHasP6HeaderAndRgbBytesWithoutAlpha) {
    const std::vector<std::uint8_t> rgba = sample_image();
    const auto path = dir / "x.ppm";
    ASSERT_EQ(write_image(path.string(), rgba.data(), 3, 2), "");
    std::string expected = "P6\n3 2\n255\n";
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 != 3) expected.push_back(static_cast<char>(rgba[i]));
    }
    EXPECT_EQ(read_all(path), expected);
}

TEST_F(ImageWriterTest, PngDecodesToTheSamePixels) {
    const std::vector<std::uint8_t> rgba = sample_image();
    const auto path = dir / "x.png";
    ASSERT_EQ(write_image(path.string(), rgba.data(), 3, 2), "");
    EXPECT_EQ(read_all(path).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    int width = 0, height = 0, channels = 0;
    unsigned char* decoded = stbi_load(path.string().c_str(), &width, &height, &channels, 3);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(channels, 3);
    for (std::size_t p = 0; p < 6; ++p)
        for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(decoded[p * 3 + c], rgba[p * 4 + c]);
    stbi_image_free(decoded);
}

TEST_F(ImageWriterTest, UnwritablePathGivesAnErrorNamingIt) {
    const std::vector<std::uint8_t> rgba = sample_image();
    for (const char* name : {"missing/x.ppm", "missing/x.png"}) {
        const std::string path = (dir / name).string();
        const std::string error = write_image(path, rgba.data(), 3, 2);
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
}

}  // namespace vornmark::cli

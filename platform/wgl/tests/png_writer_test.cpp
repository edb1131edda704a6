#include "platform/wgl/png_writer.h"
#include "platform/wgl/pixel_probe.h"
#include "support/gl_window.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{

std::vector<unsigned char> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t BigEndian32(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
           (std::uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

TEST(PngWriter, WritesTheWindowImageWithItsSize)
{
    HWND window = testgl::CreateClientWindow(37, 21);
    win32::ClientImage* image = win32::GetWindowClientImage(window);
    ASSERT_NE(image, nullptr);
    std::fill(image->pixels.begin(), image->pixels.end(), 0x80FF8000u); // half-transparent orange
    const auto path = std::filesystem::temp_directory_path() / "wgl_png_writer_test.png";
    std::string error;
    ASSERT_TRUE(wgl::WriteWindowPng(window, path, &error)) << error;
    std::vector<unsigned char> bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 33u);
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_TRUE(std::equal(signature, signature + 8, bytes.begin()));
    EXPECT_EQ(BigEndian32(bytes, 16), 37u); // IHDR width and height
    EXPECT_EQ(BigEndian32(bytes, 20), 21u);
    std::filesystem::remove(path);
    DestroyWindow(window);
    win32::PumpUntilIdle();
}

TEST(PngWriter, ReportsWhatWentWrong)
{
    std::string error;
    const std::uint32_t pixel = 0xFF000000u;
    EXPECT_FALSE(wgl::WritePng("/no/such/directory/x.png", 1, 1, &pixel, &error));
    EXPECT_NE(error.find("/no/such/directory/x.png"), std::string::npos);
    EXPECT_FALSE(wgl::WritePng(std::filesystem::temp_directory_path() / "empty.png", 0, 5, &pixel, &error));
    EXPECT_FALSE(wgl::WritePng(std::filesystem::temp_directory_path() / "null.png", 1, 1, nullptr, &error));
    EXPECT_FALSE(wgl::WriteWindowPng(nullptr, "x.png", &error));
}

TEST(PixelChecks, CountsAndBoxesFollowTheTolerance)
{
    wgl::PixelImage image;
    image.width = 6;
    image.height = 4;
    image.pixels.assign(24, wgl::Rgb(10, 10, 10));
    image.pixels[1 * 6 + 2] = wgl::Rgb(200, 0, 0);
    image.pixels[2 * 6 + 4] = wgl::Rgb(198, 3, 0);
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(200, 0, 0)), 1u);
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(200, 0, 0), 3), 2u);
    auto box = wgl::BoundingBoxOfOthers(image, wgl::Rgb(10, 10, 10));
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->left, 2);
    EXPECT_EQ(box->top, 1);
    EXPECT_EQ(box->right, 5);
    EXPECT_EQ(box->bottom, 3);
    EXPECT_FALSE(wgl::BoundingBoxOf(image, wgl::Rgb(0, 0, 255)).has_value());
    EXPECT_TRUE(wgl::SameColour(0x00102030u, 0xFF102030u)); // alpha is not compared

    wgl::PixelImage other = image;
    other.pixels[0] = wgl::Rgb(12, 10, 10);
    EXPECT_EQ(wgl::CountDifferences(image, other), 1u);
    EXPECT_EQ(wgl::CountDifferences(image, other, 2), 0u);
    other.width = 4;
    EXPECT_EQ(wgl::CountDifferences(image, other), 24u);
}

} // namespace

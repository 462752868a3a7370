// The generated button and icon pictures: the button alpha has a rounded
// corner in each quadrant and full coverage across the middle band that the
// faces stretch, and reads back through the program's .raw reader.
#include "tools/interface_pictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/texture_files.h"

namespace {

std::vector<uint8_t> ReadFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(InterfacePicturesTest, ButtonsHaveRoundCornersAndAFullMiddle)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kzv_interface_pictures";
    std::filesystem::remove_all(folder);
    ASSERT_EQ(WriteInterfacePictures(folder.string().c_str()), nullptr);
    const std::filesystem::path pic = folder / "data" / "pic";
    for (const auto &picture : {std::pair<const char *, int>{"BUTT", 64}, {"SMLB", 32}}) {
        const char *name = picture.first;
        const int side = picture.second;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> colour = ReadFile(pic / (std::string(name) + ".raw"));
        const std::vector<uint8_t> alpha = ReadFile(pic / (std::string(name) + "ALPHA.raw"));
        ASSERT_EQ(colour.size(), static_cast<size_t>(side * side * 3));
        ASSERT_EQ(alpha.size(), static_cast<size_t>(side * side));
        auto at = [&](int x, int y) { return alpha[static_cast<size_t>(y * side + x)]; };
        const int last = side - 1;
        const int mid = side / 2;
        // The outer corners are clear, the middle band and the edges' middles full.
        for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
            EXPECT_EQ(at(x, y), 0);
        }
        for (auto [x, y] : {std::pair{mid, mid}, {mid - 1, mid - 1}, {0, mid}, {last, mid}, {mid, 0}, {mid, last}}) {
            EXPECT_EQ(at(x, y), 255);
        }
        // Mirror images in the four quadrants.
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                ASSERT_EQ(at(x, y), at(last - x, y));
                ASSERT_EQ(at(x, y), at(x, last - y));
            }
        }
    }
    EXPECT_EQ(ReadFile(pic / "LANGICONS.raw").size(), 256u * 256u * 3u);

    // The program reads the pair as one picture with its alpha.
    const std::string path = (pic / "BUTTALPHA.raw").string();
    uint8_t *pixels = nullptr;
    int side = 0;
    int alphaKind = 0;
    int alphaTest = 0;
    uint8_t average[4] = {};
    ASSERT_EQ(ReadRawImage(&pixels, path.c_str(), &side, &alphaKind, &alphaTest, 0, 0, average), 64);
    EXPECT_EQ(alphaKind, AlphaKindHalf);
    EXPECT_EQ(pixels[(32 * 64 + 32) * 4 + 3], 255);
    EXPECT_EQ(pixels[3], 0);
    delete[] pixels;
    std::filesystem::remove_all(folder);
}

}  // namespace

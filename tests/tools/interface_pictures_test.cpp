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

TEST(InterfacePicturesTest, StartLampIsRoundAndIconsCarryTheirLanguagesLetters)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kzv_interface_pictures_lamp";
    std::filesystem::remove_all(folder);
    ASSERT_EQ(WriteInterfacePictures(folder.string().c_str()), nullptr);
    const std::filesystem::path pic = folder / "data" / "pic";
    // The lamp: clear corners, a full middle, brightest in the middle.
    const std::string path = (pic / "STARTALPHA.raw").string();
    uint8_t *pixels = nullptr;
    int side = 0;
    int alphaKind = 0;
    int alphaTest = 0;
    uint8_t average[4] = {};
    ASSERT_EQ(ReadRawImage(&pixels, path.c_str(), &side, &alphaKind, &alphaTest, 0, 0, average), 32);
    auto at = [&](int x, int y, int c) { return pixels[(y * side + x) * 4 + c]; };
    EXPECT_EQ(at(0, 0, 3), 0);
    EXPECT_EQ(at(31, 31, 3), 0);
    EXPECT_EQ(at(16, 16, 3), 255);
    EXPECT_EQ(at(16, 0, 3), 0);
    EXPECT_GT(at(16, 16, 0), at(16, 3, 0));
    delete[] pixels;

    // Each icon cell holds white letter pixels over its own colour field;
    // English ("EN") and German ("DE") differ in their letters' shapes.
    const std::vector<uint8_t> icons = ReadFile(pic / "LANGICONS.raw");
    ASSERT_EQ(icons.size(), 256u * 256u * 3u);
    auto cellMask = [&](int icon) {
        std::vector<int> mask;
        const int left = icon % 5 * 48;
        const int top = icon / 5 * 32;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 48; ++x) {
                const uint8_t *p = &icons[(static_cast<size_t>(top + y) * 256 + left + x) * 3];
                mask.push_back(p[0] == 255 && p[1] == 255 && p[2] == 255 ? 1 : 0);
            }
        }
        return mask;
    };
    for (int icon = 0; icon <= 33; ++icon) {
        const std::vector<int> mask = cellMask(icon);
        int white = 0;
        for (int m : mask) {
            white += m;
        }
        EXPECT_GT(white, 40) << icon;
    }
    EXPECT_NE(cellMask(0), cellMask(1));
    std::filesystem::remove_all(folder);
}

}  // namespace

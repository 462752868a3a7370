#pragma once

// What the picture tests share: the real main loop on the OpenGL device
// under a display, time that passes only while the program sleeps, the
// default data in the run folder, the frames taken by the program's own
// screenshot function read back from their BMP files, and the comparison
// with a reference kept in the source tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/program.h"
#include "tests/app/program_fixture.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "tools/body_objects.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "tools/font_file.h"
#include "tools/interface_pictures.h"
#include "ui/font.h"
#include "ui/menu_page.h"

namespace picture_test {

namespace fs = std::filesystem;

// The whole-program tests' clock, sleeps and wall time.
using program_test::FakeSleep;
using program_test::FakeTime;
using program_test::FakeWallTime;
using program_test::OnSleep;
inline uint32_t &NowMs = program_test::FakeNowMs;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;   // top row first

    const uint8_t *At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    int ToX(float u) const { return static_cast<int>((u + 1.0f) * 0.5f * static_cast<float>(width)); }
    int ToY(float v) const { return static_cast<int>((v + 1.0f) * 0.5f * static_cast<float>(height)); }

    // Pixels in the screen-unit box for which the test holds.
    template <typename Test>
    int Count(float x0, float y0, float x1, float y1, Test test) const
    {
        int n = 0;
        for (int y = std::max(0, ToY(y0)); y < std::min(height, ToY(y1)); ++y) {
            for (int x = std::max(0, ToX(x0)); x < std::min(width, ToX(x1)); ++x) {
                const uint8_t *p = At(x, y);
                n += test(p[0], p[1], p[2]) ? 1 : 0;
            }
        }
        return n;
    }
};

// A 24-bit BMP as the screenshot function writes it.
inline bool ReadBmp(const std::string &path, Picture *out)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 54) {
        return false;
    }
    const int offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16;
    out->width = bytes[18] | bytes[19] << 8;
    out->height = bytes[22] | bytes[23] << 8;
    const size_t row = (static_cast<size_t>(out->width) * 3 + 3) & ~size_t{3};
    if (bytes.size() < offset + row * out->height) {
        return false;
    }
    out->rgb.resize(static_cast<size_t>(out->width) * out->height * 3);
    for (int y = 0; y < out->height; ++y) {
        const uint8_t *source = &bytes[offset + row * static_cast<size_t>(out->height - 1 - y)];
        for (int x = 0; x < out->width; ++x) {
            uint8_t *p = &out->rgb[(static_cast<size_t>(y) * out->width + x) * 3];
            p[0] = source[x * 3 + 2];
            p[1] = source[x * 3 + 1];
            p[2] = source[x * 3];
        }
    }
    return true;
}

// The numbered shot of data/shots, kept at KZV_KEEP_SHOT (with the suffix)
// when that is set.
inline bool ReadShot(int number, Picture *out, const std::string &keepSuffix = "")
{
    char name[64];
    std::snprintf(name, sizeof(name), "data/shots/kzv_%08d.bmp", number);
    if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
        std::error_code error;
        fs::copy_file(name, std::string(keep) + keepSuffix, fs::copy_options::overwrite_existing, error);
    }
    return ReadBmp(name, out);
}

// The frame in 4 x 4 blocks of mean luminance, as the references keep it.
inline std::vector<uint8_t> Reduce(const Picture &shot)
{
    std::vector<uint8_t> blocks(static_cast<size_t>(shot.width / 4) * (shot.height / 4));
    for (int by = 0; by < shot.height / 4; ++by) {
        for (int bx = 0; bx < shot.width / 4; ++bx) {
            int sum = 0;
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) {
                    const uint8_t *p = shot.At(bx * 4 + x, by * 4 + y);
                    sum += (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
                }
            }
            blocks[static_cast<size_t>(by) * (shot.width / 4) + bx] = static_cast<uint8_t>(sum / 16);
        }
    }
    return blocks;
}

// Compares the shot with the reference image at path (a PGM of its 4 x 4
// blocks): a mean difference below 2 and fewer than 1 % of the blocks more
// than 48 apart. KZV_RECORD_REFERENCE=1 records the reference anew.
inline void ExpectMatchesReference(const Picture &shot, const std::string &path)
{
    const std::vector<uint8_t> blocks = Reduce(shot);
    const std::string header = "P5\n" + std::to_string(shot.width / 4) + " " + std::to_string(shot.height / 4) + "\n255\n";
    if (std::getenv("KZV_RECORD_REFERENCE") != nullptr) {
        std::ofstream out(path, std::ios::binary);
        out << header;
        out.write(reinterpret_cast<const char *>(blocks.data()), static_cast<std::streamsize>(blocks.size()));
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(reference.size(), header.size() + blocks.size()) << path;
    int far = 0;
    long total = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        const int difference = std::abs(blocks[i] - reference[header.size() + i]);
        total += difference;
        far += difference > 48;
    }
    EXPECT_LT(static_cast<double>(total) / static_cast<double>(blocks.size()), 2.0) << path;
    EXPECT_LT(far, static_cast<int>(blocks.size() / 100)) << path;
}

// A run of the whole program on the display: the default data (font, skins,
// engines, bodies, the human and the interface pictures) written into the
// run folder, cfg.txt from Config(), no old shots, the shell state of a
// freshly started process and the fake clock at 5000 ms. Skipped without a
// display.
class ProgramPictureTest : public ::testing::Test {
protected:
    virtual std::string Config() const = 0;

    void SetUp() override
    {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || display[0] == 0) {
            GTEST_SKIP() << "no display";
        }
        setenv("LC_ALL", "en_GB.UTF-8", 1);
        for (const char *(*writer)(const char *) : {WriteFontFile, WriteDefaultSkins, WriteDefaultEngineFiles,
                                                    WriteBodyObjects, WriteHumanFile, WriteInterfacePictures}) {
            const char *error = writer(".");
            ASSERT_EQ(error, nullptr) << error;
        }
        fs::remove_all("data/shots");
        std::ofstream("cfg.txt") << Config();
        NowMs = 5000;
        program_test::Sleeps.clear();
        OnSleep = nullptr;
        program_test::ResetShellForRun();
    }

    void TearDown() override
    {
        FreeFont();
        OnSleep = nullptr;
        SetProgramServices(ProgramServices{});
    }

    // Runs the program to its end on the fake clock; 0 is a clean exit.
    static int RunOnFakeClock()
    {
        ProgramServices services{};
        services.timeMs = FakeTime;
        services.sleepMs = FakeSleep;
        services.wallTime = FakeWallTime;
        SetProgramServices(services);
        char program[] = "kzv";
        char *argv[] = {program, nullptr};
        return RunProgram(1, argv);
    }
};

}  // namespace picture_test

#include "app/program.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/keys.h"
#include "render/render_device.h"
#include "render/standard_textures.h"
#include "tests/app/program_fixture.h"
#include "tools/interface_pictures.h"
#include "tools/standard_pictures.h"

// The menus' background picture in the real program on the OpenGL device:
// the entry page over the generated data, shots taken with Ctrl+S, before
// and after a round trip to full screen and back (Shift+F4 twice).

namespace {

namespace fs = std::filesystem;
using namespace program_test;

void PushKey(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

void PressWith(SDL_Scancode modifier, SDL_Keycode modifierSym, Uint16 mod, SDL_Scancode key, SDL_Keycode sym)
{
    PushKey(modifier, modifierSym, mod, true);
    PushKey(key, sym, mod, true);
    PushKey(key, sym, mod, false);
    PushKey(modifier, modifierSym, KMOD_NONE, false);
}

struct Shot {
    int width = 0;
    int height = 0;
    size_t row = 0;
    std::vector<uint8_t> bytes;

    bool Read(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes.size() < 54) {
            return false;
        }
        width = bytes[18] | bytes[19] << 8;
        height = bytes[22] | bytes[23] << 8;
        row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        return bytes.size() == 54 + row * static_cast<size_t>(height);
    }

    // Red, green, blue of the pixel; rows in the file run from the bottom up.
    std::array<int, 3> Pixel(int x, int yFromTop) const
    {
        const size_t at = 54 + row * static_cast<size_t>(height - 1 - yFromTop) + static_cast<size_t>(x) * 3;
        return {bytes[at + 2], bytes[at + 1], bytes[at]};
    }
};

// Samples a grid over the part of the entry page that only the background
// covers (left of the button column, below the message lines, above the
// exit button) and counts the pixels that differ from the picture at the
// quad's U and V by more than the tolerance.
int CountMismatches(const Shot &shot, int tolerance, std::string *first)
{
    const float aspect = static_cast<float>(shot.height) / static_cast<float>(shot.width);
    constexpr float Edge = 1.0f / 2048.0f;
    const float u0 = std::max(Edge, (1.0f - aspect) / 2.0f);
    const float u1 = std::min(1.0f - Edge, (1.0f + aspect) / 2.0f);
    int mismatches = 0;
    for (int gy = 0; gy <= 8; ++gy) {
        for (int gx = 0; gx <= 10; ++gx) {
            const int x = shot.width * (4 + gx * 5) / 100;
            const int y = shot.height * (45 + gy * 5) / 100;
            const float u = u0 + (u1 - u0) * (static_cast<float>(x) + 0.5f) / static_cast<float>(shot.width);
            const float v = Edge + (1.0f - 2.0f * Edge) * (static_cast<float>(y) + 0.5f) / static_cast<float>(shot.height);
            uint8_t expected[3];
            BackgroundPictureColour(0, u, v, expected);
            const std::array<int, 3> got = shot.Pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                if (std::abs(got[c] - expected[c]) > tolerance) {
                    if (mismatches == 0 && first != nullptr) {
                        *first = "at " + std::to_string(x) + "," + std::to_string(y) + " channel " +
                                 std::to_string(c) + ": " + std::to_string(got[c]) + " for " +
                                 std::to_string(expected[c]);
                    }
                    ++mismatches;
                }
            }
        }
    }
    return mismatches;
}

class BackgroundPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = fs::current_path();
        fs::remove_all("background_run");
        fs::create_directories("background_run");
        fs::current_path("background_run");
        PrepareProgramRun();
        ASSERT_EQ(WriteInterfacePictures("."), nullptr);
        ASSERT_EQ(WriteStandardPictures("."), nullptr);
    }

    void TearDown() override
    {
        SetProgramServices(ProgramServices{});
        if (!StartDisplay.empty()) {
            setenv("DISPLAY", StartDisplay.c_str(), 1);
        }
        fs::current_path(home);
        fs::remove_all("background_run");
    }

    static int Run()
    {
        char program[] = "kzv";
        char *argv[] = {program, nullptr};
        return RunProgram(1, argv);
    }

    fs::path home;
};

TEST_F(BackgroundPictureTest, EntryPageShowsThePictureBeforeAndAfterAFullScreenRoundTrip)
{
    if (StartDisplay.empty()) {
        GTEST_SKIP() << "no display";
    }
    std::ofstream("cfg.txt") << "Start Windowed 1\n";
    setenv("DISPLAY", StartDisplay.c_str(), 1);
    SetProgramServices(FakeProgramServices());
    static int switches;
    switches = 0;
    OnSleep = [](int n) {
        if (n == 3) {
            PressWith(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, SDL_SCANCODE_S, SDLK_s);
        }
        if (n == 5 || n == 9) {
            PressWith(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT, SDL_SCANCODE_F4, SDLK_F4);
        }
        if (n == 8 || n == 12) {
            switches += RenderDevice.Windowed == (n == 8 ? 0 : 1) ? 1 : 0;
        }
        if (n == 14) {
            PressWith(SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, SDL_SCANCODE_S, SDLK_s);
        }
        if (n == 17) {
            PlatformEvent event{};
            event.kind = PlatformEventKeyDown;
            event.key = VkEscape;
            MainWindowProc(event);
        }
    };

    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(switches, 2);  // full screen at pass 8, windowed again at pass 12

    for (const char *name : {"data/shots/kzv_00000001.bmp", "data/shots/kzv_00000002.bmp"}) {
        SCOPED_TRACE(name);
        if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
            fs::copy_file(name, fs::path(keep) / fs::path(name).filename(), fs::copy_options::overwrite_existing);
        }
        Shot shot;
        ASSERT_TRUE(shot.Read(name));
        ASSERT_GT(shot.width, 0);
        std::string first;
        EXPECT_EQ(CountMismatches(shot, 12, &first), 0) << first;
    }
    fs::remove("deb.log");
}

}  // namespace

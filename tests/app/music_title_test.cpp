// The music of the menus end to end: the whole program on its real clock
// and window, in a run folder the data generator wrote, stays on the main
// menu for about ten seconds while SDL's disk sound driver records what it
// plays. The radio's tune is heard to the end of the run, and the program's
// own screenshot three seconds after the menu appears shows the tune's
// "OGG: TITLE=" message line, where a run with an empty music folder shows
// no message line at all.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "audio/music_player.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "screens/main_menu.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"

namespace {

namespace fs = std::filesystem;

constexpr int Rate = 44100;
constexpr size_t FrameBytes = 4;  // signed 16-bit stereo
constexpr uint32_t ShotAfterMs = 3000;
constexpr uint32_t MenuLimitMs = 90000;
constexpr uint32_t MusicRunAfterStartMs = 7000;  // the longest wait for the menu (the start-up loads the site)

struct MenuRun {
    uint32_t startMs = 0;
    uint32_t menuMs = 0;          // when the main menu became the current page (0: not yet)
    uint32_t musicMs = 0;         // when the radio first had a file open (0: not yet)
    uint32_t runForMs = 0;        // how long the run stays on the menu
    int wantMusic = 0;            // the run measures the music: it lasts until enough was heard
    int shotRequested = 0;
    int stopSent = 0;
    uintmax_t stopFileOffset = 0;  // the sound file's size at the stop
    uint32_t stopMs = 0;
    std::string soundFile;
    std::vector<std::string> titleLines;  // "OGG: " lines seen among the message lines
};

MenuRun MenuState;

uintmax_t SoundBytes()
{
    std::error_code error;
    const uintmax_t size = fs::file_size(MenuState.soundFile, error);
    return error ? 0 : size;
}

void NoteTitleLines()
{
    for (int i = 0; i < MessageLineCount; ++i) {
        const std::string text = MessageLines[i].Text;
        if (text.rfind("OGG: ", 0) == 0 &&
            std::find(MenuState.titleLines.begin(), MenuState.titleLines.end(), text) == MenuState.titleLines.end()) {
            MenuState.titleLines.push_back(text);
        }
    }
}

// Each main-loop pass sleeps through here, on the program's real clock.
void WatchingSleep(int ms)
{
    SDL_Delay(static_cast<Uint32>(ms > 0 ? ms : 0));
    // Until the menus exist the entry screen starts the grid's race; this
    // run stays on the menu.
    StartRaceOnEntry = 0;
    if (MenuState.stopSent) {
        return;
    }
    const uint32_t now = SDL_GetTicks();
    NoteTitleLines();
    if (MenuState.menuMs == 0) {
        if (MainMenuPage != nullptr && CurrentScreen == MainMenuPage) {
            MenuState.menuMs = now;
        } else if (now - MenuState.startMs > MenuLimitMs) {
            MenuState.stopSent = 1;
            StartProgramExit(0);
        }
        return;
    }
    if (!MenuState.shotRequested && now - MenuState.menuMs >= ShotAfterMs) {
        MenuState.shotRequested = 1;
        ScreenshotRequest = 1;
    }
    if (MenuState.musicMs == 0 && MusicFile != nullptr) {
        MenuState.musicMs = now;
    }
    // A slow machine (the sanitizers) may start the tune late: the run stays
    // until the ring's lead of about 1.5 s and the 5 s measured have passed
    // since it started.
    const bool heardLongEnough = MenuState.musicMs != 0 && now - MenuState.musicMs >= MusicRunAfterStartMs;
    const bool waitForMusic = MenuState.wantMusic && !heardLongEnough && now - MenuState.menuMs < MenuLimitMs;
    if (MenuState.shotRequested && now - MenuState.menuMs >= MenuState.runForMs && !waitForMusic) {
        MenuState.stopSent = 1;
        MenuState.stopFileOffset = SoundBytes();
        MenuState.stopMs = now;
        // The way out a user takes: the entry screen closes and frees itself.
        StartProgramExit(0);
    }
}

struct Shot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

bool ReadBmp(const std::string &path, Shot *out)
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

// The pixels of the message-line area (the first three lines at the top
// left, where no menu item lies) that stand out from the background beside
// them: glyph pixels of a message line.
int MessageGlyphPixels(const Shot &shot)
{
    const auto at = [&](int x, int y) { return &shot.rgb[(static_cast<size_t>(y) * shot.width + x) * 3]; };
    // The background: the middle of the screen's left half, below the lines.
    const uint8_t *ground = at(shot.width / 8, shot.height / 2);
    int count = 0;
    const int x1 = shot.width * 3 / 8;             // x -1 .. -0.25
    const int y1 = static_cast<int>(shot.height * 0.06);  // y -1 .. -0.88, three lines of 0.04
    for (int y = 0; y < y1; ++y) {
        for (int x = 0; x < x1; ++x) {
            const uint8_t *p = at(x, y);
            const int difference = std::abs(p[0] - ground[0]) + std::abs(p[1] - ground[1]) + std::abs(p[2] - ground[2]);
            count += difference > 120 ? 1 : 0;
        }
    }
    return count;
}

std::string NewestShot(const fs::path &folder)
{
    std::string newest;
    fs::file_time_type newestTime{};
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder / "data" / "shots", error)) {
        if (entry.path().extension() == ".bmp" && (newest.empty() || entry.last_write_time() > newestTime)) {
            newest = entry.path().string();
            newestTime = entry.last_write_time();
        }
    }
    return newest;
}

std::vector<int16_t> ReadSamples(const std::string &path, uintmax_t fromByte, uintmax_t toByte)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(fromByte - fromByte % FrameBytes));
    std::vector<int16_t> samples;
    int16_t pair[2];
    uintmax_t at = fromByte - fromByte % FrameBytes;
    while (at + FrameBytes <= toByte && in.read(reinterpret_cast<char *>(pair), sizeof(pair))) {
        samples.push_back(pair[0]);
        samples.push_back(pair[1]);
        at += FrameBytes;
    }
    return samples;
}

double WindowDbfs(const std::vector<int16_t> &samples, size_t firstFrame, size_t frames)
{
    double power = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double l = samples[(firstFrame + i) * 2] / 32768.0;
        const double r = samples[(firstFrame + i) * 2 + 1] / 32768.0;
        power += (l * l + r * r) * 0.5;
    }
    const double rms = std::sqrt(power / static_cast<double>(frames));
    return rms > 0.0 ? 20.0 * std::log10(rms) : -400.0;
}

bool DisplayAvailable()
{
    const char *display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != 0;
}

// One run of the program in folder, on the menu for runForMs.
void RunOnMenu(const fs::path &folder, uint32_t runForMs, int wantMusic)
{
    const fs::path home = fs::current_path();
    fs::current_path(folder);
    fs::remove_all("data/shots");
    std::ofstream("cfg.txt") << "Start Windowed 1\nWindow 80 80 880 680\n";
    MenuState = MenuRun{};
    MenuState.runForMs = runForMs;
    MenuState.wantMusic = wantMusic;
    MenuState.soundFile = (folder / "sound.raw").string();
    fs::remove(MenuState.soundFile);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", MenuState.soundFile.c_str(), 1);
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    QuitFlag = 0;
    ExitState = 0;
    ExitValue = 0;
    ExitCode = 0;
    CurrentScreen = nullptr;
    ClearMessageLines();
    ProgramServices services{};
    services.sleepMs = WatchingSleep;
    SetProgramServices(services);
    MenuState.startMs = SDL_GetTicks();
    char name[] = "kzv";
    char *argv[] = {name, nullptr};
    const int code = RunProgram(1, argv);
    SetProgramServices(ProgramServices{});
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
    fs::current_path(home);
    EXPECT_EQ(code, 0);
    ASSERT_NE(MenuState.menuMs, 0u) << "the main menu did not appear within " << MenuLimitMs / 1000 << " s";
    ASSERT_TRUE(MenuState.shotRequested);
}

TEST(MusicTitle, TheMenuRadioIsHeardAndItsTitleLineShows)
{
    if (!DisplayAvailable()) {
        GTEST_SKIP() << "no display";
    }
    // A run folder as `make run` makes it, by the data generator itself.
    const fs::path folder = fs::absolute("music_title_run");
    fs::remove_all(folder);
    const std::string generate = std::string(KZV_DATAGEN) + " " + folder.string() + " >/dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    ASSERT_TRUE(fs::exists(folder / "data" / "ogg" / "radio.rad"));

    RunOnMenu(folder, 10000, 1);
    if (HasFatalFailure()) {
        return;
    }
    std::printf("menu at %u ms, music file open %u ms later, stop %u ms after the menu\n",
                MenuState.menuMs - MenuState.startMs, MenuState.musicMs - MenuState.menuMs,
                MenuState.stopMs - MenuState.menuMs);
    // The title line was printed ...
    bool titled = false;
    for (const std::string &line : MenuState.titleLines) {
        std::printf("message line: %s\n", line.c_str());
        titled = titled || line.rfind("OGG: TITLE=", 0) == 0;
    }
    EXPECT_TRUE(titled);
    // ... and shows on the screenshot.
    Shot withMusic;
    const std::string shotPath = NewestShot(folder);
    ASSERT_TRUE(ReadBmp(shotPath, &withMusic)) << shotPath;
    if (const char *keep = std::getenv("KZV_KEEP_SHOT")) {
        fs::copy_file(shotPath, keep, fs::copy_options::overwrite_existing);
    }
    const int titlePixels = MessageGlyphPixels(withMusic);

    // The last 5 s before the stop: music in every half second.
    const uintmax_t stop = MenuState.stopFileOffset;
    const uintmax_t span = 5ull * Rate * FrameBytes;
    ASSERT_GT(stop, span) << "less than 5 s of sound recorded";
    const std::vector<int16_t> samples = ReadSamples(MenuState.soundFile, stop - span, stop);
    const size_t window = Rate / 2;
    ASSERT_GE(samples.size() / 2, window * 9);
    for (size_t first = 0; first + window <= samples.size() / 2; first += window) {
        const double level = WindowDbfs(samples, first, window);
        std::printf("menu music window %.1f s before the stop: %.1f dBFS\n",
                    5.0 - static_cast<double>(first) / Rate, level);
        EXPECT_GT(level, -40.0) << "window " << first / static_cast<double>(Rate) << " s";
    }

    // The same run with an empty music folder: no message line at all.
    fs::remove_all(folder / "data" / "ogg");
    fs::create_directories(folder / "data" / "ogg");
    RunOnMenu(folder, ShotAfterMs + 500, 0);
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(MenuState.titleLines.empty());
    Shot silent;
    const std::string silentPath = NewestShot(folder);
    ASSERT_TRUE(ReadBmp(silentPath, &silent)) << silentPath;
    if (const char *keep = std::getenv("KZV_KEEP_SILENT_SHOT")) {
        fs::copy_file(silentPath, keep, fs::copy_options::overwrite_existing);
    }
    const int silentPixels = MessageGlyphPixels(silent);
    std::printf("message-area glyph pixels: %d with music, %d without\n", titlePixels, silentPixels);
    EXPECT_GT(titlePixels, 100);
    EXPECT_EQ(silentPixels, 0);
    fs::remove_all(folder);
}

}  // namespace

#pragma once

// What the whole-program tests share: a fake platform in which time passes
// only while the program sleeps, the lines of deb.log, and the start of a
// run from a fresh process's state with the default data written once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/program.h"
#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "tools/body_objects.h"
#include "tools/default_engines.h"
#include "tools/default_human.h"
#include "tools/default_skins.h"
#include "tools/font_file.h"
#include "ui/menu_page.h"

namespace program_test {

// The display the tests were started with; the runs hide it unless a test
// wants a window.
inline const std::string StartDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";

inline uint32_t FakeNowMs = 0;
inline std::vector<int> Sleeps;
inline std::function<void(int)> OnSleep;  // called with the number of the sleep, from 1

inline uint32_t FakeTime()
{
    return FakeNowMs;
}

inline void FakeSleep(int ms)
{
    Sleeps.push_back(ms);
    FakeNowMs += static_cast<uint32_t>(ms);
    if (OnSleep) {
        OnSleep(static_cast<int>(Sleeps.size()));
    }
    // A program that missed its way out is stopped, so the test fails
    // instead of hanging.
    if (Sleeps.size() > 1000) {
        RequestQuit();
    }
}

inline std::time_t FakeWallTime()
{
    return 1733684394;  // 8 December 2024
}

// The program's services on the fake clock.
inline ProgramServices FakeProgramServices()
{
    ProgramServices services{};
    services.timeMs = FakeTime;
    services.sleepMs = FakeSleep;
    services.wallTime = FakeWallTime;
    return services;
}

// deb.log without its time stamps.
inline std::vector<std::string> LogLines()
{
    std::vector<std::string> lines;
    std::ifstream in("deb.log");
    std::string line;
    while (std::getline(in, line)) {
        const std::string text = line.size() >= LogStampLength ? line.substr(LogStampLength) : line;
        // The cache fonts of the double-byte pages depend on the installed
        // fonts: a face or "no fonts available" per page. Only the "-----"
        // after them is kept.
        bool cacheFont = text.rfind("no fonts available : ", 0) == 0 || text.rfind("could not create font : ", 0) == 0;
        for (const char *page : {"SHIFTJIS : ", "CHINESEBIG5 : ", "GB2312 : ", "HANGUL : "}) {
            cacheFont = cacheFont || text.rfind(page, 0) == 0;
        }
        if (!cacheFont) {
            lines.push_back(text);
        }
    }
    return lines;
}

// The shell state of a freshly started process with graphics.
inline void ResetShellForRun()
{
    QuitFlag = 0;
    ExitState = 0;
    ExitValue = 0;
    ExitCode = 0;
    StartMode = StartModeNormal;
    GraphicsEnabled = 1;
    DedicatedMode = DedicatedNone;
    GameClock = 0;
    FrameRandom = 0;
    CurrentScreen = nullptr;
}

// No message box may wait for a user and the language stays English; the
// default data exists; the fake clock, the sleeps and the shell state are
// those of a freshly started process with graphics.
inline void PrepareProgramRun()
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    if (!std::filesystem::exists("data")) {
        for (const char *(*writer)(const char *) :
             {WriteFontFile, WriteDefaultSkins, WriteDefaultEngineFiles, WriteBodyObjects, WriteHumanFile}) {
            const char *error = writer(".");
            ASSERT_EQ(error, nullptr) << error;
        }
    }
    FakeNowMs = 5000;
    Sleeps.clear();
    OnSleep = nullptr;
    ResetShellForRun();
}

}  // namespace program_test

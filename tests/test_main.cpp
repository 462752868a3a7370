// Test entry: every test process works in a scratch folder of its own, so
// tests that make files never collide when CTest runs them side by side.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <dlfcn.h>
#include <unistd.h>

#include "platform/window.h"

namespace {

// No test may wait for a click: boxes are printed instead, and a question is
// answered No, as on a machine without a display.
PlatformAnswer PrintBox(const char *title, const char *text, PlatformMessageBoxKind kind)
{
    std::fprintf(stderr, "[box] %s: %s\n", title ? title : "", text ? text : "");
    return kind == PlatformBoxQuestion ? PlatformAnswerNo : PlatformAnswerOk;
}

}  // namespace

// Under the leak checker, the system's software OpenGL driver stays loaded
// to the end of the process: its own blocks that outlive a context are then
// named by the driver's file and left out by the suppressions list, instead
// of showing as leaks from an unknown, unloaded module.
void KeepOpenGlDriverLoaded()
{
#if defined(__SANITIZE_ADDRESS__)
    const bool leakChecked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    const bool leakChecked = true;
#else
    const bool leakChecked = false;
#endif
#else
    const bool leakChecked = false;
#endif
    if (leakChecked) {
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    }
}

int main(int argc, char **argv)
{
    KeepOpenGlDriverLoaded();
    ::testing::InitGoogleTest(&argc, argv);
    PlatformSetMessageBoxHandler(PrintBox);
    // Sound plays on the silent driver unless a test asks for another one.
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::current_path(ec) / ("p" + std::to_string(getpid()));
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    const bool moved = !ec && (fs::current_path(folder, ec), !ec);

    const int result = RUN_ALL_TESTS();

    if (moved) {
        fs::current_path(folder.parent_path(), ec);
        fs::remove_all(folder, ec);
    }
    return result;
}

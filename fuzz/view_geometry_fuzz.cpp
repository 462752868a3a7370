// The views file data\misc\views.bin, read as at start-up and then laid out
// on a few display shapes.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "core/shell_globals.h"
#include "render/view.h"
#include "scene/view_geometry.h"

namespace {

void WriteInput(const char *path, const uint8_t *data, size_t size)
{
    std::filesystem::create_directories("data/misc");
    if (FILE *file = std::fopen(path, "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int savedWidth = ScreenWidth;
    const int savedHeight = ScreenHeight;
    WriteInput("data/misc/views.bin", data, size);
    ReadViewGeometry();
    std::remove("data/misc/views.bin");

    const int shapes[][2] = {{1024, 768}, {2048, 768}, {3840, 768}, {5760, 1080}, {0, 0}};
    for (const auto &shape : shapes) {
        ScreenWidth = shape[0];
        ScreenHeight = shape[1];
        ApplyViewGeometry();
        float low = 0.0f;
        float high = 0.0f;
        float angle = 0.0f;
        GetViewFovRange(&low, &high, &angle);
    }

    ScreenWidth = savedWidth;
    ScreenHeight = savedHeight;
    SetDefaultViewGeometry();
    ApplyViewGeometry();
    return 0;
}

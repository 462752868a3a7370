// A car model's custom views file data\views\<car code>.cvw, read as the
// session reads it when another car model is viewed.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "scene/custom_views.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::filesystem::create_directories("data/views");
    if (FILE *file = std::fopen("data/views/FZZ.cvw", "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
    std::memset(&CarViews, 0, sizeof CarViews);
    SelectCustomViewSet("FZZ");
    std::remove("data/views/FZZ.cvw");

    std::memset(&CarViews, 0, sizeof CarViews);
    SetDefaultCustomViews();
    return 0;
}

// A .raw picture and its alpha companion, read as a texture load reads them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "render/texture_files.h"
#include "render/texture_manager.h"

namespace {

std::string ScratchPath(const char *name)
{
    static const std::string folder = [] {
        const char *tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr ? tmp : "/tmp") + "/kzv_raw_fuzz_" + std::to_string(::getpid()) + "_";
    }();
    return folder + name;
}

void WriteFile(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    // First byte: which files exist, a largest side and the halving; the
    // rest is split between the colour and the alpha file at the second
    // byte's share.
    const int choice = data[0];
    const size_t split = (size - 2) * data[1] / 255;
    const std::string colour = ScratchPath("pic.raw");
    const std::string alpha = ScratchPath("picALPHA.raw");
    if (choice & 1) {
        WriteFile(colour, data + 2, split);
    }
    if (choice & 2) {
        WriteFile(alpha, data + 2 + split, size - 2 - split);
    }
    const std::string path = (choice & 2) ? alpha : colour;
    uint8_t *pixels = nullptr;
    int side = 0;
    int kind = 0;
    int test = 0;
    uint8_t average[4] = {};
    if (ReadRawImage(&pixels, path.c_str(), &side, &kind, &test, (choice & 4) ? 8 : 0, choice & 8, average) > 0) {
        DownsampleImage32(pixels, side, kind);
    }
    delete[] pixels;
    std::remove(colour.c_str());
    std::remove(alpha.c_str());
    TextureLoadResult = 0;
    return 0;
}

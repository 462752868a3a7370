// DDS files: the reader from memory, a .dds texture file, and the texture
// cache of a .raw picture read at its own and at half size, with and
// without DXT textures on the device.
#include <cstdint>

#include "core/card_config.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/dds_file.h"
#include "render/render_device.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"

namespace {

void LoadAndDrop(const char *path, const char *name)
{
    TextureRecord *record = nullptr;
    if (LoadTextureFile(path, &record, name, 0, 0) == 0) {
        DeleteTexture(record);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzRecordingGraphics();
    DdsImage image;
    DecodeDdsImage(data, size, &image);
    const char *path = FuzzWriteFile("data\\dds\\fuzz.dds", data, size);
    // The last byte picks the settings, so the corpus covers each of them.
    const uint8_t choice = size > 0 ? data[size - 1] : 0;
    CompressTextures = 1;
    HalfTexRes = choice & 1;
    DxtSupported = (choice >> 1) & 1;
    TextureMipLevels = (choice >> 2) & 3;
    // No .raw file: only the cache can answer.
    LoadAndDrop("data\\pic\\fuzzALPHA.raw", "fuzz");
    LoadAndDrop(path, "fuzz_file");
    FuzzRemoveFile(path);
    CompressTextures = 1;
    HalfTexRes = 0;
    DxtSupported = 0;
    TextureMipLevels = 0;
    TextureLoadResult = 0;
    return 0;
}

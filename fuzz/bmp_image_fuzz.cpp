// BMP pictures: the reader from memory, a .bmp texture file (as DXT1 and as
// R5G6B5) and a pending encoded picture saved as DDS.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "platform/bmp_file.h"
#include "render/render_device.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzRecordingGraphics();
    RgbImage image;
    DecodeBmpImage(data, size, &image);
    const char *path = FuzzWriteFile("data\\pic\\fuzz.bmp", data, size);
    TextureRecord *record = nullptr;
    CompressTextures = size & 1;
    if (LoadTextureFile(path, &record, "fuzz", 0, 0) == 0) {
        DeleteTexture(record);
    }
    FuzzRemoveFile(path);
    // The same bytes as a downloaded picture in memory.
    PendingEncodedBytes = data;
    PendingEncodedSize = static_cast<int>(size);
    record = nullptr;
    if (LoadTextureFile("data\\pic\\fuzz_saved.dds", &record, "fuzz_saved", 0, 0) == 0) {
        DeleteTexture(record);
    }
    FuzzRemoveFile("data\\pic\\fuzz_saved.dds");
    PendingEncodedBytes = nullptr;
    PendingEncodedSize = 0;
    CompressTextures = 1;
    TextureLoadResult = 0;
    return 0;
}

// The JPEG reader of the platform layer (skins, site pictures), from memory
// and from a file.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "platform/jpeg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    JpegImage image;
    DecodeJpegImage(data, size, &image);
    const char *path = FuzzWriteFile("data\\skins\\fuzz.jpg", data, size);
    JpegImage fromFile;
    ReadJpegFile(path, &fromFile);
    FuzzRemoveFile(path);
    return 0;
}

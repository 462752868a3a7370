// The skin conversion: a downloaded JPEG skin in data\skins converted into a
// DXT1 DDS file in data\skins_dds, as the conversion screen does it.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "render/skin_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    const char *path = FuzzWriteFile("data\\skins\\XR_fuzz.jpg", data, size);
    if (StartSkinConversion(0) > 0) {
        while (ConvertNextSkin(0)) {
        }
    }
    EndSkinConversion();
    FuzzRemoveFile(path);
    FuzzRemoveFile("data\\skins_dds\\XR_fuzz.dds");
    return 0;
}

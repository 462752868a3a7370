// The program's vector font data\abc\kzv.abc with its code-page tables; every
// table is selected once after a read.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "ui/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = FuzzWriteFile("data\\abc\\kzv.abc", data, size);
    if (InitFont(path)) {
        for (int n = 0; n < 12; ++n) {
            SelectCodePage(n);
        }
    }
    FreeFont();
    FuzzRemoveFile(path);
    return 0;
}

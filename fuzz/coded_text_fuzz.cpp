// Marked-up text as it comes from other players, files and commands: every
// code page is measured and queued with the generated font, and the text is
// written into a small console picture.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "ui/font.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"

namespace {

bool FontLoaded()
{
    static const bool loaded = [] {
        FuzzMakeDefaultData();
        return InitFont(FontFilePath) == 1;
    }();
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!FontLoaded() || size == 0) {
        return 0;
    }
    // The first byte picks the code page and the cursor; the rest is the text.
    std::vector<char> text(data + 1, data + size);
    text.push_back(0);
    const int codePage = data[0] % 12;
    const int cursor = static_cast<int>(data[0] >> 4) - 3;
    MeasureCodedText(text.data(), 0.03f, codePage);
    MeasureVectorText(text.data(), 0.03f, codePage);
    DrawCodedText(text.data(), -1.0f, 0.0f, 0.03f, 0.05f, 0, 0xffffffffu, 0xffffffffu, cursor, codePage);
    uint32_t pixels[32 * 12] = {};
    ConsoleImage image{pixels, 32, 12};
    DrawTextToDC(image, text.data(), -3, 0, 255, 255, 255, codePage);
    // The batch is emptied as the frame's end does; no device draws it.
    TextBatches[0].count = 0;
    TextBatches[0].uncached = 0;
    TextBatches[0].mark = 0;
    return 0;
}

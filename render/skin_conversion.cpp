#include "render/skin_conversion.h"

#include "core/colour.h"
#include "core/text_utils.h"
#include "platform/dds_file.h"
#include "platform/dxt_codec.h"
#include "platform/file_system.h"
#include "platform/jpeg_file.h"
#include "render/render_link.h"
#include "render/texture_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct ListedSkin {
    std::string name;  // without the extension, cut to 19 characters
    int64_t modifiedNs;
};

struct Conversion {
    bool listed = false;
    std::vector<ListedSkin> jpgs;
    std::vector<ListedSkin> ddss;
    int current = -1;   // index into jpgs, -1 none
    int index = 0;      // 1-based among those needing conversion
    int count = 0;
    int converted = 0;
};
Conversion State;

// The folder's files with the extension, names without it and cut to 19
// characters.
std::vector<ListedSkin> ListSkins(const char *folder, const char *extension)
{
    std::vector<PlatformFolderEntry> entries;
    PlatformListFolder(folder, extension, &entries);
    std::vector<ListedSkin> skins;
    const size_t cut = std::strlen(extension);
    for (const PlatformFolderEntry &entry : entries) {
        std::string name = entry.name.substr(0, entry.name.size() - cut);
        if (name.size() > SkinListNameLength - 1) {
            name.resize(SkinListNameLength - 1);
        }
        skins.push_back({name, entry.modifiedNs});
    }
    return skins;
}

bool NeedsConversion(const ListedSkin &jpg)
{
    for (const ListedSkin &dds : State.ddss) {
        if (EqualsNoCase(dds.name.c_str(), jpg.name.c_str())) {
            return dds.modifiedNs < jpg.modifiedNs;
        }
    }
    return true;
}

int NextNeeding(int after)
{
    for (int i = after + 1; i < static_cast<int>(State.jpgs.size()); ++i) {
        if (NeedsConversion(State.jpgs[static_cast<size_t>(i)])) {
            return i;
        }
    }
    return -1;
}

void PrintCurrent(int print)
{
    if (!print || State.current < 0) {
        return;
    }
    char text[96];
    std::snprintf(text, sizeof(text), "Converting skin %d of %d : %s", State.index, State.count,
                  State.jpgs[static_cast<size_t>(State.current)].name.c_str());
    RenderShell.printMessage(text, ColourLightGrey);
}

void FreeLists()
{
    const int converted = State.converted;
    State = Conversion{};
    State.converted = converted;
}

// 2 x 2 box filter of an RGBA picture; sides halve down to 1.
std::vector<uint8_t> HalvePicture(const std::vector<uint8_t> &rgba, int width, int height, int *outWidth,
                                  int *outHeight)
{
    const int w = width > 1 ? width / 2 : 1;
    const int h = height > 1 ? height / 2 : 1;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = std::min(x * 2 + dx, width - 1);
                        const int sy = std::min(y * 2 + dy, height - 1);
                        sum += rgba[(static_cast<size_t>(sy) * width + sx) * 4 + c];
                    }
                }
                out[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
    *outWidth = w;
    *outHeight = h;
    return out;
}

}  // namespace

int HasCurrentDdsSkin(const char *jpgName)
{
    for (const ListedSkin &jpg : State.jpgs) {
        if (jpgName != nullptr && EqualsNoCase(jpg.name.c_str(), jpgName)) {
            return NeedsConversion(jpg) ? 0 : 1;
        }
    }
    return 0;
}

int ConvertSkinToDds(const char *name)
{
    RenderLog("convert : %s", name != nullptr ? name : "");
    char jpgPath[64];
    char ddsPath[64];
    std::snprintf(jpgPath, sizeof(jpgPath), "data\\skins\\%s.jpg", name != nullptr ? name : "");
    std::snprintf(ddsPath, sizeof(ddsPath), "data\\skins_dds\\%s.dds", name != nullptr ? name : "");
    JpegImage picture;
    char text[96];
    if (!ReadJpegFile(jpgPath, &picture)) {
        std::snprintf(text, sizeof(text), "Could not load file : %s", jpgPath);
        RenderWarning(text);
        return 0;
    }
    int width = picture.width;
    int height = picture.height;
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgba[i * 4] = picture.pixels[i * 3];
        rgba[i * 4 + 1] = picture.pixels[i * 3 + 1];
        rgba[i * 4 + 2] = picture.pixels[i * 3 + 2];
        rgba[i * 4 + 3] = 255;
    }
    DdsImage image;
    image.width = width;
    image.height = height;
    for (;;) {
        std::vector<uint8_t> blocks;
        EncodeDxt(rgba.data(), width, height, false, &blocks);
        image.levels.push_back(std::move(blocks));
        if (width == 1 && height == 1) {
            break;
        }
        rgba = HalvePicture(rgba, width, height, &width, &height);
    }
    PlatformMakeDirectory("data\\skins_dds");
    if (!SaveDdsFile(ddsPath, image)) {
        std::snprintf(text, sizeof(text), "Could not save file : %s", ddsPath);
        RenderWarning(text);
        return 0;
    }
    return 1;
}

int StartSkinConversion(int print)
{
    State = Conversion{};
    State.listed = true;
    State.jpgs = ListSkins("data\\skins", ".jpg");
    State.ddss = ListSkins("data\\skins_dds", ".dds");
    for (const ListedSkin &jpg : State.jpgs) {
        State.count += NeedsConversion(jpg) ? 1 : 0;
    }
    State.current = NextNeeding(-1);
    if (State.current < 0) {
        FreeLists();
        return 0;
    }
    State.index = 1;
    PrintCurrent(print);
    return State.count;
}

int ConvertNextSkin(int print)
{
    if (State.current < 0) {
        return 0;
    }
    State.converted += ConvertSkinToDds(State.jpgs[static_cast<size_t>(State.current)].name.c_str());
    State.current = NextNeeding(State.current);
    if (State.current < 0) {
        FreeLists();
        return 0;
    }
    ++State.index;
    PrintCurrent(print);
    return 1;
}

void EndSkinConversion()
{
    FreeLists();
}

SkinConversionState GetSkinConversionState()
{
    SkinConversionState state{};
    state.index = State.index;
    state.count = State.count;
    state.converted = State.converted;
    state.name = State.current >= 0 ? State.jpgs[static_cast<size_t>(State.current)].name.c_str() : "";
    return state;
}

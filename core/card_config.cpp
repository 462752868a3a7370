#include "core/card_config.h"

#include <cstring>

#include "core/debug_log.h"
#include "core/safe_write.h"
#include "core/settings.h"
#include "core/text_settings_reader.h"
#include "platform/file_system.h"

int AdapterSelect = 0;
int ZbdSelect = -1;
int SimpleTrack = 0;
char AdapterDescription[AdapterNameSize] = {};
DeviceCaps CurrentDeviceCaps = {};

int MaxTextureSide = 4096;
int DxtSupported = 0;
uint32_t Modulate2xOn = 1;
int MultiTextureOn = 1;
int MaxMipFilter = 2;

namespace {

constexpr const char *CardConfigPath = "card_cfg.txt";

enum CardKey { KeyAdapterSelect, KeyAdapterName, KeyZbdSelect, KeySimpleTrack, CardKeyCount };

const char *const CardKeys[CardKeyCount] = {"Adapter Select ", "Adapter Name ", "ZBD Select ", "Simple Track "};

void ReadCardKey(FILE *file, int key, void *)
{
    switch (key) {
    case KeyAdapterSelect:
        ReadClampedInt(file, &AdapterSelect, 0, 7);
        break;
    case KeyAdapterName: {
        char scratch[AdapterNameSize];  // the adapter may have changed; the device decides
        ReadTextLine(file, scratch, sizeof(scratch));
        break;
    }
    case KeyZbdSelect:
        ReadClampedInt(file, &ZbdSelect, -1, 3);
        break;
    case KeySimpleTrack:
        ReadClampedInt(file, &SimpleTrack, 0, 2);
        break;
    default:
        break;
    }
}

const char *CanText(bool can)
{
    return can ? "can" : "can't";
}

}  // namespace

DeviceCaps NullDeviceCaps()
{
    DeviceCaps caps = {};
    caps.maxTextureWidth = 4096;
    caps.maxTextureHeight = 4096;
    caps.canClampTextures = 1;
    caps.destColourSourceBlend = 1;
    caps.sourceColourDestBlend = 1;
    caps.modulate2x = 1;
    caps.maxSimultaneousTextures = 2;
    caps.dynamicTextures = 1;
    caps.maxAnisotropy = 1;
    return caps;
}

void SetRenderCapabilityDefaults()
{
    MaxTextureSide = 4096;
    Modulate2xOn = 1;
    MultiTextureOn = 1;
}

void ReadCardConfig()
{
    AdapterSelect = 0;
    ZbdSelect = -1;
    SimpleTrack = 0;
    FILE *file = PlatformOpenFile(CardConfigPath, "r");
    if (!file) {
        return;
    }
    ReadTextSettings(file, CardKeys, CardKeyCount, ReadCardKey, nullptr);
    std::fclose(file);
}

void WriteCardConfig()
{
    SafeWrite write;
    FILE *file = OpenSafeWriteText(&write, CardConfigPath);
    if (!file) {
        return;
    }
    AdapterDescription[AdapterNameSize - 1] = 0;
    std::fprintf(file, "%s%d\n", CardKeys[KeyAdapterSelect], AdapterSelect);
    std::fprintf(file, "%s%s\n", CardKeys[KeyAdapterName], AdapterDescription);
    std::fprintf(file, "%s%d\n", CardKeys[KeyZbdSelect], ZbdSelect);
    std::fprintf(file, "%s%d\n", CardKeys[KeySimpleTrack], SimpleTrack);
    CloseSafeWriteText(&write, file);
}

void LogDeviceCaps()
{
    const DeviceCaps &caps = CurrentDeviceCaps;
    const int maxTexture = caps.maxTextureWidth < caps.maxTextureHeight ? caps.maxTextureWidth : caps.maxTextureHeight;
    LogPrintf("max texture size %d", maxTexture);

    const bool blends = caps.destColourSourceBlend && caps.sourceColourDestBlend;
    const bool shadows = caps.canClampTextures && blends;
    const bool doubleBright = caps.modulate2x && blends;
    const bool multiTexture = caps.maxSimultaneousTextures > 1;
    const bool dynamic = caps.dynamicTextures != 0;
    const bool compressed = caps.dxt1Textures && caps.dxt3Textures;
    LogPrintf("%s do shadows", CanText(shadows));
    LogPrintf("%s use 2x tex", CanText(doubleBright));
    LogPrintf("%s do multi tex", CanText(multiTexture));
    LogPrintf("%s use dynamic tex", CanText(dynamic));
    LogPrintf("%s use compressed tex", CanText(compressed));

    MaxMipFilter = caps.maxAnisotropy > 2 ? caps.maxAnisotropy : 2;
    if (MipFilter > MaxMipFilter) {
        MipFilter = MaxMipFilter;
    }
    // A device that reports no texture size at all is not believed: a limit
    // of 0 would refuse every texture.
    if (maxTexture > 0 && MaxTextureSide > maxTexture) {
        MaxTextureSide = maxTexture;
    }
    if (!shadows) {
        ShadowMode = 0;
    }
    if (!doubleBright) {
        Modulate2xOn = 0;
    }
    if (!multiTexture) {
        MultiTextureOn = 0;
    }
    DxtSupported = compressed ? 1 : 0;
    if (!compressed) {
        HalfTexRes = 1;
    }
}

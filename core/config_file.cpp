#include "core/config_file.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/card_config.h"
#include "core/float_math.h"
#include "core/font_face_settings.h"
#include "core/language_table.h"
#include "core/safe_write.h"
#include "core/shell_globals.h"
#include "core/text_settings_reader.h"
#include "core/text_utils.h"
#include "core/version.h"
#include "platform/file_system.h"

float MainLodReciprocal = 1.0f / 0.8f;
float SecondLodFactor = 1.0f;
float EditorViewScale = 0.0f;
char MusicFilePattern[MusicFilePatternSize] = {};
int MpSpeedupChoice = -1;

namespace {

constexpr const char *ConfigPath = "cfg.txt";
constexpr int VersionTextSize = 8;

constexpr ConfigKey Int(const char *key, int *variable, int min, int max, int value, ConfigRule rule = RuleNone)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigInt;
    row.rule = rule;
    row.variable = variable;
    row.min = min;
    row.max = max;
    row.defaults[0] = value;
    return row;
}

constexpr ConfigKey PlainInt(const char *key, int *variable, int value)
{
    ConfigKey row = Int(key, variable, 0, 0, value);
    row.kind = ConfigPlainInt;
    return row;
}

constexpr ConfigKey Byte(const char *key, uint8_t *variable, int min, int max, int value)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigByte;
    row.variable = variable;
    row.min = min;
    row.max = max;
    row.defaults[0] = value;
    return row;
}

constexpr ConfigKey Mask(const char *key, uint32_t *variable, uint32_t mask, int value, ConfigRule rule = RuleNone)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigMask;
    row.rule = rule;
    row.variable = variable;
    row.mask = mask;
    row.defaults[0] = value;
    return row;
}

constexpr ConfigKey Float(const char *key, float *variable, float min, float max, float value, int decimals)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigFloat;
    row.decimals = static_cast<uint8_t>(decimals);
    row.variable = variable;
    row.floatMin = min;
    row.floatMax = max;
    row.floatDefault = value;
    return row;
}

constexpr ConfigKey Col(const char *key, Colour *variable, int red, int green, int blue)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigColour;
    row.variable = variable;
    row.defaults[0] = red;
    row.defaults[1] = green;
    row.defaults[2] = blue;
    return row;
}

constexpr ConfigKey Four(const char *key, int32_t *a, int32_t *b, int32_t *c, int32_t *d, int da, int db, int dc,
                         int dd, ConfigRule rule = RuleNone)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigFourInts;
    row.rule = rule;
    row.parts[0] = a;
    row.parts[1] = b;
    row.parts[2] = c;
    row.parts[3] = d;
    row.defaults[0] = da;
    row.defaults[1] = db;
    row.defaults[2] = dc;
    row.defaults[3] = dd;
    return row;
}

constexpr ConfigKey Mode(const char *key, DisplayModeChoice *mode, int sixteenBit, int refresh, int width, int height)
{
    return Four(key, &mode->sixteenBit, &mode->refresh, &mode->width, &mode->height, sixteenBit, refresh, width,
                height);
}

template <int N>
constexpr ConfigKey Text(const char *key, char (&variable)[N], const char *value, ConfigRule rule = RuleNone)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigText;
    row.rule = rule;
    row.size = N;
    row.variable = variable;
    row.textDefault = value;
    return row;
}

template <int N>
constexpr ConfigKey Name(const char *key, char (&variable)[N], ConfigRule rule = RuleNone)
{
    ConfigKey row = Text(key, variable, "", rule);
    row.kind = ConfigName;
    return row;
}

constexpr ConfigKey Version(const char *key)
{
    ConfigKey row = {};
    row.key = key;
    row.kind = ConfigVersion;
    row.size = VersionTextSize;
    return row;
}

}  // namespace

// The order is the order of the written lines, and a key that ends another
// key must come after it ("Editor Options " before "Options ").
const ConfigKey ConfigKeyTable[ConfigKeyCount] = {
    Version("Version "),
    Int("Start Windowed ", &StartWindowed, 0, 1, 0),
    Int("Welcome Z ", &WelcomeZ, 0, 1, 1),
    Four("Window ", &WindowRectangle.left, &WindowRectangle.top, &WindowRectangle.right, &WindowRectangle.bottom, 80,
         80, 1104, 848, RuleWindow),
    Int("Show FPS ", &ShowFps, 0, 2, 1),
    Int("Sky Res ", &SkyRes, 0, 2, 2),
    Int("Mirror Internal ", &MirrorInternal, 0, 3, 1),
    Int("Clocks Internal ", &ClocksInternal, 0, 3, 1),
    Int("Clocks External ", &ClocksExternal, 0, 1, 0),
    Int("Control Type ", &ControlType, 0, 1, 0),
    Int("Steer KB ", &SteerKb, 0, 2, 0),
    Int("Next Shot ", &NextShot, 1, 99999999, 1),
    Float("Thr Brk Rate ", &ThrBrkRate, 2.0f, 10.0f, 6.0f, 2),
    Float("KB Steer Rate ", &KbSteerRate, 0.0f, 1.0f, 0.4f, 2),
    Float("KB Return Rate ", &KbReturnRate, 0.0f, 1.0f, 0.2f, 2),
    Float("KB Fast Mul ", &KbFastMul, 1.0f, 3.0f, 2.0f, 2),
    Float("KB Slow Mul ", &KbSlowMul, 0.0f, 1.0f, 0.5f, 2),
    Float("KB Limit Mul ", &KbLimitMul, 0.4f, 1.2f, 0.8f, 2),
    Int("Update Path ", &UpdatePath, 0, 2, 2),
    Int("Replay Skins ", &ReplaySkins, 0, 2, 1),
    Int("FF Step Num ", &FfStepNum, 64, 256, 256),
    Float("FF Strength ", &FfStrength, 0.0f, 200.0f, 50.0f, 2),
    Byte("Fuel Start ", &DefaultPitStrategy.fuelStart, 1, 100, 50),
    Byte("Fuel Pit ", &DefaultPitStrategy.fuelPit, 0, 100, 30),
    Byte("Tyre Limit ", &DefaultPitStrategy.tyreLimit, 0, 90, 30),
    Byte("Strategy ", &DefaultPitStrategy.strategy, 0, 1, 1),
    Int("MP Speedup Opt ", &MpSpeedupOpt, 0, 1, 1, RuleMpSpeedup),
    Int("Auto Get Skins ", &AutoGetSkins, 0, 2, 1),
    Int("Helmet Skins ", &HelmetSkins, 0, 2, -1),
    Int("Instant Look ", &InstantLook, 0, 1, 0),
    Int("Steer Look ", &SteerLook, 0, 3, 0),
    Float("Steer Look Amount ", &SteerLookAmount, 0.0f, 2.0f, 1.0f, 2),
    Float("Steer Look Reduce ", &SteerLookReduce, 0.0f, 1.0f, 0.0f, 2),
    Float("Tilt DPG ", &TiltDpg, 0.0f, 3.0f, 1.5f, 2),
    Float("LSPG ", &Lspg, 0.0f, 0.1f, 0.0f, 3),
    Float("FSPG ", &Fspg, 0.0f, 0.1f, 0.0f, 3),
    Float("VSPG ", &Vspg, 0.0f, 0.1f, 0.0f, 3),
    Float("Camera Delay ", &CameraDelay, 0.5f, 1.5f, 1.0f, 2),
    Float("MP Draw Dist ", &MpDrawDist, 80.0f, 240.0f, 160.0f, 2),
    Float("Dynamic Lod ", &DynamicLod, 0.0f, 1.0f, 0.5f, 2),
    Float("Rubber Lay ", &RubberLay, 0.0f, 1.0f, 0.6f, 2),
    Float("Rubber Dark ", &RubberDark, 0.0f, 1.0f, 0.8f, 2),
    Int("Haze Effect ", &FogEnabled, 0, 1, 1),
    Int("Test Shadows ", &TestShadows, 0, 1, 0),
    Int("Vertical Sync ", &VerticalSync, 0, 1, 0),
    Float("MIP_0 ", &MipBias[0], -6.0f, 0.0f, -1.0f, 1),
    Float("MIP_1 ", &MipBias[1], -6.0f, 0.0f, -2.0f, 1),
    Float("MIP_2 ", &MipBias[2], -6.0f, 0.0f, -3.0f, 1),
    Float("MIP_3 ", &MipBias[3], -6.0f, 0.0f, -4.0f, 1),
    Float("Main LOD ", &MainLod, 0.4f, 1.0f, 0.8f, 2),
    Float("Mirr LOD ", &MirrLod, 0.2f, 0.4f, 0.3f, 2),
    Float("Dust LOD ", &DustLod, 0.2f, 1.0f, 1.0f, 2),
    Mode("Screen Info ", &FullScreenMode, 0, 0, 0, 0),
    PlainInt("TrackEd Speed ", &TrackEdSpeed, 65536),
    PlainInt("ModelEd Speed ", &ModelEdSpeed, 65536),
    Mask("Editor Options ", &EditorOptions, 0x819e, 0x0),
    Mask("Screen Flags ", &ScreenFlags, 0x6f7fc, 0xd200),
    Col("Sun Colour ", &SunColour, 255, 255, 255),
    Col("Sky High ", &SkyHighColour, 150, 160, 200),
    Col("Ground ", &GroundColour, 100, 100, 100),
    Col("Background ", &BackgroundColour, 30, 30, 30),
    Col("Back Texture ", &BackTextureColour, 100, 100, 100),
    Col("FNV Dash ", &DashColourSettings[0], 64, 96, 128),
    Col("BPR Dash ", &DashColourSettings[1], 48, 48, 255),
    Col("FCR Dash ", &DashColourSettings[2], 200, 32, 32),
    Col("MRG Dash ", &DashColourSettings[3], 96, 128, 96),
    Col("Road Gear LED ", &RoadGearLedColour, 48, 48, 255),
    Col("Split Text ", &SplitTextColour, 200, 200, 200),
    Col("Clock Text ", &ClockTextColour, 200, 200, 200),
    Col("Clock Needle ", &ClockNeedleColour, 200, 32, 32),
    Float("Editor FOV ", &EditorFov, 10.0f, 120.0f, 60.0f, 1),
    Float("Editor Soft ", &EditorSoft, 0.1f, 2.5f, 0.3f, 2),
    Float("Button Look ", &ButtonLook, 30.0f, 90.0f, 45.0f, 0),
    Float("FV Lag ", &FvLag, 0.1f, 0.5f, 0.1f, 1),
    Float("FV Height ", &FvHeight, 0.0f, 1.0f, 0.5f, 1),
    Float("FV Pitch ", &FvPitch, 0.0f, 45.0f, 12.0f, 1),
    Float("FV Dist ", &FvDist, 1.0f, 10.0f, 6.0f, 1),
    Int("FV Dir ", &FvDir, 0, 1, 1),
    Text("Selected Car ", SelectedCarName, "", RuleWelcomeGated),
    Text("Map Name ", MapName, "", RuleWelcomeGated),
    Name("Ply Name ", PlayerName.name),
    Name("Setup Name ", SetupName, RuleWelcomeGated),
    Name("Colours Name ", ColoursName, RuleWelcomeGated),
    Int("Master Port ", &MasterPort, 1, 65535, 29339),
    Int("Auto Kick ", &AutoKick, 0, 3, 3),
    Int("Address Name ", &AddressName, 0, 1, 1),
    Text("Server IP ", ServerIp, "0.0.0.0"),
    Text("Server Name ", ServerName, ""),
    Text("Server Port ", ServerPort, "63392"),
    Text("Game Name ", GameName, ""),
    Text("Game IP ", GameIp, "auto"),
    Text("Game Port ", GamePort, "63392"),
    Text("Game Pass ", GamePass, ""),
    Text("Game Admin ", GameAdmin, ""),
    Text("Language ", LanguageName, "", RuleLanguage),
    Text("Find User ", FindUser, ""),
    Text("Upload Bandwidth ", UploadBandwidth, "128"),
    Int("Setup Index ", &SetupIndex, -1, 3, 0),
    Int("Colours Index ", &ColoursIndex, -1, 14, 0),
    Int("Lighting ", &TrackLighting, 0, 3, 0),
    Int("Flip ", &TrackFlip, 0, 1, 0),
    Int("Config ", &TrackConfig, 1, 12, 1),
    Int("Race Start ", &RaceStart, 0, 3, 1),
    Float("SCREEN_CX ", &ScreenCx, -0.5f, 0.5f, 0.0f, 2),
    Float("SCREEN_CY ", &ScreenCy, -0.5f, 0.5f, 0.0f, 2),
    Float("SCREEN_XMUL ", &ScreenXMul, 0.5f, 1.0f, 1.0f, 2),
    Float("SCREEN_YMUL ", &ScreenYMul, 0.5f, 1.0f, 1.0f, 2),
    Float("Combined Non Linear ", &CombinedNonLinear, 0.0f, 1.0f, 0.0f, 2),
    Float("Turn Compensation ", &TurnCompensation, 0.0f, 1.0f, 1.0f, 2),
    Float("Mouse Non Linear ", &MouseNonLinear, 0.0f, 1.0f, 0.8f, 2),
    Float("Steer Smooth ", &SteerSmooth, 0.0f, 0.95f, 0.0f, 2),
    Float("Speed Steer Reduction WM ", &SpeedSteerReductionWm, 0.0f, 1.0f, 0.0f, 2),
    Float("Half Reduce Speed m/s WM ", &HalfReduceSpeedWm, 10.0f, 200.0f, 50.0f, 2),
    Float("Speed Steer Reduction KB ", &SpeedSteerReductionKb, 0.0f, 1.0f, 1.0f, 2),
    Float("Half Reduce Speed m/s KB ", &HalfReduceSpeedKb, 10.0f, 200.0f, 50.0f, 2),
    Int("SHOW_MODES ", &ShowModes, 1, 3, 3),
    Mode("INFO_F9 ", &ModePresets[0], 1, 0, 640, 480),
    Mode("INFO_F10 ", &ModePresets[1], 1, 0, 800, 600),
    Mode("INFO_F11 ", &ModePresets[2], 1, 0, 1024, 768),
    Mode("INFO_F12 ", &ModePresets[3], 1, 0, 1280, 960),
    Int("Disable Anim View ", &DisableAnimView, 0, 1, 1),
    Int("Driver Pos View ", &DriverPosView, 0, 1, 0),
    Int("Show Names ", &NamesMode, 0, 2, 0),
    Int("Show Mouse ", &ShowMouse, 0, 1, 0),
    Int("Internal Show ", &InternalShow, 0, 2, 1),
    Int("Show Map ", &ShowMap, 0, 2, 2),
    Int("Start Lights ", &StartLights, 0, 2, 2),
    Int("Skill Level ", &SkillLevel, 0, 4, 4),
    Int("Blob Size ", &BlobSize, 2, 5, 3),
    Int("Windowed Link ", &WindowedLink, 0, 1, 1),
    Int("No Trees ", &NoTrees, 0, 2, 1),
    Int("No Flags ", &NoFlags, 0, 2, 1),
    Int("No Rubber ", &NoRubber, 0, 2, 1),
    Int("ALL SPR MPR ", &AllSprMpr, 0, 2, 0),
    Text("Music Dir ", MusicDir, "data\\ogg"),
    Int("Music Setup ", &MusicSetup, 0, 1, 1),
    Int("Music Game ", &MusicGame, 0, 1, 0),
    Int("Music Replay ", &MusicReplay, 0, 1, 0),
    Float("MUSIC ", &MusicVolume, 0.0f, 20.0f, 10.0f, 1),
    Float("BEEPS ", &BeepsVolume, 0.0f, 20.0f, 10.0f, 1),
    Float("CAR_V ", &CarSoundVolume, 0.0f, 20.0f, 15.0f, 1),
    Float("ECHO_B ", &EchoBalance, 0.0f, 1.0f, 0.5f, 1),
    Float("SKID_B ", &SkidBalance, 0.0f, 1.0f, 0.5f, 1),
    Float("WIND_B ", &WindBalance, 0.0f, 1.0f, 0.5f, 1),
    Float("Sound Delay ", &SoundDelay, 0.05f, 0.2f, 0.1f, 2),
    Float("Message Size ", &MessageSize, 0.03f, 0.05f, 0.04f, 3),
    Float("Car Shine ", &CarShine, 0.0f, 1.0f, 1.0f, 2),
    PlainInt("Music Channel ", &MusicChannel, 3),
    Int("Antialiasing ", &Antialiasing, 0, 16, 0),
    Int("Mip Filter ", &MipFilter, 0, 16, 1),
    Int("Local Skins DDS ", &LocalSkinsDds, 0, 1, 1),
    Int("Shadow Mode ", &ShadowMode, 0, 2, 2),
    Int("Lag Prevent ", &LagPrevent, 0, 1, 1),
    Int("Min Frame Time ", &MinFrameTime, 10, 100, 10),
    Int("Game Limit FPS ", &GameLimitFps, 0, 1, 1),
    Int("Min Sleep ", &MinSleep, 1, 20, 1),
    Int("Debounce ", &Debounce, 20, 250, 40),
    Int("Half Tex Res ", &HalfTexRes, 0, 1, 0),
    Int("Dedicated Host ", &DedicatedHost, 0, 1, 0),
    Int("AI Use Ply Setup ", &AiUsePlySetup, 0, 1, 0),
    Int("AI Use Ply Colours ", &AiUsePlyColours, 0, 1, 0),
    Int("SPR Auto Save ", &SprAutoSave, 0, 2, 1),
    Int("MPR Auto Save ", &MprAutoSave, 0, 2, 1),
    Int("MPR Message Block ", &MprMessageBlock, 0, 2, 0),
    Int("Options ", &OptionsTab, 1, 9, 1),
    Int("Ed Char Size ", &EdCharSize, 0, 3, 1),
    Int("Max Conns ", &MaxConns, 2, 48, 4),
    Int("Modem Type ", &ModemType, 3, 6, 0),
    Int("Packs Per Sec ", &PacksPerSec, 3, 12, 4),
    // A race holds 32 player slots, so no more cars can be asked for.
    Int("Cars In Race ", &CarsInRace, 1, 32, 4),
    Int("Cars Per Guest ", &CarsPerGuest, 0, 3, 1),
    Int("Cars Per Host ", &CarsPerHost, 0, 3, 1),
    Int("Admin Slots ", &AdminSlots, 0, 8, 0),
    Mask("MP Rules ", &MpRules, 0xfffff, 0xfffff),
    Mask("MP Flags ", &MpFlags, 0x3e3, 0x23),
    Mask("MP Filter ", &MpFilter, 0x13c, 0x0, RuleMpFilter),
    Mask("Rules Y ", &RulesY, 0xfffff, 0x0),
    Mask("Rules N ", &RulesN, 0xfffff, 0x0),
    Mask("FLags Y ", &FlagsY, 0x3e7, 0x0),
    Mask("Flags N ", &FlagsN, 0x3e7, 0x280),
    Int("Conn To Master ", &ConnToMaster, 0, 2, 1),
    Int("OutSim Mode ", &OutSimMode, 0, 2, 0, RuleRunOnlyMode3),
    Int("OutSim Delay ", &OutSimDelay, 1, 100, 1),
    Text("OutSim IP ", OutSimIp, "0.0.0.0"),
    Text("OutSim Port ", OutSimPort, "0"),
    Int("OutSim ID ", &OutSimId, 0, 65535, 0),
    Int("OutGauge Mode ", &OutGaugeMode, 0, 2, 0, RuleRunOnlyMode3),
    Int("OutGauge Delay ", &OutGaugeDelay, 1, 100, 1),
    Text("OutGauge IP ", OutGaugeIp, "0.0.0.0"),
    Text("OutGauge Port ", OutGaugePort, "0"),
    Int("OutGauge ID ", &OutGaugeId, 0, 65535, 0),
    Text("FN_J ", FontFaceSettings[0].name, ""),
    Text("FN_H ", FontFaceSettings[1].name, ""),
    Text("FN_S ", FontFaceSettings[2].name, ""),
    Text("FN_K ", FontFaceSettings[3].name, ""),
    Int("FW_J ", &FontFaceSettings[0].weight, 100, 900, DefaultFontWeight),
    Int("FW_H ", &FontFaceSettings[1].weight, 100, 900, DefaultFontWeight),
    Int("FW_S ", &FontFaceSettings[2].weight, 100, 900, DefaultFontWeight),
    Int("FW_K ", &FontFaceSettings[3].weight, 100, 900, DefaultFontWeight),
};

namespace {

// What the reader gathers besides the settings themselves.
struct ConfigReadState {
    char version[VersionTextSize];
    bool mpFilterSeen;
};

const char *const *ConfigKeyTexts()
{
    static const std::array<const char *, ConfigKeyCount> texts = [] {
        std::array<const char *, ConfigKeyCount> keys{};
        for (int i = 0; i < ConfigKeyCount; ++i) {
            keys[i] = ConfigKeyTable[i].key;
        }
        return keys;
    }();
    return texts.data();
}

void SetKeyDefault(const ConfigKey &row)
{
    switch (row.kind) {
    case ConfigVersion:
        break;
    case ConfigInt:
    case ConfigPlainInt:
        *static_cast<int *>(row.variable) = row.defaults[0];
        break;
    case ConfigByte:
        *static_cast<uint8_t *>(row.variable) = static_cast<uint8_t>(row.defaults[0]);
        break;
    case ConfigMask:
        *static_cast<uint32_t *>(row.variable) = static_cast<uint32_t>(row.defaults[0]);
        break;
    case ConfigFloat:
        *static_cast<float *>(row.variable) = row.floatDefault;
        break;
    case ConfigColour:
        SetColourBytes(static_cast<Colour *>(row.variable), row.defaults[0], row.defaults[1], row.defaults[2]);
        break;
    case ConfigFourInts:
        if (row.rule == RuleWindow) {
            DefaultWindowRect(DesktopWidth, DesktopHeight, &WindowRectangle);
        } else {
            for (int i = 0; i < 4; ++i) {
                *row.parts[i] = row.defaults[i];
            }
        }
        break;
    case ConfigText:
    case ConfigName:
        CopyString(static_cast<char *>(row.variable), row.textDefault ? row.textDefault : "", row.size);
        break;
    }
}

// Reads a text value. A gated value is read into a temporary and taken only
// when it is not empty and "Welcome Z " is 0 at this moment of the file.
void ReadTextValue(FILE *file, const ConfigKey &row)
{
    constexpr int TemporarySize = 64;
    char *variable = static_cast<char *>(row.variable);
    const bool gated = row.rule == RuleWelcomeGated;
    char temporary[TemporarySize];
    char *target = gated ? temporary : variable;
    const int size = gated && row.size > TemporarySize ? TemporarySize : row.size;
    if (row.kind == ConfigName) {
        ReadTextLineNoEscapes(file, target, size);
    } else {
        ReadTextLine(file, target, size);
    }
    if (gated && temporary[0] && WelcomeZ == 0) {
        CopyString(variable, temporary, row.size);
    }
}

void ReadConfigKey(FILE *file, int index, void *context)
{
    ConfigReadState &state = *static_cast<ConfigReadState *>(context);
    const ConfigKey &row = ConfigKeyTable[index];
    switch (row.kind) {
    case ConfigVersion:
        ReadTextLine(file, state.version, sizeof(state.version));
        break;
    case ConfigInt:
        ReadClampedInt(file, static_cast<int *>(row.variable), row.min, row.max);
        break;
    case ConfigPlainInt:
        ScanTextInt(file, static_cast<int *>(row.variable));
        break;
    case ConfigByte: {
        uint8_t *byte = static_cast<uint8_t *>(row.variable);
        int value = *byte;
        ReadClampedInt(file, &value, row.min, row.max);
        *byte = static_cast<uint8_t>(value & 0xFF);
        break;
    }
    case ConfigMask:
        ReadMaskedInt(file, static_cast<uint32_t *>(row.variable), row.mask);
        if (row.rule == RuleMpFilter) {
            state.mpFilterSeen = true;
        }
        break;
    case ConfigFloat:
        ReadClampedFloat(file, static_cast<float *>(row.variable), row.floatMin, row.floatMax);
        break;
    case ConfigColour: {
        Colour *colour = static_cast<Colour *>(row.variable);
        int rgb[3] = {colour->red, colour->green, colour->blue};
        for (int &channel : rgb) {
            if (!ScanTextInt(file, &channel)) {
                break;
            }
        }
        SetColourBytes(colour, rgb[0], rgb[1], rgb[2]);
        break;
    }
    case ConfigFourInts:
        for (int i = 0; i < 4; ++i) {
            if (!ScanTextInt(file, row.parts[i])) {
                break;
            }
        }
        break;
    case ConfigText:
    case ConfigName:
        ReadTextValue(file, row);
        break;
    }
}

bool LanguageClearedByUpgrade(int primary)
{
    return primary == 2 || primary == 4 || primary == 10 || primary == 17 || primary == 18;
}

// Files written by older versions: the version text is "0.", a digit (the
// minor version), a capital letter and a number, as in "0.5Z28". A text of
// another form counts as minor 0, letter 0, number 0.
void ApplyUpgradeRules(const char *version)
{
    int minor = 0;
    int letter = 0;
    int number = 0;
    if (version[0] == '0' && version[1] == '.' && version[2] >= '0' && version[3] >= 'A') {
        minor = version[2] - '0';
        letter = static_cast<unsigned char>(version[3]);
        number = ParseInt(version + 4);
    }

    constexpr int PrimarySpanish = 10;
    const int primary = UserLanguageId() & 0x3FF;
    WindowedLink = 1;
    if (minor < 5 || (minor == 5 && letter < 'Z')) {
        if (LanguageClearedByUpgrade(primary)) {
            LanguageName[0] = 0;  // chosen again from the locale below
        }
    } else if (minor == 5 && letter == 'Z') {
        if (number < 19 && primary == PrimarySpanish) {
            LanguageName[0] = 0;
        }
        if (number < 21) {
            MpFilter |= 0x100;
        }
    }
}

bool IsMipFilterLevel(int value)
{
    return value == 0 || value == 1 || value == 2 || value == 4 || value == 8 || value == 16;
}

void ApplyAfterReadingRules(bool mpFilterSeen)
{
    if (!(WindowRectangle.right > WindowRectangle.left && WindowRectangle.bottom > WindowRectangle.top)) {
        DefaultWindowRect(DesktopWidth, DesktopHeight, &WindowRectangle);
    }
    if (!SelectedCarName[0]) {
        CopyString(SelectedCarName, CarTable[DefaultCarIndex].name, sizeof(SelectedCarName));
    }
    if (!mpFilterSeen) {
        MpFilter = 0x20;
    }
    if (!IsMipFilterLevel(MipFilter)) {
        MipFilter = 0;
    }

    constexpr float Pi = 3.14159265f;
    MainLodReciprocal = 1.0f / MainLod;
    SecondLodFactor = 1.0f;
    EditorViewScale = 2.0f * FloatTan(EditorFov * Pi / 360.0f);

    if (HelmetSkins == -1) {
        HelmetSkins = AutoGetSkins;
    }

    // "English" is the built-in language, kept as an empty name; only a name
    // that was empty in the file is chosen from the user's locale.
    if (EqualsNoCase(LanguageName, "English")) {
        LanguageName[0] = 0;
    } else if (!LanguageName[0]) {
        if (const char *name = LanguageNameForId(UserLanguageId())) {
            CopyString(LanguageName, name, sizeof(LanguageName));
        }
    }

    // The volumes stay in MusicVolume, BeepsVolume and CarSoundVolume; the
    // start-up hands them to the audio subsystem right after this read.
    std::snprintf(MusicFilePattern, sizeof(MusicFilePattern), "%s\\%%s.ogg", MusicDir);
}

int FormatInts(char *out, int size, const int32_t *values, int count)
{
    int length = 0;
    for (int i = 0; i < count && length < size; ++i) {
        const int written = std::snprintf(out + length, static_cast<size_t>(size - length), i ? " %d" : "%d",
                                          static_cast<int>(values[i]));
        if (written < 0) {
            break;
        }
        length += written;
    }
    return length < size ? length : size - 1;
}

}  // namespace

void SetDefaultStrategy()
{
    for (const ConfigKey &row : ConfigKeyTable) {
        if (row.kind == ConfigByte) {
            SetKeyDefault(row);
        }
    }
}

void SetConfigDefaults()
{
    for (const ConfigKey &row : ConfigKeyTable) {
        SetKeyDefault(row);
    }
    SetRenderCapabilityDefaults();
}

void DefaultWindowRect(int desktopWidth, int desktopHeight, ScreenRect *rect)
{
    constexpr int Margin = 80;
    constexpr int MaxRight = 1104;
    constexpr int MaxBottom = 848;
    rect->left = Margin;
    rect->top = Margin;
    rect->right = desktopWidth - Margin < MaxRight ? desktopWidth - Margin : MaxRight;
    rect->bottom = desktopHeight - Margin < MaxBottom ? desktopHeight - Margin : MaxBottom;
    if (rect->right <= rect->left || rect->bottom <= rect->top) {
        rect->right = MaxRight;
        rect->bottom = MaxBottom;
    }
}

void ReadConfigFile()
{
    SetConfigDefaults();
    ConfigReadState state = {};
    if (FILE *file = PlatformOpenFile(ConfigPath, "r")) {
        ReadTextSettings(file, ConfigKeyTexts(), ConfigKeyCount, ReadConfigKey, &state);
        std::fclose(file);
        if (std::strcmp(state.version, ProgramVersion) != 0) {
            ApplyUpgradeRules(state.version);
        }
    }
    ApplyAfterReadingRules(state.mpFilterSeen);
}

int FormatConfigValue(const ConfigKey &row, char *out, int size)
{
    if (size < 1) {
        return 0;
    }
    out[0] = 0;
    int length = 0;
    switch (row.kind) {
    case ConfigVersion:
        length = std::snprintf(out, static_cast<size_t>(size), "%s", ProgramVersion);
        break;
    case ConfigInt:
    case ConfigPlainInt:
        length = std::snprintf(out, static_cast<size_t>(size), "%d", *static_cast<const int *>(row.variable));
        break;
    case ConfigByte:
        length = std::snprintf(out, static_cast<size_t>(size), "%d", *static_cast<const uint8_t *>(row.variable));
        break;
    case ConfigMask:
        length = std::snprintf(out, static_cast<size_t>(size), "%d",
                               static_cast<int>(*static_cast<const uint32_t *>(row.variable)));
        break;
    case ConfigFloat: {
        // std::to_chars: the decimal point never follows the C library's locale.
        const std::to_chars_result result = std::to_chars(out, out + size - 1, *static_cast<const float *>(row.variable),
                                                          std::chars_format::fixed, row.decimals);
        length = result.ec == std::errc() ? static_cast<int>(result.ptr - out) : 0;
        out[length] = 0;
        break;
    }
    case ConfigColour: {
        const Colour *colour = static_cast<const Colour *>(row.variable);
        const int32_t rgb[3] = {colour->red, colour->green, colour->blue};
        length = FormatInts(out, size, rgb, 3);
        break;
    }
    case ConfigFourInts: {
        const int32_t values[4] = {*row.parts[0], *row.parts[1], *row.parts[2], *row.parts[3]};
        length = FormatInts(out, size, values, 4);
        break;
    }
    case ConfigText:
    case ConfigName: {
        const char *text = static_cast<const char *>(row.variable);
        if (row.rule == RuleLanguage && !text[0]) {
            text = "English";  // kept as English on the next start, whatever the locale
        }
        length = std::snprintf(out, static_cast<size_t>(size), "%.*s", row.size - 1, text);
        break;
    }
    }
    if (length < 0) {
        length = 0;
    }
    return length < size ? length : size - 1;
}

void WriteConfigFile()
{
    SafeWrite write;
    FILE *file = OpenSafeWriteText(&write, ConfigPath);
    if (!file) {
        return;
    }
    for (const ConfigKey &row : ConfigKeyTable) {
        if (row.rule == RuleMpSpeedup && MpSpeedupChoice != -1) {
            *static_cast<int *>(row.variable) = MpSpeedupChoice;
        }
        if (row.rule == RuleRunOnlyMode3 && *static_cast<int *>(row.variable) == 3) {
            *static_cast<int *>(row.variable) = 0;
        }
        char value[128];
        FormatConfigValue(row, value, sizeof(value));
        std::fprintf(file, "%s%s\n", row.key, value);
    }
    CloseSafeWriteText(&write, file);
}

const ConfigKey *FindConfigKey(const char *key)
{
    for (const ConfigKey &row : ConfigKeyTable) {
        if (key && std::strcmp(row.key, key) == 0) {
            return &row;
        }
    }
    return nullptr;
}

// The start-up steps, in their fixed order. Each step named in quotes writes
// its name to the debug log first; a step that fails shows its message and
// ends the program with FailedStartExitCode, after freeing only what the step
// itself names.

#include <cfenv>
#include <cstdio>

#include "app/program_steps.h"
#include "app/window_proc.h"
#include "audio/sound_output.h"
#include "core/car_table.h"
#include "core/card_config.h"
#include "core/checksum.h"
#include "core/colour.h"
#include "core/command_line.h"
#include "core/config_file.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/fixed_math.h"
#include "core/main_window.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "net/console.h"
#include "net/downloader.h"
#include "net/net_session.h"
#include "net/track_code.h"
#include "net/update_config.h"
#include "platform/file_system.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "race/driver_names.h"
#include "race/version_text.h"
#include "render/object_file.h"
#include "render/render_device.h"
#include "render/screen_modes.h"
#include "render/software_raster.h"
#include "render/standard_textures.h"
#include "vehicle/car_model.h"
#include "render/view.h"
#include "scene/helmet.h"
#include "scene/human_file.h"
#include "scene/sprites.h"
#include "scene/view_geometry.h"
#include "scene/wheel_octagons.h"
#include "screens/startup_screen.h"
#include "screens/track_sites.h"
#include "ui/font.h"
#include "ui/font_faces.h"
#include "ui/ime.h"
#include "ui/interface_colours.h"
#include "ui/message_lines.h"
#include "ui/translation.h"
#include "vehicle/tyre_curves.h"
#include "world/environment_texture.h"
#include "world/sphere_grid.h"

namespace {

constexpr const char *DataFolderCaption = "Could not write to data folder";
constexpr const char *DataFolderText = "Is KZV correctly installed on a hard drive?";
constexpr const char *DataSubFolderCaption = "Could not create a data folder";
constexpr const char *CouldNotOpenFile = "Could not open file :";
constexpr const char *HelmetCode = "HEL";
constexpr const char *DefaultSkinName = "DEFAULT";

// The data sub-folders that must exist and take files, in the order checked.
constexpr const char *DataSubFolders[] = {"spr", "mpr", "knw", "raf", "layout", "skins_dds",
                                          "skins_x", "skins_y", "views", "shots", "grids"};

constexpr int32_t FixOne = 65536;
constexpr int HandOverFailedExitCode = 1;

// A failed step's message box (with a caption; the exclamation icon).
int FailWithBox(const char *caption, const char *text, int *exitCode)
{
    PlatformMessageBox(caption, text, PlatformBoxWarning);
    *exitCode = FailedStartExitCode;
    return 0;
}

// A failed step's error box (no caption; logged too).
int FailWithError(const char *text, int *exitCode)
{
    ShowErrorBox(text);
    *exitCode = FailedStartExitCode;
    return 0;
}

int FailWithMissingFile(const char *path, int *exitCode)
{
    char text[160];
    std::snprintf(text, sizeof(text), "%s %s", CouldNotOpenFile, path);
    return FailWithError(text, exitCode);
}

// The processor's floating-point unit in its default state: round to
// nearest (the SSE unit always works in full single and double precision).
void ResetFloatingPointUnit()
{
    std::fesetround(FE_TONEAREST);
}

// Step 9: a file can be written into the data folder.
bool DataFolderWritable()
{
    constexpr const char *TestPath = "data\\file.fl";
    FILE *file = PlatformOpenFile(TestPath, "wb");
    if (!file) {
        return false;
    }
    std::fclose(file);
    StartFileTimeMinutes = GetFileTimeMinutes(TestPath);
    PlatformRemoveFile(TestPath);
    return true;
}

// Step 10: the default skin of the helmet and of every car, and every car's
// default engine sound. A missing file fails the start with its path.
bool DefaultFilesPresent(int *exitCode)
{
    char dds[96];
    char jpg[96];
    for (int i = -1; i < CarModelCount; ++i) {
        const char *code = i < 0 ? HelmetCode : CarTable[i].code;
        std::snprintf(dds, sizeof(dds), "data\\skins_dds\\%s_%s.dds", code, DefaultSkinName);
        std::snprintf(jpg, sizeof(jpg), "data\\skins\\%s_%s.jpg", code, DefaultSkinName);
        if (!FileExists(dds) && !FileExists(jpg)) {
            FailWithMissingFile(jpg, exitCode);
            return false;
        }
    }
    char engine[96];
    for (int i = 0; i < CarModelCount; ++i) {
        std::snprintf(engine, sizeof(engine), "data\\engine\\%s_default.eng", CarTable[i].code);
        if (!FileExists(engine)) {
            FailWithMissingFile(engine, exitCode);
            return false;
        }
    }
    return true;
}

// Step 11: "preinit d3d".
bool PreinitGraphics(int *exitCode)
{
    LogLine("preinit d3d");
    const int result = StartRenderer(1, ZbdSelect, AdapterSelect);
    if (result == -2) {
        FailWithBox(NoScreenModesCaption, NoScreenModesText, exitCode);
        return false;
    }
    if (result != 0) {
        FailWithBox(NoGraphicsCaption, NoGraphicsText, exitCode);
        return false;
    }
    if (StartWindowed && CanGoToWindow()) {
        StartWindowed = 0;
    }
    ZbdSelect = RenderDevice.DepthPreference;
    if (RenderDevice.HardwareVertexProcessing) {
        SimpleTrack = 0;
    }
    return true;
}

bool Is16BitFormat(uint32_t format)
{
    return format == RenderFormatR5G6B5 || format == RenderFormatX1R5G5B5;
}

bool ModeMatches(const DisplayModeEntry &entry, const DisplayModeChoice &mode)
{
    return entry.is16Bit == mode.sixteenBit && entry.refreshRate <= mode.refresh &&
           static_cast<int>(entry.width) == mode.width && static_cast<int>(entry.height) == mode.height;
}

DisplayModeChoice ChoiceOf(const DisplayModeEntry &entry)
{
    return {entry.is16Bit, entry.refreshRate, static_cast<int>(entry.width), static_cast<int>(entry.height)};
}

// Step 14: the full-screen mode and the quick-switch presets in the
// adapter's mode list, and the back buffer's size.
void ChooseDisplayMode()
{
    if (!GraphicsEnabled) {
        ScreenWidth = 0;
        ScreenHeight = 0;
        FullScreenModeIndex = 0;
        return;
    }
    const AdapterRecord *adapter = GetCurrentDisplayMode();
    if (FullScreenMode.width == 0 && FullScreenMode.height == 0) {
        const RenderDisplayMode desktop = adapter ? adapter->desktopMode : RenderDisplayMode{};
        if (desktop.width == 0 || desktop.height == 0) {
            FullScreenMode = {1, 0, 1024, 768};
        } else {
            FullScreenMode = {Is16BitFormat(desktop.format) ? 1 : 0, static_cast<int>(desktop.refreshRate),
                              static_cast<int>(desktop.width), static_cast<int>(desktop.height)};
            ModePresets[ModePresetCount - 1] = FullScreenMode;
        }
    }

    FullScreenModeIndex = -1;
    for (int &index : ModePresetIndex) {
        index = -1;
    }
    const int modeCount = adapter ? static_cast<int>(adapter->modeCount) : 0;
    for (int i = 0; i < modeCount && i < MaxDisplayModes; ++i) {
        const DisplayModeEntry &entry = adapter->modes[i];
        if (entry.skip) {
            continue;
        }
        for (int p = 0; p < ModePresetCount; ++p) {
            if (ModeMatches(entry, ModePresets[p])) {
                ModePresetIndex[p] = i;
            }
        }
        if (ModeMatches(entry, FullScreenMode)) {
            FullScreenModeIndex = i;
        }
    }
    if (FullScreenModeIndex == -1 && modeCount > 0) {
        FullScreenModeIndex = 0;
        FullScreenMode = ChoiceOf(adapter->modes[0]);
        for (int i = 1; i < modeCount && i < MaxDisplayModes; ++i) {
            const DisplayModeEntry &entry = adapter->modes[i];
            if (!entry.skip && entry.is16Bit && entry.refreshRate <= 100 && entry.width == 1024 &&
                entry.height == 768) {
                FullScreenModeIndex = i;
                FullScreenMode = ChoiceOf(entry);
            }
        }
    }
    ScreenWidth = FullScreenMode.width;
    ScreenHeight = FullScreenMode.height;
}

// The render layer fills its own record of the device; the settings layer
// logs and honours the copy it keeps.
void PassDeviceCapsToSettings()
{
    const DeviceCapsRecord &caps = RenderDevice.DeviceCaps;
    CurrentDeviceCaps.maxTextureWidth = caps.maxTextureWidth;
    CurrentDeviceCaps.maxTextureHeight = caps.maxTextureHeight;
    CurrentDeviceCaps.canClampTextures = caps.clampAddressing;
    CurrentDeviceCaps.destColourSourceBlend = caps.destColourSourceBlend;
    CurrentDeviceCaps.sourceColourDestBlend = caps.sourceColourDestBlend;
    CurrentDeviceCaps.modulate2x = caps.modulate2x;
    CurrentDeviceCaps.maxSimultaneousTextures = caps.maxSimultaneousTextures;
    CurrentDeviceCaps.dynamicTextures = caps.dynamicTextures;
    CurrentDeviceCaps.maxAnisotropy = caps.maxAnisotropy;
    CurrentDeviceCaps.dxt1Textures = caps.dxt1Textures;
    CurrentDeviceCaps.dxt3Textures = caps.dxt3Textures;
    const int adapter = RenderDevice.CurrentAdapter;
    if (adapter >= 0 && adapter < RenderDevice.AdapterCount) {
        std::snprintf(AdapterDescription, sizeof(AdapterDescription), "%s",
                      RenderDevice.Adapters[adapter].description);
    }
}

// Step 24: the default view looks from (10, 10, 3) m back along (10, 10, 5).
void SetDefaultView()
{
    const FixVector eye = {10 * FixOne, 10 * FixOne, 3 * FixOne};
    const FixVector toward = {10 * FixOne, 10 * FixOne, 5 * FixOne};
    FixVector back;
    NormaliseFixVectorOrUp(toward, back);
    const FixVector sun = {FixOne / 2, -FixOne, 2 * FixOne};
    InitViewRecord(&MainView, eye, back, FixOne, sun);
    MainView.skyColour = SkyHighColour;
    MainView.groundColour = GroundColour;
}

// Step 25: the selected track must name a site, a configuration, a
// direction and a light scheme that exist.
void CheckSelectedTrack()
{
    const int site = FindTrackSite(MapName, nullptr);
    if (site < 0 || !SiteTable[site].name) {
        SetDefaultTrack();
        return;
    }
    const TrackSite &row = SiteTable[site];
    if (TrackConfig < 1 || TrackConfig > row.configCount) {
        TrackConfig = 1;
    }
    if (TrackConfig > MaxSiteConfigs || !row.reversible[TrackConfig - 1]) {
        TrackFlip = 0;
    }
    if (TrackLighting < 0 || TrackLighting >= row.weatherCount) {
        TrackLighting = 0;
    }
}

// Step 26: "load objects".
bool LoadBodyObjects(int *exitCode)
{
    LogLine("load objects");
    char path[64];
    for (int i = 0; i < BodyCodeCount; ++i) {
        std::snprintf(path, sizeof(path), "data\\veh\\%s.vob", BodyCodes[i]);
        Object3D *object = new Object3D();
        InitObject3D(object);
        BodyObjects[i] = object;
        if (!ReadObjectFile(object, nullptr, path, 0, nullptr)) {
            StopGraphics();
            Humans.Free();
            FreeFont();
            FreeBodyObjects();
            FailWithMissingFile(path, exitCode);
            return false;
        }
    }
    return true;
}

// Controller and force-feedback messages go to the message lines.
void ShowControllerMessage(const char *text, int colour)
{
    const int index = colour >= 0 && colour < MessageColourCount ? colour : ColourWhite;
    PrintMessage(text, &MessageColours[index]);
}

}  // namespace

int RunStartup(ProgramRun &run, int *exitCode)
{
    *exitCode = 0;

    // 1. Another instance: a program listening on the hand-over socket in
    // this folder. Never waits.
    run.runningInstance = ProbeRunningInstance();

    // 2-3. Version text; a file or link given instead of options.
    SetVersionText();
    const int handOver = HandleFileArgument(run.commandLine);
    if (handOver <= 0) {
        // The starter's own result: 0 when the file was copied or handed
        // over, 1 when the hand-over failed (the box said why).
        *exitCode = handOver < 0 ? HandOverFailedExitCode : 0;
        return 0;
    }
    // A file or a link has moved the start into the program folder.
    run.runningInstance = ProbeRunningInstance();

    // 4. The log, the desktop.
    DeleteDebugLog();
    if (!run.services.noDisplay) {
        PlatformStartVideo();
    }
    PlatformGetDesktopSize(&DesktopWidth, &DesktopHeight);
    LogVersion();

    // 5. Timer: sleeps are measured in whole milliseconds.
    const int resolution = PlatformTimerResolutionMs();
    if (resolution <= 0) {
        return FailWithError("Could not get timer info", exitCode);
    }
    LogPrintf("timer resolution %d ms", resolution);

    // 6. "read config".
    LogLine("read config");
    DefaultFontWeights();
    ReadConfigFile();
    SetMusicVolume(MusicVolume);
    SetEffectsVolume(BeepsVolume);
    SetCarSoundVolume(CarSoundVolume);
    ReadCardConfig();
    LoadInterfaceColours();
    ReadUpdateCfg();
    SetPlayerDefaults();
    SetPlayerLanguageFlags();
    FillClockTrimPeriods(ClockTrimPeriods, ClockTrimMax);
    ResetTranslation();

    // 7. "get command line".
    LogLine("get command line");
    ReadViewGeometry();
    if (PendingFileType == 0 && run.commandLine[0] != 0) {
        ParseCommandLine(run.commandLine, CommandLineIsLink);
    }
    if (StartMode == StartModeError) {
        return FailWithError(CommandLineError, exitCode);
    }

    // 8. Without graphics the program counts as windowed.
    if (!GraphicsEnabled) {
        StartWindowed = 1;
    }
    run.consoleMode = !GraphicsEnabled && DedicatedMode != DedicatedInvisible;

    // 9-10. The data folder takes files; the default files are there.
    if (!DataFolderWritable()) {
        return FailWithBox(DataFolderCaption, DataFolderText, exitCode);
    }
    if (!DefaultFilesPresent(exitCode)) {
        return 0;
    }

    // 11. "preinit d3d".
    if (GraphicsEnabled && !PreinitGraphics(exitCode)) {
        return 0;
    }

    // 12-13. Data sub-folders; the player file.
    for (const char *folder : DataSubFolders) {
        if (EnsureDataFolder(folder) != 0) {
            return FailWithBox(DataSubFolderCaption, DataFolderText, exitCode);
        }
    }
    if (PlayerName.name[0] != 0) {
        ReadPlayerFile(1);
    }

    // 14-15. Display mode; the window (an invisible host has none).
    ChooseDisplayMode();
    // A device that needs no window (run.services.graphicsDevice) draws
    // without one.
    const int console = GraphicsEnabled && !run.services.graphicsDevice ? 0 : 1;
    if (DedicatedMode != DedicatedInvisible && !CreateMainWindow(console)) {
        return FailWithError("Could not create window", exitCode);
    }
    // The window's program takes files handed over by later starts, unless
    // another program holds the hand-over socket.
    if (DedicatedMode != DedicatedInvisible && StartInstanceListener() == 0) {
        run.runningInstance = 1;
    }

    // 16. Colours, checksums, the console, the network locks.
    InitMessageColours();
    BuildCrcTable();
    if (!GraphicsEnabled) {
        StartConsole();
    }
    MessageLineEcho = run.consoleMode;
    InitDownloader();
    InitNetLock();

    // 17. "load bans", "load font".
    LogLine("load bans");
    LogLine("load font");
    if (!InitFont(FontFilePath)) {
        return FailWithError("Could not load font", exitCode);
    }
    InitOctagonTables();
    if (run.consoleMode) {
        PaintConsole();
    }

    // 18. Graphics and the standard textures.
    if (GraphicsEnabled) {
        if (!StartGraphics()) {
            FreeFont();
            return FailWithError("Could not initialise graphics", exitCode);
        }
        PassDeviceCapsToSettings();
        LogDeviceCaps();
        if (!LoadStandardTextures()) {
            StopGraphics();
            FreeFont();
            return FailWithError("Could not set up textures", exitCode);
        }
    }

    // 19. "create english file", "load language".
    LogLine("create english file");
    WriteEnglishFile();
    if (LanguageName[0] != 0) {
        LogLine("load language");
        LoadLanguage(LanguageName, 0);
    }
    CheckTranslationCodePage();
    UpdateKeyboardCodePage(0);

    // 20. "initialisations".
    LogLine("initialisations");
    ResetFloatingPointUnit();
    BuildTyreCurves();
    BuildSphereGrid();
    ReadDriverNames();
    ReadFKeyMessages();
    ClearSprites();

    // 21. "human system": the figures are drawn only by a program with a
    // view of its own.
    if (DedicatedMode == DedicatedNone || DedicatedMode == DedicatedWithGraphics) {
        LogLine("human system");
        if (!Humans.Load(nullptr)) {
            StopGraphics();
            FreeFont();
            return FailWithError("Could not load humans", exitCode);
        }
    }

    // 22. "tables".
    ResetRasterTarget(ScreenHeight);
    EdCharSize = 1;
    LogLine("tables");
    BuildTrigTables();
    InitIdentityTransform();

    // 23. "helmet", "controllers". The default bindings are set in every
    // mode: a host without graphics reads the controls file at its first
    // input restart and must not be left with empty tables.
    SetDefaultControls();
    if (GraphicsEnabled) {
        LogLine("helmet");
        LoadHelmetModel();
        LogLine("controllers");
        SetControllerMessageFunction(ShowControllerMessage);
        ResetAxisCalibrations(0);
        StartInputDevices();
    }

    // 24-25. Default view; the selected track.
    ClearDisplayModeStack();
    ResetFloatingPointUnit();
    SetDefaultView();
    CheckSelectedTrack();

    // 26-27. "load objects", "default light map".
    if (!LoadBodyObjects(exitCode)) {
        return 0;
    }
    if (GraphicsEnabled) {
        LogLine("default light map");
        CreateFlatEnvironmentTexture();
    }

    // 28. "start intro".
    LogLine("start intro");
    run.firstPage = run.services.firstPage(nullptr);
    if (run.runningInstance) {
        PrintMessage("Warning : Another instance of KZV is running", &MessageColours[ColourSalmon]);
    }
    if (ScreenFlags & (StartWindowed ? 0x100u : 0x200u)) {
        ClipCursorToWindow();
    }

    // 29. "end of initialisation": the game clock starts.
    LogLine("end of initialisation");
    GameClock = 0;
    GameClockStep = 0;
    run.clock.carry = 0.0f;
    run.previousPassMs = run.services.timeMs();
    return 1;
}

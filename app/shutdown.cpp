// The shutdown steps after the main loop, in their fixed order, each named
// in the debug log first. Every step is harmless for a resource that was
// never made (a host without graphics has no device, no helmet, no figures).

#include "app/program_steps.h"
#include "audio/sound_output.h"
#include "core/car_table.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "core/track_ir.h"
#include "insim/insim.h"
#include "net/host_list.h"
#include "platform/file_system.h"
#include "render/object_file.h"
#include "render/screen_modes.h"
#include "scene/custom_views.h"
#include "scene/helmet.h"
#include "scene/human_file.h"
#include "scene/view_geometry.h"
#include "ui/font.h"
#include "ui/save_settings.h"
#include "ui/translation.h"
#include "world/environment_texture.h"

namespace {

constexpr const char *TempMultiplayerReplay = "data\\mpr\\temp_mpr.mpr";
constexpr const char *TempSinglePlayerReplay = "data\\spr\\temp_spr.spr";

}  // namespace

void FreeBodyObjects()
{
    for (Object3D *&object : BodyObjects) {
        if (object) {
            FreeObject3D(object);
            delete object;
            object = nullptr;
        }
    }
}

void RunShutdown(ProgramRun &)
{
    LogLine("shutting down");
    StopInstanceListener();
    PlatformRemoveFile(TempMultiplayerReplay);
    InSimStop();

    LogLine("free objects");
    FreeBodyObjects();

    LogLine("free languages");
    FreeLanguageText();
    PlatformRemoveFile(TempSinglePlayerReplay);

    LogLine("free controllers");
    ShutDownInputDevices();

    LogLine("clear light map");
    ReleaseEnvironmentTexture();

    LogLine("close sound");
    ShutdownSound();

    LogLine("close TrackIR");
    if (TrackIRState == 0) {
        UnloadTrackIRClient();
    }

    LogLine("free humans");
    Humans.Free();

    LogLine("free font");
    FreeFont();

    LogLine("free helmet");
    FreeHelmetModel();

    LogLine("free host list");
    ClearHostRecords();

    LogLine("kill graphics");
    StopGraphics();

    // Without graphics no controller was started and the tables hold only
    // the defaults: neither file is written.
    if (GraphicsEnabled) {
        LogLine("save calibrations");
        WriteCalibrationFileAtExit();
    }
    LogLine("save controls");
    if (GraphicsEnabled) {
        WriteControlsFile();
    }

    LogLine("save views");
    WriteViewGeometry();
    SaveCustomViews();

    LogLine("save config");
    SaveSettings();

    LogLine("free mouse");
    ReleaseCursorClip();

    LogLine("EXIT");
}

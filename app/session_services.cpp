#include "app/session_services.h"

#include "audio/car_sound_buffer.h"
#include "audio/car_sound_mixer.h"
#include "audio/music_player.h"
#include "audio/sound_links.h"
#include "core/file_handover.h"
#include "core/main_window.h"
#include "platform/window.h"
#include "race/game_session.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "scene/camera_motion.h"
#include "scene/hud.h"
#include "scene/sprites.h"
#include "scene/view_geometry.h"

namespace {

void StopMusicAtStart()
{
    StopMusic(1);
}

void ShowCursor(int show)
{
    PlatformShowCursor(show != 0);
}

int ViewGeometryOfScreen()
{
    return ViewGeometryIndex;
}

// The hot-lap check start mode ends the program with the replay's result
// (the first code given is kept).
void EndProgram(int code)
{
    ExitProgram(code);
}

}  // namespace

void RegisterSessionServices()
{
    SessionLinks.stopCarSoundBuffer = StopCarSoundBuffer;
    SessionLinks.stopMusic = StopMusicAtStart;
    SessionLinks.showCursor = ShowCursor;
    SessionLinks.advanceFreeCamera = AdvanceCameraMotion;
    SessionLinks.viewGeometryIndex = ViewGeometryOfScreen;
    SessionLinks.clearSpritesAndMarks = ClearSprites;
    SessionLinks.endProgram = EndProgram;
}

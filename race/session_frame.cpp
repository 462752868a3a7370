#include "race/session_frame.h"

#include "core/shell_globals.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "render/render_device.h"
#include "render/screen_modes.h"

void ShowReplaySpeed()
{
    if (GameSessionPtr == nullptr) {
        return;
    }
    // Within 0.1 of normal speed is normal speed.
    if (GameSpeed > 0.9f && GameSpeed < 1.1f) {
        GameSpeed = 1.0f;
    }
    if (RaceLinks.showReplaySpeed != nullptr) {
        RaceLinks.showReplaySpeed(GameSpeed);
    }
}

void DrawBackgroundScreen()
{
    // A frame that has begun already is left as it is.
    if (FrameBegun) {
        return;
    }
    SyncGpuFrame();
    NoDrawFlag |= BeginDrawFrame();
    if (!NoDrawFlag) {
        ClearFrame(0, ClearTarget | ClearZBuffer);
    }
}

void HalveReplaySpeed()
{
    if (GameSpeed >= 0.126f) {
        GameSpeed *= 0.5f;
    }
    ShowReplaySpeed();
}

void DoubleReplaySpeed()
{
    if (GameSpeed < 31.9f) {
        GameSpeed *= 2.0f;
    }
    ShowReplaySpeed();
}

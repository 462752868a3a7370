// The session's view, key and pointer entries. The views, the camera
// selection and the session keys are their own work; until it lands these
// are the least bodies the frame calls: the cockpit view is set up in the
// cockpit and custom modes, the pointer stays shown and the keys do
// nothing.

#include "core/main_window.h"
#include "platform/keys.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/session_frame.h"
#include "race/session_links.h"

int SessionKey(GameSession &, int)
{
    return 0;
}

void SessionMouse(GameSession &, const MouseEvent &) {}

void SessionFovKeys(GameSession &, float) {}

void TrackCameraStep(GameSession &session)
{
    if (SessionLinks.trackCameraView != nullptr) {
        SessionLinks.trackCameraView(&session);
    }
}

void UpdateCamera(GameSession &session, float)
{
    if ((ViewMode == 3 || ViewMode == 4) && SessionLinks.setupCockpitView != nullptr) {
        SessionLinks.setupCockpitView(&session, 0);
    }
}

void GameSession::UpdateCursor(int)
{
    // The pointer is shown; a cursor the session hid comes back.
    pointerHidden = 0;
    if (PointerHiddenFlag) {
        PointerHiddenFlag = 0;
        if (SessionLinks.showCursor != nullptr) {
            SessionLinks.showCursor(1);
        }
    }
}

int IsDashboardShown()
{
    if (GameSessionPtr == nullptr || SessionLinks.instrumentsOption == nullptr) {
        return 0;
    }
    if (ViewMode == 3 || ViewMode == 4) {
        return SessionLinks.instrumentsOption(static_cast<int>(ViewMode)) & 1;
    }
    return 0;
}

int SessionShiftHeld()
{
    return KeyState[VkShift] != 0 ? 1 : 0;
}

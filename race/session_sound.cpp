#include "race/session_sound.h"

#include <cmath>

#include "race/game_session.h"
#include "race/race_links.h"
#include "render/view.h"
#include "vehicle/car_object.h"

namespace {

int32_t ToFix(float value)
{
    if (!(value == value)) {
        return 0;
    }
    return static_cast<int32_t>(std::lround(value * 65536.0f));
}

}  // namespace

SessionListener ListenerForView(const GameSession &session, uint32_t viewMode)
{
    SessionListener l{};
    CarObject *car = session.viewedCar;
    l.focusedCar = car;
    l.mode = 1;
    l.orientation = ViewMatrix.matrix;
    l.position = MainView.eye;
    if (car == nullptr) {
        return l;
    }
    if (viewMode == 2) {
        l.mode = 2;
    } else if (viewMode >= 3 && session.freeView == 0) {
        l.attached = 1;
        l.mode = viewMode == 3 ? 0 : 1;
    }
    if (viewMode != 2 && session.freeView == 0) {
        for (int k = 0; k < 3; k++) {
            l.velocity[k] = car->velocity[k];
        }
    }
    if (l.attached != 0) {
        // The eye sits in the car: its place, and world-to-car axes (the
        // transpose of its orientation; x to the right, y ahead).
        l.position = car->position;
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++) {
                l.orientation.m[r * 3 + c] = ToFix(car->orientation[c * 3 + r]);
            }
        }
    }
    return l;
}

void StartCarSounds()
{
    if (RaceLinks.startCarSounds != nullptr) {
        RaceLinks.startCarSounds();
    }
}

void ResetCarSoundListener()
{
    if (RaceLinks.resetSoundListener != nullptr) {
        RaceLinks.resetSoundListener();
    }
}

void WriteSessionListener(const GameSession &session)
{
    if (RaceLinks.writeSoundListener != nullptr) {
        const SessionListener listener = ListenerForView(session, ViewMode);
        RaceLinks.writeSoundListener(listener);
    }
}

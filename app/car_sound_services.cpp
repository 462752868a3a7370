#include "app/car_sound_services.h"

#include "audio/car_sound_mixer.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_frame.h"
#include "race/session_sound.h"
#include "render/view.h"
#include "vehicle/car_object.h"

namespace {

int RaceSlotCount()
{
    return RaceObjectPtr != nullptr ? RaceObjectPtr->slotCount : 0;
}

CarObject *RaceSlotCar(int slot)
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr || slot < 0 || slot >= race->slotCount || slot >= MaxRaceSlots) {
        return nullptr;
    }
    return race->slots[slot].car;
}

int ReplaySkipping()
{
    return SeekActive != 0 ? 1 : 0;
}

int SessionFreeView()
{
    return GameSessionPtr != nullptr && GameSessionPtr->freeView != 0 ? 1 : 0;
}

int SessionViewMode()
{
    return static_cast<int>(ViewMode);
}

// A listener reset stands at the view's eye, looking along its matrix.
void ViewReferenceFrame(FixMatrix *orientation, FixVector *position)
{
    *orientation = ViewMatrix.matrix;
    *position = MainView.eye;
}

void WriteListener(const SessionListener &l)
{
    Listener.orientation = l.orientation;
    Listener.position = l.position;
    for (int k = 0; k < 3; k++) {
        Listener.velocity[k] = l.velocity[k];
    }
    Listener.focusedCar = l.focusedCar;
    Listener.attached = l.attached;
    Listener.mode = l.mode;
    SoundListenerValid = 1;
}

int CarHeard(const CarObject *car)
{
    return car->soundHeard;
}

}  // namespace

void RegisterCarSoundServices()
{
    CarSoundLink link{};
    link.slotCount = RaceSlotCount;
    link.slotCar = RaceSlotCar;
    link.replaySkip = ReplaySkipping;
    link.freeView = SessionFreeView;
    link.viewMode = SessionViewMode;
    link.referenceFrame = ViewReferenceFrame;
    // Free-view editing does not exist yet: never set. The path node comes
    // from the current world's path (the mixer's own lookup).
    CarSoundLinks = link;
    RaceLinks.startCarSounds = InitCarSoundMixer;
    RaceLinks.resetSoundListener = ResetSoundListener;
    RaceLinks.writeSoundListener = WriteListener;
    RaceLinks.carHeard = CarHeard;
}

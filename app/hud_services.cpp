// The head-up display's entries in the game session's scene links.
#include "app/hud_services.h"

#include "core/settings.h"
#include "race/session_links.h"
#include "scene/hud.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/world.h"
#include "world/world_loader.h"

namespace {

void DrawSessionHud(CarObject *viewedCar, CarObject *drivenCar, MenuPage *owner, int replayBar)
{
    DrawHud(viewedCar, drivenCar, 0, owner, replayBar != 0 ? DrawReplayBar : nullptr);
}

void DrawSessionSystemCaption()
{
    DrawSystemCaption(PackRgb(SplitTextColour.red, SplitTextColour.green, SplitTextColour.blue));
}

// The car's states the captions and timing lines read, from what race
// progress, the timing lines and the race packets keep on the car.

constexpr int NoTime = 360000;

int CarLapTimed(const CarObject *car)
{
    return (car->bestLapTime > 0 && car->bestLapTime < NoTime) || (car->lastTime > 0 && car->lastTime < NoTime);
}

int CarPenaltyReason(const CarObject *car)
{
    return car->penaltyReason;
}

// The flag goes out when the count reaches 5 (and back at 2).
int CarBlueFlag(const CarObject *car)
{
    return car->blueFlagCount >= 5;
}

// The car above its slow-speed threshold, with a stopped car or one in
// trouble (its yellow flag sent at a count of 3) 1 to 30 path nodes ahead.
int CarYellowFlag(const CarObject *car)
{
    const int n = RacePathNodeCount();
    const int own = car->progressNode;
    if (n <= 0 || own < 0 || own >= n || !(car->speed > car->progress[0])) {
        return 0;
    }
    const int slots = RaceSlotCount();
    for (int s = 0; s < slots; ++s) {
        const CarObject *other = RaceSlotCar(s);
        if (other == nullptr || other == car || other->progressNode < 0 || other->progressNode >= n) {
            continue;
        }
        const int ahead = (other->progressNode - own + n) % n;
        if (ahead >= 1 && ahead <= 30 && (other->stopped != 0 || other->yellowFlagCount >= 3)) {
            return 1;
        }
    }
    return 0;
}

int CarRemotePitStop(const CarObject *car)
{
    return car->isRemote != 0 && car->pitWorkStep != 0;
}

// In the speed-limit zone, moving, placed on the path and pointing more
// than 45 degrees off its direction; cross is the car's heading across it.
int CarPitLaneHint(const CarObject *car, float *cross)
{
    if (car->speedZone == nullptr || car->stopped != 0 || car->progressNode < 0) {
        return 0;
    }
    const float dirX = car->roadDirection[0];
    const float dirY = car->roadDirection[1];
    const float forwardX = car->orientation[1];
    const float forwardY = car->orientation[4];
    if (forwardX * dirX + forwardY * dirY >= 0.7071f) {
        return 0;
    }
    *cross = forwardX * dirY - forwardY * dirX;
    return 1;
}

const char *WorldProblem()
{
    return WorldLoadFailed(CurrentWorld) ? CurrentWorld->problemText : nullptr;
}

}  // namespace

void RegisterHudServices()
{
    HudCarLinks.penaltyReason = CarPenaltyReason;
    HudCarLinks.blueFlag = CarBlueFlag;
    HudCarLinks.yellowFlag = CarYellowFlag;
    HudCarLinks.remotePitStop = CarRemotePitStop;
    HudCarLinks.pitLaneHint = CarPitLaneHint;
    HudCarLinks.lapTimed = CarLapTimed;
    HudLinks.worldProblem = WorldProblem;
    SessionLinks.drawHud = DrawSessionHud;
    SessionLinks.drawFrameRateReadout = DrawFrameRateReadout;
    SessionLinks.drawSystemCaption = DrawSessionSystemCaption;
    SessionLinks.initHudState = InitHudState;
    SessionLinks.countHudHolds = CountHudHolds;
}

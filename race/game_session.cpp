#include "race/game_session.h"


#include <algorithm>
#include <cfenv>
#include <cstring>
#include <cstdio>

#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "race/session_sound.h"
#include "vehicle/car_object.h"
#include "vehicle/world_query.h"
#include "world/layout.h"
#include "world/shared_random.h"
#include "world/start_lights.h"
#include "world/world.h"

uint8_t VoteAction = 0;
int32_t VoteCountdown = 0;
uint8_t VoteHeldByHost = 0;
uint8_t EmptyVoteSent = 0;
uint32_t RacingLineView = 0;
uint32_t RuleCheckActive = 0;
uint32_t StartCountdown = 0;
int ReplayOutOfSync = 0;
int32_t StartWaitFlag = 0;
uint32_t ViewMode = 3;

namespace {

World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

CarObject *SlotCarOf(int slot)
{
    RaceObject *race = RaceObjectPtr;
    return race != nullptr && slot >= 0 && slot < race->slotCount ? race->slots[slot].car : nullptr;
}

void SetSyncDeadlineLink()
{
    if (RaceLinks.setSyncDeadline != nullptr) {
        RaceLinks.setSyncDeadline();
    }
}

void ClearGameVotesLink()
{
    VoteAction = 0;
    VoteCountdown = 0;
    EmptyVoteSent = 0;
    if (RaceLinks.clearGameVotes != nullptr) {
        RaceLinks.clearGameVotes();
    }
}

// A finish object of the layout keeps the results of earlier runs.
bool LayoutHasFinish()
{
    return LayoutRouteLines.timingLineCount > 0;
}

int SprRecording()
{
    return SessionLinks.sprRecording != nullptr && SessionLinks.sprRecording() != 0 ? 1 : 0;
}

// Every input word of a car that differs from its slot's copy becomes an
// entry {u16 index, u16 value} of the slot's control-change record.
void RecordControlChanges(RaceObject &race)
{
    for (int i = 0; i < race.slotCount; ++i) {
        PlayerSlot &slot = race.slots[i];
        const CarObject *car = slot.car;
        if (car == nullptr) {
            continue;
        }
        uint8_t record[2 + 18 * 4];
        int count = 0;
        for (int w = 0; w < 18; ++w) {
            if (car->inputs[w] == slot.inputCopy[w]) {
                continue;
            }
            uint8_t *entry = record + 2 + count * 4;
            entry[0] = static_cast<uint8_t>(w);
            entry[1] = 0;
            entry[2] = static_cast<uint8_t>(car->inputs[w] & 0xff);
            entry[3] = static_cast<uint8_t>(car->inputs[w] >> 8);
            slot.inputCopy[w] = car->inputs[w];
            ++count;
        }
        if (count > 0 && SessionLinks.sprRecordControls != nullptr) {
            record[0] = 0;
            record[1] = static_cast<uint8_t>(count);
            SessionLinks.sprRecordControls(i, record, 2 + count * 4);
        }
    }
}

}  // namespace

void SmoothLookAngle(GameSession &, float) {}

// --- Start ---

uint32_t StartCountdownFor(int slots, int online, int layoutOwnStart, int raceKind, int raceLength)
{
    if (layoutOwnStart) {
        return 6;
    }
    if (raceKind == 2 || raceLength == 0) {
        return 3;
    }
    return static_cast<uint32_t>(slots / 2 + (online ? 12 : 8));
}

void FillStartRaceView(StartRaceView *view)
{
    const RaceObject *race = RaceObjectPtr;
    *view = StartRaceView{};
    if (race == nullptr) {
        return;
    }
    view->startOffset = race->countdownSeconds;
    view->raceLength = race->raceLength;
    view->windSetting = race->wind;
    view->raceKind = RaceKind;
    view->online = OnlineFlag;
    view->layoutOwnStart = LayoutRouteLines.startOverride;
    view->slotCount = race->slotCount;
    view->slotCar = SlotCarOf;
    view->startWaitFlag = &StartWaitFlag;
}

void RaceObject::PrepareStart(int join)
{
    for (int i = 0; i < slotCount; ++i) {
        slots[i].ResetForStart();
    }
    hotLapSingle = 0;
    lapValid = 0;
    nextLapValid = 0;
    orderCount = 0;
    resultsPending = 0;
    if (hotLapMode && !OnlineFlag && slotCount == 1 && slots[0].info.kind == KindLocal) {
        hotLapSingle = 1;
        nextLapValid = 1;
    }
    if (!join && !LayoutHasFinish()) {
        ClearResults();
    }
}

void GridStartPosition(GameSession &, int32_t position[3], float &heading, int gridIndex, CarObject *, int)
{
    position[0] = position[1] = position[2] = 0;
    heading = 0.0f;
    const World *world = LoadedWorld();
    if (world == nullptr) {
        return;
    }
    GetStartPosition(world, position, heading, gridIndex, 0, 0, nullptr);
    if (RaceObjectPtr != nullptr && gridIndex >= 0 && gridIndex < MaxRaceSlots) {
        for (int k = 0; k < 3; ++k) {
            RaceObjectPtr->gridPositions[gridIndex][k] = LayoutRouteLines.startOverride ? 0 : position[k];
        }
    }
}

void PitStartPosition(GameSession &, int32_t position[3], float &heading, int gridIndex, CarObject *car, int)
{
    position[0] = position[1] = position[2] = 0;
    heading = 0.0f;
    const World *world = LoadedWorld();
    if (world == nullptr) {
        return;
    }
    GetPitStartPosition(world, position, heading, gridIndex, car != nullptr ? car->pathFollower : nullptr, 0,
                        nullptr);
}

void PlaceCarAtStart(GameSession &session, int slotIndex, int pitLane, int join)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || slotIndex < 0 || slotIndex >= race->slotCount) {
        return;
    }
    PlayerSlot &slot = race->slots[slotIndex];
    CarObject *car = slot.car;
    if (car == nullptr) {
        return;
    }
    // 1.
    car->stepCount = race->tick;
    car->networkTick = race->tick;
    // 2.
    int32_t position[3];
    float heading = 0.0f;
    if (pitLane) {
        PitStartPosition(session, position, heading, slot.info.gridIndex, car, join);
    } else {
        GridStartPosition(session, position, heading, slot.info.gridIndex, car, join);
    }
    // 3.
    car->ResetRaceState();
    car->SetPosition({position[0], position[1], position[2]});
    car->Reset(heading, 0, 1);
    car->engine.StartAtIdle();
    // 4.
    car->startByte = pitLane ? 0 : 1;
    // 6.
    car->setup = &slot.setup;
    car->colours = &slot.colours;
    if (IsTimedOrLappedRace() && !LayoutRouteLines.startOverride && race->resultCount > 0) {
        car->finished = 1;
    }
    car->SetFuelPercent(slot.info.fuel[0]);
    car->UpdateMassProperties();
}

void GameSession::SetDrivenCar(PlayerSlot *slot)
{
    drivenCar = slot->car;
    viewedCar = slot->car;
}

void GameSession::StartRace(int replay, int join, uint32_t startTick)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    World *world = LoadedWorld();
    if (SessionLinks.initHudState != nullptr) {
        SessionLinks.initHudState();
    }
    // 1.
    if (SessionLinks.stopCarSoundBuffer != nullptr) {
        SessionLinks.stopCarSoundBuffer();
    }
    // 2.
    RuleCheckActive = 0;
    // 3. Smoke and skid marks are simulation data: cleared with graphics or
    // without.
    if (SessionLinks.clearSpritesAndMarks != nullptr) {
        SessionLinks.clearSpritesAndMarks();
    }
    // 4. "3a_thexisst"
    const char *what = RaceKind == 2 ? Tx(Text_3a_smlqulng)
                                     : (race->raceLength == 0 ? Tx(Text_3a_smlpract) : Tx(Text_3a_sml_race));
    char text[64];
    std::snprintf(text, sizeof(text), Tx(Text_3a_thexisst), what);
    RacePrint(text, RaceMessageInfoBeep);
    // 5.
    hornSent = hornChanged = flashSent = flashChanged = 0;
    steerForceTime = 0;
    // 6.
    race->PrepareStart(join);
    ClearGameVotesLink();
    // 7.
    if (OnlineFlag && !join) {
        RaceFrameBase = SessionFrameCount;
    }
    // 8.
    keySignalA = keySignalB = 0;
    race->tick = startTick;
    // 9.
    if (!replay) {
        race->seed = SharedRandom;
        if (world != nullptr) {
            race->config = static_cast<uint32_t>(world->config);
            race->reversed = static_cast<uint32_t>(world->reversed);
            race->lightScheme = static_cast<uint32_t>(world->lightSchemeIndex);
        }
        GameState = 2;
        if (!join && (!RaceLessonRunning() || race->slotCount > 1)) {
            StartCountdown = StartCountdownFor(race->slotCount, OnlineFlag, LayoutRouteLines.startOverride, RaceKind,
                                               race->raceLength);
        }
    } else {
        SharedRandom = race->seed;
        GameState = 3;
    }
    // 10.
    race->countdownSeconds = static_cast<uint8_t>(StartCountdown);
    if (world != nullptr) {
        StartRaceView view;
        FillStartRaceView(&view);
        world->ResetStartLightsAndWind(&view);
    }
    // The car sounds start afresh with each start: echo cleared, listener
    // written again by the next frame.
    StartCarSounds();
    // 12.
    controlsFrozen = replay || MultiplayerReplayPlaying ? 1 : 0;
    // 13.
    viewedCar = nullptr;
    drivenCar = nullptr;
    // 14. Places, then the viewed car by priority: a local player (4), a
    // remote player (3), a local AI (2), a remote AI (1).
    int best = 0;
    static constexpr int Priority[4] = {4, 3, 2, 1};
    for (int i = 0; i < race->slotCount; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (!join) {
            slot.info.gridIndex = static_cast<uint8_t>(i);
            slot.info.pitStart = 0;
        }
        if (slot.ai != nullptr) {
            const bool staggered = !IsTimedOrLappedRace() &&
                                   !(race->hotLapMode && world != nullptr && world->currentPath != nullptr);
            slot.ai->Reset(staggered ? 1 : 0);
        }
        if (slot.car == nullptr) {
            continue;
        }
        PlaceCarAtStart(*this, i, slot.info.pitStart, join);
        // A running seek views the car it viewed before.
        const bool sought = SeekActive && seekPlayerId != 0 && slot.info.playerId == seekPlayerId;
        const int priority = sought ? 5 : slot.info.kind < 4 ? Priority[slot.info.kind] : 0;
        if (priority > best) {
            best = priority;
            viewedCar = slot.car;
            if (slot.info.kind == KindLocal && !controlsFrozen) {
                drivenCar = slot.car;
            }
        }
    }
    // 15.
    if (!OnlineFlag && !replay && SessionLinks.startSprRecording != nullptr) {
        SessionLinks.startSprRecording();
    }
    if (OnlineFlag && !MultiplayerReplayPlaying && !join && SessionLinks.startMprRecording != nullptr) {
        SessionLinks.startMprRecording();
    }
    // 16.
    if (!restarting) {
        SetViewMode(*this, DefaultView());
    }
    // 17. The physics world starts over with the race cars.
    physics.AddRaceCars();
    // 18.
    shiftUpTime = shiftDownTime = 0;
    resetEdge = limiterEdge = tractionEdge = ignitionEdge = 1;
    // 21.
    if (!controlsFrozen) {
        race->ClearHudTimes();
    }
    // 22, 23.
    HoldDisplayAfterStart(*this);
    tickCounter = 0;
    nextReadyCheck = join ? GameClock + 4000 : GameClock + (StartCountdown * 5 + 20) * 200;
}

uint32_t GameSession::AddPlayerCar(PlayerSlot *slot)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    // 1.
    CreatePlayerCar(slot);
    slot->info.flags &= static_cast<uint16_t>(~PlayerFlagNoCar);
    // 2. The lowest free grid index.
    const int index = SlotIndexOf(*race, slot);
    auto taken = [&](int grid) {
        for (int i = 0; i < race->slotCount; ++i) {
            if (i != index && race->slots[i].info.gridIndex == grid) {
                return true;
            }
        }
        return false;
    };
    int grid = 0;
    while (taken(grid)) {
        ++grid;
    }
    slot->info.gridIndex = static_cast<uint8_t>(grid);
    slot->info.pitStart = 0;
    CarObject *car = slot->car;
    if (car == nullptr) {
        return 0;
    }
    // 3. After the green of a timed race the car starts in the pit lane.
    const World *world = LoadedWorld();
    const bool beforeGreen = world == nullptr || world->startLightState != StartLightsGreen ||
                             LayoutRouteLines.startOverride != 0;
    const uint32_t pitLane = IsTimedOrLappedRace() && beforeGreen ? 0 : 1;
    slot->info.pitStart = static_cast<uint8_t>(pitLane);
    PlaceCarAtStart(*this, index, static_cast<int>(pitLane), 0);
    physics.Add(car);
    // 4, 5.
    if (!controlsFrozen) {
        if (slot->info.kind == KindLocal) {
            SetDrivenCar(slot);
        } else if (slot->ai != nullptr) {
            slot->ai->Reset(pitLane ? 2 : 0);
        }
    }
    if (viewedCar == nullptr && !race->HasLocalSlot()) {
        viewedCar = car;
    }
    // 6.
    if (world != nullptr && world->startLightState == StartLightsGreen) {
        car->StartRaceTiming();
    }
    return pitLane;
}

void GameSession::RemovePlayerCar(PlayerSlot *slot)
{
    CarObject *car = slot->car;
    if (car == nullptr) {
        return;
    }
    slot->car = nullptr;
    if (drivenCar == car) {
        drivenCar = nullptr;
    }
    if (viewedCar == car) {
        viewedCar = drivenCar;
    }
    physics.Remove(car);
    if (RaceObjectPtr != nullptr) {
        RaceObjectPtr->ExtendResultsDue();
    }
    delete slot->ai;
    slot->ai = nullptr;
    delete car;
}

// --- Votes ---

void SetViewMode(GameSession &, int mode)
{
    ViewMode = static_cast<uint32_t>(mode);
}

void SetViewCar(GameSession &session, CarObject *car)
{
    session.viewedCar = car;
}

void SelectView(int mode)
{
    if (mode < 0 || mode > 4 || GameSessionPtr == nullptr) {
        return;
    }
    SetViewMode(*GameSessionPtr, mode);
}

int DefaultView()
{
    return 3;
}

int IsFreeOrFixedView(const GameSession &session)
{
    return ViewMode == 1 || ViewMode == 2 || session.freeView ? 1 : 0;
}

void GameSession::PickViewCar(int)
{
    CarObject *choice = drivenCar;
    const RaceObject *race = RaceObjectPtr;
    for (int i = 0; choice == nullptr && race != nullptr && i < race->slotCount; ++i) {
        choice = race->slots[i].car;
    }
    SetViewCar(*this, choice);
}

void GameSession::CheckRaceVote()
{
    RaceObject *race = RaceObjectPtr;
    // 1.
    if (GameState == 1 || race == nullptr) {
        return;
    }
    const int connections = RaceConnectionCount();
    const bool joining = RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining();
    // 2. An empty race offline ends at once.
    if (race->slotCount == 0 && !joining && connections < 2 && VoteAction == 0) {
        VoteAction = 1;
        VoteCountdown = 0;
    }
    // 3.
    if (VoteHeldByHost) {
        return;
    }
    // 4.
    if (VoteAction != 0) {
        --VoteCountdown;
        if (VoteCountdown > 0) {
            return;
        }
        const uint8_t action = VoteAction;
        StopAndSaveReplays(*this);
        Unpause();
        if (action == 1) {
            physics.AddRaceCars();
            RaceKind = 0;
            GameState = 1;
            active = 0;
            ClearGameVotesLink();
        } else {
            RaceKind = action == 3 ? 2 : 1;
            race->carsOk = 1;
            StartRace(0, 0, 0);
        }
        SetSyncDeadlineLink();
        return;
    }
    // 5.
    auto vote = [](int connection) {
        return RaceLinks.connectionVote != nullptr ? RaceLinks.connectionVote(connection) : 0;
    };
    if (race->slotCount == 0) {
        return;
    }
    // 6. The host's own vote decides; else at least half the voters.
    int action = vote(0);
    if (action == 0) {
        int voters = 0;
        int tally[4] = {};
        for (int c = 0; c < connections; ++c) {
            bool hasPlayer = false;
            for (int i = 0; i < race->slotCount; ++i) {
                hasPlayer = hasPlayer || race->slots[i].info.connection == c;
            }
            if (!hasPlayer) {
                continue;
            }
            ++voters;
            const int v = vote(c);
            if (v >= 1 && v <= 3) {
                ++tally[v];
            }
        }
        for (int a = 1; a <= 3; ++a) {
            if (voters > 0 && tally[a] >= (voters + 1) / 2) {
                action = a;
            }
        }
    }
    if (action < 1 || action > 3) {
        return;
    }
    // 7, 8.
    SetSyncDeadlineLink();
    int countdown = 100;
    if (!OnlineFlag && action == 1) {
        countdown = 0;
    } else if (OnlineFlag && connections > 1) {
        countdown = 300;
    }
    VoteAction = static_cast<uint8_t>(action);
    VoteCountdown = countdown;
}

void EndGameSession()
{
    if (GameSessionPtr == nullptr) {
        return;
    }
    RaceKind = 0;
    GameState = 1;
    GameSessionPtr->active = 0;
}

// --- Tick ---

void CountSessionTick(GameSession &session)
{
    ++session.tickCounter;
    if (SessionLinks.countHudHolds != nullptr) {
        SessionLinks.countHudHolds();
    }
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    ++race->tick;
    if ((race->tick & 127u) == 0) {
        race->UpdateRunningOrder();
    }
}

uint32_t SessionTick(GameSession &session, int flag, int left)
{
    // 1.
    if (GameState == 1) {
        return 1;
    }
    // 2. Every tick computes under the same float settings.
    std::fesetenv(FE_DFL_ENV);
    RaceObject *race = RaceObjectPtr;
    // 3.
    if (GameState != 3 && !MultiplayerReplayPlaying && race != nullptr) {
        race->RunAiDrivers(RacingLineView ? session.viewedCar : nullptr);
    }
    // 4.
    if (session.drivenCar != nullptr) {
        ApplyPlayerControls(session, left);
    }
    // 5.
    if (ReplayOutOfSync) {
        return 0;
    }
    // 6.
    if (World *world = LoadedWorld()) {
        StartRaceView view;
        FillStartRaceView(&view);
        world->StepStartLightsAndWind(race != nullptr ? &view : nullptr);
    }
    // 7. The single-player replay: the tick's control changes recorded, or
    // the replay played up to the race tick.
    uint32_t result = 0;
    if (race != nullptr && GameState == 3) {
        if (SessionLinks.sprPlayUntilTick != nullptr && SessionLinks.sprPlayUntilTick(race->tick, 1) != 0) {
            OnSprPlaybackEnd(session);
            result = 1;
        } else {
            const int32_t length = static_cast<int32_t>(race->tick) - ReplayStartTick + 1;
            ReplayLength = std::max(ReplayLength, length);
        }
    } else if (race != nullptr && SprRecording()) {
        RecordControlChanges(*race);
        if ((race->tick & 255u) == 0 && SessionLinks.sprRecordStateCheck != nullptr) {
            SessionLinks.sprRecordStateCheck(race->StateHash());
        }
    }
    // 8.
    if (!session.active) {
        if (race != nullptr) {
            ++race->tick;
        }
        return result;
    }
    // 9.
    if (RaceLinks.updateSprites != nullptr) {
        RaceLinks.updateSprites();
    }
    // 10. The waking and knocked-object phases read the world's object grid.
    if (LoadedWorldQuery() != nullptr) {
        session.physics.Step(flag);
    }
    // 11. The next tick records only what changes after this step.
    if (race != nullptr && GameState != 3 && SprRecording()) {
        for (int i = 0; i < race->slotCount; ++i) {
            if (const CarObject *car = race->slots[i].car) {
                std::memcpy(race->slots[i].inputCopy, car->inputs, sizeof(race->slots[i].inputCopy));
            }
        }
    }
    // 12. The free camera; the editor aims it along the viewed car first, or
    // takes its timed step after the move.
    if (session.freeView && !Paused) {
        const bool follow = (ScreenFlags & 0x400u) != 0;
        if (follow && SessionLinks.editorFollowCar != nullptr) {
            SessionLinks.editorFollowCar(session.viewedCar);
        }
        if (SessionLinks.advanceFreeCamera != nullptr) {
            SessionLinks.advanceFreeCamera(0.01f);
        }
        if (!follow && SessionLinks.editorCameraStep != nullptr) {
            SessionLinks.editorCameraStep();
        }
    }
    // 13.
    SmoothLookAngle(session, 0.01f);
    // 14.
    CountSessionTick(session);
    return result;
}

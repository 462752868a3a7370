// The car's timing lines (lap and split times, their packets, the car-data
// recording and hot-lap check hooks), its stop detection with the
// jump-start penalties, and the texts shown once it is out of the race.

#include <cstring>

#include "core/translation_table.h"
#include "core/file_handover.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "vehicle/car_object.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "vehicle/world_query.h"

namespace {

// 360000 ticks (one hour) marks a lap or split that was not timed.
constexpr uint32_t UntimedTicks = 360000;
// How long a new time stays shown, ms.
constexpr int32_t TimeShownMs = 6000;
// Stop tests after a reset that only count.
constexpr uint8_t StopCheckWarmUp = 100;
// Speeds that change the stopped state: a stopped car needs at least the
// first to move off, a moving car stops below the second.
constexpr float MoveOffSpeed = 1.0f;
constexpr float KeepMovingSpeed = 0.6f;
// Start-light state of the green light (also idle).
constexpr int LightsGreen = 4;

constexpr uint8_t PacketSplitTime = 38;
constexpr uint8_t PacketLapTime = 39;
constexpr uint8_t PacketTimePenalty = 50;
constexpr uint8_t PacketPenalty = 66;
constexpr uint8_t PacketLiveSettings = 69;
constexpr uint8_t PacketStrategy = 56;
constexpr uint8_t PacketStateByte = 81;
// The reason byte of a jump-start penalty, and the seconds of a time penalty
// in a single-car start.
constexpr uint8_t JumpStartReason = 3;
constexpr uint8_t SingleStartPenaltySeconds = 30;
// Before the green: 0.5 m from the start place draws the jump-start penalty,
// 6 m takes the car out of the race (the car event's reason 4). The start
// mark (penaltySent) is then 2.
constexpr int32_t StartMoveLimit = 32768;
constexpr int32_t StartRemovalDistance = 0x60000;
constexpr int FalseStartEvent = 4;
constexpr uint8_t StartMarkRemoved = 2;

// Penalty kinds (`CarObject::penalty`).
constexpr uint8_t PenaltyDriveThrough = 1;
constexpr uint8_t PenaltyDriveThroughServing = 2;
constexpr uint8_t PenaltyStopGo = 3;
constexpr uint8_t PenaltyStopGoServing = 4;
constexpr uint8_t Penalty30Seconds = 5;
constexpr uint8_t Penalty45Seconds = 6;

constexpr uint32_t LapValid = 1;
constexpr uint32_t LapInvalid = 2;

// Exit codes of the hot-lap check.
constexpr int HotLapCheckSameTime = 1;
constexpr int HotLapCheckOtherTime = 11;
constexpr int HotLapCheckInvalid = 12;

void PutU16(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t *out, uint32_t value) {
    PutU16(out, value);
    PutU16(out + 2, value >> 16);
}

uint8_t SlotPlayerId(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
}

void SendGamePacket(const uint8_t *bytes, int length) {
    RaceQueueGamePacket(bytes, length);
    RaceFlushGameBatch(0);
}

// A jump-start penalty packet names the car by its slot's player id; a car
// without a slot has no id to name, so nothing is sent for it.
void SendPenaltyPacket(const CarObject *car, uint8_t packetId, uint8_t value) {
    const PlayerSlot *slot = FindCarSlot(car);
    if (slot == nullptr)
        return;
    const uint8_t packet[4] = {packetId, SlotPlayerId(slot), value, JumpStartReason};
    SendGamePacket(packet, sizeof(packet));
}

int CheckpointCount() {
    const WorldQuery *world = CurrentWorldQuery();
    return world != nullptr ? world->GetCheckpointCount() : 0;
}

bool StartOverride() {
    const WorldQuery *world = CurrentWorldQuery();
    return world != nullptr && world->IsStartOverride();
}

int LineTimeIndex(int nextLine) {
    const int index = nextLine - 2;
    return index < 0 ? 0 : (index > 3 ? 3 : index);
}

bool HotLapCheckMode() {
    return StartMode == StartModeHotLapCheck;
}

int GetBestLap(RaceBestLap *best) {
    *best = {};
    return RaceServices.getBestLap != nullptr && RaceServices.getBestLap(best) != 0 ? 1 : 0;
}

// In the hot-lap check the end of the lap before the replay's best lap arms
// the recording, so that the best lap itself is recorded and its time
// checked. `lap` is the number of the lap just ended (0 at the crossing that
// starts the first lap).
void ArmHotLapCheck(CarObject *car, int lap) {
    if (!HotLapCheckMode())
        return;
    RaceBestLap best;
    if (GetBestLap(&best) == 0 || lap != best.lapNumber - 1)
        return;
    car->rafState = 1;
    CopyString(car->rafName, PendingFileName, sizeof(car->rafName));
}

void StartPendingRecording(CarObject *car) {
    if (car->rafState == 1)
        car->rafState = StartCarDataRecording(car) != 0 ? 2 : 0;
}

void CheckQualifyingOver(CarObject *car) {
    if (RaceServices.isQualifying != nullptr && RaceServices.isQualifying() != 0 &&
        RaceServices.isQualifyingOver != nullptr && RaceServices.isQualifyingOver() != 0)
        car->SetQualifyingOverText();
}

void StartNextHotLap() {
    if (RaceServices.startNextHotLap != nullptr)
        RaceServices.startNextHotLap();
}

void CopyStatusText(CarObject *car, TextId text) {
    CopyString(car->statusText, Tx(text), sizeof(car->statusText));
    car->statusCodePage = static_cast<uint32_t>(LanguageCodePage);
}

// The penalty for moving off before the green light in a race: the short
// races, and tracks without a pit lane to serve a drive-through or stop-go,
// get a time penalty.
uint8_t JumpStartKind(int lights, bool pitLane) {
    const bool redLit = lights > 0;
    const int laps = RaceServices.lapsToRace != nullptr ? RaceServices.lapsToRace() : 0;
    if (laps >= 4 && pitLane)
        return redLit ? PenaltyDriveThrough : PenaltyStopGo;
    return redLit ? Penalty30Seconds : Penalty45Seconds;
}

} // namespace

int CarObject::FewWheelsInState3or4() const {
    int count = 0;
    for (int i = 0; i < wheelCount && wheels != nullptr; i++) {
        if (wheels[i].surfaceType == 3 || wheels[i].surfaceType == 4)
            count++;
    }
    return count < 3 ? 1 : 0;
}

int CarObject::CheckStopped() {
    if (stopCheckCount < StopCheckWarmUp) {
        stopCheckCount++;
        return 0;
    }
    const bool moving = stopped != 0 ? speed >= MoveOffSpeed : speed >= KeepMovingSpeed;
    if (moving == (stopped == 0))
        return 0;

    if (!moving) {
        stopped = 1;
        lastInputTick = stepCount;
        if (pitWorkStep == 0)
            stopTick = stepCount;
        standstillCount = 0;
        lastInputActivity = InputActivity();
        return 1;
    }

    stopped = 0;
    WorldQuery *world = CurrentWorldQuery();
    if (isRemote != 0 || world == nullptr)
        return 1;
    const int lights = world->GetStartLightState();
    if (world->IsStartOverride()) {
        const bool legal = lights == LightsGreen && stepCount >= raceStartTick;
        if (!legal && penaltySent == 0)
            SendStoppedPacket();
        return 1;
    }
    if (lights != LightsGreen && RaceIsTimedOrLapped() != 0 && penaltySent == 0)
        SendStatePacket();
    return 1;
}

void CarObject::SendStoppedPacket() {
    SendPenaltyPacket(this, PacketTimePenalty, SingleStartPenaltySeconds);
    RacePlayInterfaceSound(ErrorInterfaceSound);
    penaltySent = 1;
}

void CarObject::SendStatePacket() {
    const WorldQuery *world = CurrentWorldQuery();
    const int lights = world != nullptr ? world->GetStartLightState() : LightsGreen;
    const uint8_t kind = JumpStartKind(lights, world != nullptr && world->HasSpeedLimitZones());
    penaltyRequest = kind;
    SendPenaltyPacket(this, PacketPenalty, kind);
    penaltySent = 1;
    if (RaceServices.setJumpStartFlag != nullptr)
        RaceServices.setJumpStartFlag();
}

// One of the car's packet countdowns: 1 on the step from 1 to 0.
static bool CountDown(uint8_t &timer) {
    if (timer == 0)
        return false;
    return --timer == 0;
}

void CarObject::SendTimedPackets() {
    if (isRemote != 0)
        return;
    // 1. The delayed packets, each once its countdown runs out; a car
    // without a slot sends none.
    const bool settingsDue = CountDown(liveSettingsTimer);
    const bool strategyDue = CountDown(strategyTimer);
    const bool stateDue = CountDown(stateByteTimer);
    if (settingsDue || strategyDue || stateDue) {
        const PlayerSlot *slot = FindCarSlot(this);
        if (slot != nullptr) {
            const uint8_t id = SlotPlayerId(slot);
            if (settingsDue) {
                uint8_t packet[16] = {PacketLiveSettings, id, 0, 0, packetBrakeBalance};
                std::memcpy(packet + 8, &packetAntiRoll[0], 4);
                std::memcpy(packet + 12, &packetAntiRoll[1], 4);
                RaceQueueGamePacket(packet, sizeof(packet));
            }
            if (strategyDue) {
                uint8_t packet[8] = {PacketStrategy, id, 0, 0};
                std::memcpy(packet + 4, &DefaultPitStrategy, 4);
                RaceQueueGamePacket(packet, sizeof(packet));
            }
            if (stateDue) {
                const uint8_t packet[4] = {PacketStateByte, id, pendingStateByte, 0};
                RaceQueueGamePacket(packet, sizeof(packet));
            }
        }
    }

    const WorldQuery *world = CurrentWorldQuery();
    if (world == nullptr)
        return;
    const int lights = world->GetStartLightState();
    const int32_t distance = CalcLength2D(static_cast<int32_t>(static_cast<uint32_t>(position.x) -
                                                               static_cast<uint32_t>(resetPosition.x)),
                                          static_cast<int32_t>(static_cast<uint32_t>(position.y) -
                                                               static_cast<uint32_t>(resetPosition.y)));
    if (world->IsStartOverride()) {
        if (lights == LightsGreen && stepCount >= raceStartTick)
            return;
        if (distance >= StartMoveLimit && penaltySent == 0)
            SendStoppedPacket();
        return;
    }
    if (lights == LightsGreen || RaceIsTimedOrLapped() == 0 || penaltySent >= StartMarkRemoved)
        return;
    const uint32_t spared = CarNetwork.startSettingWord != nullptr ? CarNetwork.startSettingWord() : 0;
    if (distance >= StartRemovalDistance && spared == 0) {
        if (CarNetwork.sendCarEvent != nullptr)
            CarNetwork.sendCarEvent(this, FalseStartEvent);
        penaltySent = StartMarkRemoved;
        if (RaceServices.setJumpStartFlag != nullptr)
            RaceServices.setJumpStartFlag();
    } else if (distance >= StartMoveLimit && penaltySent == 0) {
        SendStatePacket();
    }
}

void CarObject::StartRaceTiming() {
    if (RaceHotLapMode() != 0)
        return;
    int offset = RaceServices.raceStartOffset != nullptr ? RaceServices.raceStartOffset() : 0;
    offset = offset < 0 ? 0 : (offset > 255 ? 255 : offset);   // a byte of seconds
    raceStartTick = static_cast<uint32_t>(offset) * 100u;
    lapStartTick = raceStartTick;
    GetRaceTick(&stepCount);
    timingArmed = 1;
    nextLine = 2;
}

void CarObject::CrossTimingLine(int line) {
    if (isRemote != 0) {
        if (line == 1 && nextLine == CheckpointCount() + 1)
            lapsDone++;
        return;
    }
    if (RecordTimingLine(line) != 1)
        return;
    // A lesson with its own start shows no times before the car finishes.
    if (finished == 0 && StartOverride() && RaceLessonActive() != 0)
        return;
    if (lastTime > 0 && lastTime < UntimedTicks)
        countdown = TimeShownMs;
}

int CarObject::RecordTimingLine(int line) {
    const bool startOverride = StartOverride();
    const bool timedOrLapped = RaceIsTimedOrLapped() != 0;
    if (finished != 0 && (startOverride || !timedOrLapped))
        return 0;
    PlayerSlot *slot = FindCarSlot(this);
    if (slot == nullptr)
        return 0;
    const bool hotLap = RaceHotLapMode() != 0;
    const bool timed = lapsDone > 0 || timedOrLapped || hotLap;
    const int checkpoints = CheckpointCount();

    if (line != 1) {
        if (line != nextLine)
            return 0;
        sinceStart = stepCount - raceStartTick;
        uint32_t t = stepCount - lapStartTick;
        if (!timed)
            t = UntimedTicks;
        lastTime = t;
        if (RaceServices.aiDecidePitStop != nullptr)
            RaceServices.aiDecidePitStop(slot);
        uint8_t packet[8] = {PacketSplitTime, SlotPlayerId(slot), static_cast<uint8_t>(line), 0};
        PutU32(packet + 4, t);
        SendGamePacket(packet, sizeof(packet));
        lapLineCrossed = 0;
        if (nextLine == checkpoints && RaceServices.setNextHotLapValidity != nullptr)
            RaceServices.setNextHotLapValidity(FewWheelsInState3or4() != 0 ? LapValid : LapInvalid);
        lineTimes[LineTimeIndex(nextLine)] = static_cast<int32_t>(t);
        nextLine++;
        return 1;
    }

    if (timingArmed != 0) {
        timingArmed = 0;
        lapDistance = 0.0f;
        lapStartFuel = fuel;
    }

    if (nextLine != checkpoints + 1) {
        // A lap line before every split was passed: only the first crossing
        // of a practice session starts the timed laps.
        if (!timedOrLapped && nextLine == 1) {
            sinceStart = stepCount - raceStartTick;
            StartNextHotLap();
            nextLine = 2;
            lapStartTick = stepCount;
            raceStartTick = stepCount;
            ArmHotLapCheck(this, 0);
            StartPendingRecording(this);
            CheckQualifyingOver(this);
        }
        return 0;
    }

    if (lapStartFuel != 0.0f && lapStartFuel > fuel) {
        fuelLapTotal += lapStartFuel - fuel;
        fuelLapCount++;
    }
    lapStartFuel = fuel;

    sinceStart = stepCount - raceStartTick;
    uint32_t t = stepCount - lapStartTick;
    lastSectorTime = static_cast<int32_t>(t - lastTime);
    if (!timed)
        t = UntimedTicks;
    lastTime = t;
    lapValidity = RaceServices.hotLapValidity != nullptr ? RaceServices.hotLapValidity() : 0;
    const int timeIndex = LineTimeIndex(nextLine);
    lineTimes[timeIndex] = static_cast<int32_t>(t);

    ArmHotLapCheck(this, lapsDone + 1);
    if (rafState == 1) {
        StartPendingRecording(this);
    } else if (rafState == 2) {
        FinishCarDataRecording(this);
        if (HotLapCheckMode()) {
            RaceBestLap best;
            GetBestLap(&best);
            int code = HotLapCheckInvalid;
            if (lapValidity == LapValid)
                code = static_cast<int32_t>(t) == best.lineTimes[timeIndex] ? HotLapCheckSameTime : HotLapCheckOtherTime;
            RaceExitProgram(code);
        }
    }
    CheckQualifyingOver(this);

    lapLineCrossed = 1;
    lastLapDistance = lapDistance;
    lapDistance = 0.0f;

    if (hotLap && lapValidity == LapValid) {
        RaceBestLap best;
        if (GetBestLap(&best) == 0 || static_cast<int32_t>(t) < best.lineTimes[timeIndex]) {
            best.lineCount = checkpoints;
            best.lapNumber = lapsDone + 1;
            std::memcpy(best.lineTimes, lineTimes, sizeof(best.lineTimes));
            if (RaceServices.setBestLap != nullptr)
                RaceServices.setBestLap(best);
        }
    }

    StartNextHotLap();
    if (WorldQuery *world = CurrentWorldQuery())
        world->SetKnowledgeChanged(1);
    nextLine = 2;
    lapStartTick = stepCount;
    if (resultRecorded == 0)
        raceTime = stepCount - raceStartTick;
    lapsDone++;

    if (timedOrLapped) {
        if (startOverride) {
            const int laps = RaceServices.lapsToRace != nullptr ? RaceServices.lapsToRace() : 0;
            if (lapsDone == laps)
                SetFinishedText();
        } else if (resultRecorded == 0) {
            const bool distanceDone = RaceServices.isRaceDistanceDone != nullptr &&
                                      RaceServices.isRaceDistanceDone(lapsDone, raceTime, this) != 0;
            const bool afterWinner = RaceServices.anyResultRecorded != nullptr && RaceServices.anyResultRecorded() != 0;
            if (distanceDone || afterWinner)
                SetFinishedText();
        }
    }

    if (RaceServices.aiTargetPitBox != nullptr)
        RaceServices.aiTargetPitBox(slot);
    uint8_t packet[12] = {PacketLapTime, SlotPlayerId(slot)};
    PutU16(packet + 2, lapsDone);
    PutU32(packet + 4, t);
    PutU32(packet + 8, raceTime);
    SendGamePacket(packet, sizeof(packet));
    return 1;
}

void CarObject::SetFinishedText() {
    finished = 1;
    if (statusText[0] == '\0')
        CopyStatusText(this, Text_3a_cpfinish);
}

void CarObject::SetQualifyingOverText() {
    finished = 1;
    if (statusText[0] == '\0')
        CopyStatusText(this, Text_3a_endoqual);
}

void CarObject::SetDisqualifiedText() {
    CopyStatusText(this, Text_3a_dsqulcap);
}

void CarObject::AdvancePenalty() {
    if (penalty == PenaltyDriveThrough)
        penalty = PenaltyDriveThroughServing;
    else if (penalty == PenaltyStopGo)
        penalty = PenaltyStopGoServing;
}

#include "race/race_packets.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/float_math.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/player_record.h"
#include "race/race_progress.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/car_setup.h"
#include "vehicle/tyre_grip.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"

namespace {

constexpr uint32_t QualifyingLapLimit = 360000;   // hundredths: a lap at or above gives no result
constexpr int32_t TimeShownTicks = 6000;
constexpr uint8_t PenaltyStopGo = 3;
constexpr uint8_t Penalty30Seconds = 5;
constexpr uint8_t ReasonPitStopTooLate = 6;
constexpr uint8_t HighestPenalty = 6;
constexpr uint8_t HighestPenaltyReason = 6;
constexpr uint8_t FalseStartKind = 3;
constexpr uint32_t PositionTickGap = 200;

int fastestLapCountdown = 0;
uint8_t fastestLapPlayer = 0;

uint32_t ReadU32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// The slot of the packet's player (byte 1) with a car, or null; also null
// for a packet shorter than `size`.
PlayerSlot *CarSlot(const uint8_t *packet, int length, int size, int *index = nullptr)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || packet == nullptr || length < size) {
        return nullptr;
    }
    int at = -1;
    PlayerSlot *slot = race->SlotByPlayerId(packet[1], &at);
    if (slot == nullptr || slot->car == nullptr) {
        return nullptr;
    }
    if (index != nullptr) {
        *index = at;
    }
    return slot;
}

// The race has started: its tick has passed the start delay.
bool RaceStarted()
{
    const RaceObject *race = RaceObjectPtr;
    return race != nullptr && race->tick >= static_cast<uint32_t>(race->countdownSeconds) * 100u;
}

// Offline this program is its own host.
bool IsHostProgram()
{
    if (!OnlineFlag) {
        return true;
    }
    return RaceLinks.isHost != nullptr && RaceLinks.isHost() != 0;
}

bool IsHostNotReplay()
{
    return IsHostProgram() && !RaceSingleReplayPlaying() && !MultiplayerReplayPlaying;
}

// The host's penalty for a compulsory stop not made by the last lap.
void QueueMissedStopPenalty(const PlayerSlot &slot)
{
    const uint8_t packet[4] = {MP_PENALTY, slot.info.playerId,
                               slot.car->penalty == 0 ? Penalty30Seconds : PenaltyStopGo, ReasonPitStopTooLate};
    RaceQueuePacket(packet, 4);
}

bool OnLastLap(const CarObject &car)
{
    const int laps = GetRaceLaps();
    return laps > 0 && car.lapsDone == laps - 1;
}

// A time taken by a car driven elsewhere is shown as for one of ours.
void ShowRemoteTime(CarObject &car, uint32_t time)
{
    car.lastTime = time;
    if (time < QualifyingLapLimit) {
        car.countdown = TimeShownTicks;
    }
}

// A human driver's time for the master's table: only while the link is up
// and the layout sets neither its own start nor checkpoints.
void ReportMasterTime(const PlayerSlot &slot, int line, uint32_t time)
{
    if (RaceLinks.masterTimeReport == nullptr || RaceLinks.masterLinkUp == nullptr || !RaceLinks.masterLinkUp() ||
        LayoutRouteLines.startOverride || CountLayoutCheckCircles() > 0 || slot.info.kind >= KindLocalAi) {
        return;
    }
    RaceLinks.masterTimeReport(slot.info.playerId, line, time);
}

void PrintDriverText(const PlayerSlot &slot, const char *what)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%s : %s", slot.info.name, what);
    RacePrint(text, RaceMessageInfo);
}

}  // namespace

void HandleSplitTime(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 8);
    if (slot == nullptr || !RaceStarted() || packet[2] < 1 || packet[2] > 3) {
        return;
    }
    CarObject &car = *slot->car;
    const uint32_t time = ReadU32(packet + 4);
    if (car.timingState == 1 || car.timingState == 3) {
        ++car.timingState;
    }
    ReportMasterTime(*slot, packet[2] + 1, time);
    if (RaceLinks.inSimSplit != nullptr) {
        RaceLinks.inSimSplit(packet[1], packet[2], time, car.raceTime + time);
    }
    if (car.isRemote) {
        car.lapLineCrossed = 0;
        car.timingState = packet[2];
        ShowRemoteTime(car, time);
    }
    if (IsHostNotReplay() && car.pitStopCount == 0 && IsMandatoryPitStop() && car.timingState == 3 &&
        OnLastLap(car)) {
        QueueMissedStopPenalty(*slot);
    }
}

void HandleLapTime(int, const uint8_t *packet, int length)
{
    int index = -1;
    PlayerSlot *slot = CarSlot(packet, length, 12, &index);
    RaceObject *race = RaceObjectPtr;
    if (slot == nullptr || !RaceStarted()) {
        return;
    }
    CarObject &car = *slot->car;
    const uint16_t laps = static_cast<uint16_t>(packet[2] | packet[3] << 8);
    const uint32_t lap = ReadU32(packet + 4);
    const uint32_t total = ReadU32(packet + 8);

    // 1. Qualifying results.
    if (RaceKind == 2 && lap < QualifyingLapLimit) {
        race->ReceiveResult(slot, lap, total, car.penalty);
    }
    // 2. Best lap and the fastest-lap candidate.
    bool candidate = false;
    if (lap > 0 && (car.bestLapTime == 0 || lap < car.bestLapTime)) {
        car.bestLapTime = lap;
        candidate = race->slotCount > 1 && laps > 1;
    }
    // 3. The master's table and the InSim guests.
    ReportMasterTime(*slot, 1, lap);
    if (RaceLinks.inSimLap != nullptr) {
        RaceLinks.inSimLap(packet[1], lap, total, laps);
    }
    // 4. Totals; a car driven elsewhere takes the lap as its last time.
    car.raceTime = total;
    car.lapsDone = laps;
    if (car.isRemote) {
        car.lapLineCrossed = 1;
        car.timingState = 2;
        ShowRemoteTime(car, lap);
    }
    // 5. Finishing and the fastest lap.
    if (!IsTimedOrLappedRace()) {
        return;
    }
    if (!LayoutRouteLines.startOverride) {
        const bool pastWinner = race->resultCount > 0 && total > race->results[0].raceTime;
        // The car's own line crossing has already marked it finished; the
        // result is what is still to come.
        if (!car.resultRecorded && (IsRaceDistanceDone(laps, total, &car) || pastWinner)) {
            race->RecordFinish(index, total, laps);
        }
        if (candidate) {
            bool beaten = false;
            for (int s = 0; s < race->slotCount; ++s) {
                const CarObject *other = race->slots[s].car;
                if (s != index && other != nullptr && other->bestLapTime != 0 && other->bestLapTime <= lap) {
                    beaten = true;
                }
            }
            if (!beaten) {
                fastestLapPlayer = packet[1];
                fastestLapCountdown = FastestLapNoticeFrames;
            }
        }
    } else if (!car.resultRecorded && laps == GetRaceLaps()) {
        race->RecordFinish(index, total + car.penaltyTime, laps);
    }
}

void HandleTimePenalty(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    if (slot == nullptr || (!RaceStarted() && packet[3] != FalseStartKind)) {
        return;
    }
    slot->car->penaltyTime += static_cast<uint32_t>(packet[2]) * 100u;
    if (RaceLinks.inSimTimePenalty != nullptr) {
        RaceLinks.inSimTimePenalty(packet[1], packet[2], packet[3]);
    }
}

void HandlePenalty(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    // A penalty or reason beyond the tables is not ours to apply.
    if (slot == nullptr || packet[2] > HighestPenalty || packet[3] > HighestPenaltyReason ||
        (!RaceStarted() && packet[3] != FalseStartKind)) {
        return;
    }
    CarObject &car = *slot->car;
    const uint8_t penalty = packet[2];
    const uint8_t reason = packet[3];
    const uint8_t old = car.penalty;
    car.penaltyServed = 0;
    if (RaceLinks.inSimPenalty != nullptr) {
        RaceLinks.inSimPenalty(packet[1], old, penalty, reason);
    }
    if (penalty == 0) {
        if (reason == 1 && old != 0) {
            PrintDriverText(*slot, Tx(Text_3g_clearedp));
        } else if (reason == 0 && (old == 2 || old == 4)) {
            char text[96];
            std::snprintf(text, sizeof(text), "%s^8 : completed %s", slot->info.name,
                          old == 2 ? Tx(Text_3g_drthrtxt) : Tx(Text_3g_stpgotxt));
            RacePrint(text, RaceMessageInfo);
        }
    } else if (!RaceLessonRunning()) {
        static const TextId Texts[HighestPenalty] = {Text_3g_drthrcap, Text_3g_drthrcap, Text_3a_stpgocap,
                                                     Text_3a_stpgocap, Text_3g_30stimep, Text_3g_45stimep};
        PrintDriverText(*slot, Tx(Texts[penalty - 1]));
    }
    car.penalty = penalty;
    car.penaltyReason = reason;
    // Not to be served on the pit-lane pass in which it was given.
    if (!car.isRemote && car.pitLaneState != 0 && (penalty == 2 || penalty == 4)) {
        const uint8_t lowered[4] = {MP_PENALTY, packet[1], static_cast<uint8_t>(penalty - 1), reason};
        RaceQueuePacket(lowered, 4);
        RaceFlushBatch();
    }
}

void HandlePitStop(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    if (slot == nullptr) {
        return;
    }
    CarObject &car = *slot->car;
    car.pitStopPending = 0;
    ++car.pitStopCount;
    if (!RaceIsDrivenCar(&car)) {
        char text[96];
        std::snprintf(text, sizeof(text), "%s^8 made a pit stop", slot->info.name);
        RacePrint(text, RaceMessageInfoBeep);
    }
    if (IsHostNotReplay() && car.pitStopCount == 1 && IsMandatoryPitStop() && car.timingState != 2 &&
        OnLastLap(car)) {
        QueueMissedStopPenalty(*slot);
    }
    if (car.bestLapTime != 0) {
        car.pitted = 1;
    }
    if (packet[2] != 0) {
        const int wear = RaceSlotTyreWearPercent(slot);
        if (RaceSlotRepairFlag(slot) & 1) {
            car.Repair(wear, 0);
        } else {
            car.RenewWornTyres(wear);
        }
    }
}

void HandleCarProgress(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 20);
    if (slot == nullptr || !RaceStarted()) {
        return;
    }
    CarObject &car = *slot->car;
    car.timingState = packet[2];
    car.lapLineCrossed = packet[3];
    car.lapsDone = static_cast<uint16_t>(packet[6] | packet[7] << 8);
    car.lastTime = ReadU32(packet + 8);
    car.sinceStart = ReadU32(packet + 12);
    car.raceTime = ReadU32(packet + 16);
}

void HandlePitWork(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 12);
    if (slot == nullptr) {
        return;
    }
    slot->car->pitWork = ReadU32(packet + 4);
    if (RaceLinks.inSimPitStart != nullptr) {
        RaceLinks.inSimPitStart(packet[1], ReadU32(packet + 4), ReadU32(packet + 8));
    }
}

void HandleWear(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 56);
    if (slot != nullptr && slot->car->isRemote) {
        slot->car->ApplyConditionRecord(packet);
    }
}

void HandleLiveSettings(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 16);
    if (slot == nullptr || !slot->car->isRemote || slot->car->setup == nullptr) {
        return;
    }
    CarObject &car = *slot->car;
    const uint8_t balance = packet[4];
    float stiffness[2];
    std::memcpy(&stiffness[0], packet + 8, 4);
    std::memcpy(&stiffness[1], packet + 12, 4);
    // A balance outside the set-up's range, or a stiffness that is not a
    // number or negative, would poison the car's physics.
    if (balance < 5 || balance > 95 || !std::isfinite(stiffness[0]) || !std::isfinite(stiffness[1]) ||
        stiffness[0] < 0.0f || stiffness[1] < 0.0f) {
        return;
    }
    car.packetBrakeBalance = balance;
    car.setup->brakeBalance = balance;
    car.SetBrakeShares();
    for (int axle = 0; axle < 2; ++axle) {
        car.packetAntiRoll[axle] = stiffness[axle];
        car.setup->axles[axle].antiRoll = stiffness[axle];
    }
}

void HandlePitDone(int, const uint8_t *packet, int length)
{
    // Only the InSim guests hear of a stop's end.
    if (CarSlot(packet, length, 8) != nullptr && RaceLinks.inSimPitDone != nullptr) {
        RaceLinks.inSimPitDone(packet[1], ReadU32(packet + 4));
    }
}

void HandlePitNotice(int, const uint8_t *packet, int length)
{
    // Only the InSim guests hear of pit-lane notices.
    if (CarSlot(packet, length, 4) != nullptr && RaceLinks.inSimPitLane != nullptr) {
        RaceLinks.inSimPitLane(packet[1], packet[2]);
    }
}

void HandleSettings(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 124);
    if (slot == nullptr) {
        return;
    }
    CarSetup incoming;
    std::memcpy(&incoming, packet + 4, sizeof(incoming));
    // A tyre type beyond the tyre table would index past it, and a float
    // that is not a number would poison the car's physics.
    const float floats[] = {incoming.brakeTorque,
                            incoming.axles[0].rideHeightReduction, incoming.axles[0].springStiffness,
                            incoming.axles[0].bumpDamping, incoming.axles[0].reboundDamping,
                            incoming.axles[0].antiRoll, incoming.axles[0].reserved,
                            incoming.axles[1].rideHeightReduction, incoming.axles[1].springStiffness,
                            incoming.axles[1].bumpDamping, incoming.axles[1].reboundDamping,
                            incoming.axles[1].antiRoll, incoming.axles[1].reserved};
    for (float f : floats) {
        if (!std::isfinite(f)) {
            return;
        }
    }
    if (incoming.axles[0].tyreType >= TyreTypeCount || incoming.axles[1].tyreType >= TyreTypeCount) {
        return;
    }
    // A car without its model (no set-up or wheels) has nothing to set up.
    CarObject &car = *slot->car;
    if (car.setup == nullptr || car.wheels == nullptr) {
        return;
    }
    if (RaceIsDrivenCar(&car)) {
        RacePrint("Updated settings", RaceMessageInfo);
    }
    bool changed[2] = {};
    for (int axle = 0; axle < 2; ++axle) {
        const uint8_t type = incoming.axles[axle].tyreType;
        if (type != car.setup->axles[axle].tyreType) {
            changed[axle] = true;
        }
    }
    *car.setup = incoming;
    car.Repair(RaceSlotTyreWearPercent(slot), 0);
    car.SetUpModel(1);
    // An axle on another tyre type runs on fresh tyres of that type.
    for (int i = 0; i < car.wheelCount; ++i) {
        CarWheel &wheel = car.wheels[i];
        const int axle = wheel.axleIndex != 0 ? 1 : 0;
        if (changed[axle]) {
            wheel.SetUp(car.axles[axle], car.isRemote != 0);
        }
    }
    uint8_t record[PlayerInfoSize];
    PackPlayerInfo(slot->info, record);
    car.ApplyPlayerOptions(record);
}

void HandleCarSwitches(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    if (slot == nullptr) {
        return;
    }
    CarObject &car = *slot->car;
    const uint8_t bits = packet[2] & 0x0f;
    if (packet[2] & 0x80) {
        car.switchBits = static_cast<uint8_t>(car.switchBits | bits);
    } else {
        car.switchBits = static_cast<uint8_t>(car.switchBits & ~bits);
    }
    if (RaceLinks.inSimCarSwitches != nullptr) {
        RaceLinks.inSimCarSwitches(packet[1], packet + 1);
    }
}

void HandleCarText(int, const uint8_t *packet, int length)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || packet == nullptr || length < 68) {
        return;
    }
    char text[64];
    std::memcpy(text, packet + 4, 63);
    text[63] = 0;
    for (int s = 0; s < race->slotCount; ++s) {
        PlayerSlot &slot = race->slots[s];
        if (slot.car != nullptr && (packet[1] == 0 || slot.info.playerId == packet[1])) {
            std::memcpy(slot.car->raceControlText, text, sizeof(text));
        }
    }
}

void HandleCarState(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    if (slot == nullptr || !slot->car->isRemote) {
        return;
    }
    slot->car->remoteStateByte = packet[2];
    if (RaceLinks.inSimCarState != nullptr) {
        RaceLinks.inSimCarState(packet[1], packet[2]);
    }
}

void HandleResetRefused(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 4);
    if (slot == nullptr || slot->info.kind != KindLocal || slot->car->isRemote || packet[2] < 1 || packet[2] > 3) {
        return;
    }
    ShowCarMessage(packet[2]);
}

void HandleCarReset(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 24);
    if (slot == nullptr || (OnlineFlag && (HostRuleFlags & RuleCarReset) == 0)) {
        return;
    }
    float offset;
    std::memcpy(&offset, packet + 8, 4);
    if (!std::isfinite(offset)) {
        return;
    }
    CarObject &car = *slot->car;
    car.position.x = static_cast<int32_t>(ReadU32(packet + 12));
    car.position.y = static_cast<int32_t>(ReadU32(packet + 16));
    car.position.z = static_cast<int32_t>(ReadU32(packet + 20));
    car.progress[1] = offset;
    // The heading along the path from the packet's node to the next.
    float heading = 0.0f;
    const World *world = CurrentWorld;
    const Path *path = world != nullptr ? world->currentPath : nullptr;
    const uint32_t node = ReadU32(packet + 4);
    if (path != nullptr && path->nodeCount > 1 && node < static_cast<uint32_t>(path->nodeCount)) {
        PathFollower *follower = car.pathFollower;
        if (follower != nullptr) {
            const int64_t gap = static_cast<int64_t>(node) - follower->node;
            if (gap > 1 || gap < -1) {
                const int32_t point[3] = {car.position.x, car.position.y, car.position.z};
                follower->FindPosition(point, 1);
            }
        }
        const PathNode &a = path->nodes[node];
        const PathNode &b = path->nodes[(node + 1) % static_cast<uint32_t>(path->nodeCount)];
        const float dx = static_cast<float>(static_cast<int64_t>(b.position[0]) - a.position[0]);
        const float dy = static_cast<float>(static_cast<int64_t>(b.position[1]) - a.position[1]);
        if (dx != 0.0f || dy != 0.0f) {
            heading = FloatAtan2(-dx, dy);
        }
    }
    car.Repair(0, 0);
    car.Reset(heading, 1, packet[3]);
    car.engine.StartAtIdle();
    if (GameSessionPtr != nullptr) {
        GameSessionPtr->physics.Remove(&car);
        GameSessionPtr->physics.Add(&car);
    }
    car.lastPositionTick = car.stepCount;
    car.lastStopTick = car.stepCount;
    std::memcpy(slot->inputCopy, car.inputs, sizeof(slot->inputCopy));
    if (RaceLinks.inSimCarReset != nullptr) {
        RaceLinks.inSimCarReset(packet[1]);
    }
}

void HandleCarResetRequest(int, const uint8_t *packet, int length)
{
    PlayerSlot *slot = CarSlot(packet, length, 24);
    if (slot == nullptr || (HostRuleFlags & RuleCarReset) == 0) {
        return;
    }
    uint8_t copy[24];
    std::memcpy(copy, packet, 24);
    const int result = slot->car->CheckPositionPacket(copy, slot);
    if (result == 0) {
        if (copy[3] != 0) {
            slot->car->resetPosition = {static_cast<int32_t>(ReadU32(copy + 12)),
                                        static_cast<int32_t>(ReadU32(copy + 16)),
                                        static_cast<int32_t>(ReadU32(copy + 20))};
        }
        copy[0] = MP_CAR_RESET;
        RaceQueuePacket(copy, 24);
        RaceFlushBatch();
    } else if (result >= 1 && result <= 3) {
        const uint8_t refusal[4] = {MP_GAME_79, packet[1], static_cast<uint8_t>(result), 0};
        RaceQueuePacket(refusal, 4);
        RaceFlushBatch();
    }
}

void RunFastestLapNotice()
{
    if (fastestLapCountdown <= 0 || --fastestLapCountdown != 0) {
        return;
    }
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    int index = -1;
    PlayerSlot *slot = race->SlotByPlayerId(fastestLapPlayer, &index);
    if (slot == nullptr || slot->car == nullptr || slot->car->bestLapTime == 0) {
        return;
    }
    char time[32];
    FormatRaceTime(time, sizeof(time), "", 0, static_cast<int>(slot->car->bestLapTime), 0);
    char shortName[5] = {};
    std::memcpy(shortName, slot->car->shortName, 4);
    char text[128];
    // "3g_fastlxxx"
    std::snprintf(text, sizeof(text), Tx(Text_3g_fastlxxx), time, slot->info.name, shortName);
    RacePrint(text, RaceMessageInfoBeep);
}

int FastestLapCountdown()
{
    return fastestLapCountdown;
}

void ClearFastestLap()
{
    fastestLapCountdown = 0;
    fastestLapPlayer = 0;
}

// --- Senders ---

void SendPositionPacket(CarObject &car, int byUser)
{
    if (!car.IsSlowEnough() || car.stepCount - car.lastPositionTick < PositionTickGap || !RaceIsStartAllowed()) {
        return;
    }
    car.lastPositionTick = car.stepCount;
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr || car.progressNode < 0) {
        return;
    }
    if (byUser && RaceIsOnline() && (HostRuleFlags & RuleCarReset) == 0) {
        RacePrint(Tx(Text_3g_no_reset), RaceMessageInfoBeep);
        return;
    }
    uint8_t packet[24] = {};
    packet[0] = MP_CAR_RESET;
    car.FillPositionPacket(packet, slot);
    if (RaceIsOnline()) {
        RaceSendReliableToHost(packet, 24);
        return;
    }
    const int result = car.CheckPositionPacket(packet, slot);
    if (result == 0) {
        RaceQueueGamePacketRec(packet, 24);
    } else if (byUser && result >= 1 && result <= 3) {
        ShowCarMessage(result);
    }
}

void AnnounceStoppedCar(CarObject &car)
{
    if (car.isRemote || car.announcePending != 1) {
        return;
    }
    if (RaceIsOnline() && (HostRuleFlags & RuleCarReset) == 0) {
        SendCarEvent(car, 2);
        car.announcePending = 2;
        return;
    }
    SendPositionPacket(car, 0);
}

void SendPitStopStart(CarObject &car, const uint8_t tyreList[4])
{
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr) {
        return;
    }
    uint8_t packet[12] = {MP_GAME_75, slot->info.playerId, 0, 0};
    WriteU32(packet + 4, car.pitWork);
    std::memcpy(packet + 8, tyreList, 4);
    RaceQueueGamePacket(packet, 12);
}

void SendPitStopDone(CarObject &car)
{
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr) {
        return;
    }
    uint8_t packet[8] = {MP_GAME_76, slot->info.playerId, 0, 0};
    WriteU32(packet + 4, static_cast<uint32_t>(car.pitStopTicks) * 10u);
    RaceQueueGamePacket(packet, 8);
}

void SendPitNotice(CarObject &car)
{
    PlayerSlot *slot = FindCarSlot(&car);
    if (slot == nullptr) {
        return;
    }
    const uint8_t packet[4] = {MP_GAME_77, slot->info.playerId, car.pitNotice, 0};
    RaceQueueGamePacket(packet, 4);
    RaceFlushGameBatch(0);
}

void InstallRacePacketSenders()
{
    RaceServices.sendPitStopStart = [](CarObject *car, const uint8_t tyreList[4]) { SendPitStopStart(*car, tyreList); };
    RaceServices.sendPitStopDone = [](CarObject *car) { SendPitStopDone(*car); };
    RaceServices.sendPitNotice = [](CarObject *car) { SendPitNotice(*car); };
    RaceServices.announceCar = [](CarObject *car) { AnnounceStoppedCar(*car); };
    RaceServices.sendPositionPacket = [](CarObject *car, int byUser) { SendPositionPacket(*car, byUser); };
    RaceServices.sendTimedPackets = [](CarObject *car) { car->SendTimedPackets(); };
    CarNetwork.hostRuleFlags = [] { return HostRuleFlags; };
}

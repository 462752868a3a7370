// The pit lane: the speed-limit zone, pit-lane speeding, the stop in a pit
// box with its timed work steps and refuelling, leaving the box and the
// judgement of a served stop-go penalty.
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/translation_table.h"
#include "vehicle/car_class.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"

namespace {

constexpr float Pi = 3.14159265f;

// Pit-lane speeding: the limit is (zone byte + 1) km/h, and more than 20 km/h
// over it is the graver offence.
constexpr float KmhToMs = 0.2777778f;
constexpr float GraveExcess = 5.555556f;

// No pit stop may begin in the first 20 s after the car was made.
constexpr uint32_t EarliestStopTick = 2000;
// A stop counts as in the box within 2.5 m of a pit place (strictly).
constexpr float BoxRadiusSquared = 6.25f;
// The pit notice goes out 2.5 s after the entry or exit.
constexpr uint8_t NoticeDelay = 250;
// A stop-go stop shorter than 10 s does not serve the penalty.
constexpr int32_t StopGoTicks = 1000;

constexpr int RefuelStep = 17;
constexpr uint32_t StepStop = 1u << 1;
constexpr uint32_t StepBodyRepair = 1u << 14;
constexpr uint32_t StepLongBodyRepair = 1u << 15;
constexpr uint32_t StepSetupChange = 1u << 16;
constexpr uint32_t StepRefuel = 1u << 17;

constexpr uint8_t NoTyreChange = 255;
constexpr uint8_t NoRequest = 255;

// Seconds of each pit work step (0 and 17 are not timed).
constexpr int StepSeconds[RefuelStep + 1] = {0, 1, 6, 3, 6, 3, 6, 3, 6, 3, 6, 3, 6, 3, 6, 12, 3, 0};

// How grave a penalty kind is, for the rule that speeding only escalates.
int Severity(int kind) {
    static constexpr int Table[7] = {0, 1, 0, 2, 0, 1, 2};
    return kind >= 0 && kind < 7 ? Table[kind] : 0;
}

// The penalty asked for by a speeding kind (1, 3, 5, 6) against the penalty
// the car holds (0..6); NoRequest when the present penalty stands.
uint8_t SpeedingRequest(int kind, int penalty) {
    static constexpr uint8_t N = NoRequest;
    static constexpr uint8_t Kind1[7] = {1, N, 1, N, 3, N, N};
    static constexpr uint8_t Kind3[7] = {3, 3, 3, N, 3, 3, 3};
    static constexpr uint8_t Kind5[7] = {5, N, 1, N, 3, N, N};
    static constexpr uint8_t Kind6[7] = {6, 3, 3, N, 3, 6, N};
    if (penalty < 0 || penalty > 6)
        return N;
    switch (kind) {
    case 1: return Kind1[penalty];
    case 3: return Kind3[penalty];
    case 5: return Kind5[penalty];
    case 6: return Kind6[penalty];
    default: return N;
    }
}

uint8_t PlayerIdOf(const PlayerSlot *slot) {
    return slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
}

void QueuePenalty(uint8_t id, uint8_t kind, uint8_t reason) {
    const uint8_t packet[4] = {66, id, kind, reason};
    RaceQueueGamePacket(packet, 4);
}

// A light-grey information line with the message sound.
void PrintInfoBeep(const char *text) {
    RacePrintMessage(text, ColourLightGrey);
    RacePlayInterfaceSound(2);
}

void PrintPitEntry(TextId reason) {
    char line[160];
    std::snprintf(line, sizeof(line), "%s %s", Tx(Text_3g_enterpit), Tx(reason));
    RacePrintMessage(line, ColourLightYellow);
}

// The stop is in a pit box: within 2.5 m (strictly) of one of the world's
// pit places.
bool InPitBox(const FixVector &position) {
    const int count = RacePitPlaceCount();
    for (int i = 0; i < count; i++) {
        int32_t x = 0;
        int32_t y = 0;
        if (!RacePitPlacePosition(i, &x, &y))
            continue;
        const float dx = static_cast<float>(static_cast<int64_t>(position.x) - x) * (1.0f / 65536.0f);
        const float dy = static_cast<float>(static_cast<int64_t>(position.y) - y) * (1.0f / 65536.0f);
        if (dx * dx + dy * dy < BoxRadiusSquared)
            return true;
    }
    return false;
}

}  // namespace

float CarObject::RefuelTarget(PlayerSlot *slot) const {
    if (slot == nullptr)
        return tankSize;
    // A car without a tank has nothing to fill.
    if (!(tankSize > 0.0f))
        return 0.0f;
    int percent = RaceSlotRefuelPercent(slot);
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    float share = fuel / tankSize + static_cast<float>(percent) * 0.01f;
    if (share > 1.0f)
        share = 1.0f;
    return share * tankSize;
}

int CarObject::ApplyPitSetupChange(uint8_t tyreList[4]) {
    if (setup == nullptr)
        return 0;
    // A work copy of the set-up in use with the pit set-up's tyres: what is
    // left different after that is a set-up change of its own. The new
    // set-up itself reaches the car through the set-up packet's handler.
    CarSetup work = *setup;
    for (int axle = 0; axle < 2; axle++) {
        const uint8_t type = pitSetup.axles[axle].tyreType;
        if (type != work.axles[axle].tyreType) {
            work.axles[axle].tyreType = type;
            tyreList[2 * axle] = type;
            tyreList[2 * axle + 1] = type;
        }
    }
    const int differ = SetupsDiffer(work, pitSetup);
    if (differ)
        pitWork |= StepSetupChange;
    return differ;
}

void CarObject::StepPitLane(PlayerSlot *slot, float dt, int changed) {
    const uint8_t id = PlayerIdOf(slot);

    // 1. A car that just moved off after a driver change tells the others.
    if (changed == 1 && stopped == 0 && (takeOverIds[0] != 255 || takeOverIds[1] != 255)) {
        const uint8_t packet[4] = {71, 0, 0, 0};
        RaceQueueGamePacket(packet, 4);
    }

    // 2., 3. The speed-limit zone: entry notices and speeding.
    speedZone = RaceFindSpeedLimitZone(position.x, position.y);
    if (speedZone != nullptr) {
        if (pitLaneState == 0) {
            switch (penalty) {
            case 1:
            case 3:
                pitNotice = 2;
                pitLaneState = 3;
                PrintPitEntry(Text_3g_nopurtxt);
                break;
            case 2:
                pitNotice = 3;
                pitLaneState = 3;
                PrintPitEntry(Text_3g_drthrtxt);
                break;
            case 4:
                pitNotice = 4;
                pitLaneState = 3;
                PrintPitEntry(Text_3g_stpgotxt);
                break;
            default:
                pitNotice = 1;
                pitLaneState = 1;
                break;
            }
            pitNoticeDelay = NoticeDelay;
        }

        const float limit = static_cast<float>(RaceZoneSpeedLimit(speedZone) + 1) * KmhToMs;
        if (speed > limit) {
            if (RaceHotLapMode())
                RaceInvalidateHotLap(4);
            const int laps = RaceServices.lapsToRace != nullptr ? RaceServices.lapsToRace() : 0;
            const bool nearEnd = RaceIsTimedOrLapped() && laps != 0 && static_cast<int>(confirmedLaps) >= laps - 3;
            int kind;
            if (speed > limit + GraveExcess)
                kind = nearEnd ? 6 : 3;
            else
                kind = nearEnd ? 5 : 1;
            if (Severity(kind) > Severity(penaltyRequest)) {
                const uint8_t request = SpeedingRequest(kind, penalty);
                if (request != NoRequest) {
                    penaltyRequest = request;
                    QueuePenalty(id, request, 4);
                }
            }
        }
    }

    // 4. Arriving in a pit box: the car just stopped there.
    if (changed == 1 && stopped == 1 && pitWorkStep == 0 && pitLaneState != 2 && pitLaneState != 4 &&
        stepCount > EarliestStopTick && InPitBox(position)) {
        pitWorkStep = 1;
        if (penalty == 2 || penalty == 4 || pitLaneState == 3) {
            // A penalty stop, or a car that came in with a penalty: no work.
            pitLaneState = 4;
        } else {
            pitWork = StepStop;
            uint8_t tyreList[4] = {NoTyreChange, NoTyreChange, NoTyreChange, NoTyreChange};
            const int differ = setup != nullptr ? SetupsDiffer(pitSetup, *setup) : 0;
            int repair;
            if (differ) {
                ApplyPitSetupChange(tyreList);
                // A new set-up is fitted to a repaired car.
                repair = 1;
            } else {
                repair = RaceSlotRepairFlag(slot) & 1;
            }

            const bool formula = vehicleClass == 4 || vehicleClass == 10;
            const int wearPercent = RaceSlotTyreWearPercent(slot);
            for (int i = 0; i < wheelCount; i++) {
                const CarWheel &wheel = wheels[i];
                const int axle = static_cast<int>(wheel.axleIndex & 1);
                int base;
                if (axle == 1)
                    base = formula ? 2 : (wheel.side == 1.0f ? 6 : 4);
                else
                    base = formula ? 8 : (wheel.side == 1.0f ? 12 : 10);
                if (repair) {
                    const float r = wheel.radius;
                    const float setupToe =
                        setup != nullptr ? (static_cast<float>(setup->axles[axle].toe) - 9.0f) * (Pi / 1800.0f)
                                         : 0.0f;
                    float toeError = wheel.toe - setupToe;
                    if (toeError < 0.0f)
                        toeError = -toeError;
                    if ((wheel.springState != 0 && wheel.travelDamage > 0.03f * r * 0.02f) ||
                        (wheel.upperArmState != 0 && wheel.upperArmDamage > 0.333f * r * 0.02f) ||
                        (wheel.lowerArmState != 0 && wheel.lowerArmDamage > 0.333f * r * 0.02f) ||
                        (wheel.toeState != 0 && toeError > Pi / 8.0f * 0.02f))
                        pitWork |= 1u << base;
                }
                if (wheel.tyrePlace > 3)
                    continue;
                const uint32_t place = wheel.tyrePlace;
                if (tyreList[place] != NoTyreChange) {
                    pitWork |= 1u << (base + 1);
                } else if (wheel.IsWorn(wearPercent)) {
                    pitWork |= 1u << (base + 1);
                    tyreList[place] = setup != nullptr ? setup->axles[axle].tyreType : 0;
                }
            }

            if (RefuelTarget(slot) > fuel)
                pitWork |= StepRefuel;
            if (repair) {
                if (damageCount > 8)
                    pitWork |= StepLongBodyRepair;
                else if (damageCount > 2)
                    pitWork |= StepBodyRepair;
            }

            if (RaceGameState() == 2) {
                pitStopPending = 1;
                const uint8_t stop[4] = {60, id, static_cast<uint8_t>(differ ? 0 : 1), 0};
                RaceQueueGamePacketRec(stop, 4);
                RaceSendPitStopStart(this, tyreList);
                if (differ) {
                    uint8_t settings[4 + sizeof(CarSetup)] = {67, id, 0, 0};
                    std::memcpy(settings + 4, &pitSetup, sizeof(CarSetup));
                    RaceQueueGamePacketRec(settings, static_cast<int>(sizeof(settings)));
                }
                RaceFlushGameBatch(0);
            }

            pitLaneState = 2;
            pitStepEndTick = stepCount + 100u * static_cast<uint32_t>(StepSeconds[1]);
        }
    }

    // 5. Leaving the pit lane.
    if (speedZone == nullptr && pitLaneState != 0) {
        pitNotice = 0;
        pitLaneState = 0;
        pitNoticeDelay = NoticeDelay;
        if (penalty == 2) {
            // The drive-through is served.
            penaltyRequest = 0;
            QueuePenalty(id, 0, 0);
        }
    }

    // 6. The pit work, one timed step after the other, then refuelling.
    if (pitWorkStep != 0 && penalty != 2 && penalty != 4 && pitLaneState != 3 && pitLaneState != 4) {
        if (pitWorkStep == RefuelStep) {
            if (fuel < refuelTarget) {
                lapStartFuel = 0.0f;
                const int cls = vehicleClass >= 0 && vehicleClass < CarClassCount ? vehicleClass : 0;
                fuel += dt * CarClassTable[cls].refuelRate;
                if (fuel >= refuelTarget) {
                    fuel = refuelTarget;
                    if (!RaceLessonActive() && RaceIsDrivenCar(this)) {
                        char line[96];
                        std::snprintf(line, sizeof(line), Tx(Text_3g_refl_f_x), static_cast<double>(fuel));
                        PrintInfoBeep(line);
                    }
                    pitLaneState = 4;
                    if (RaceIsOnline() && pitStopPending == 0 && RaceIsStartAllowed()) {
                        uint8_t record[56];
                        PackConditionRecord(record, id);
                        RaceQueueGamePacket(record, 56);
                    }
                }
            }
        } else if (stepCount == pitStepEndTick) {
            // Equality: the step runs every tick the car is held.
            do {
                pitWorkStep++;
            } while (pitWorkStep < RefuelStep && (pitWork & (1u << pitWorkStep)) == 0);
            if (pitWorkStep == RefuelStep) {
                refuelTarget = RefuelTarget(slot);
                if (refuelTarget <= fuel) {
                    if (!RaceLessonActive() && RaceIsDrivenCar(this))
                        PrintInfoBeep(Tx(Text_3g_pitstp_f));
                    pitLaneState = 4;
                }
            } else {
                pitStepEndTick = stepCount + 100u * static_cast<uint32_t>(StepSeconds[pitWorkStep]);
            }
        }
    }

    // 7. Leaving the box: the stop is reported and a stop-go judged.
    if (pitWorkStep != 0 && stopped == 0 && pitLaneState == 4) {
        pitWorkStep = 0;
        pitStopTicks = static_cast<int32_t>(stepCount - stopTick);
        stopTick = stepCount;
        lastInputTick = stepCount;
        standstillCount = 0;
        RaceSendPitStopDone(this);
        if (penalty == 4) {
            if (pitStopTicks < StopGoTicks) {
                penaltyRequest = 3;
                QueuePenalty(id, 3, 5);
            } else {
                penaltyRequest = 0;
                QueuePenalty(id, 0, 0);
            }
        }
    }

    // 8. A car standing without pit work.
    if (pitWorkStep == 0 && stopped)
        IdleAfterStopCheck();

    // 9. The pit notice goes out once its delay has run down.
    if (pitNoticeDelay != 0) {
        pitNoticeDelay--;
        if (pitNoticeDelay == 0)
            RaceSendPitNotice(this);
    }
}

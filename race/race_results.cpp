#include <cstdio>
#include <cstring>

#include "race/game_state.h"
#include "core/translation_table.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"
#include "world/layout.h"

namespace {

// Car penalty states and the result flags they give.
constexpr uint8_t PenaltyFlags[7] = {0, ResultDisqualifiedA, ResultDisqualifiedA, ResultDisqualifiedB,
                                      ResultDisqualifiedB, ResultPenalty30, ResultPenalty45};

uint32_t CarWord(const CarObject *car)
{
    uint32_t word = 0;
    std::memcpy(&word, car->shortName, sizeof(word));
    return word;
}

int LocalSlotNamed(const RaceObject &race, const char *name)
{
    for (int i = 0; i < race.slotCount; ++i) {
        const uint8_t kind = race.slots[i].info.kind;
        if ((kind == KindLocal || kind == KindLocalAi) && std::strncmp(race.slots[i].info.name, name, 24) == 0) {
            return i;
        }
    }
    return -1;
}

void PrintNamed(const char *format, const char *name, int kind)
{
    char bounded[25];
    std::memcpy(bounded, name, 24);
    bounded[24] = 0;
    char text[128];
    std::snprintf(text, sizeof(text), format, bounded);
    RacePrint(text, kind);
}

void FillResult(RaceResult &result, const PlayerSlot &slot, uint8_t flags, uint16_t penalty, uint32_t time,
                int laps)
{
    const CarObject *car = slot.car;
    std::memset(&result, 0, sizeof(result));
    std::memcpy(result.name, slot.info.name, 24);
    std::memcpy(result.name + 24, slot.info.plate, 8);
    result.carWord = CarWord(car);
    result.laps = static_cast<uint16_t>(laps);
    result.playerFlags = slot.info.flags;
    result.flags = flags;
    result.pitStops = car->pitStopCount;
    result.penaltySeconds = penalty;
    result.raceTime = time;
    result.bestLap = car->bestLapTime;
    result.playerId = slot.info.playerId;
    result.gridPosition = slot.info.pitStart ? 0 : static_cast<uint8_t>(slot.info.gridIndex + 1);
    result.carByte1 = static_cast<uint8_t>(car->vehicleClass);
    result.carByte2 = car->modelVariant;
    const bool human = slot.info.kind == KindLocal || slot.info.kind == KindRemote;
    if (human && RaceLinks.connectionIsLive != nullptr && RaceLinks.connectionIsLive(slot.info.connection)) {
        if (RaceLinks.connectionIdentity != nullptr) {
            result.identity = RaceLinks.connectionIdentity(slot.info.connection);
        }
        if (RaceLinks.connectionUserName != nullptr) {
            if (const char *user = RaceLinks.connectionUserName(slot.info.connection)) {
                std::strncpy(result.userName, user, sizeof(result.userName) - 1);
            }
        }
    }
}

}  // namespace

bool IsBetterResult(uint32_t bestLap, uint32_t raceTime, const RaceResult &result)
{
    if (raceTime == 0) {
        return bestLap < result.bestLap;
    }
    return raceTime < result.raceTime;
}

void FormatPosition(char *out, int size, int n)
{
    // "3a_fnsh_1st" .. "3g_fnsh32nd"; "3a_fnshuncl"
    if (n < 1 || n > 32) {
        std::snprintf(out, static_cast<size_t>(size), "%s", Tx(Text_3a_fnshuncl));
        return;
    }
    // The 32 ordinals stand in a row in the table.
    static_assert(Text_3g_fnsh32nd == Text_3a_fnsh_1st + 31);
    std::snprintf(out, static_cast<size_t>(size), "%s", Tx(static_cast<TextId>(Text_3a_fnsh_1st + n - 1)));
}

void RaceObject::ClearResults()
{
    resultsDueFrame = 0;
    resultCount = 0;
    orderCount = 0;
    resultsPending = 0;
    std::memset(results, 0, sizeof(results));
}

void RaceObject::ExtendResultsDue()
{
    for (int r = 0; r < resultCount; ++r) {
        if ((results[r].flags & ResultFinal) == 0) {
            resultsDueFrame = RaceNetworkFrame() + 100;
            return;
        }
    }
}

void RaceObject::RecordFinish(int slotIndex, uint32_t time, int laps)
{
    if (resultCount >= MaxRaceResults || slotIndex < 0 || slotIndex >= slotCount) {
        return;
    }
    PlayerSlot &slot = slots[slotIndex];
    CarObject *car = slot.car;
    if (car == nullptr) {
        return;
    }
    const uint32_t lineTime = time;

    // 1. Flags from the penalty state.
    uint8_t flags = car->penalty < 7 ? PenaltyFlags[car->penalty] : 0;
    uint16_t penalty = car->penalty == 5 ? 30 : (car->penalty == 6 ? 45 : 0);
    if (IsMandatoryPitStop() && (flags & ResultDisqualified) == 0 && car->pitStopCount == 0) {
        flags |= ResultMissedPit;
    }
    if ((flags & ResultDisqualified) != 0) {
        car->SetDisqualifiedText();
    }
    // 2. The penalty time.
    time += static_cast<uint32_t>(penalty) * 100;

    // 3. The place: classified finishers before the first result that is
    // disqualified, has fewer laps, or as many laps and a greater time.
    int at = resultCount;
    if ((flags & ResultDisqualified) == 0) {
        for (int r = 0; r < resultCount; ++r) {
            const RaceResult &other = results[r];
            if ((other.flags & ResultDisqualified) != 0 || other.laps < laps ||
                (other.laps == laps && other.raceTime > time)) {
                at = r;
                break;
            }
        }
    }
    for (int r = resultCount; r > at; --r) {
        if (r < MaxRaceResults) {
            results[r] = results[r - 1];
        }
    }
    // 4. The result.
    FillResult(results[at], slot, flags, penalty, time, laps);
    car->finished = 1;
    car->resultRecorded = 1;
    resultsDueFrame = RaceNetworkFrame() + 100;
    if (RaceLinks.inSimFinish != nullptr) {
        RaceLinks.inSimFinish(slot.info.playerId);
    }
    // 5. The first finisher brings in every car already past the line.
    ++resultCount;
    if (resultCount != 1) {
        return;
    }
    for (int i = 0; i < slotCount; ++i) {
        CarObject *other = slots[i].car;
        if (i == slotIndex || other == nullptr || other->finished) {
            continue;
        }
        const uint32_t otherTime = static_cast<uint32_t>(other->lineTimes[3]);
        if (otherTime > lineTime) {
            other->SetFinishedText();
            RecordFinish(i, otherTime, other->lapsDone);
        }
    }
}

void RaceObject::InsertResult(PlayerSlot *slot, uint32_t bestLap, uint32_t raceTime, int penalty)
{
    if (resultCount >= MaxRaceResults || slot->car == nullptr) {
        return;
    }
    int at = resultCount;
    for (int r = 0; r < resultCount; ++r) {
        if (IsBetterResult(bestLap, raceTime, results[r])) {
            at = r;
            break;
        }
    }
    for (int r = resultCount; r > at; --r) {
        results[r] = results[r - 1];
    }
    RaceResult &result = results[at];
    FillResult(result, *slot, 0, static_cast<uint16_t>(penalty), raceTime, slot->car->lapsDone);
    result.bestLap = bestLap;
    ++resultCount;
    if (RaceLinks.inSimResult != nullptr) {
        RaceLinks.inSimResult(slot->info.playerId, at);
    }
    if (raceTime != 0) {
        if (at == resultCount - 1) {
            RaceSound(2);
        } else if (at == 0 && resultCount > 2) {
            RaceVoice(5);
        } else {
            RaceVoice(6);
        }
    }
}

void RaceObject::ReceiveResult(PlayerSlot *slot, uint32_t bestLap, uint32_t raceTime, int penalty)
{
    CarObject *car = slot->car;
    if (car == nullptr) {
        return;
    }
    int match = -1;
    for (int r = 0; r < resultCount; ++r) {
        if (std::strncmp(results[r].name, slot->info.name, 24) == 0) {
            match = r;
        }
    }
    auto reportUnplaced = [&] {
        if (RaceLinks.inSimResult != nullptr) {
            RaceLinks.inSimResult(slot->info.playerId, -1);
        }
    };
    if (match >= 0) {
        if (IsBetterResult(bestLap, raceTime, results[match])) {
            for (int r = match; r + 1 < resultCount; ++r) {
                results[r] = results[r + 1];
            }
            --resultCount;
            std::memset(&results[resultCount], 0, sizeof(RaceResult));
            InsertResult(slot, bestLap, raceTime, penalty);
        } else {
            reportUnplaced();
        }
    } else if (resultCount >= MaxRaceResults) {
        if (IsBetterResult(bestLap, raceTime, results[MaxRaceResults - 1])) {
            --resultCount;
            InsertResult(slot, bestLap, raceTime, penalty);
        } else {
            reportUnplaced();
        }
    } else {
        InsertResult(slot, bestLap, raceTime, penalty);
    }
    car->resultTick = car->stepCount;
}

void AnnounceFinish(PlayerSlot *slot, int position, int firstTime)
{
    RaceObject *race = RaceObjectPtr;
    const char *name = slot->info.name;
    if (race != nullptr && race->slotCount == 1) {
        // "3a_x_finish"
        PrintNamed(Tx(Text_3a_x_finish), name, RaceMessageInfo);
    } else if (position == 0) {
        // "3a_x_wonrac"
        PrintNamed(Tx(Text_3a_x_wonrac), name, RaceMessageInfo);
    } else {
        char ordinal[16];
        FormatPosition(ordinal, sizeof(ordinal), position + 1);
        char bounded[25];
        std::memcpy(bounded, name, 24);
        bounded[24] = 0;
        char text[128];
        // "3a_x_finplc", "3g_x_conplc"
        std::snprintf(text, sizeof(text), firstTime ? Tx(Text_3a_x_finplc) : Tx(Text_3g_x_conplc), bounded,
                      ordinal);
        RacePrint(text, RaceMessageInfo);
    }
    if (slot->info.kind == KindLocal && firstTime) {
        RaceVoice(position == 0 && race != nullptr && race->slotCount > 1 ? 5 : 6);
    }
    if (CarObject *car = slot->car) {
        char ordinal[16];
        FormatPosition(ordinal, sizeof(ordinal), position + 1);
        // "3a_cpwinner" for the winner
        std::snprintf(car->statusText, sizeof(car->statusText), "%s", position == 0 ? Tx(Text_3a_cpwinner) : ordinal);
    }
}

void RaceObject::ProcessResults()
{
    resultsDueFrame = 0;
    resultsPending = 0;
    const bool layoutStart = LayoutRouteLines.startOverride != 0;
    bool anyFinal = false;
    for (int r = 0; r < resultCount; ++r) {
        RaceResult &result = results[r];
        if ((result.flags & ResultFinal) != 0) {
            continue;
        }
        const bool disqualified = (result.flags & ResultDisqualified) != 0;
        bool final = RaceKind == 2 || layoutStart || disqualified;
        if (!final) {
            final = true;
            const int needed = (result.flags & (ResultPenalty30 | ResultPenalty45)) != 0 ? result.laps - 1 : result.laps;
            for (int i = 0; i < slotCount; ++i) {
                const CarObject *car = slots[i].car;
                if (car != nullptr && !car->finished && car->lapsDone < needed) {
                    final = false;
                    break;
                }
            }
        }
        if (!final) {
            resultsPending = 1;
            if ((result.flags & ResultAnnounced) == 0) {
                result.flags |= ResultAnnounced;
                const int behind = results[0].laps - result.laps;
                if (disqualified) {
                    // "3g_x_disqua"
                    PrintNamed(Tx(Text_3g_x_disqua), result.name, RaceMessageInfo);
                } else if (behind <= 0) {
                    // "3a_x_finish"
                    PrintNamed(Tx(Text_3a_x_finish), result.name, RaceMessageInfo);
                } else if (behind == 1) {
                    // "3g_x_fin1be"
                    PrintNamed(Tx(Text_3g_x_fin1be), result.name, RaceMessageInfo);
                } else {
                    char bounded[25];
                    std::memcpy(bounded, result.name, 24);
                    bounded[24] = 0;
                    char text[128];
                    // "3g_x_finxbe"
                    std::snprintf(text, sizeof(text), Tx(Text_3g_x_finxbe), bounded, behind);
                    RacePrint(text, RaceMessageInfo);
                }
                if (LocalSlotNamed(*this, result.name) >= 0) {
                    RaceVoice(6);
                }
            }
            continue;
        }
        const bool wasAnnounced = (result.flags & ResultAnnounced) != 0;
        result.flags = static_cast<uint8_t>((result.flags & ~ResultAnnounced) | ResultFinal);
        anyFinal = true;
        PlayerSlot *slot = SlotByName(result.name);
        if (slot != nullptr && slot->car != nullptr) {
            slot->car->resultRecorded = 1;
        }
        if (RaceLinks.inSimResult != nullptr) {
            RaceLinks.inSimResult(result.playerId, r);
        }
        if (!disqualified) {
            if (slot != nullptr) {
                AnnounceFinish(slot, r, wasAnnounced ? 0 : 1);
            }
        } else if (!wasAnnounced) {
            PrintNamed(Tx(Text_3g_x_disqua), result.name, RaceMessageInfo);
        }
        if (RaceLinks.masterLinkUp != nullptr && RaceLinks.masterLinkUp() && !layoutStart &&
            RaceLinks.sendMasterResult != nullptr) {
            uint8_t record[20] = {32};
            record[1] = static_cast<uint8_t>(config);
            record[2] = static_cast<uint8_t>(lightScheme);
            record[3] = static_cast<uint8_t>(slotCount);
            record[4] = raceLength;
            record[5] = static_cast<uint8_t>(r);
            record[6] = result.flags;
            record[7] = result.pitStops;
            std::memcpy(record + 8, &result.raceTime, 4);
            std::memcpy(record + 12, &result.carWord, 4);
            std::memcpy(record + 16, &result.bestLap, 4);
            RaceLinks.sendMasterResult(record);
        }
    }
    if (anyFinal) {
        RaceSound(2);
    }
}

#include "race/race_object.h"

#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/checksum.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "race/ai_driver.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "render/car_skins.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/world.h"

RaceObject *RaceObjectPtr = nullptr;

const char *SkillLevelName(int level)
{
    static const TextId Names[SkillLevelCount] = {Text_3a_rsk_noob, Text_3a_rsk_lrnr, Text_3a_rsk_okok,
                                                  Text_3a_rsk_quik, Text_3a_rsk_prof};
    return Tx(Names[level < 0 ? 0 : (level >= SkillLevelCount ? SkillLevelCount - 1 : level)]);
}

namespace {

int ClampSkillLevel(int level)
{
    return level < 0 ? 0 : (level >= SkillLevelCount ? SkillLevelCount - 1 : level);
}

bool IsLocalKind(uint8_t kind)
{
    return kind == KindLocal || kind == KindLocalAi;
}

bool IsAiKind(uint8_t kind)
{
    return kind == KindLocalAi || kind == KindRemoteAi;
}

const World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

// The code of a car named by its model name or its code; null when unknown.
const char *CarCodeOf(const char *carName)
{
    int index = FindCarByName(carName);
    if (index < 0) {
        index = FindCarByCode(carName);
    }
    return index >= 0 ? CarTable[index].code : nullptr;
}

bool IsBlockEmpty(const void *block, size_t size)
{
    const uint8_t *bytes = static_cast<const uint8_t *>(block);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char *SlotName(const PlayerSlot *slot)
{
    return slot->info.name;
}

int SlotIndexOf(const RaceObject &race, const PlayerSlot *slot)
{
    const ptrdiff_t index = slot - race.slots;
    return index >= 0 && index < MaxRaceSlots ? static_cast<int>(index) : -1;
}

// --- Slots ---

void PlayerSlot::ResetForStart()
{
    std::memset(inputCopy, 0, sizeof(inputCopy));
    inputCopy[0] = 32768;
    inputCopy[14] = 255;
    pendingTick = 0;
    statePending = 0;
}

void PlayerSlot::ClearCarRecord()
{
    skinTime = 0;
    std::memset(&colours, 0, sizeof(colours));
    std::memset(&setup, 0, sizeof(setup));
}

// --- Life of the object ---

RaceObject *RaceObject::Reset()
{
    std::memset(static_cast<void *>(this), 0, sizeof(*this));
    raceLength = 5;
    aiLevel = static_cast<uint8_t>(ClampSkillLevel(SkillLevel));
    wind = 1;
    listTimer = 4000;
    return this;
}

RaceObject *CreateRaceObject()
{
    if (RaceObjectPtr != nullptr) {
        DeleteRaceObject();
    }
    RaceObjectPtr = (new RaceObject)->Reset();
    return RaceObjectPtr;
}

void DeleteRaceObject()
{
    if (RaceObjectPtr == nullptr) {
        return;
    }
    RaceObjectPtr->ClearSlotFlag();
    delete RaceObjectPtr;
    RaceObjectPtr = nullptr;
}

void RaceObject::ClearSlotFlag()
{
    for (int i = 0; i < slotCount; ++i) {
        slots[i].info.flags &= static_cast<uint16_t>(~PlayerFlagNoCar);
        ReleaseSlot(&slots[i]);
    }
}

void RaceObject::ReleaseSlot(PlayerSlot *slot)
{
    delete slot->ai;
    slot->ai = nullptr;
    delete slot->car;
    slot->car = nullptr;
}

void RaceObject::RepointCars()
{
    for (int i = 0; i < slotCount; ++i) {
        if (CarObject *car = slots[i].car) {
            car->setup = &slots[i].setup;
            car->colours = &slots[i].colours;
        }
    }
}

int RaceObject::IsFull() const
{
    const World *world = LoadedWorld();
    int limit = world != nullptr ? NumStartPositions(world) : 1;
    if (limit > MaxRaceSlots) {
        limit = MaxRaceSlots;
    }
    if (!OnlineFlag && RaceLinks.maxPlayers != nullptr) {
        const int cap = RaceLinks.maxPlayers();
        if (cap < limit) {
            limit = cap;
        }
    }
    return slotCount >= limit;
}

PlayerSlot *RaceObject::AddSlot(const PlayerInfo &info)
{
    // A caller that did not test IsFull must not take a 33rd slot.
    if (slotCount >= MaxRaceSlots || slotCount < 0) {
        return nullptr;
    }
    const int own = RaceOwnConnection();
    if (OnlineFlag) {
        int count = 0;
        for (int i = 0; i < slotCount; ++i) {
            if (slots[i].info.connection == info.connection) {
                ++count;
            }
        }
        if (count >= MaxLocalDrivers) {
            if (info.connection == own) {
                // "3a_max3locl"
                RacePrint(Tx(Text_3a_max3locl), RaceMessageWarning);
            }
            return nullptr;
        }
    }
    const int index = slotCount;
    PlayerSlot *slot = &slots[index];
    std::memset(static_cast<void *>(slot), 0, sizeof(*slot));
    slot->info = info;
    if (info.connection == own) {
        localSlot = index;
        ++slotCount;
        return slot;
    }
    if (slot->info.kind == KindLocalAi) {
        slot->info.kind = KindRemoteAi;
    } else if (slot->info.kind == KindLocal) {
        slot->info.kind = KindRemote;
    }
    ++slotCount;
    return slot;
}

void RaceObject::RemoveSlot(int index)
{
    if (index < 0 || index >= slotCount) {
        return;
    }
    const uint8_t id = slots[index].info.playerId;
    if (RaceLinks.inSimPlayerLeft != nullptr) {
        RaceLinks.inSimPlayerLeft(id);
    }
    if (RaceLinks.pushRecentId != nullptr) {
        RaceLinks.pushRecentId(id);
    }
    ReleaseSlot(&slots[index]);
    --slotCount;
    for (int i = index; i < slotCount; ++i) {
        std::memcpy(static_cast<void *>(&slots[i]), &slots[i + 1], sizeof(PlayerSlot));
    }
    std::memset(static_cast<void *>(&slots[slotCount]), 0, sizeof(PlayerSlot));
    RepointCars();

    if (localSlot > index) {
        --localSlot;
    }
    int kept = 0;
    for (int i = 0; i < orderCount; ++i) {
        const uint8_t entry = runningOrder[i];
        if (entry == index) {
            continue;
        }
        runningOrder[kept++] = static_cast<uint8_t>(entry > index ? entry - 1 : entry);
    }
    for (int i = kept; i < orderCount; ++i) {
        runningOrder[i] = 0;
    }
    orderCount = static_cast<uint8_t>(kept);

    if (slotCount == 0) {
        if (RaceLinks.clearEntryVotes != nullptr) {
            RaceLinks.clearEntryVotes();
        }
        localSlot = 0;
    }
    if (localSlot >= 0 && localSlot < slotCount && slots[localSlot].info.kind != KindLocal) {
        listTimer = 4000;
    }
}

int RaceObject::HasPlayerOf(const PlayerInfo &info) const
{
    for (int i = 0; i < slotCount; ++i) {
        const PlayerInfo &held = slots[i].info;
        if (held.connection != info.connection) {
            continue;
        }
        if (!IsAiKind(info.kind)) {
            if (!IsAiKind(held.kind)) {
                return 1;
            }
        } else if (IsAiKind(held.kind) && std::strncmp(held.name, info.name, sizeof(held.name)) == 0) {
            return 1;
        }
    }
    return 0;
}

void RaceObject::ApplyPlayerInfo(const PlayerInfo &info)
{
    int index = -1;
    if (PlayerSlot *slot = SlotByPlayerId(info.playerId, &index)) {
        slot->info = info;
        if (info.connection != RaceOwnConnection()) {
            slot->info.kind = info.kind == KindLocalAi || info.kind == KindRemoteAi ? KindRemoteAi : KindRemote;
        }
        return;
    }
    if (IsFull() || HasPlayerOf(info)) {
        return;
    }
    if (AddSlot(info) != nullptr) {
        listTimer = 4000;
    }
}

int RaceObject::UpdateHumanPlayer(const PlayerInfo &info)
{
    for (int i = 0; i < slotCount; ++i) {
        PlayerSlot &slot = slots[i];
        if (slot.info.connection != info.connection || IsAiKind(slot.info.kind)) {
            continue;
        }
        const uint8_t kind = slot.info.kind;
        const uint8_t grid = slot.info.gridIndex;
        const uint8_t pitStart = slot.info.pitStart;
        slot.info = info;
        slot.info.kind = kind;
        slot.info.gridIndex = grid;
        slot.info.pitStart = pitStart;
        char text[96];
        if (slot.car != nullptr) {
            uint8_t head[16];
            std::memcpy(head, &slot.info, sizeof(head));
            slot.car->SetPlayerInfo(head, 0);
            const int type = RaceLinks.figureType != nullptr ? RaceLinks.figureType(slot.info.figure) : 0;
            // "3a_upc_male", "3a_upc_fmal", "3a_upc_unkn"
            const char *format =
                type == 0 ? Tx(Text_3a_upc_male) : (type == 1 ? Tx(Text_3a_upc_fmal) : Tx(Text_3a_upc_unkn));
            std::snprintf(text, sizeof(text), format, SlotName(&slot));
            RacePrint(text, RaceMessageInfoBeep);
            if (RaceLinks.inSimPlayerUpdated != nullptr) {
                RaceLinks.inSimPlayerUpdated(slot.info.playerId);
            }
        } else {
            // "3a_x_no_car"
            std::snprintf(text, sizeof(text), Tx(Text_3a_x_no_car), SlotName(&slot));
            RacePrint(text, RaceMessageInfo);
        }
        return 1;
    }
    return 0;
}

void RaceObject::HandleNewPlayer(const PlayerInfo &info)
{
    if (!IsAiKind(info.kind)) {
        UpdateHumanPlayer(info);
    }
    if (!IsFull()) {
        bool refuse = false;
        if (OnlineFlag && RaceOwnConnection() == 0) {
            int count = 0;
            for (int i = 0; i < slotCount; ++i) {
                if (slots[i].info.connection == info.connection) {
                    ++count;
                }
            }
            const int limit = RaceLinks.playersPerConnection != nullptr ? RaceLinks.playersPerConnection() : MaxLocalDrivers;
            refuse = HasPlayerOf(info) || count >= limit;
        }
        if (PlayerSlot *slot = AddSlot(info)) {
            if (refuse) {
                const uint8_t packet[4] = {17, 9, info.playerId, 0};
                RaceQueuePacket(packet, sizeof(packet));
            } else if (info.connection == RaceOwnConnection()) {
                SendPlayerPacket(slot, -1, slot->carName[0] != 0 ? slot->carName : SelectedCarName);
            }
        }
    }
    if (RaceLinks.refreshDisplayFlags != nullptr) {
        RaceLinks.refreshDisplayFlags();
    }
}

// --- Cars ---

void SetUpdatesPath(PlayerSlot *slot)
{
    CarObject *car = slot->car;
    if (car == nullptr) {
        return;
    }
    const World *world = LoadedWorld();
    const bool intro = RaceLinks.introSession != nullptr && RaceLinks.introSession() != 0;
    if (intro || world == nullptr || world->currentPath == nullptr) {
        return;
    }
    const bool own = RaceObjectPtr != nullptr && SlotIndexOf(*RaceObjectPtr, slot) == RaceObjectPtr->FirstLocalSlotIndex();
    if (UpdatePath == 2 || (UpdatePath == 1 && own)) {
        car->updatesPath = 1;
    }
}

void CreatePlayerCar(PlayerSlot *slot)
{
    if (slot->carName[0] == 0) {
        return;
    }
    CarObject *car = new CarObject;
    if (MultiplayerReplayPlaying || slot->info.kind == KindRemote || slot->info.kind == KindRemoteAi) {
        car->isRemote = 1;
    }
    CarLoadArguments args;
    args.options = slot->info.flags;
    args.animationIndex = slot->info.figure;
    // An empty block (a slot whose record has not arrived) takes the car's own.
    if (!IsBlockEmpty(&slot->setup, sizeof(slot->setup))) {
        args.setupIndex = -1;
        args.setupIn = &slot->setup;
    }
    if (!IsBlockEmpty(&slot->colours, sizeof(slot->colours))) {
        args.colourIndex = -1;
        args.coloursIn = &slot->colours;
    }
    args.skinTime = slot->skinTime;
    std::memcpy(args.plateText, slot->info.plate, sizeof(args.plateText));
    const char *code = CarCodeOf(slot->carName);
    if (code == nullptr || !LoadCarDataFile(car, code, args)) {
        char text[96];
        // "3a_noldxcar"
        std::snprintf(text, sizeof(text), Tx(Text_3a_noldxcar), SlotName(slot));
        RacePrint(text, RaceMessageWarning);
        delete car;
        if (GameSessionPtr != nullptr && RaceObjectPtr != nullptr) {
            RaceObjectPtr->carsOk = 0;
        }
        return;
    }
    if (GameSessionPtr == nullptr) {
        delete car;
        return;
    }
    slot->car = car;
    // A replay drives a computer driver's car with the aids its record asks
    // for, as in the race it recorded; there is no driver to set them.
    if (!car->isRemote && RaceSingleReplayPlaying() && slot->info.kind == KindLocalAi) {
        uint8_t record[PlayerInfoSize];
        PackPlayerInfo(slot->info, record);
        car->ApplyPlayerOptions(record);
    }
    if (!car->isRemote && !RaceSingleReplayPlaying()) {
        if (slot->info.kind == KindLocal) {
            if (RaceLinks.loadDriverView != nullptr) {
                RaceLinks.loadDriverView(car);
            }
        } else if (slot->info.kind == KindLocalAi && RaceObjectPtr != nullptr) {
            int level = RaceObjectPtr->aiLevel;
            if (RaceLessonRunning()) {
                const int index = SlotIndexOf(*RaceObjectPtr, slot);
                level = (2 - index) * 2 > 0 ? (2 - index) * 2 : 0;
            }
            delete slot->ai;
            slot->ai = new AiDriver(car, level);
            // The driver's aids as its player record asks (the clutch).
            uint8_t record[PlayerInfoSize];
            PackPlayerInfo(slot->info, record);
            car->ApplyPlayerOptions(record);
        }
    }
    SetUpdatesPath(slot);
}

// --- Per tick ---

void RaceObject::RunAiDrivers(const CarObject *viewedCar)
{
    for (int i = 0; i < slotCount; ++i) {
        PlayerSlot &slot = slots[i];
        // The driving state: a local car of a running session.
        if (slot.car == nullptr || slot.ai == nullptr || slot.car->isRemote || GameSessionPtr == nullptr) {
            continue;
        }
        slot.ai->Step(0.01f, slot.car == viewedCar ? 1 : 0);
    }
}

uint32_t RaceObject::StateHash() const
{
    uint32_t crc = tick;
    for (int i = 0; i < slotCount; ++i) {
        if (const CarObject *car = slots[i].car) {
            uint8_t bytes[12];
            const int32_t position[3] = {car->position.x, car->position.y, car->position.z};
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = static_cast<uint32_t>(position[k]);
                bytes[k * 4] = static_cast<uint8_t>(v);
                bytes[k * 4 + 1] = static_cast<uint8_t>(v >> 8);
                bytes[k * 4 + 2] = static_cast<uint8_t>(v >> 16);
                bytes[k * 4 + 3] = static_cast<uint8_t>(v >> 24);
            }
            crc = CrcAddBytes(crc, bytes, sizeof(bytes));
        }
    }
    return crc;
}

void RaceObject::UpdateRunningOrder()
{
    orderCount = 0;
    const World *world = LoadedWorld();
    if (world == nullptr || world->currentPath == nullptr || !IsTimedOrLappedRace()) {
        return;
    }
    const Path &path = *world->currentPath;
    const int n = path.nodeCount;
    const int f = path.finishNode;
    if (n <= 0 || f < 0) {
        return;
    }
    const int k = path.splitNodes[0] >= 0 ? path.splitNodes[0] : f;
    const int h = (((k - f + n) % n) + n) / 2;
    const int lines = world->timingLineCount;

    for (int i = 0; i < slotCount; ++i) {
        slots[i].ordered = slots[i].car == nullptr ? 1 : 0;
    }
    for (int r = 0; r < resultCount; ++r) {
        if ((results[r].flags & ResultFinal) == 0) {
            continue;
        }
        int index = -1;
        PlayerSlot *slot = SlotByPlayerId(results[r].playerId, &index);
        if (slot != nullptr && !slot->ordered) {
            runningOrder[orderCount++] = static_cast<uint8_t>(index);
            slot->ordered = 1;
        }
    }
    const int finishers = orderCount;
    int32_t keyLines[MaxRaceSlots] = {};
    int32_t keyDistance[MaxRaceSlots] = {};
    for (int i = 0; i < slotCount; ++i) {
        PlayerSlot &slot = slots[i];
        if (slot.ordered) {
            continue;
        }
        const CarObject *car = slot.car;
        int node = car->pathFollower != nullptr ? car->pathFollower->node : -1;
        if (node < 0) {
            node = f;
        }
        const int d = (node - f + n) % n;
        // Lines crossed: every lap's lines and the ones of the present lap.
        int crossed = car->lapsDone * (lines > 0 ? lines : 1) + (car->nextLine > 0 ? car->nextLine - 1 : 0);
        if (lines == 2 && d > h) {
            --crossed;
        }
        keyLines[i] = crossed;
        keyDistance[i] = d;
        int at = orderCount;
        for (int e = finishers; e < orderCount; ++e) {
            const int other = runningOrder[e];
            if (keyLines[other] < crossed || (keyLines[other] == crossed && keyDistance[other] < d)) {
                at = e;
                break;
            }
        }
        for (int e = orderCount; e > at; --e) {
            runningOrder[e] = runningOrder[e - 1];
        }
        runningOrder[at] = static_cast<uint8_t>(i);
        ++orderCount;
        slot.ordered = 1;
    }
}

void RaceObject::SendDistanceUpdates()
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].car != nullptr) {
            slots[i].car->SendDistanceUpdate(&slots[i]);
        }
    }
}

void RaceObject::RemoveStalledCar()
{
    const bool layoutStart = LayoutRouteLines.startOverride != 0;
    if (RaceKind == 2 || layoutStart) {
        return;
    }
    for (int r = 0; r < resultCount; ++r) {
        const RaceResult &result = results[r];
        if ((result.flags & (ResultFinal | ResultDisqualified)) != 0) {
            continue;
        }
        for (int i = 0; i < slotCount; ++i) {
            CarObject *car = slots[i].car;
            if (car == nullptr || car->finished || car->lapsDone > result.laps) {
                continue;
            }
            if (tick - car->lastAdvanceTick <= 800) {
                continue;
            }
            if (!car->remoteHeld && car->pitLaneState != 0) {
                continue;
            }
            const uint8_t packet[4] = {17, 9, slots[i].info.playerId, 1};
            RaceQueuePacket(packet, sizeof(packet));
            return;
        }
    }
}

// --- Hot laps and settings ---

void RaceObject::InvalidateHotLap(int reason)
{
    static const TextId Reasons[5] = {Text_3a_hli_grnd, Text_3a_hli_wall, Text_3a_hli_obje, Text_3a_hli_wron,
                                      Text_3h_hli_spee};
    bool changed = false;
    if (lapValid == 1) {
        lapValid = 2;
        changed = true;
    }
    if (reason != 3 && nextLapValid == 1) {
        nextLapValid = 2;
        changed = true;
    }
    if (changed) {
        char text[64];
        // "3a_htlpinvl" with "3a_hli_grnd", "3a_hli_wall", "3a_hli_obje",
        // "3a_hli_wron", "3h_hli_spee"
        std::snprintf(text, sizeof(text), Tx(Text_3a_htlpinvl),
                      reason >= 0 && reason < 5 ? Tx(Reasons[reason]) : "");
        RacePrint(text, RaceMessageInfoBeep);
    }
}

void RaceObject::StartNextHotLap()
{
    lapValid = nextLapValid;
    nextLapValid = 0;
}

void RaceObject::SetNextHotLapValid(int flag)
{
    nextLapValid = static_cast<uint32_t>(2 - flag);
}

int RaceObject::IsQualifyingOver() const
{
    return static_cast<int64_t>(tick) - static_cast<int64_t>(countdownSeconds) * 100 >
           static_cast<int64_t>(qualifyMinutes) * 6000;
}

int RaceObject::LapsToRace() const
{
    if (raceLength > 190) {
        return 1;
    }
    if (raceLength < 101) {
        return raceLength;
    }
    return (raceLength - 90) * 10;
}

void RaceObject::SetRaceLength(int code)
{
    const World *world = LoadedWorld();
    int value;
    if (world != nullptr && world->config > 0 && world->currentPath == nullptr) {
        value = 1;
    } else {
        value = code < 0 ? 0 : (code > 238 ? 238 : code);
    }
    raceLength = static_cast<uint8_t>(value);
    if (RaceLinks.setRaceLengthSetting != nullptr) {
        RaceLinks.setRaceLengthSetting(value);
    }
}

void RaceObject::ClearHudTimes()
{
    hudTimes = RaceBestLap{};
}

void RaceObject::CheckTyresForTrack()
{
    const World *world = LoadedWorld();
    if (world == nullptr) {
        return;
    }
    const int positions = LayoutRouteLines.startOverride != 0 ? 1 : NumStartPositions(world);
    if (slotCount > positions) {
        if (RaceLinks.clearRacePlayers != nullptr) {
            RaceLinks.clearRacePlayers();
        }
        return;
    }
    const bool rallycross = world->IsConfigValueLow() != 0;
    bool queued = false;
    const char *warning = nullptr;
    for (int i = 0; i < slotCount; ++i) {
        PlayerSlot &slot = slots[i];
        if (slot.info.kind == KindLocalAi) {
            if (rallycross && !CanAiDriveOnRallycross(slot.carName)) {
                const uint8_t packet[4] = {11, 0, slot.info.playerId, 0};
                RaceQueuePacket(packet, sizeof(packet));
                queued = true;
            } else if (!AiUsePlySetup) {
                const uint8_t packet[4] = {86, slot.info.playerId, 0, 0};
                RaceQueuePacket(packet, sizeof(packet));
                queued = true;
            }
        } else if (slot.info.kind == KindLocal) {
            const int rallyAxles = CountRallyTyreAxles(slot.setup);
            const bool rallyTyres = rallyAxles > 0;
            const bool allRally = rallyAxles == 2;
            if (rallycross && !rallyTyres) {
                // "3a_w_rd_rly"
                warning = Tx(Text_3a_w_rd_rly);
            } else if (!rallycross && allRally) {
                // "3a_w_rly_rd"
                warning = Tx(Text_3a_w_rly_rd);
            } else {
                warning = nullptr;
            }
        }
    }
    if (warning != nullptr) {
        RacePrint(warning, RaceMessageInfoBeep);
    }
    if (queued) {
        RaceFlushBatch();
    }
}

// --- Look-ups ---

PlayerSlot *RaceObject::FirstLocalSlot(int *index)
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.kind == KindLocal) {
            *index = i;
            return &slots[i];
        }
    }
    *index = slotCount;
    return nullptr;
}

int RaceObject::FirstLocalSlotIndex() const
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.kind == KindLocal) {
            return i;
        }
    }
    return -1;
}

void RaceObject::FindLocalSlotIndex()
{
    listTimer = 0;
    localSlot = -1;
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.kind == KindLocal) {
            localSlot = i;
        }
    }
}

int RaceObject::HasLocalSlot() const
{
    return FirstLocalSlotIndex() >= 0 ? 1 : 0;
}

int RaceObject::HasSlotOfConnection() const
{
    const int own = RaceOwnConnection();
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.connection == own) {
            return 1;
        }
    }
    return 0;
}

PlayerSlot *RaceObject::SlotByPlayerId(int playerId, int *index)
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.playerId == playerId) {
            if (index != nullptr) {
                *index = i;
            }
            return &slots[i];
        }
    }
    if (index != nullptr) {
        *index = -1;
    }
    return nullptr;
}

int RaceObject::SlotIndexById(int playerId) const
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.playerId == playerId) {
            return i;
        }
    }
    return -1;
}

PlayerSlot *RaceObject::SlotByConnection(int connection)
{
    if (connection < 0 || connection >= RaceConnectionCount()) {
        return nullptr;
    }
    const char *name = RaceConnectionName(connection);
    if (name == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.connection == connection && std::strncmp(slots[i].info.name, name, 24) == 0) {
            return &slots[i];
        }
    }
    return nullptr;
}

PlayerSlot *RaceObject::SlotByName(const char *name)
{
    for (int i = 0; i < slotCount; ++i) {
        if (std::strncmp(slots[i].info.name, name, 24) == 0) {
            return &slots[i];
        }
    }
    return nullptr;
}

namespace {

// The name without colour codes, for comparing without regard to case.
void PlainName(char out[32], const char *name)
{
    // A slot's name field or a caller's text: at most 24 characters of it.
    char bounded[25];
    const size_t length = strnlen(name, 24);
    std::memcpy(bounded, name, length);
    bounded[length] = 0;
    StripColourCodes(out, bounded, 32);
}

bool SameNameFolded(const char *a, const char *b)
{
    char plainA[32];
    char plainB[32];
    PlainName(plainA, a);
    PlainName(plainB, b);
    return EqualsNoCase(plainA, plainB) != 0;
}

}  // namespace

PlayerSlot *RaceObject::FindSlotByName(const char *name, int includeRemote)
{
    PlayerSlot *found = nullptr;
    for (int i = 0; i < slotCount; ++i) {
        if (!includeRemote && !IsLocalKind(slots[i].info.kind)) {
            continue;
        }
        if (SameNameFolded(slots[i].info.name, name)) {
            if (found != nullptr) {
                return nullptr;
            }
            found = &slots[i];
        }
    }
    return found;
}

int RaceObject::IsNameUsedElsewhere(const char *name, int connection) const
{
    for (int i = 0; i < slotCount; ++i) {
        if (slots[i].info.connection != connection && SameNameFolded(slots[i].info.name, name)) {
            return 1;
        }
    }
    return 0;
}

int RaceObject::IsNameTaken(const char *name, int connection) const
{
    const char *own = RaceConnectionName(connection);
    for (int i = 0; i < slotCount; ++i) {
        const PlayerInfo &info = slots[i].info;
        if (info.connection != connection) {
            continue;
        }
        const bool notOwnName = own == nullptr || !SameNameFolded(info.name, own);
        if (notOwnName && SameNameFolded(info.name, name)) {
            return 1;
        }
    }
    return IsNameUsedElsewhere(name, connection);
}

int RaceObject::ListSkins(SkinListEntry list[64]) const
{
    int count = 0;
    auto add = [&](const char *name, uint32_t value) {
        for (int e = 0; e < count; ++e) {
            if (std::strncmp(list[e].name, name, sizeof(list[e].name)) == 0) {
                return;
            }
        }
        if (count < 64) {
            list[count].value = value;
            CopyString(list[count].name, name, sizeof(list[count].name));
            ++count;
        }
    };
    for (int i = 0; i < slotCount; ++i) {
        const PlayerSlot &slot = slots[i];
        if (slot.carName[0] != 0) {
            char name[SkinNameLength];
            FormatCarSkinName(name, CarCodeOf(slot.carName), slot.colours.skin);
            add(name, slot.skinTime);
        }
        if (slot.info.customHelmet) {
            char helmet[17];
            std::memcpy(helmet, slot.info.helmet, 16);
            helmet[16] = 0;
            char name[SkinNameLength];
            FormatCarSkinName(name, "HEL", helmet);
            add(name, slot.info.customHelmet);
        }
    }
    return count;
}

#include "net/race_setup_packets.h"

#include <cstdio>
#include <cstring>

#include "audio/interface_sound.h"
#include "core/car_table.h"
#include "core/colour.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/net_session.h"
#include "race/game_session.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/race_requests.h"
#include "race/session_clock.h"
#include "ui/message_lines.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "world/layout.h"
#include "world/layout_packets.h"
#include "world/start_lights.h"
#include "world/world.h"

int SetupQualifyMinutes = 0;
int SetupRaceLength = 3;
int SetupWind = 0;
int RaceCarLimit = MaxRaceSlots;
uint32_t AllowedCarsMask = 0xfffff;
int JoinInProgress = 0;
RaceSetupHooks SetupHooks = {};

namespace {

// The next computer driver name is chosen from here (the "ai" command's).
int AiNameIndex = 0;

const World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

int StartPositions()
{
    const World *world = LoadedWorld();
    return world != nullptr ? NumStartPositions(world) : 1;
}

bool GuestConnecting()
{
    return RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining() != 0;
}

bool TrackChanging()
{
    return CurrentWorld != nullptr && WorldIsLoading(CurrentWorld);
}

const char *ConnName(int c)
{
    return c >= 0 && c < ConnTableSize ? ConnTable[c].name : "";
}

bool IsOwnConnection(int c)
{
    return c == OwnConnIndex;
}

void Flush()
{
    FlushGameBatch(1);
}

void QueueAndFlush(const uint8_t *packet, int n)
{
    QueueGamePacket(packet, n);
    Flush();
}

void PrintCantWhileConnecting(const char *action)
{
    char text[96];
    // "3a_no_x_plc"
    std::snprintf(text, sizeof(text), Tx(Text_3a_no_x_plc), action);
    RacePrint(text, RaceMessageInfoBeep);
}

// The race and the first local player's slot (nullptr where there is none)
// of a request the local side sends; nullptr, with the reason printed where
// a guest is connecting, while no request can go.
RaceObject *RaceForLocalRequest(const char *action, PlayerSlot **slot)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return nullptr;
    }
    if (GuestConnecting()) {
        PrintCantWhileConnecting(action);
        return nullptr;
    }
    int index = -1;
    *slot = race->FirstLocalSlot(&index);
    return race;
}

void SendSpectateRequest(const PlayerSlot &slot)
{
    const uint8_t packet[4] = {MP_REQUEST, RequestSpectate, slot.info.playerId, 0};
    QueueAndFlush(packet, sizeof(packet));
}

PlayerSlot *SlotOfId(int id, int *index = nullptr)
{
    RaceObject *race = RaceObjectPtr;
    int scratch = -1;
    return race != nullptr ? race->SlotByPlayerId(id, index != nullptr ? index : &scratch) : nullptr;
}

// --- Game packets ---

void OnNewPlayer(int, const uint8_t *packet, int)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    uint8_t record[PlayerInfoSize];
    std::memcpy(record, packet + 4, sizeof(record));
    record[23] = 0;
    record[63] = 0;
    PlayerInfo info;
    UnpackPlayerInfo(&info, record);
    if (info.connection >= ConnCount) {
        return;
    }
    if (GameState == 1) {
        race->ApplyPlayerInfo(info);
    } else if (GameState == 2) {
        StopReplayRecording();
        race->HandleNewPlayer(info);
    }
}

void OnCarInfo(int c, const uint8_t *packet, int length)
{
    uint8_t copy[CarInfoPacketSize];
    std::memcpy(copy, packet, static_cast<size_t>(length < CarInfoPacketSize ? length : CarInfoPacketSize));
    copy[43] = 0;
    copy[59] = 0;
    PlayerSlot *slot = SlotOfId(copy[1]);
    if (slot == nullptr) {
        // No key in the table yet.
        RacePrint("Could not add car info - unknown id", RaceMessageWarning);
        return;
    }
    ApplyCarInfo(slot, copy, c);
}

void OnRemovePlayer(int c, const uint8_t *packet, int)
{
    if (GameState != 1) {
        return;
    }
    RemoveFromGrid(packet, c);
    if (SetupHooks.startCheck != nullptr) {
        SetupHooks.startCheck();
    }
}

void OnEntryVote(int c, const uint8_t *packet, int)
{
    if (GameState != 1 || c < 0 || c >= ConnCount) {
        return;
    }
    ConnTable[c].ready = packet[1] != 0 ? 1 : 0;
    if (!JoinInProgress && SetupHooks.startCheck != nullptr) {
        SetupHooks.startCheck();
    }
}

void OnBlockMessages(int c, const uint8_t *packet, int)
{
    char text[96];
    // No key in the table yet.
    std::snprintf(text, sizeof(text), packet[1] != 0 ? "%.32s^8 blocked messages" : "%.32s^8 unblocked messages",
                  ConnName(c));
    RacePrint(text, RaceMessageInfo);
}

void OnPlayerFlags(int, const uint8_t *packet, int)
{
    PlayerSlot *slot = SlotOfId(packet[1]);
    if (slot == nullptr) {
        return;
    }
    const uint16_t word = static_cast<uint16_t>(packet[2] | (packet[3] << 8));
    slot->info.flags = static_cast<uint16_t>((slot->info.flags & 0xdd27) | word);
    if (slot->car != nullptr) {
        uint8_t record[PlayerInfoSize];
        PackPlayerInfo(slot->info, record);
        slot->car->ApplyPlayerOptions(record);
    }
}

// Horn (A) and flash (B) of a car driven elsewhere.
void OnCarSetting(int c, const uint8_t *packet, int)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || IsOwnConnection(c)) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (slot.info.connection != c || slot.info.kind >= KindLocalAi || slot.car == nullptr) {
            continue;
        }
        if (packet[0] == MP_PLAYER_CAR_SETTING_A) {
            slot.car->inputs[9] = packet[1] > 5 ? 5 : packet[1];
        } else {
            slot.car->inputs[10] = packet[1] > 1 ? 1 : packet[1];
        }
        return;
    }
}

void OnPlayerPercents(int, const uint8_t *packet, int)
{
    PlayerSlot *slot = SlotOfId(packet[1]);
    if (slot == nullptr) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        slot->info.fuel[i] = packet[4 + i] > 100 ? 100 : packet[4 + i];
    }
}

void OnGame86(int, const uint8_t *packet, int)
{
    if (PlayerSlot *slot = SlotOfId(packet[1])) {
        slot->ClearCarRecord();
    }
}

void OnToPits(int c, const uint8_t *, int)
{
    RaceObject *race = RaceObjectPtr;
    if (GuestConnecting()) {
        if (IsOwnConnection(c)) {
            PrintCantWhileConnecting("pit");
        }
        return;
    }
    if (GameState == 2 && race != nullptr && IsStartAllowed()) {
        for (int i = 0; i < race->slotCount; ++i) {
            PlayerSlot &slot = race->slots[i];
            if (slot.info.connection != c || slot.info.kind >= KindLocalAi) {
                continue;
            }
            if (slot.car != nullptr) {
                char text[96];
                // "3a_x_pitted"
                std::snprintf(text, sizeof(text), Tx(Text_3a_x_pitted), SlotName(&slot));
                RacePrint(text, RaceMessageInfo);
                slot.car->SendDistanceUpdate(&slot);
                StopReplayRecording();
                if (GameSessionPtr != nullptr) {
                    GameSessionPtr->RemovePlayerCar(&slot);
                }
            }
            slot.info.flags |= PlayerFlagNoCar;
        }
    } else if (GameState == 1 && c >= 0 && c < ConnCount) {
        ConnTable[c].ready = 0;
    }
    if (IsOwnConnection(c) && SetupHooks.openGarage != nullptr) {
        SetupHooks.openGarage();
    }
}

void OnQualifyMinutes(int, const uint8_t *packet, int)
{
    StopReplayRecording();
    const int minutes = packet[1] > 60 ? 60 : packet[1];
    SetupQualifyMinutes = minutes;
    if (RaceObjectPtr != nullptr) {
        RaceObjectPtr->qualifyMinutes = static_cast<uint8_t>(minutes);
    }
}

void OnRaceLength(int, const uint8_t *packet, int)
{
    StopReplayRecording();
    const int code = packet[2] | (packet[3] << 8);
    if (RaceObjectPtr != nullptr && LoadedWorld() != nullptr) {
        RaceObjectPtr->SetRaceLength(code);
        SetupRaceLength = RaceObjectPtr->raceLength;
    }
}

void OnWind(int, const uint8_t *packet, int)
{
    StopReplayRecording();
    const int wind = packet[1] > 2 ? 2 : packet[1];
    SetupWind = wind;
    if (RaceObjectPtr != nullptr) {
        RaceObjectPtr->wind = static_cast<uint8_t>(wind);
    }
}

void OnRaceResetLaps(int, const uint8_t *packet, int)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    race->ClearResults();
    race->qualifyMinutes = 0;
    SetupQualifyMinutes = 0;
    race->SetRaceLength(packet[1] > 190 ? 190 : packet[1]);
    SetupRaceLength = race->raceLength;
}

// --- Reliable packets ---

void OnText(int c, const uint8_t *packet, int length)
{
    char text[100];
    const int n = length - 4 < static_cast<int>(sizeof(text)) - 1 ? length - 4 : static_cast<int>(sizeof(text)) - 1;
    std::memcpy(text, packet + 4, static_cast<size_t>(n > 0 ? n : 0));
    text[n > 0 ? n : 0] = 0;
    char line[160];
    std::snprintf(line, sizeof(line), "%.32s^8 : %s", ConnName(c), text);
    AddMessageLine(line, &MessageColours[ColourGreen], MessageTargetSystem);
    PlayInterfaceSound(SoundMessage);
}

// The host turns a join request into the new player with a fresh id.
void OnRequestJoin(int c, const uint8_t *packet, int length)
{
    RaceObject *race = RaceObjectPtr;
    if (!IsHost || race == nullptr || length != 4 + PlayerInfoSize) {
        return;
    }
    if (GuestConnecting()) {
        return;
    }
    uint8_t record[PlayerInfoSize];
    std::memcpy(record, packet + 4, sizeof(record));
    record[23] = 0;
    record[63] = 0;
    PlayerInfo info;
    UnpackPlayerInfo(&info, record);
    if (OnlineFlag && c == OwnConnIndex && TrackChanging()) {
        // "3a_loadtrak"
        RacePrint(Tx(Text_3a_loadtrak), RaceMessageInfoBeep);
        return;
    }
    int limit = StartPositions();
    if (RaceCarLimit < limit) {
        limit = RaceCarLimit;
    }
    if (race->slotCount >= limit || race->slotCount >= MaxRaceSlots || (OnlineFlag && LoadedWorld() == nullptr)) {
        RacePrint(Tx(Text_3a_racefull), RaceMessageInfoBeep);
        return;
    }
    if (race->FindSlotByName(info.name, 1) != nullptr) {
        RacePrint(Tx(Text_3a_nameused), RaceMessageInfoBeep);
        return;
    }
    info.playerId = NextFreePlayerId();
    uint8_t out[4 + PlayerInfoSize] = {MP_NEW_PLAYER, 0, 0, 0};
    PackPlayerInfo(info, out + 4);
    if (QueueGamePacketChecked(out, sizeof(out))) {
        Flush();
    }
}

}  // namespace

void RegisterRaceSetupPackets()
{
    SetGamePacketHandler(MP_NEW_PLAYER, OnNewPlayer);
    SetGamePacketHandler(MP_CAR_INFO, OnCarInfo);
    SetGamePacketHandler(MP_REMOVE_PLAYER, OnRemovePlayer);
    SetGamePacketHandler(MP_ENTRY_VOTE, OnEntryVote);
    SetGamePacketHandler(MP_TO_PITS, OnToPits);
    SetGamePacketHandler(MP_PLAYER_FLAGS, OnPlayerFlags);
    SetGamePacketHandler(MP_QUALIFY_MINUTES, OnQualifyMinutes);
    SetGamePacketHandler(MP_RACE_LENGTH, OnRaceLength);
    SetGamePacketHandler(MP_WIND, OnWind);
    SetGamePacketHandler(MP_PLAYER_CAR_SETTING_A, OnCarSetting);
    SetGamePacketHandler(MP_PLAYER_CAR_SETTING_B, OnCarSetting);
    SetGamePacketHandler(MP_RACE_RESET_LAPS, OnRaceResetLaps);
    SetGamePacketHandler(MP_PLAYER_PERCENTS, OnPlayerPercents);
    SetGamePacketHandler(MP_BLOCK_MESSAGES, OnBlockMessages);
    SetGamePacketHandler(MP_GAME_86, OnGame86);
    SetReliablePacketHandler(MP_TEXT, OnText);
    SetReliablePacketHandler(MP_REQ_JOIN, OnRequestJoin);
}

// --- Operations ---

void ApplyCarInfo(PlayerSlot *slot, uint8_t *packet, int)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || slot == nullptr) {
        return;
    }
    // 1. The record has arrived.
    if (slot->packetSent == 1) {
        slot->packetSent = 2;
    }
    // 2.
    char carName[33];
    std::memcpy(carName, packet + CarInfoRecordOffset + 4, 32);
    carName[32] = 0;
    const int model = FindCarByName(carName);
    (void)model;
    // 4, 5.
    if (GameState == 1) {
        SetPlayerSlotRecord(slot, packet);
        CreatePlayerCar(slot);
    } else if (GameState == 2) {
        char text[128];
        if (slot->car != nullptr) {
            // "3a_x_alredy"
            std::snprintf(text, sizeof(text), Tx(Text_3a_x_alredy), SlotName(slot));
            RacePrint(text, RaceMessageInfo);
            return;
        }
        // "3a_x_lftpot"
        std::snprintf(text, sizeof(text), Tx(Text_3a_x_lftpot), SlotName(slot));
        SetPlayerSlotRecord(slot, packet);
        if (GameSessionPtr != nullptr) {
            GameSessionPtr->AddPlayerCar(slot);
        }
        if (slot->car != nullptr) {
            const char *code = GetCarCodeByName(slot->carName);
            const size_t used = std::strlen(text);
            std::snprintf(text + used, sizeof(text) - used, " (%s)", code != nullptr ? code : "");
        }
        RacePrint(text, RaceMessageInfo);
    } else {
        return;
    }
    // 6. Tyres that do not suit the track.
    const World *world = LoadedWorld();
    if (world != nullptr && slot->info.kind != KindRemote) {
        const int rallyAxles = CountRallyTyreAxles(slot->setup);
        if (world->IsConfigValueLow() && rallyAxles == 0) {
            // "3a_w_rd_rly"
            RacePrint(Tx(Text_3a_w_rd_rly), RaceMessageInfoBeep);
        } else if (!world->IsConfigValueLow() && rallyAxles == 2) {
            // "3a_w_rly_rd"
            RacePrint(Tx(Text_3a_w_rly_rd), RaceMessageInfoBeep);
        }
    }
}

void RemoveFromGrid(const uint8_t packet[4], int c)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    switch (packet[1]) {
    case 0: {
        int index = -1;
        PlayerSlot *slot = race->SlotByPlayerId(packet[2], &index);
        if (slot == nullptr) {
            return;
        }
        if (slot->info.connection != c) {
            char text[128];
            // "3h_xremovex"
            char remover[33];
            std::snprintf(remover, sizeof(remover), "%s", ConnName(c));
            std::snprintf(text, sizeof(text), Tx(Text_3h_xremovex), remover, SlotName(slot));
            RacePrint(text, RaceMessageInfo);
        }
        race->RemoveSlot(index);
        break;
    }
    case 1: {
        int a = -1;
        int b = -1;
        if (race->SlotByPlayerId(packet[2], &a) == nullptr || race->SlotByPlayerId(packet[3], &b) == nullptr ||
            a == b) {
            return;
        }
        PlayerSlot held;
        std::memcpy(static_cast<void *>(&held), &race->slots[a], sizeof(PlayerSlot));
        std::memcpy(static_cast<void *>(&race->slots[a]), &race->slots[b], sizeof(PlayerSlot));
        std::memcpy(static_cast<void *>(&race->slots[b]), &held, sizeof(PlayerSlot));
        race->RepointCars();
        race->FindLocalSlotIndex();
        break;
    }
    case 2:
        ClearRacePlayers();
        break;
    default:
        break;
    }
}

void ClearRacePlayers()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        race->ReleaseSlot(&race->slots[i]);
        std::memset(static_cast<void *>(&race->slots[i]), 0, sizeof(PlayerSlot));
    }
    race->slotCount = 0;
    race->orderCount = 0;
    race->localSlot = 0;
    AiNameIndex = 0;
}

uint16_t DerivedPlayerFlags(const PlayerSlot *slot)
{
    PlayerInfo info;
    FillPlayerInfo(&info, slot != nullptr && slot->carName[0] != 0 ? slot->carName : nullptr);
    return static_cast<uint16_t>(info.flags & PlayerFlagsSentMask);
}

void SendPlayerFlagsIfChanged(PlayerSlot *slot, int)
{
    if (slot == nullptr) {
        return;
    }
    const uint16_t flags = DerivedPlayerFlags(slot);
    if (flags == (slot->info.flags & PlayerFlagsSentMask)) {
        return;
    }
    const uint8_t packet[4] = {MP_PLAYER_FLAGS, slot->info.playerId, static_cast<uint8_t>(flags & 0xff),
                               static_cast<uint8_t>(flags >> 8)};
    QueueGamePacketRec(packet, sizeof(packet));
}

void UpdatePlayerFlags(PlayerSlot *slot)
{
    if (slot != nullptr) {
        slot->info.flags = static_cast<uint16_t>((slot->info.flags & ~PlayerFlagsSentMask) | DerivedPlayerFlags(slot));
    }
}

void SetHostCarRules(uint32_t mask, uint32_t flags)
{
    AllowedCarsMask = mask;
    HostRuleFlags = flags;
}

void ClearEntryVotes()
{
    for (int i = 0; i < ConnTableSize; ++i) {
        ConnTable[i].ready = 0;
    }
}

int IsRaceConfigured()
{
    const RaceObject *race = RaceObjectPtr;
    const World *world = LoadedWorld();
    const int minutes = race != nullptr ? race->qualifyMinutes : SetupQualifyMinutes;
    return minutes != 0 && SetupRaceLength != 0 && world != nullptr && world->currentPath != nullptr ? 1 : 0;
}

int RefuseWhileBusy(const char *action)
{
    if (GuestConnecting()) {
        PrintCantWhileConnecting(action);
        return 1;
    }
    if (TrackChanging()) {
        char text[96];
        // No key in the table yet (3a_no_x_cht reads "changing track").
        std::snprintf(text, sizeof(text), "Can't %s - track is changing", action);
        RacePrint(text, RaceMessageInfoBeep);
        return 1;
    }
    return 0;
}

int LocalDriverInRace()
{
    const RaceObject *race = RaceObjectPtr;
    return race != nullptr && race->HasLocalSlot() ? 1 : 0;
}

int IsCurrentCarAllowed()
{
    if (DedicatedMode != DedicatedNone) {
        return 0;
    }
    const int car = FindCarByName(SelectedCarName);
    if (car >= 0 && car < 32 && (AllowedCarsMask >> car) & 1u) {
        return 1;
    }
    SelectedCarName[0] = 0;
    return 0;
}

int IsCarNearLayoutStart()
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr || LayoutRouteLines.startOverride == 0) {
        return 0;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        const CarObject *car = race->slots[i].car;
        if (car == nullptr) {
            continue;
        }
        const int64_t dx = static_cast<int64_t>(car->position.x) - LayoutRouteLines.startPosition[0];
        const int64_t dy = static_cast<int64_t>(car->position.y) - LayoutRouteLines.startPosition[1];
        const int64_t reach = 0x60000;
        if (dx * dx + dy * dy < reach * reach) {
            return 1;
        }
    }
    return 0;
}

const char *FormatCountdownText(const char *text)
{
    static char buffer[64];
    const RaceObject *race = RaceObjectPtr;
    const World *world = LoadedWorld();
    if (GameSessionPtr == nullptr || world == nullptr || race == nullptr || world->startLightState != StartLightsGreen ||
        LayoutRouteLines.startOverride != 0 || !IsTimedOrLappedRace() || !OnlineFlag || GameState == 3 ||
        MultiplayerReplayPlaying) {
        return nullptr;
    }
    const int elapsed = static_cast<int>(race->tick) - static_cast<int>(race->countdownSeconds) * 100;
    if (elapsed >= 1200) {
        return nullptr;
    }
    std::snprintf(buffer, sizeof(buffer), "%s (%d)", text, 12 - (elapsed > 0 ? elapsed : 0) / 100);
    return buffer;
}

int RequestLocalJoin()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || LoadedWorld() == nullptr) {
        return 0;
    }
    if (OnlineFlag && IsHost) {
        int own = 0;
        for (int i = 0; i < race->slotCount; ++i) {
            own += race->slots[i].info.connection == OwnConnIndex ? 1 : 0;
        }
        if (own >= CarsPerHost) {
            char text[64];
            // "3a_maxhcarx"
            std::snprintf(text, sizeof(text), Tx(Text_3a_maxhcarx), CarsPerHost);
            RacePrint(text, RaceMessageInfoBeep);
            return 0;
        }
    }
    if (race->slotCount >= StartPositions() || race->slotCount >= RaceCarLimit) {
        RacePrint(Tx(Text_3a_racefull), RaceMessageInfoBeep);
        return 0;
    }
    if (WouldOverflowOwnRing(4 + PlayerInfoSize)) {
        // "3h_waitbuff"
        RacePrint(Tx(Text_3h_waitbuff), RaceMessageInfoBeep);
        return 0;
    }
    PlayerInfo info;
    FillPlayerInfo(&info, nullptr);
    uint8_t packet[4 + PlayerInfoSize] = {MP_REQ_JOIN, 0, 0, 0};
    PackPlayerInfo(info, packet + 4);
    SendReliableToHost(packet, sizeof(packet));
    return 1;
}

int RequestAiJoin(int aiIndex)
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || aiIndex < 0 || aiIndex >= AiDriverCount) {
        return 0;
    }
    if (OnlineFlag && IsHost) {
        int own = 0;
        for (int i = 0; i < race->slotCount; ++i) {
            own += race->slots[i].info.connection == OwnConnIndex ? 1 : 0;
        }
        if (own >= CarsPerHost) {
            char text[64];
            // "3a_maxhcarx"
            std::snprintf(text, sizeof(text), Tx(Text_3a_maxhcarx), CarsPerHost);
            RacePrint(text, RaceMessageInfoBeep);
            return 0;
        }
    }
    if (race->slotCount >= StartPositions() || race->slotCount >= RaceCarLimit) {
        RacePrint(Tx(Text_3a_racefull), RaceMessageInfoBeep);
        return 0;
    }
    const World *world = LoadedWorld();
    if (world != nullptr && world->config > 0 && world->IsConfigValueLow() != 0 &&
        !CanAiDriveOnRallycross(SelectedCarName)) {
        char text[96];
        // "3h_ainoxral"
        std::snprintf(text, sizeof(text), Tx(Text_3h_ainoxral), SelectedCarName);
        RacePrint(text, RaceMessageWarning);
        return 0;
    }
    if (WouldOverflowOwnRing(4 + PlayerInfoSize)) {
        // "3h_waitbuff"
        RacePrint(Tx(Text_3h_waitbuff), RaceMessageInfoBeep);
        return 0;
    }
    const char *name = AiDriverNames[aiIndex].name;
    if (EqualsNoCase(name, ConnName(OwnConnIndex)) || EqualsNoCase(name, PlayerName.name)) {
        RacePrint(Tx(Text_3a_nameused), RaceMessageInfoBeep);
        return 0;
    }
    PlayerInfo info;
    if (!FillAiPlayerInfo(&info, name, 0, SelectedCarName)) {
        return 0;
    }
    uint8_t packet[4 + PlayerInfoSize] = {MP_REQ_JOIN, 0, 0, 0};
    PackPlayerInfo(info, packet + 4);
    SendReliableToHost(packet, sizeof(packet));
    return 1;
}

int FindFreeAiName(int *aiIndex)
{
    RaceObject *race = RaceObjectPtr;
    for (int tried = 0; tried < AiDriverCount; ++tried) {
        AiNameIndex = (AiNameIndex + 1) % AiDriverCount;
        const char *name = AiDriverNames[AiNameIndex].name;
        if (name[0] == 0 || EqualsNoCase(name, PlayerName.name) || EqualsNoCase(name, ConnName(OwnConnIndex))) {
            continue;
        }
        if (race != nullptr && race->FindSlotByName(name, 1) != nullptr) {
            continue;
        }
        *aiIndex = AiNameIndex;
        return 1;
    }
    return 0;
}

int TryJoinRace()
{
    RejoinPending = 0;
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    if (LocalDriverInRace()) {
        RacePrint(Tx(Text_3g_drv_alrd), RaceMessageInfoBeep);
        return 0;
    }
    if (!IsCurrentCarAllowed()) {
        RequestEnterPits();
        return 0;
    }
    if (IsCarNearLayoutStart()) {
        RacePrint(Tx(Text_3a_autojblk), RaceMessageInfoBeep);
        return 0;
    }
    if (GuestConnecting()) {
        PrintCantWhileConnecting(Tx(Text_3g_join_btn));
        return 0;
    }
    if (StartWaitFlag != 0 && GameSessionPtr != nullptr) {
        RacePrint(Tx(Text_3h_falsesta), RaceMessageInfoBeep);
        return 0;
    }
    if (race->slotCount >= RaceCarLimit) {
        RacePrint(Tx(Text_3a_racefull), RaceMessageInfoBeep);
        return 0;
    }
    if (FormatCountdownText(Tx(Text_3g_join_btn)) != nullptr) {
        return 0;
    }
    return RequestLocalJoin();
}

int RequestLocalSpectate()
{
    PlayerSlot *slot = nullptr;
    if (RaceForLocalRequest(Tx(Text_3g_spec_btn), &slot) == nullptr) {
        return 0;
    }
    if (slot != nullptr) {
        SendSpectateRequest(*slot);
    }
    return 1;
}

int RequestEnterPits()
{
    PlayerSlot *slot = nullptr;
    if (RaceForLocalRequest("enter pits", &slot) == nullptr) {
        return 0;
    }
    if (slot != nullptr && slot->car != nullptr &&
        std::memcmp(slot->info.plate, PlayerName.tag, sizeof(slot->info.plate)) != 0) {
        SendSpectateRequest(*slot);
        return 1;
    }
    const uint8_t packet[4] = {MP_TO_PITS, 0, 0, 0};
    QueueAndFlush(packet, sizeof(packet));
    return 1;
}

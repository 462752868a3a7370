#include "app/race_object_services.h"

#include <cstdio>

#include "audio/interface_sound.h"
#include "core/colour.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/race_setup_packets.h"
#include "screens/setup_screen.h"
#include "race/race_requests.h"
#include "net/net_session.h"
#include "race/game_session.h"
#include "race/session_clock.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/race_progress.h"
#include "net/race_packet_handlers.h"
#include "render/standard_textures.h"
#include "scene/hud.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/text_box.h"
#include "vehicle/car_network_services.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/race_hooks.h"
#include "world/layout.h"
#include "world/layout_packets.h"
#include "world/path_follower.h"
#include "world/start_lights.h"
#include "world/world.h"
#include "world/world_state_packet.h"
#include "race/ai_driver.h"

namespace {

RaceObject *Race()
{
    return RaceObjectPtr;
}

// --- The vehicle's race hooks ---

int SlotCount()
{
    return Race() != nullptr ? Race()->slotCount : 0;
}

CarObject *SlotCar(int slot)
{
    RaceObject *race = Race();
    return race != nullptr && slot >= 0 && slot < race->slotCount ? race->slots[slot].car : nullptr;
}

uint32_t RaceTick()
{
    return Race() != nullptr ? Race()->tick : 0;
}

int HotLapMode()
{
    return Race() != nullptr ? Race()->hotLapMode : 0;
}

void InvalidateHotLap(int reason)
{
    if (Race() != nullptr) {
        Race()->InvalidateHotLap(reason);
    }
}

// --- The vehicle's race services ---
// A car outside any race (the garage, a tool, a test car) has no slot: every
// slot question then answers as for no player.

PlayerSlot *SlotRecord(int slot)
{
    RaceObject *race = Race();
    return race != nullptr && slot >= 0 && slot < race->slotCount ? &race->slots[slot] : nullptr;
}

uint8_t PlayerId(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.playerId : 0;
}

int LapsToRace()
{
    return Race() != nullptr ? Race()->LapsToRace() : 0;
}

uint8_t RaceCountdownSeconds()
{
    return Race() != nullptr ? Race()->countdownSeconds : 0;
}

int RaceStartOffset()
{
    return Race() != nullptr ? Race()->countdownSeconds : 0;
}

int RaceDistanceDone(int laps, uint32_t time, CarObject *car)
{
    return IsRaceDistanceDone(laps, time, car);
}

int AnyResultRecorded()
{
    return Race() != nullptr && Race()->resultCount > 0 ? 1 : 0;
}

int IsQualifying()
{
    return RaceKind == 2 ? 1 : 0;
}

int QualifyingOver()
{
    return Race() != nullptr ? Race()->IsQualifyingOver() : 0;
}

void StartNextHotLap()
{
    if (Race() != nullptr) {
        Race()->StartNextHotLap();
    }
}

uint32_t HotLapValidity()
{
    return Race() != nullptr ? Race()->lapValid : 0;
}

void SetNextHotLapValidity(uint32_t validity)
{
    // The car passes 1 (valid) or 2 (invalid); the flag form is 2 - validity.
    if (Race() != nullptr) {
        Race()->SetNextHotLapValid(2 - static_cast<int>(validity));
    }
}

int GetBestLap(RaceBestLap *best)
{
    if (Race() == nullptr || Race()->hudTimes.lapNumber == 0) {
        return 0;
    }
    *best = Race()->hudTimes;
    return 1;
}

void SetBestLap(const RaceBestLap &best)
{
    if (Race() != nullptr) {
        Race()->hudTimes = best;
    }
}

int SlotRefuelPercent(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.fuel[1] : 0;
}

int SlotTyreWearPercent(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.fuel[2] : 0;
}

int SlotRepairFlag(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.fuel[3] & 1 : 0;
}

int OrderCount()
{
    return Race() != nullptr ? Race()->orderCount : 0;
}

int OrderSlot(int place)
{
    RaceObject *race = Race();
    return race != nullptr && place >= 0 && place < race->orderCount ? race->runningOrder[place] : -1;
}

// --- The vehicle's network services ---

uint8_t SlotKind(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.kind : 0;
}

int SlotConnection(const PlayerSlot *slot)
{
    return slot != nullptr ? slot->info.connection : 0;
}

int HasSlotOfConnection()
{
    return Race() != nullptr ? Race()->HasSlotOfConnection() : 0;
}

// --- The world ---

void ClearRaceResults()
{
    if (Race() != nullptr) {
        Race()->ClearResults();
    }
}

// --- The race's links ---

// The replay speed as the session's centre message for 4 s.
void ShowReplaySpeedNotice(float speed)
{
    char text[48];
    std::snprintf(text, sizeof(text), Tx(Text_3a_timetmsx), static_cast<double>(speed));
    ShowHudMessage(text, &MessageColours[ColourWhite]);
}

void PrintRaceMessage(const char *text, int kind)
{
    const int colour = kind == RaceMessageWarning ? ColourSalmon : ColourLightGrey;
    PrintMessage(text, &MessageColours[colour]);
    if (kind == RaceMessageInfoBeep) {
        PlayInterfaceSound(SoundMessage);
    }
}

void ShowRaceDialog(MenuPage *owner, const char *title, const char *text)
{
    ShowTextBox2(owner, title, text);
}

// --- The network's session loop ---

void FlushBatch()
{
    FlushGameBatch(0);
}

void FlushBatchFlag(int flag)
{
    FlushGameBatch(flag);
}

int HasRingRoom(int length)
{
    return WouldOverflowOwnRing(length) ? 0 : 1;
}

uint32_t NetworkFrame()
{
    return SessionFrameCount;
}

int OwnConnectionIndex()
{
    return OwnConnIndex;
}

int ConnectionCount()
{
    return ConnCount;
}

const char *ConnectionName(int connection)
{
    return connection >= 0 && connection < ConnCount ? ConnTable[connection].name : nullptr;
}

int ConnectionVote(int connection)
{
    return connection >= 0 && connection < ConnCount ? ConnTable[connection].gameVote : 0;
}

void SetConnectionVote(int connection, int vote)
{
    if (connection >= 0 && connection < ConnCount) {
        ConnTable[connection].gameVote = static_cast<uint8_t>(vote);
    }
}

// MP_REQUEST: carried out in the session.
void HandleRequestPacket(int connection, const uint8_t *packet, int)
{
    if (GameSessionPtr != nullptr) {
        HandleRaceRequest(*GameSessionPtr, connection, packet);
    } else if (GameState == 1 && packet[1] == RequestVoteEnd) {
        // A start still pending is called off.
        RaceKind = 0;
    }
}

// The layout and world-state packets, as the dispatcher hands them over.
void HandleLayoutEdit(int connection, const uint8_t *packet, int length)
{
    HandleLayoutObjectPacket(packet, length, connection);
}

void HandleLayoutObjects(int connection, const uint8_t *packet, int length)
{
    ReceiveLayoutPacket(packet, length, connection);
}

void HandleWorldState(int, const uint8_t *packet, int length)
{
    StartRaceView view;
    FillStartRaceView(&view);
    ApplyWorldStatePacket(CurrentWorld, packet, length, RaceObjectPtr != nullptr ? &view : nullptr);
}

// Layout packets: through the session's packet loop while a game session
// runs its frames, else through the world's local hand-off. What the
// hand-off still holds goes first.
void QueueLayoutPacket(const uint8_t *bytes, int length)
{
    if (GameSessionPtr != nullptr) {
        FlushLocalGameBatch();
        QueueGamePacket(bytes, length);
    } else {
        QueueLocalGamePacket(bytes, length);
    }
}

void FlushLayoutBatch()
{
    FlushLocalGameBatch();
    if (GameSessionPtr != nullptr) {
        FlushGameBatch(0);
    }
}

// The race's part of the world's AI reset: every car's path follower and
// every local computer driver.
void ResetRaceAiDrivers()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (slot.car != nullptr && slot.car->pathFollower != nullptr) {
            slot.car->pathFollower->Reset();
        }
        if (slot.ai != nullptr) {
            slot.ai->Reset(0);
        }
    }
}

void ClearGameVotes()
{
    for (int i = 0; i < ConnCount; ++i) {
        ConnTable[i].gameVote = 0;
    }
}

int IsHostProgram()
{
    return IsHost;
}

int IsReplayPlayback()
{
    return GameState == 3 ? 1 : 0;
}

int IsDrivenCar(const CarObject *car)
{
    return GameSessionPtr != nullptr && GameSessionPtr->drivenCar == car ? 1 : 0;
}

const char *OwnerBackground(MenuPage *owner)
{
    return owner != nullptr ? owner->Background : nullptr;
}

void SetOwnerBackground(MenuPage *owner, const char *name)
{
    if (owner != nullptr) {
        owner->Background = name;
    }
}

void RestoreBackgroundPicture(MenuPage *owner)
{
    if (GraphicsEnabled && owner != nullptr && owner->Background != nullptr && owner->Background[0] != 0) {
        SetBackgroundPicture(owner->Background);
    }
}

// A page is open over the session's owner: the driving keys wait.
int OwnerHasChild()
{
    return GameSessionPtr != nullptr && GameSessionPtr->owner != nullptr && GameSessionPtr->owner->Child != nullptr
               ? 1
               : 0;
}

}  // namespace

void RegisterRaceNetworkLinks()
{
    RaceLinks.queueGamePacket = QueueGamePacket;
    RaceLinks.flushGameBatch = FlushBatch;
    RaceLinks.hasRingRoom = HasRingRoom;
    RaceLinks.networkFrame = NetworkFrame;
    RaceLinks.ownConnection = OwnConnectionIndex;
    RaceLinks.connectionCount = ConnectionCount;
    RaceLinks.connectionName = ConnectionName;
    RaceLinks.pushRecentId = PushRecentId;
    RaceLinks.connectionVote = ConnectionVote;
    RaceLinks.clearGameVotes = ClearGameVotes;
    RaceLinks.setConnectionVote = SetConnectionVote;
    SetGamePacketHandler(MP_REQUEST, HandleRequestPacket);
    SetGamePacketHandler(MP_LAYOUT_EDIT, HandleLayoutEdit);
    SetGamePacketHandler(MP_LAYOUT_OBJECTS, HandleLayoutObjects);
    SetGamePacketHandler(MP_WORLD_STATE, HandleWorldState);
    LayoutServices layout = GetLayoutServices();
    layout.queueGamePacket = QueueLayoutPacket;
    layout.flushGameBatch = FlushLayoutBatch;
    layout.ownConnectionIndex = OwnConnectionIndex;
    SetLayoutServices(layout);
    RegisterRaceSetupPackets();
    RegisterRacePacketHandlers();
    SetResetAiDriversHook(ResetRaceAiDrivers);
    RaceLinks.setSyncDeadline = SetSyncDeadline;
    RaceLinks.isHost = IsHostProgram;
    RaceLinks.runSessionFrame = RunSessionFrame;

    RaceServices.queueGamePacket = QueueGamePacket;
    RaceServices.flushGameBatch = FlushBatchFlag;
    RaceServices.sendReliableToHost = SendReliableToHost;
    RaceServices.queueGamePacketRec = QueueGamePacketRec;
    RaceServices.isReplayPlayback = IsReplayPlayback;
    RaceServices.isDrivenCar = IsDrivenCar;
    RaceServices.isStartAllowed = IsStartAllowed;
    RaceServices.isSessionBusy = IsSessionBusy;
    RaceServices.setJumpStartFlag = SetJumpStartFlag;
    RaceServices.getRemoteCarView = GetRemoteCarView;
    VehicleRaceHooks.reportObjectHit = ReportObjectHit;
}

void RegisterRaceObjectServices()
{
    InstallRaceProgress();
    VehicleRaceHooks.slotCount = SlotCount;
    VehicleRaceHooks.slotCar = SlotCar;
    VehicleRaceHooks.raceTick = RaceTick;
    VehicleRaceHooks.hotLapMode = HotLapMode;
    VehicleRaceHooks.invalidateHotLap = InvalidateHotLap;

    RaceServices.slotRecord = SlotRecord;
    RaceServices.playerId = PlayerId;
    RaceServices.isTimedOrLappedRace = IsTimedOrLappedRace;
    RaceServices.lapsToRace = LapsToRace;
    RaceServices.startCountdown = RaceCountdownSeconds;
    RaceServices.raceStartOffset = RaceStartOffset;
    RaceServices.isRaceDistanceDone = RaceDistanceDone;
    RaceServices.anyResultRecorded = AnyResultRecorded;
    RaceServices.isQualifying = IsQualifying;
    RaceServices.isQualifyingOver = QualifyingOver;
    RaceServices.startNextHotLap = StartNextHotLap;
    RaceServices.hotLapValidity = HotLapValidity;
    RaceServices.setNextHotLapValidity = SetNextHotLapValidity;
    RaceServices.getBestLap = GetBestLap;
    RaceServices.setBestLap = SetBestLap;
    RaceServices.slotRefuelPercent = SlotRefuelPercent;
    RaceServices.slotTyreWearPercent = SlotTyreWearPercent;
    RaceServices.slotRepairFlag = SlotRepairFlag;
    RaceServices.raceOrderCount = OrderCount;
    RaceServices.raceOrderSlot = OrderSlot;

    CarNetwork.slotKind = SlotKind;
    CarNetwork.slotConnection = SlotConnection;
    CarNetwork.hasSlotOfConnection = HasSlotOfConnection;

    LayoutServices layout = GetLayoutServices();
    layout.clearRaceResults = ClearRaceResults;
    SetLayoutServices(layout);

    RaceLinks.printMessage = PrintRaceMessage;
    RaceLinks.showDialog = ShowRaceDialog;
    RaceLinks.playInterfaceSound = PlayInterfaceSound;
    RaceLinks.ownerBackground = OwnerBackground;
    RaceLinks.setOwnerBackground = SetOwnerBackground;
    RaceLinks.restoreBackgroundPicture = RestoreBackgroundPicture;
    RegisterRaceNetworkLinks();
    RaceLinks.ownerHasChild = OwnerHasChild;
    RaceLinks.showReplaySpeed = ShowReplaySpeedNotice;
    RegisterSetupScreen();
}

#include "screens/setup_screen.h"

#include <cstdio>
#include <cstring>

#include "audio/interface_sound.h"
#include "core/car_table.h"
#include "core/debug_log.h"
#include "core/data_stream.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "net/game_batch.h"
#include "net/game_packets.h"
#include "net/race_setup_packets.h"
#include "platform/keys.h"
#include "race/ai_driver.h"
#include "race/ai_knowledge.h"
#include "race/driver_names.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/race_requests.h"
#include "race/session_clock.h"
#include "screens/main_menu.h"
#include "ui/menu_page.h"
#include "world/layout.h"
#include "world/path.h"
#include "world/world.h"

MenuPage *SetupScreenPtr = nullptr;

namespace {

// The game clock (ms) from which the offline lobby moves its clock back.
constexpr uint32_t RebaseClock = 61000;
constexpr int OfflineCarLimit = 20;

// The start-up race gives its ready vote once the grid is complete.
int AutoReady = 0;

struct SetupScreenPage : MenuPage {
    uint8_t onlineAtOpen = 0;
    uint8_t closeWhenOffline = 0;
    // Enter: 0 none, 1 join race, 2 ready, 3 cancel.
    uint8_t enterAction = 0;
};

const World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

int OwnReady()
{
    return ConnTable[OwnConnIndex].ready;
}

void QueueAndFlush(const uint8_t *packet, int n)
{
    QueueGamePacket(packet, n);
    FlushGameBatch(1);
}

// The Enter key does what the lobby's action button would: join while the
// local driver is not on the grid, cancel while ready, else ready.
uint8_t EnterActionNow()
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    if (!race->HasLocalSlot()) {
        return 1;
    }
    if (OwnReady()) {
        return 3;
    }
    return race->slotCount > 0 ? 2 : 0;
}

// Offline, one connection: the session frames of the lobby, as many as the
// game clock asks for, each after the flush the own ring needs.
void RunLobbyFrames()
{
    if (!OnlineFlag && ConnCount == 1 && GameClock >= RebaseClock) {
        RebaseLobbyClock();
    }
    for (;;) {
        const uint32_t due = GameClock > InitTime ? (GameClock - InitTime) / 10 : 0;
        if (static_cast<int32_t>(SessionFrameCount - due) >= 0 || GameState != 1) {
            break;
        }
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            FlushGameBatch(1);
        }
        RunSessionFrame();
    }
}

void LeaveSetupScreen(SetupScreenPage *page)
{
    AutoReady = 0;
    LogLine("Race setup : leave");
    RaceObject *race = RaceObjectPtr;
    if (race != nullptr) {
        if (const World *world = LoadedWorld()) {
            race->config = static_cast<uint32_t>(world->config);
            race->reversed = static_cast<uint32_t>(world->reversed);
            race->lightScheme = static_cast<uint32_t>(world->lightSchemeIndex);
        } else {
            race->config = 0;
            race->reversed = 0;
            race->lightScheme = 0;
        }
        if (!page->onlineAtOpen) {
            WriteRaceFile(race, "cfg");
        }
    }
    DeleteRaceObject();
    SetupScreenPtr = nullptr;
    delete page;
}

MenuPage *RunSetupScreen(MenuPage *base)
{
    SetupScreenPage *page = static_cast<SetupScreenPage *>(base);
    if (!page->Active) {
        LeaveSetupScreen(page);
        return nullptr;
    }
    // The lobby's frames while no race runs.
    if (GameState == 1 && RaceKind == 0 && GameSessionPtr == nullptr) {
        RunLobbyFrames();
        SendNextPlayerPacket();
        if (AutoReady && RaceObjectPtr != nullptr && RaceObjectPtr->slotCount > 0 && !IsGridIncomplete()) {
            AutoReady = 0;
            LogLine("Race setup : ready");
            SetupReady();
        }
    }
    if (GameSessionPtr != nullptr) {
        // A program exit ends the race through the session's end vote.
        SessionFrame(*GameSessionPtr);
        if (GameSessionPtr == nullptr && RaceObjectPtr != nullptr) {
            LogPrintf("Race setup : race ended at tick %u", RaceObjectPtr->tick);
        }
        return page;
    }
    page->enterAction = 0;
    if (page->Child != nullptr) {
        RunChildPage(page);
        return page;
    }
    page->enterAction = EnterActionNow();
    // Leaving: the program's exit, or a close asked for while online.
    if (ExitState != 0 || (page->closeWhenOffline && !OnlineFlag)) {
        ClosePage(page);
    }
    return page;
}

void SetupScreenKey(MenuPage *base, int code)
{
    SetupScreenPage *page = static_cast<SetupScreenPage *>(base);
    if (GameSessionPtr != nullptr) {
        SessionKey(*GameSessionPtr, code);
        return;
    }
    if (page->Child != nullptr) {
        return;
    }
    switch (code) {
    case VkReturn:
        switch (EnterActionNow()) {
        case 1:
            SetupJoinRace();
            break;
        case 2:
            SetupReady();
            break;
        case 3:
            SetupCancelReady();
            break;
        default:
            break;
        }
        break;
    case VkEscape:
    case 'Q':
    case 'X':
        // Offline the page closes; the network layer asks first online.
        ClosePage(page);
        break;
    default:
        PlayInterfaceSound(SoundInvalidKey);
        break;
    }
}

int SetupScreenInput(MenuPage *, MouseEvent *event)
{
    if (GameSessionPtr != nullptr && event != nullptr) {
        SessionMouse(*GameSessionPtr, *event);
        return 1;
    }
    return 0;
}

// --- The world's race-setup entries ---

int GetRaceLapSetting()
{
    return SetupRaceLength;
}

void SetRaceLapSetting(int laps)
{
    SetupRaceLength = laps < 0 ? 0 : (laps > 238 ? 238 : laps);
}

void ClearQualifying()
{
    SetupQualifyMinutes = 0;
    if (RaceObjectPtr != nullptr) {
        RaceObjectPtr->qualifyMinutes = 0;
    }
}

void ClearRaceStartFlag()
{
    RaceKind = 0;
}

int OfflineCarLimitNow()
{
    return RaceCarLimit;
}

void SetRaceLengthSetting(int code)
{
    SetupRaceLength = code;
}

void ClearEntryVotesLink()
{
    ClearEntryVotes();
}

// The start check of the ready votes.
void StartCheck()
{
    if (SetupScreenPtr != nullptr && GameSessionPtr == nullptr) {
        StartRaceFromSetup();
    }
}

}  // namespace

// --- The page ---

MenuPage *SetupScreen(MenuPage *parent)
{
    SetupScreenPage *page = new SetupScreenPage();
    InitMenuPage(page, parent, RunSetupScreen, SetupScreenKey, SetupScreenInput, "setup", 1);
    SetupScreenPtr = page;
    SetCurrentScreen(page);
    page->onlineAtOpen = OnlineFlag ? 1 : 0;
    if (OnlineFlag) {
        IsCurrentCarAllowed();
        return page;
    }
    RaceCarLimit = OfflineCarLimit;
    SetHostCarRules(0xfffff, 0);
    UpdateRuleFlagsFromOptions();
    ResetSessionAsHost();
    RaceObject *race = CreateRaceObject();
    if (World *world = CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr) {
        const int configs = world->configCount > 0 ? world->configCount : 1;
        TrackConfig = TrackConfig < 1 ? 1 : (TrackConfig > configs ? configs : TrackConfig);
        TrackFlip = TrackFlip != 0 ? 1 : 0;
        if (ReadRaceFile(race, "cfg", page, 1)) {
            ApplyRaceFileSettings();
        } else {
            if (world->currentPath != nullptr) {
                SetupRaceLength = 3;
            }
            if (IsCurrentCarAllowed()) {
                RequestLocalJoin();
            }
        }
    } else if (IsCurrentCarAllowed()) {
        RequestLocalJoin();
    }
    CopyString(race->trackName, MapName, sizeof(race->trackName));
    race->config = static_cast<uint32_t>(TrackConfig);
    race->reversed = static_cast<uint32_t>(TrackFlip);
    race->lightScheme = static_cast<uint32_t>(TrackLighting);
    race->qualifyMinutes = static_cast<uint8_t>(SetupQualifyMinutes);
    race->raceLength = static_cast<uint8_t>(SetupRaceLength);
    race->wind = static_cast<uint8_t>(SetupWind);
    return page;
}

const char *OpenSetupFromMenu()
{
    if (!IsMainMenuIdle()) {
        return Tx(Text_3g_comentry);
    }
    OpenChildPage(MainMenuPage, SetupScreen(MainMenuPage));
    return nullptr;
}

int StartRaceAtStartup()
{
    if (DedicatedMode != DedicatedNone || !FileExists("data\\grids\\cfg.rac") || OpenSetupFromMenu() != nullptr) {
        return 0;
    }
    LogLine("Race setup : cfg grid");
    AutoReady = 1;
    return 1;
}

int IsSetupScreenIdle()
{
    return SetupScreenPtr != nullptr && SetupScreenPtr->Active && SetupScreenPtr->Child == nullptr &&
                   GameSessionPtr == nullptr
               ? 1
               : 0;
}

// --- Start of the race ---

int IsGridIncomplete()
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        const PlayerSlot &slot = race->slots[i];
        if (slot.info.kind != KindLocal && slot.info.kind != KindLocalAi) {
            continue;
        }
        const uint8_t *setup = reinterpret_cast<const uint8_t *>(&slot.setup);
        bool empty = true;
        for (size_t b = 0; b < sizeof(slot.setup) && empty; ++b) {
            empty = setup[b] == 0;
        }
        // Sent and not yet back, or never sent and without its record.
        if (slot.packetSent == 1 || (slot.packetSent == 0 && empty) || slot.carName[0] == 0) {
            return 1;
        }
    }
    return 0;
}

static void AddAiDriver(int index);

const char *AiCannotDriveReason(const Path *line, int forStart)
{
    // A configuration has an AI line when its path has nodes and a finish
    // node; practice and qualifying also need its pit-lane nodes, without
    // which the drivers could not end their runs.
    if (line == nullptr || line->nodeCount <= 0 || line->finishNode < 0) {
        return Tx(Text_3h_ainodriv);
    }
    if (!forStart) {
        return nullptr;
    }
    if (SetupQualifyMinutes != 0 || SetupRaceLength == 0) {
        bool pitLane = false;
        for (int i = 0; i < line->secondNodeCount && !pitLane; ++i) {
            pitLane = (line->secondNodes[i].flags & 8) != 0;
        }
        if (!pitLane) {
            return Tx(Text_3h_ainodriv);
        }
    }
    if (SetupWind != 0) {
        return "AI drivers can't yet drive in windy conditions";
    }
    return nullptr;
}

int SetupAiDriver(MenuPage *)
{
    const World *world = LoadedWorld();
    if (world == nullptr) {
        return 0;
    }
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 1;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (slot.info.kind != KindLocalAi) {
            continue;
        }
        if (const char *reason = AiCannotDriveReason(world->currentPath, 1)) {
            RacePrint(reason, RaceMessageInfoBeep);
            return 0;
        }
        char fileName[64];
        char code[4];
        if (!MakeKnowledgeFileNameForCar(fileName, sizeof(fileName), code, slot.carName)) {
            return 0;
        }
        AiKnowledge knowledge;
        if (!knowledge.Load(fileName, world->currentPath->nodeCount)) {
            char text[128];
            // "3a_cnocolon"
            std::snprintf(text, sizeof(text), "%s %s", Tx(Text_3a_cnocolon), fileName);
            RacePrint(text, RaceMessageWarning);
            return 0;
        }
        if (AiUsePlySetup == 0 && !knowledge.MatchSettings(slot.setup)) {
            char text[128];
            std::snprintf(text, sizeof(text), "ERROR : AI driver settings do not match - %.24s", slot.info.name);
            RacePrint(text, RaceMessageWarning);
            knowledge.Clear();
            return 0;
        }
        // The fuel plan.
        int fuel = EstimateLapFuel(slot.carName, SetupQualifyMinutes != 0);
        fuel = fuel < 0 ? 0 : (fuel > 255 ? 255 : fuel);
        const uint8_t plan[4] = {static_cast<uint8_t>(fuel), static_cast<uint8_t>(fuel), 30, 1};
        if (std::memcmp(slot.info.fuel, plan, sizeof(plan)) != 0) {
            // Queued with the ready vote that follows, in the same batch.
            const uint8_t packet[8] = {MP_PLAYER_PERCENTS, slot.info.playerId, 0, 0, plan[0], plan[1], plan[2], plan[3]};
            QueueGamePacket(packet, sizeof(packet));
        }
        const float lapFuel = knowledge.tankSize > 0.0f ? knowledge.fuelPerLap * 100.0f / knowledge.tankSize : 0.0f;
        const int stints = fuel > 100 ? (fuel + 99) / 100 : 1;
        char line[192];
        if (AiUsePlySetup == 0) {
            const int hundredths = static_cast<int>(knowledge.lapTime * 100.0f + 0.5f);
            char lap[24];
            std::snprintf(lap, sizeof(lap), "%d:%02d.%02d", hundredths / 6000, hundredths / 100 % 60, hundredths % 100);
            const float finalDrive = static_cast<float>(knowledge.settingsWord) * 7.0f / 65535.0f + 0.5f;
            std::snprintf(line, sizeof(line),
                          "^L%.24s : R %d\xc2\xb0 - F %d\xc2\xb0 - fdr %.3f - max %.1f m/s - lap %s - lap fuel %.1f%% - "
                          "total %d%% (%d stint%s)",
                          slot.info.name, knowledge.settings[0], knowledge.settings[1], finalDrive, knowledge.fileValue,
                          lap, lapFuel, fuel, stints, stints > 1 ? "s" : "");
        } else {
            std::snprintf(line, sizeof(line), "%.24s : lap fuel %.1f%% - total %d%% (%d stint%s)", slot.info.name,
                          lapFuel, fuel, stints, stints > 1 ? "s" : "");
        }
        RacePrint(line, RaceMessageInfo);
        knowledge.Clear();
    }
    return 1;
}

void SetupAddAi()
{
    if (SetupScreenPtr == nullptr || RaceObjectPtr == nullptr) {
        return;
    }
    RaceObject *race = RaceObjectPtr;
    if (LayoutRouteLines.timingLineCount > 0 && race->slotCount > 0) {
        // "3a_ac_onest"
        RacePrint(Tx(Text_3a_ac_onest), RaceMessageInfoBeep);
        return;
    }
    if (GameState == 2) {
        // "3a_araceinp"
        RacePrint(Tx(Text_3a_araceinp), RaceMessageInfoBeep);
        return;
    }
    if (!IsCurrentCarAllowed()) {
        const uint8_t packet[4] = {MP_TO_PITS, 0, 0, 0};
        QueueAndFlush(packet, sizeof(packet));
        return;
    }
    if (RefuseWhileBusy(Tx(Text_3a_addaidrv)) || race->slotCount >= RaceCarLimit) {
        return;
    }
    int index = 0;
    if (!FindFreeAiName(&index)) {
        return;
    }
    AddAiDriver(index);
}

void SetupReady()
{
    if (SetupScreenPtr == nullptr) {
        return;
    }
    if (RefuseWhileBusy(Tx(Text_3a_setready)) || IsGridIncomplete() || !SetupAiDriver(SetupScreenPtr)) {
        return;
    }
    const uint8_t packet[4] = {MP_ENTRY_VOTE, 1, 0, 0};
    QueueAndFlush(packet, sizeof(packet));
}

void SetupCancelReady()
{
    if (SetupScreenPtr == nullptr || RefuseWhileBusy(Tx(Text_3a_setready))) {
        return;
    }
    const uint8_t packet[4] = {MP_ENTRY_VOTE, 0, 0, 0};
    QueueAndFlush(packet, sizeof(packet));
}

void SetupJoinRace()
{
    if (SetupScreenPtr == nullptr || RaceObjectPtr == nullptr) {
        return;
    }
    RaceObject *race = RaceObjectPtr;
    if (LayoutRouteLines.timingLineCount > 0 && race->slotCount > 0) {
        // "3a_ac_onest"
        RacePrint(Tx(Text_3a_ac_onest), RaceMessageInfoBeep);
        return;
    }
    if (GameState == 2) {
        // "3a_araceinp"
        RacePrint(Tx(Text_3a_araceinp), RaceMessageInfoBeep);
        return;
    }
    if (!IsCurrentCarAllowed()) {
        const uint8_t packet[4] = {MP_TO_PITS, 0, 0, 0};
        QueueAndFlush(packet, sizeof(packet));
        return;
    }
    if (RefuseWhileBusy(Tx(Text_3a_joinrace))) {
        return;
    }
    if (race->slotCount < RaceCarLimit) {
        RequestLocalJoin();
    } else {
        RacePrint(Tx(Text_3a_racefull), RaceMessageInfoBeep);
    }
}

void StartRaceFromSetup()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr || race->slotCount == 0) {
        return;
    }
    for (int c = 0; c < ConnCount; ++c) {
        if (ConnTable[c].ready) {
            continue;
        }
        for (int i = 0; i < race->slotCount; ++i) {
            if (race->slots[i].info.connection == c) {
                return;
            }
        }
    }
    RaceKind = IsRaceConfigured() ? 2 : 1;
    ClearEntryVotes();
    if (LoadedWorld() == nullptr) {
        RaceKind = 1;
        return;
    }
    race->aiLevel = static_cast<uint8_t>(SkillLevel < 0 ? 0 : (SkillLevel > SkillLevelCount - 1 ? SkillLevelCount - 1
                                                                                               : SkillLevel));
    race->qualifyMinutes = static_cast<uint8_t>(SetupQualifyMinutes);
    race->raceLength = static_cast<uint8_t>(SetupRaceLength);
    race->wind = static_cast<uint8_t>(SetupWind);
    race->hotLapMode = 0;
    CopyString(race->trackName, MapName, sizeof(race->trackName));
    GameState = 2;
    EnterSession(SetupScreenPtr, SessionNormal, 0);
    int cars = 0;
    for (int i = 0; i < race->slotCount; ++i) {
        cars += race->slots[i].car != nullptr ? 1 : 0;
    }
    LogPrintf("Race setup : race started - %d drivers, %d cars, countdown %d s", race->slotCount, cars,
              race->countdownSeconds);
}

void RemoveGridDriver(const PlayerSlot *slot)
{
    if (slot == nullptr) {
        return;
    }
    if (GameState == 2) {
        RacePrint(Tx(Text_3a_araceinp), RaceMessageInfoBeep);
        return;
    }
    if (RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining()) {
        // "3a_no_x_plc" with "3a_remvplyr"
        char text[96];
        std::snprintf(text, sizeof(text), Tx(Text_3a_no_x_plc), Tx(Text_3a_remvplyr));
        RacePrint(text, RaceMessageInfoBeep);
        return;
    }
    const uint8_t packet[4] = {MP_REMOVE_PLAYER, 0, slot->info.playerId, 0};
    QueueAndFlush(packet, sizeof(packet));
}

void SpectateLocalDrivers()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        if (race->slots[i].info.kind == KindLocal) {
            RemoveGridDriver(&race->slots[i]);
        }
    }
}

void UpdateRuleFlagsFromOptions()
{
    HostRuleFlags = 0x23 | (MpFlags & 0xc0);
}

void ApplyRaceFileSettings()
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    for (int i = 0; i < race->slotCount; ++i) {
        const PlayerSlot &slot = race->slots[i];
        if (slot.info.kind != KindLocal) {
            continue;
        }
        char name[sizeof(SelectedCarName)];
        std::memcpy(name, slot.carName, sizeof(name));
        name[sizeof(name) - 1] = 0;
        CopyString(SelectedCarName, name, sizeof(SelectedCarName));
        DefaultPitStrategy.fuelStart = slot.info.fuel[0];
        DefaultPitStrategy.fuelPit = slot.info.fuel[1];
        DefaultPitStrategy.tyreLimit = slot.info.fuel[2];
        DefaultPitStrategy.strategy = slot.info.fuel[3];
    }
    SetupQualifyMinutes = race->qualifyMinutes;
    SetupRaceLength = race->raceLength;
    SetupWind = race->wind;
}

void RebaseLobbyClock()
{
    uint32_t s = ClockFrame - static_cast<uint32_t>(RunLag);
    const uint32_t marks[] = {SessionFrameCount, OwnFrameMark, ConnTable[OwnConnIndex].framesStored, LastFlushedFrame};
    for (uint32_t mark : marks) {
        if (mark < s) {
            s = mark;
        }
    }
    s -= s % 100;
    if (s == 0) {
        return;
    }
    const uint32_t d = InitTime - InitTime % 100 + s * 10;
    InitTime %= 100;
    GameClock -= d;
    SessionFrameCount -= s;
    OwnFrameMark -= s;
    ConnTable[OwnConnIndex].framesStored -= s;
    LastFlushedFrame -= s;
    // The clock frame moves with the others, so that the own ring is still
    // read frame for frame.
    ClockFrame -= s;
    RaceFrameBase = 0;
}

// A computer driver of this connection joins: refused when a local driver
// here already has its name.
static void AddAiDriver(int index)
{
    const RaceObject *race = RaceObjectPtr;
    const char *name = AiDriverNames[index].name;
    for (int i = 0; race != nullptr && i < race->slotCount; ++i) {
        const PlayerSlot &slot = race->slots[i];
        if (slot.info.kind == KindLocal && slot.info.connection == OwnConnIndex && EqualsNoCase(slot.info.name, name)) {
            // "3a_nosamenm"
            RaceShowDialog(SetupScreenPtr, "", Tx(Text_3a_nosamenm));
            return;
        }
    }
    RequestAiJoin(index);
}

// --- Commands ---

const char *RaceSetupCommand(SessionCommand command, const char *argument, int value)
{
    static char text[96];
    RaceObject *race = RaceObjectPtr;
    switch (command) {
    case SessionSinglePlayer:
        return OpenSetupFromMenu();
    case SessionJoin:
        if (race == nullptr || race->slotCount >= RaceCarLimit) {
            return Tx(Text_3a_racefull);
        }
        if (SelectedCarName[0] == 0) {
            return Tx(Text_3a_nocarsel);
        }
        if (LocalDriverInRace()) {
            return Tx(Text_3g_drv_alrd);
        }
        if (IsSetupScreenIdle()) {
            SetupJoinRace();
        } else {
            TryJoinRace();
        }
        return nullptr;
    case SessionAi: {
        if (!IsSetupScreenIdle()) {
            return Tx(Text_3g_comsetup);
        }
        if (argument == nullptr || argument[0] == 0) {
            SetupAddAi();
            return nullptr;
        }
        // A named driver: one of the 20 names, not in the race.
        for (int i = 0; i < AiDriverCount; ++i) {
            if (AiDriverNames[i].name[0] != 0 && EqualsNoCase(AiDriverNames[i].name, argument) &&
                (race == nullptr || race->FindSlotByName(AiDriverNames[i].name, 1) == nullptr)) {
                if (race == nullptr || GameState == 2 || RefuseWhileBusy(Tx(Text_3a_addaidrv))) {
                    return nullptr;
                }
                AddAiDriver(i);
                return nullptr;
            }
        }
        return Tx(Text_3g_unknwnai);
    }
    case SessionReady:
    case SessionCancel:
        if (!IsSetupScreenIdle()) {
            return Tx(Text_3g_comsetup);
        }
        if (command == SessionReady) {
            SetupReady();
        } else {
            SetupCancelReady();
        }
        return nullptr;
    case SessionClear: {
        if (!IsSetupScreenIdle()) {
            return Tx(Text_3g_comsetup);
        }
        const uint8_t packet[4] = {MP_REMOVE_PLAYER, 2, 0, 0};
        QueueGamePacket(packet, sizeof(packet));
        return nullptr;
    }
    case SessionSelectCar: {
        if (LocalDriverInRace()) {
            return Tx(Text_3g_drv_alrd);
        }
        if (value < 0 || value >= CarModelCount || EqualsNoCase(CarTable[value].name, SelectedCarName)) {
            return nullptr;
        }
        if (((AllowedCarsMask >> value) & 1u) == 0) {
            std::snprintf(text, sizeof(text), Tx(Text_3g_host_dis), CarTable[value].name);
            return text;
        }
        CopyString(SelectedCarName, CarTable[value].name, sizeof(SelectedCarName));
        SetupIndex = 0;
        ColoursIndex = 0;
        SetupName[0] = 0;
        ColoursName[0] = 0;
        return nullptr;
    }
    case SessionSpectate: {
        if (race == nullptr) {
            return nullptr;
        }
        if (argument == nullptr || argument[0] == 0) {
            if (!LocalDriverInRace()) {
                return Tx(Text_3g_drv_noin);
            }
            if (GameSessionPtr != nullptr) {
                RequestLocalSpectate();
            } else {
                SpectateLocalDrivers();
            }
            return nullptr;
        }
        PlayerSlot *slot = race->FindSlotByName(argument, 1);
        if (slot == nullptr) {
            return "";  // not a driver: the line goes on as chat
        }
        if (GameSessionPtr != nullptr) {
            const uint8_t packet[4] = {MP_REQUEST, RequestSpectate, slot->info.playerId, 0};
            QueueAndFlush(packet, sizeof(packet));
        } else {
            RemoveGridDriver(slot);
        }
        return nullptr;
    }
    default:
        // The other commands come with their own subsystems.
        return nullptr;
    }
}

void RegisterSetupScreen()
{
    SetupHooks.startCheck = StartCheck;
    RaceLinks.maxPlayers = OfflineCarLimitNow;
    RaceLinks.setRaceLengthSetting = SetRaceLengthSetting;
    RaceLinks.clearRacePlayers = ClearRacePlayers;
    RaceLinks.clearEntryVotes = ClearEntryVotesLink;
    LayoutServices layout = GetLayoutServices();
    layout.getRaceLapSetting = GetRaceLapSetting;
    layout.setRaceLapSetting = SetRaceLapSetting;
    layout.clearQualifying = ClearQualifying;
    layout.clearRaceStartFlag = ClearRaceStartFlag;
    SetLayoutServices(layout);
}

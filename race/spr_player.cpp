// Playing a single-player replay back, and the summary of a replay file.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "race/spr_file.h"
#include "race/spr_internal.h"
#include "vehicle/car_object.h"
#include "world/layout.h"
#include "world/light_scheme.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"

char SprPlaybackName[64] = {};

namespace {

struct Player {
    DataStream stream;
    int open = 0;
    int version = 0;
    int format = 0;
    long fileLength = 0;
    uint8_t hotLap = 0;
    uint8_t config[3] = {};
    int players = 0;
    char trackName[32] = {};
    char path[96] = {};
    uint32_t key[4] = {};
    long firstRecord = 0;
    uint16_t pendingTick = 0;
    uint8_t pendingType = 0;
    uint8_t pendingParam = 0;
    uint8_t savedQualifyMinutes = 0;
};
Player Play;

// The session skins of the replay, for the skin look-up.
char SessionSkins[SprSkinNames][SprSkinNameSize];

constexpr int HlvcCannotOpen = 2;
constexpr int HlvcLaterVersion = 3;
constexpr int HlvcObsolete = 4;
constexpr int HlvcNotHotLap = 5;
constexpr int HlvcNoTrack = 7;
constexpr int HlvcNoBestLap = 8;
constexpr int HlvcStartPositions = 9;
constexpr int HlvcOutOfSync = 10;

bool HotLapCheckMode()
{
    return StartMode == StartModeHotLapCheck;
}

// A refusal: the message over the page, and in the hot-lap check mode the
// program's end with the refusal's code.
void Refuse(MenuPage *page, const char *text, const char *detail, int code)
{
    RaceShowDialog(page, text, detail != nullptr ? detail : "");
    if (HotLapCheckMode() && SessionLinks.endProgram != nullptr) {
        SessionLinks.endProgram(code);
    }
}

void CloseFile()
{
    if (Play.open) {
        Play.stream.Close();
        Play.open = 0;
    }
}

void ReadHeader()
{
    Play.pendingTick = static_cast<uint16_t>(Play.stream.ReadU16());
    Play.pendingType = static_cast<uint8_t>(Play.stream.ReadU8());
    Play.pendingParam = static_cast<uint8_t>(Play.stream.ReadU8());
}

// Format 12 knew only hot laps, and not in the eight early car models.
bool Format12Obsolete(int format, int hotLap, const uint8_t carBytes[4])
{
    if (format != 12) {
        return false;
    }
    if (!hotLap) {
        return true;
    }
    for (int i = 0; i < 8 && i < CarModelCount; ++i) {
        if (std::strncmp(CarTable[i].code, reinterpret_cast<const char *>(carBytes), 3) == 0) {
            return true;
        }
    }
    return false;
}

World *TrackWorld()
{
    return CurrentWorld;
}

// One 254 record: entries {u8 count (first only), u8 index, u16 value}.
void PlayControls(int slotIndex, int apply)
{
    RaceObject *race = RaceObjectPtr;
    int count = 1;
    for (int i = 0; i < count; ++i) {
        const int first = Play.stream.ReadU8();
        const int index = Play.stream.ReadU8();
        const int value = Play.stream.ReadU16();
        if (i == 0) {
            count = std::max(first & 0xff, 1);
        }
        if (!apply || race == nullptr || slotIndex >= race->slotCount || index < 0 || index >= 18) {
            continue;
        }
        if (CarObject *car = race->slots[slotIndex].car) {
            car->inputs[index] = static_cast<uint16_t>(value);
        }
    }
}

void PlayPacket(int type, int length, int apply)
{
    uint8_t buffer[256] = {};
    Play.stream.ReadBytes(buffer, length);
    if (!apply) {
        return;
    }
    if (type == SprReliablePacket) {
        if (ReplayLinks.handleReliablePacket != nullptr) {
            ReplayLinks.handleReliablePacket(buffer, length);
        }
    } else {
        RaceQueuePacket(buffer, length);
    }
}

void PlayStateCheck(int apply)
{
    const uint32_t recorded = Play.stream.ReadU32();
    const RaceObject *race = RaceObjectPtr;
    if (!apply || race == nullptr || ReplayOutOfSync) {
        return;
    }
    if (recorded != race->StateHash()) {
        if (RaceLinks.resetSoundListener != nullptr) {
            RaceLinks.resetSoundListener();
        }
        ReplayOutOfSync = 1;
        if (HotLapCheckMode() && SessionLinks.endProgram != nullptr) {
            SessionLinks.endProgram(HlvcOutOfSync);
        }
    }
}

}  // namespace

int SprPlaybackOpen()
{
    return Play.open;
}

long SprFirstRecordOffset()
{
    return Play.firstRecord;
}

int OpenSprForPlayback(MenuPage *page, const char *name, int create, int *trackLoading)
{
    if (trackLoading != nullptr) {
        *trackLoading = 0;
    }
    // 1.
    if (CurrentWorld != nullptr && WorldIsLoading(CurrentWorld)) {
        RaceShowDialog(page, "Still loading track", "");
        return 0;
    }
    CloseFile();
    if (name == nullptr || name[0] == 0) {
        return 0;
    }
    if (name != SprPlaybackName) {
        CopyString(SprPlaybackName, name, sizeof(SprPlaybackName));
    }
    // 2.
    std::snprintf(Play.path, sizeof(Play.path), "data\\spr\\%s.spr", SprPlaybackName);
    int version = 0;
    if (Play.stream.OpenRead(page, Play.path, SprFileId, &version, SprFileVersion, 1) != nullptr) {
        if (HotLapCheckMode() && SessionLinks.endProgram != nullptr) {
            SessionLinks.endProgram(version > SprFileVersion ? HlvcLaterVersion : HlvcCannotOpen);
        }
        return 0;
    }
    Play.open = 1;
    Play.version = version;
    Play.fileLength = Play.stream.Tell() + static_cast<long>(Play.stream.Remaining());
    Play.stream.SeekTo(8);
    // 3.
    const int format = Play.stream.ReadU8();
    if (format >= 15) {
        CloseFile();
        Refuse(page, "Replay was made with a later version", Play.path, HlvcLaterVersion);
        return 0;
    }
    if (format < SprOldestFormat || version < SprOldestVersion) {
        CloseFile();
        Refuse(page, "Obsolete replay", Play.path, HlvcObsolete);
        return 0;
    }
    Play.format = format;
    // 4. Offsets 9..15.
    uint8_t settings[7];
    Play.stream.ReadBytes(settings, sizeof(settings));
    uint8_t text[16];
    Play.stream.ReadBytes(text, sizeof(text));
    Play.hotLap = settings[6] != 0 ? 1 : 0;
    // 5.
    if (!Play.hotLap && HotLapCheckMode()) {
        CloseFile();
        Refuse(page, "Not a hotlap replay", Play.path, HlvcNotHotLap);
        return 0;
    }
    if (Format12Obsolete(format, Play.hotLap, text + 12)) {
        CloseFile();
        Refuse(page, "Obsolete replay", Play.path, HlvcObsolete);
        return 0;
    }
    // 6.
    Play.stream.ReadBytes(Play.trackName, 32);
    Play.trackName[31] = 0;
    char skipped[64];
    Play.stream.ReadBytes(skipped, 64);  // player and car name
    Play.stream.ReadBytes(Play.config, 3);
    Play.players = Play.stream.ReadU8();
    if (Play.players < 0 || Play.players > MaxRaceSlots) {
        CloseFile();
        Refuse(page, "Not enough start positions", Play.path, HlvcStartPositions);
        return 0;
    }
    if (GameSessionPtr == nullptr) {
        World *world = TrackWorld();
        if (world == nullptr || std::strncmp(world->trackName, Play.trackName, sizeof(Play.trackName)) != 0) {
            CopyString(MapName, Play.trackName, sizeof(MapName));
            TrackConfig = Play.config[0];
            TrackFlip = Play.config[1];
            TrackLighting = Play.config[2];
            if (LoadRaceTrack() && trackLoading != nullptr) {
                *trackLoading = 1;
            }
        } else {
            SelectConfig(world, Play.config[0], Play.config[1]);
            SelectLightScheme(world, Play.config[2]);
        }
    }
    // 7.
    if (TrackWorld() == nullptr) {
        CloseFile();
        Refuse(page, "Could not open file :", Play.trackName, HlvcNoTrack);
        return 0;
    }
    RaceObject *race = create || RaceObjectPtr == nullptr ? CreateRaceObject() : RaceObjectPtr;
    CopyString(race->trackName, Play.trackName, sizeof(race->trackName));
    race->config = Play.config[0];
    race->reversed = Play.config[1];
    race->lightScheme = Play.config[2];
    StartCountdown = settings[1];
    Play.savedQualifyMinutes = race->qualifyMinutes;
    race->qualifyMinutes = settings[2];
    race->SetRaceLength(settings[3]);
    race->aiLevel = static_cast<uint8_t>(std::min<int>(settings[4], SkillLevelCount - 1));
    race->wind = static_cast<uint8_t>(std::min<int>(settings[5], 2));
    race->hotLapMode = Play.hotLap;
    if (format < SprFormat) {
        ReplayFormat = format;
    }
    return 1;
}

int ReadSprPlayers(MenuPage *page, int create)
{
    RaceObject *race = RaceObjectPtr;
    World *world = TrackWorld();
    if (Play.open && world == nullptr) {
        CloseFile();
        Refuse(page, "Could not open file :", Play.trackName, HlvcNoTrack);
        return 0;
    }
    if (!Play.open || race == nullptr || world == nullptr || WorldIsLoading(world)) {
        return 0;
    }
    Play.stream.SeekTo(132);
    // 1.
    const uint16_t slotFlags = static_cast<uint16_t>(Play.stream.ReadU16());
    uint8_t lap[18];
    Play.stream.ReadBytes(lap, sizeof(lap));
    if (Play.hotLap && lap[0] == 0 && HotLapCheckMode()) {
        CloseFile();
        Refuse(page, "No HLVC best lap", Play.path, HlvcNoBestLap);
        return 0;
    }
    if (Play.hotLap) {
        RaceBestLap &times = race->hudTimes;
        times = RaceBestLap{};
        times.lapNumber = lap[0];
        times.lineCount = std::min<int>(lap[1], 4);
        for (int i = 0; i < times.lineCount; ++i) {
            times.lineTimes[i] = static_cast<int32_t>(UnpackLapTime(lap + 2 + 4 * i));
        }
    }
    // 2.
    ResetAiDrivers();
    SelectConfig(world, Play.config[0], Play.config[1]);
    HostRuleFlags = Play.stream.ReadU32();
    const uint32_t length = Play.stream.ReadU32();
    (void)length;
    char user[32];
    Play.stream.ReadBytes(user, sizeof(user));
    const uint32_t salt = Play.stream.ReadU32();
    Play.stream.ReadU32();  // the check value
    HotLapCheckValue(Play.key, salt, slotFlags, SprKeyLapTime(lap), static_cast<uint32_t>(Play.fileLength));
    Play.stream.ReadBytes(SessionSkins, sizeof(SessionSkins));
    for (auto &skin : SessionSkins) {
        skin[SprSkinNameSize - 1] = 0;
    }
    Play.stream.ReadU32();
    race->seed = Play.stream.ReadU32();
    // 3.
    if (NumStartPositions(world) < Play.players) {
        CloseFile();
        Refuse(page, "Not enough start positions", Play.path, HlvcStartPositions);
        return 0;
    }
    // 4.
    for (int i = 0; i < Play.players; ++i) {
        for (int k = 0; k < 3; ++k) {
            race->gridPositions[i][k] = static_cast<int32_t>(Play.stream.ReadU32());
        }
    }
    for (int i = race->slotCount - 1; i >= Play.players; --i) {
        race->RemoveSlot(i);
    }
    for (int i = 0; i < Play.players; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (i >= race->slotCount) {
            slot = PlayerSlot{};
        }
        // A car of a session that runs is built again from its record, as
        // the session built it when the race was recorded.
        race->ReleaseSlot(&slot);
        ReadPlayerRecord(&slot, &Play.stream, Play.version, Play.format, 1, Play.key);
        slot.savedSetup = slot.setup;
    }
    race->slotCount = Play.players;
    if (GameSessionPtr != nullptr) {
        for (int i = 0; i < Play.players; ++i) {
            if ((race->slots[i].info.flags & PlayerFlagNoCar) == 0) {
                CreatePlayerCar(&race->slots[i]);
            }
        }
        race->RepointCars();
    }
    race->slotCount = Play.players;
    race->localSlot = -1;
    race->FindLocalSlotIndex();
    // 5.
    if (create) {
        ClearObjectGrid(world);
    }
    if (!ReadLayoutBody(&Play.stream, Play.version, 0, 1, Play.path) || Play.stream.writeError) {
        CloseFile();
        RaceShowDialog(page, "Unexpected end of file", Play.path);
        return 0;
    }
    Play.firstRecord = Play.stream.Tell();
    ReadHeader();
    return 1;
}

int32_t SprReadFirstRecord()
{
    if (!Play.open) {
        return 0;
    }
    // A replay starts at race tick 0.
    uint32_t tick = 0;
    const uint32_t start = tick;
    // Records come in tick order: jump to each pending record's tick.
    while (SprPlayUntilTick(tick, 0) == 0) {
        const uint16_t ahead = static_cast<uint16_t>(Play.pendingTick - static_cast<uint16_t>(tick));
        tick += ahead == 0 ? 1u : ahead;
    }
    Play.stream.SeekTo(Play.firstRecord);
    ReadHeader();
    return static_cast<int32_t>(tick - start);
}

int SprPlayUntilTick(uint32_t raceTick, int apply)
{
    if (!Play.open) {
        return 1;
    }
    const uint16_t now = static_cast<uint16_t>(raceTick);
    for (;;) {
        if (Play.pendingType == SprEnd) {
            if (Play.pendingParam == 255) {
                if (apply) {
                    RacePrint("Unexpected end of file", RaceMessageWarning);
                }
                return 1;
            }
            return Play.pendingTick == 0 || Play.pendingTick == now ? 1 : 0;
        }
        if (Play.pendingTick != now) {
            return 0;
        }
        switch (Play.pendingType) {
        case SprReliablePacket:
        case SprTimedPacket:
            PlayPacket(Play.pendingType, Play.pendingParam, apply);
            break;
        case SprStateCheck:
            PlayStateCheck(apply);
            break;
        case SprControls:
            PlayControls(Play.pendingParam, apply);
            break;
        default:
            if (apply) {
                RacePrint("Unknown SPR packet type", RaceMessageWarning);
            }
            break;
        }
        ReadHeader();
    }
}

void CloseSprPlayback(int freeRace)
{
    if (Play.open) {
        CloseFile();
        if (RaceObjectPtr != nullptr) {
            RaceObjectPtr->qualifyMinutes = Play.savedQualifyMinutes;
        }
    }
    if (freeRace) {
        DeleteRaceObject();
    }
}

int ReopenSprPlayback()
{
    MenuPage *page = GameSessionPtr != nullptr ? GameSessionPtr->owner : nullptr;
    if (!OpenSprForPlayback(page, SprPlaybackName, 0, nullptr) || !ReadSprPlayers(page, 0)) {
        return 0;
    }
    const int32_t length = SprReadFirstRecord();
    ReplayStartTick = 0;
    if (length > 0) {
        ReplayLength = length;
    }
    return 1;
}

// --- Summary ---

const char *ReadSprSummary(const char *name, ReplaySummary *summary)
{
    *summary = ReplaySummary{};
    char path[96];
    std::snprintf(path, sizeof(path), "data\\spr\\%s.spr", name != nullptr ? name : "");
    DataStream stream;
    int version = 0;
    const char *error = stream.OpenCheckHeader(path, SprFileId, &version, SprFileVersion);
    if (error != nullptr) {
        summary->status = version > SprFileVersion ? 7 : 6;
        return version > SprFileVersion ? "Replay was made with a later version" : error;
    }
    const int format = stream.ReadU8();
    uint8_t settings[7];
    stream.ReadBytes(settings, sizeof(settings));
    stream.ReadBytes(summary->text, sizeof(summary->text));
    const char *refusal = nullptr;
    if (format >= 15) {
        refusal = "Replay was made with a later version";
    } else if (format < SprOldestFormat || version < SprOldestVersion ||
               Format12Obsolete(format, settings[6], summary->text + 12)) {
        refusal = "Obsolete replay";
    }
    if (refusal != nullptr) {
        stream.Close();
        summary->status = 7;
        return refusal;
    }
    stream.ReadBytes(summary->trackName, 32);
    summary->trackName[31] = 0;
    uint8_t skipped[64];
    stream.ReadBytes(skipped, 64);
    uint8_t config[3];
    stream.ReadBytes(config, 3);
    summary->config[0] = config[2];
    summary->config[1] = config[0];
    summary->config[2] = config[1];
    summary->playerCount = static_cast<uint8_t>(stream.ReadU8());
    summary->raceLength = settings[3];
    summary->raceSetting = settings[5];
    summary->hotLap = settings[6];
    stream.SeekTo(156);
    summary->length = stream.ReadU32();
    stream.Close();
    return nullptr;
}

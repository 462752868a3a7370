// Recording a single-player replay and keeping it under a name.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/checksum.h"
#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "platform/file_system.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/player_record.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/spr_file.h"
#include "race/spr_internal.h"
#include "race/version_text.h"
#include "world/layout.h"
#include "world/track_code.h"
#include "world/world.h"

int ReplayFormat = SprFormat;
char LastSavedSprName[64] = {};
ReplayLinkServices ReplayLinks = {};

namespace {

struct Recorder {
    DataStream stream;
    int active = 0;
    int players = 0;       // the players written at the start
    uint32_t startTick = 0;
};
Recorder Rec;

void WriteRecordHeader(DataStream &stream, uint32_t tick, int type, int parameter)
{
    stream.WriteU16(static_cast<int>(tick & 0xffffu));
    stream.WriteU8(type);
    stream.WriteU8(parameter);
}

// The four fixed starting values of the key's words.
constexpr uint32_t KeyStarts[4] = {0x6b7a7631u, 0x2f9e43d5u, 0x91c2a7e8u, 0x5d03b96fu};

}  // namespace

// --- Shared with the player ---

void MakeSprLapBlock(const RaceObject &race, uint8_t block[18])
{
    const RaceBestLap &times = race.hudTimes;
    const int lines = times.lineCount < 0 ? 0 : times.lineCount > 4 ? 4 : times.lineCount;
    std::memset(block, 0, 18);
    if (race.hotLapMode) {
        block[0] = static_cast<uint8_t>(times.lapNumber < 0 ? 0 : times.lapNumber > 255 ? 255 : times.lapNumber);
        block[1] = static_cast<uint8_t>(lines);
        for (int i = 0; i < lines; ++i) {
            PackLapTime(block + 2 + 4 * i, static_cast<uint32_t>(times.lineTimes[i]));
        }
    } else if (times.lapNumber > 0 && lines > 0) {
        block[1] = 1;
        PackLapTime(block + 2, static_cast<uint32_t>(times.lineTimes[lines - 1]));
    }
}

void PackLapTime(uint8_t out[4], uint32_t hundredths)
{
    const uint32_t minutes = hundredths / 6000u;
    out[0] = static_cast<uint8_t>(minutes > 255 ? 255 : minutes);
    out[1] = static_cast<uint8_t>(hundredths / 100u % 60u);
    out[2] = static_cast<uint8_t>(hundredths % 100u);
    out[3] = 0;
}

uint32_t UnpackLapTime(const uint8_t in[4])
{
    return in[0] * 6000u + in[1] * 100u + in[2];
}

uint32_t SprKeyLapTime(const uint8_t block[18])
{
    const int lines = block[1] > 4 ? 4 : block[1];
    return lines > 0 ? UnpackLapTime(block + 2 + 4 * (lines - 1)) : 0;
}

const char *SprCarCode(const char *carName)
{
    int index = FindCarByName(carName);
    if (index < 0) {
        index = FindCarByCode(carName);
    }
    return index >= 0 ? CarTable[index].code : nullptr;
}

uint16_t LocalSlotFlags(const RaceObject &race)
{
    const int local = race.FirstLocalSlotIndex();
    return local >= 0 ? race.slots[local].info.flags : PlayerFlagNoCar;
}

uint32_t HotLapCheckValue(uint32_t key[4], uint32_t salt, uint16_t slotFlags, uint32_t lapTime, uint32_t fileLength)
{
    uint8_t record[16];
    const uint32_t words[4] = {salt, slotFlags, lapTime, fileLength};
    for (int w = 0; w < 4; ++w) {
        for (int b = 0; b < 4; ++b) {
            record[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
        }
    }
    for (int i = 0; i < 4; ++i) {
        key[i] = CrcAddBytes(KeyStarts[i], record, sizeof(record));
    }
    uint32_t check = CrcAddBytes(0xffffffffu, key, 0);
    for (int i = 0; i < 4; ++i) {
        check = CrcAddU32(check, key[i]);
    }
    return CrcAddU32(check, fileLength);
}

void WriteHotLapCheckBlock(const RaceObject &race, DataStream &stream, int final, uint16_t slotFlags,
                           uint32_t lapTime, uint32_t fileLength, int players)
{
    uint32_t key[4] = {};
    if (final) {
        const uint32_t salt = StepFrameRandom() & 0xffffu;
        stream.WriteU32(salt);
        stream.WriteU32(HotLapCheckValue(key, salt, slotFlags, lapTime, fileLength));
    } else {
        stream.WriteU32(0);
        stream.WriteU32(0);
    }
    SkinListEntry skins[64];
    const int count = race.ListSkins(skins);
    for (int i = 0; i < SprSkinNames; ++i) {
        char name[SprSkinNameSize] = {};
        if (i < count) {
            std::memcpy(name, skins[i].name, sizeof(name));
        }
        stream.WriteBytes(name, sizeof(name));
    }
    stream.WriteU32(0);
    stream.WriteU32(race.seed);
    for (int i = 0; i < players; ++i) {
        for (int k = 0; k < 3; ++k) {
            stream.WriteU32(static_cast<uint32_t>(race.gridPositions[i][k]));
        }
    }
    RaceObject &writable = const_cast<RaceObject &>(race);
    for (int i = 0; i < players; ++i) {
        WritePlayerRecord(&writable.slots[i], &stream, final ? 1 : 2, final ? key : nullptr);
    }
}

// --- Recording ---

namespace {

void WriteFixedHeader(DataStream &stream, const RaceObject &race)
{
    const int maxPlayers = RaceLinks.maxPlayers != nullptr ? RaceLinks.maxPlayers() : MaxRaceSlots;
    stream.WriteU8(SprFormat);
    stream.WriteU8(maxPlayers);
    stream.WriteU8(race.countdownSeconds);
    stream.WriteU8(RaceKind == 2 ? race.qualifyMinutes : 0);
    stream.WriteU8(race.raceLength);
    stream.WriteU8(race.aiLevel);
    stream.WriteU8(race.wind);
    stream.WriteU8(race.hotLapMode ? 1 : 0);
    stream.WriteString(VersionText, 8);
    char code[8] = {};
    GetTrackCode(code, sizeof(code), race.trackName[0] != 0 || CurrentWorld == nullptr ? race.trackName
                                                                                     : CurrentWorld->trackName);
    stream.WriteBytes(code, 4);
    uint8_t car[4] = {};
    if (race.hotLapMode && race.slotCount > 0) {
        if (const char *code = SprCarCode(race.slots[0].carName)) {
            std::memcpy(car, code, std::min<size_t>(3, std::strlen(code)));
        }
    }
    stream.WriteBytes(car, 4);
    // A race set up without a track name records the loaded track's.
    const char *track = race.trackName;
    if (track[0] == 0 && CurrentWorld != nullptr) {
        track = CurrentWorld->trackName;
    }
    stream.WriteString(track, 32);
}

// Offsets 64..191.
void WritePlayerBlock(DataStream &stream, const RaceObject &race, int players, uint32_t length)
{
    const int local = race.FirstLocalSlotIndex();
    char name[32] = {};
    char car[32] = {};
    if (local >= 0) {
        StripColourCodes(name, race.slots[local].info.name, 31);
        CopyString(car, race.slots[local].carName, sizeof(car));
    }
    stream.WriteBytes(name, 32);
    stream.WriteBytes(car, 32);
    stream.WriteU8(static_cast<int>(race.config));
    stream.WriteU8(static_cast<int>(race.reversed));
    stream.WriteU8(static_cast<int>(race.lightScheme));
    stream.WriteU8(players);
    stream.WriteU16(LocalSlotFlags(race));
    uint8_t lap[18];
    MakeSprLapBlock(race, lap);
    stream.WriteBytes(lap, sizeof(lap));
    stream.WriteU32(HostRuleFlags);
    stream.WriteU32(length);
    const int own = RaceOwnConnection();
    const char *user = RaceLinks.connectionUserName != nullptr ? RaceLinks.connectionUserName(own) : nullptr;
    stream.WriteString(user != nullptr ? user : "", 32);
}

uint32_t CurrentTick()
{
    return RaceObjectPtr != nullptr ? RaceObjectPtr->tick : 0;
}

}  // namespace

int SprRecordingActive()
{
    return Rec.active;
}

void StartSprRecording()
{
    if (Rec.active) {
        Rec.stream.Close();
        Rec.active = 0;
    }
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    if (ReplayFormat != SprFormat || Rec.stream.OpenWrite(nullptr, TempSprPath, SprFileId, SprFileVersion) != nullptr) {
        RacePrint("Could not create SPR file", RaceMessageWarning);
        return;
    }
    Rec.players = race->slotCount;
    Rec.startTick = race->tick;
    WriteFixedHeader(Rec.stream, *race);
    Rec.stream.WriteZeros(128);
    WriteHotLapCheckBlock(*race, Rec.stream, 0, 0, 0, 0, Rec.players);
    WriteLayoutRecords(&Rec.stream, 0);
    Rec.active = 1;
}

int StopSprRecording()
{
    if (SprPlaybackOpen()) {
        CloseSprPlayback(0);
    }
    if (!Rec.active) {
        return 0;
    }
    Rec.active = 0;
    DataStream &stream = Rec.stream;
    const RaceObject *race = RaceObjectPtr;
    const uint32_t tick = CurrentTick();
    const uint32_t length = tick - Rec.startTick;
    WriteRecordHeader(stream, tick, SprEnd, 0);
    const long fileLength = stream.Tell();
    if (race != nullptr && fileLength > 0 && race->slotCount >= Rec.players) {
        uint8_t lap[18];
        MakeSprLapBlock(*race, lap);
        const uint32_t lapTime = SprKeyLapTime(lap);
        stream.SeekTo(SprPlayerBlockOffset);
        WritePlayerBlock(stream, *race, Rec.players, length);
        WriteHotLapCheckBlock(*race, stream, 1, LocalSlotFlags(*race), lapTime, static_cast<uint32_t>(fileLength),
                              Rec.players);
    }
    if (stream.Close() != 0) {
        RacePrint("Could not create SPR file", RaceMessageWarning);
        return 0;
    }
    return 1;
}

void SprRecordControls(int slot, const uint8_t *record, int length)
{
    if (!Rec.active || record == nullptr || length < 2 || slot < 0 || slot > 255) {
        return;
    }
    const int count = std::min<int>(record[1], (length - 2) / 4);
    if (count <= 0) {
        return;
    }
    WriteRecordHeader(Rec.stream, CurrentTick(), SprControls, slot);
    for (int i = 0; i < count; ++i) {
        const uint8_t *entry = record + 2 + 4 * i;
        Rec.stream.WriteU8(i == 0 ? count : 0);
        Rec.stream.WriteU8(entry[0]);
        Rec.stream.WriteU8(entry[2]);
        Rec.stream.WriteU8(entry[3]);
    }
}

void SprRecordStateCheck(uint32_t hash)
{
    if (!Rec.active) {
        return;
    }
    WriteRecordHeader(Rec.stream, CurrentTick(), SprStateCheck, 0);
    Rec.stream.WriteU32(hash);
}

void SprRecordTimedText(const uint8_t *packet, int length, int tickOffset)
{
    if (!Rec.active || packet == nullptr || length <= 0) {
        return;
    }
    length = std::min(length, 255);
    WriteRecordHeader(Rec.stream, CurrentTick() - static_cast<uint32_t>(tickOffset), SprTimedPacket, length);
    Rec.stream.WriteBytes(packet, length);
}

void SprRecordText(const uint8_t *packet, int length)
{
    if (!Rec.active || packet == nullptr || length <= 0) {
        return;
    }
    length = std::min(length, 255);
    WriteRecordHeader(Rec.stream, CurrentTick(), SprReliablePacket, length);
    Rec.stream.WriteBytes(packet, length);
}

// --- Saving ---

const char *RenameErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return "Not found";
    case EACCES:
        return "Access denied";
    case EINVAL:
        return "Invalid characters";
    default:
        return "Unknown error";
    }
}

namespace {

// data\spr\<name>.spr; characters a file name may not hold are left out.
void SprPath(char *out, int size, const char *name)
{
    char plain[160];
    CopyString(plain, name, sizeof(plain));
    StripFileNameChars(plain);
    std::snprintf(out, static_cast<size_t>(size), "data\\spr\\%s.spr", plain);
}

void RenameFailed(const char *why)
{
    char text[128];
    std::snprintf(text, sizeof(text), "Could not rename SPR - %s", why);
    RacePrint(text, RaceMessageWarning);
}

}  // namespace

int SaveSprAs(const char *name, int overwrite)
{
    if (name == nullptr || name[0] == 0) {
        return 0;
    }
    char chosen[96];
    char path[192];
    CopyString(chosen, name, sizeof(chosen));
    SprPath(path, sizeof(path), chosen);
    if (!overwrite) {
        for (int n = 2; FileExists(path) && n < 100000; ++n) {
            std::snprintf(chosen, sizeof(chosen), "%.80s_%d", name, n);
            SprPath(path, sizeof(path), chosen);
        }
    }
    if (std::strlen(chosen) > static_cast<size_t>(SprMaxNameLength)) {
        RenameFailed("Name is too long");
        return 0;
    }
    if (overwrite && FileExists(path)) {
        PlatformRemoveFile(path);
    }
    const int error = PlatformRenameFileError(TempSprPath, path);
    if (error != 0) {
        RenameFailed(RenameErrorText(error));
        return 0;
    }
    CopyString(LastSavedSprName, chosen, sizeof(LastSavedSprName));
    if (!RaceLessonRunning()) {
        char text[128];
        std::snprintf(text, sizeof(text), "Saved SP replay - %s", chosen);
        RacePrint(text, RaceMessageInfo);
    }
    return 1;
}

void FormatReplayTime(char *out, int size, const char *prefix, uint32_t hundredths)
{
    const uint32_t minutes = hundredths / 6000u;
    const uint32_t seconds = hundredths / 100u % 60u;
    const uint32_t hundreds = hundredths % 100u;
    std::snprintf(out, static_cast<size_t>(size), "%s%d%s%d%s%d", prefix, static_cast<int>(minutes),
                  seconds < 10 ? "0" : "", static_cast<int>(seconds), hundreds < 10 ? "0" : "",
                  static_cast<int>(hundreds));
}

int MakeDefaultSprName()
{
    const RaceObject *race = RaceObjectPtr;
    char code[8] = {};
    GetTrackCode(code, sizeof(code), race != nullptr ? race->trackName : "");
    char name[96] = {};
    const int local = race != nullptr ? race->FirstLocalSlotIndex() : -1;
    if (local < 0) {
        CopyString(name, code, sizeof(name));
        return SaveSprAs(name, 0);
    }
    const PlayerSlot &slot = race->slots[local];
    const char *driver = slot.info.name;
    if (race->hotLapMode && PlayerName.name[0] != 0) {
        driver = PlayerName.name;
    }
    char plain[32] = {};
    StripColourCodes(plain, driver, 24);
    plain[24] = 0;
    StripFileNameChars(plain);
    std::snprintf(name, sizeof(name), "%s_%s", plain, code);
    if (const char *car = SprCarCode(slot.carName)) {
        const size_t used = std::strlen(name);
        std::snprintf(name + used, sizeof(name) - used, "_%s", car);
    }
    const RaceBestLap &times = race->hudTimes;
    if (times.lapNumber > 0 && times.lineCount > 0 && times.lineCount <= 4) {
        const size_t used = std::strlen(name);
        FormatReplayTime(name + used, static_cast<int>(sizeof(name) - used), "_",
                         static_cast<uint32_t>(times.lineTimes[times.lineCount - 1]));
    }
    return SaveSprAs(name, 0);
}

#include "race/player_record.h"

#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/checksum.h"
#include "core/data_stream.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "core/tea_cipher.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "race/ai_driver.h"
#include "race/driver_names.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "render/car_skins.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_file_choice.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "world/world.h"
#include "world/world_config.h"

namespace {

constexpr int SetupBlocks = SetupBlockSize / 8;

void PutU16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint32_t GetU32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

const char *CarCodeOf(const char *carName)
{
    int index = FindCarByName(carName);
    if (index < 0) {
        index = FindCarByCode(carName);
    }
    return index >= 0 ? CarTable[index].code : nullptr;
}

const World *LoadedWorld()
{
    return CurrentWorld != nullptr && !WorldIsLoading(CurrentWorld) ? CurrentWorld : nullptr;
}

// A text field of n bytes written as it is held, ended or not.
void WriteField(DataStream *stream, const char *text, int n)
{
    stream->WriteBytes(text, n);
}

// 15 blocks of 8 bytes.
void CipherBlock(uint8_t *block, const uint32_t key[4], bool encipher)
{
    uint8_t keyBytes[16];
    for (int i = 0; i < 4; ++i) {
        PutU32(keyBytes + 4 * i, key[i]);
    }
    for (int b = 0; b < SetupBlocks; ++b) {
        if (encipher) {
            TeaEncipher(block + 8 * b, block + 8 * b, keyBytes);
        } else {
            TeaDecipher(block + 8 * b, block + 8 * b, keyBytes);
        }
    }
}

int OwnConnectionByte()
{
    return RaceOwnConnection();
}

// The name this program's connection goes by.
const char *OwnConnectionName()
{
    const char *name = RaceConnectionName(RaceOwnConnection());
    return name != nullptr ? name : PlayerName.name;
}

void FillHelmet(PlayerInfo *info)
{
    // The helmet skin is the player's default skin; it is a custom one when
    // it is not the default.
    CopyString(info->helmet, PlayerDefaultSkin, sizeof(info->helmet));
    info->customHelmet = HelmetSkins != 0 && std::strcmp(info->helmet, DefaultPlayerSkin) != 0 ? 1 : 0;
}

}  // namespace

// --- Player info ---

void PackPlayerInfo(const PlayerInfo &info, uint8_t out[64])
{
    std::memcpy(out, info.name, 24);
    std::memcpy(out + 24, info.plate, 8);
    out[32] = info.connection;
    out[33] = info.kind;
    PutU16(out + 34, info.flags);
    out[36] = info.figure;
    out[37] = info.playerId;
    out[38] = info.gridIndex;
    out[39] = info.pitStart;
    std::memcpy(out + 40, info.fuel, 4);
    PutU32(out + 44, info.customHelmet);
    std::memcpy(out + 48, info.helmet, 16);
}

void UnpackPlayerInfo(PlayerInfo *info, const uint8_t in[64])
{
    std::memcpy(info->name, in, 24);
    info->name[23] = 0;
    std::memcpy(info->plate, in + 24, 8);
    info->connection = in[32];
    info->kind = in[33];
    info->flags = static_cast<uint16_t>(in[34] | in[35] << 8);
    info->figure = in[36];
    info->playerId = in[37];
    info->gridIndex = in[38];
    info->pitStart = in[39];
    std::memcpy(info->fuel, in + 40, 4);
    info->customHelmet = GetU32(in + 44);
    std::memcpy(info->helmet, in + 48, 16);
    info->helmet[15] = 0;
}

// --- Car record ---

void PackCarRecord(const PlayerSlot &slot, uint8_t out[204])
{
    PutU32(out, slot.skinTime);
    std::memcpy(out + 4, slot.carName, 32);
    std::memcpy(out + 36, slot.colours.skin, 16);
    for (int i = 0; i < 4; ++i) {
        std::memcpy(out + 52 + 4 * i, &slot.colours.body[i], 4);
        std::memcpy(out + 68 + 4 * i, &slot.colours.rim[i], 4);
    }
    std::memcpy(out + 84, &slot.setup, SetupBlockSize);
}

void UnpackCarRecord(PlayerSlot *slot, const uint8_t in[204])
{
    slot->skinTime = GetU32(in);
    std::memcpy(slot->carName, in + 4, 32);
    slot->carName[31] = 0;
    std::memcpy(slot->colours.skin, in + 36, 16);
    slot->colours.skin[15] = 0;
    for (int i = 0; i < 4; ++i) {
        std::memcpy(&slot->colours.body[i], in + 52 + 4 * i, 4);
        std::memcpy(&slot->colours.rim[i], in + 68 + 4 * i, 4);
    }
    std::memcpy(&slot->setup, in + 84, SetupBlockSize);
}

// --- Cipher ---

void MakePlayerRecordKey(const PlayerSlot *slot, uint32_t key[4], uint32_t word)
{
    const uint8_t *name = reinterpret_cast<const uint8_t *>(slot->info.name);
    const uint32_t mix[4] = {word, slot->info.flags, slot->info.playerId, slot->info.figure};
    for (int i = 0; i < 4; ++i) {
        key[i] = GetU32(name + 4 * i) ^ mix[i];
    }
}

void EncipherPlayerRecord(const PlayerSlot *slot, uint8_t *record)
{
    uint32_t key[4];
    MakePlayerRecordKey(slot, key, GetU32(record + 4));
    CipherBlock(record + PlayerRecordSetupOffset, key, true);
}

void DecipherPlayerRecord(const PlayerSlot *slot, uint8_t *record)
{
    uint32_t key[4];
    MakePlayerRecordKey(slot, key, GetU32(record + 4));
    CipherBlock(record + PlayerRecordSetupOffset, key, false);
}

// --- The 260-byte record ---

void WritePlayerRecord(PlayerSlot *slot, DataStream *stream, int mode, const uint32_t key[4])
{
    if (mode == 1) {
        stream->Seek(PlayerRecordSetupOffset);
        uint8_t block[SetupBlockSize];
        std::memcpy(block, &slot->savedSetup, SetupBlockSize);
        if (key != nullptr) {
            CipherBlock(block, key, true);
        }
        stream->WriteBytes(block, SetupBlockSize);
        WriteColourRecord(slot->colours, stream);
        return;
    }
    const PlayerInfo &info = slot->info;
    WriteField(stream, info.name, 24);
    WriteField(stream, info.plate, 8);
    stream->WriteU8(info.connection);
    stream->WriteU8(info.kind);
    stream->WriteU16(info.flags);
    stream->WriteU8(info.figure);
    stream->WriteU8(info.playerId);
    stream->WriteU8(info.gridIndex);
    stream->WriteU8(info.pitStart);
    stream->WriteString(info.helmet, 16);
    stream->WriteBytes(info.fuel, 4);
    stream->WriteString(slot->carName, 32);
    if (mode == 2) {
        slot->savedSetup = slot->setup;
        stream->WriteZeros(SetupBlockSize);
    } else {
        stream->WriteBytes(&slot->setup, SetupBlockSize);
    }
    WriteColourRecord(slot->colours, stream);
}

void ReadPlayerRecord(PlayerSlot *slot, DataStream *stream, int version, int format, int enciphered,
                      const uint32_t key[4])
{
    (void)format;  // formats 12..14 share this layout
    PlayerInfo &info = slot->info;
    stream->ReadBytes(info.name, 24);
    info.name[23] = 0;
    stream->ReadBytes(info.plate, 8);
    info.connection = static_cast<uint8_t>(stream->ReadU8());
    info.kind = static_cast<uint8_t>(stream->ReadU8());
    info.flags = static_cast<uint16_t>(stream->ReadU16());
    info.figure = static_cast<uint8_t>(stream->ReadU8());
    info.playerId = static_cast<uint8_t>(stream->ReadU8());
    info.gridIndex = static_cast<uint8_t>(stream->ReadU8());
    info.pitStart = static_cast<uint8_t>(stream->ReadU8());
    stream->ReadBytes(info.helmet, 16);
    info.helmet[15] = 0;
    stream->ReadBytes(info.fuel, 4);
    stream->ReadBytes(slot->carName, 32);
    slot->carName[31] = 0;
    uint8_t block[SetupBlockSize];
    stream->ReadBytes(block, SetupBlockSize);
    if (enciphered && key != nullptr) {
        CipherBlock(block, key, false);
    }
    std::memcpy(&slot->setup, block, SetupBlockSize);
    ReadColourRecord(&slot->colours, stream, version);
}

// --- The grid file ---

int WriteRaceFile(const RaceObject *race, const char *name)
{
    char path[96];
    std::snprintf(path, sizeof(path), "data\\grids\\%s.rac", name);
    DataStream stream;
    if (stream.OpenWrite(nullptr, path, RaceFileId, RaceFileVersion) != nullptr) {
        return 0;
    }
    stream.WriteU8(race->qualifyMinutes);
    stream.WriteU8(race->countdownSeconds);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(race->raceLength);
    stream.WriteU8(race->aiLevel);
    stream.WriteU8(race->wind);
    stream.WriteU8(race->hotLapMode);
    stream.WriteString(race->trackName, 32);
    stream.WriteU8(static_cast<int>(race->config));
    stream.WriteU8(static_cast<int>(race->reversed));
    stream.WriteU8(static_cast<int>(race->lightScheme));
    stream.WriteU8(race->slotCount);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(PlayerRecordFormat);
    for (int i = 0; i < race->slotCount; ++i) {
        WritePlayerRecord(const_cast<PlayerSlot *>(&race->slots[i]), &stream, 0, nullptr);
    }
    return stream.Close() == 0 ? 1 : 0;
}

int ReadRaceFile(RaceObject *race, const char *name, MenuPage *owner, int takeSettings)
{
    char path[96];
    std::snprintf(path, sizeof(path), "data\\grids\\%s.rac", name);
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(owner, path, RaceFileId, &version, RaceFileVersion, 0) != nullptr) {
        return 0;
    }
    // 1. Version and track.
    const World *world = LoadedWorld();
    if (version < RaceFileOldestVersion || world == nullptr) {
        stream.Close();
        RaceShowDialog(owner, "Race load :", world == nullptr && version >= RaceFileOldestVersion ? Tx(Text_3a_no_track)
                                                                                                   : "wrong version");
        return 0;
    }
    // 2. The race settings, clamped when taken.
    if (takeSettings) {
        race->qualifyMinutes = static_cast<uint8_t>(stream.ReadU8());
        race->countdownSeconds = static_cast<uint8_t>(stream.ReadU8());
        stream.ReadU8();
        stream.ReadU8();
        const int length = stream.ReadU8();
        const int level = stream.ReadU8();
        const int wind = stream.ReadU8();
        race->hotLapMode = stream.ReadU8() != 0 ? 1 : 0;
        race->SetRaceLength(length);
        race->aiLevel = static_cast<uint8_t>(level < 0 ? 0 : (level > SkillLevelCount - 1 ? SkillLevelCount - 1 : level));
        race->wind = static_cast<uint8_t>(wind < 0 ? 0 : (wind > 2 ? 2 : wind));
    } else {
        uint8_t skipped[8];
        stream.ReadBytes(skipped, sizeof(skipped));
    }
    // 3. The loaded track replaces the file's.
    char fileTrack[32];
    stream.ReadBytes(fileTrack, sizeof(fileTrack));
    CopyString(race->trackName, world->trackName, sizeof(race->trackName));
    race->config = static_cast<uint32_t>(world->config);
    race->reversed = static_cast<uint32_t>(world->reversed);
    race->lightScheme = static_cast<uint32_t>(world->lightSchemeIndex);
    uint8_t skipped[3];
    stream.ReadBytes(skipped, 3);
    const int count = stream.ReadU8();
    race->localSlot = -1;
    race->listTimer = 0;
    stream.ReadBytes(skipped, 3);
    const int format = stream.ReadU8();
    // 4. The format, and a player count the slots can hold.
    if (format < PlayerRecordOldestFormat || format > PlayerRecordFormat || count < 0 || count > MaxRaceSlots ||
        stream.overrun) {
        stream.Close();
        race->slotCount = 0;
        RaceShowDialog(owner, "Race load :", "wrong version");
        return 0;
    }
    // 5. The configuration in use.
    SelectConfig(CurrentWorld, world->config, world->reversed);
    // 6. The records.
    race->ClearSlotFlag();
    race->slotCount = 0;
    const char *ownName = OwnConnectionName();
    for (int r = 0; r < count; ++r) {
        if (stream.Remaining() < PlayerRecordSize) {
            break;
        }
        PlayerSlot *slot = &race->slots[race->slotCount];
        std::memset(static_cast<void *>(slot), 0, sizeof(*slot));
        ReadPlayerRecord(slot, &stream, version, format, 0, nullptr);
        const bool known = CarCodeOf(slot->carName) != nullptr;
        const bool ai = slot->info.kind == KindLocalAi || slot->info.kind == KindRemoteAi;
        if (!known || (ai && ownName != nullptr && std::strncmp(slot->info.name, ownName, 24) == 0)) {
            std::memset(static_cast<void *>(slot), 0, sizeof(*slot));
            continue;
        }
        if (slot->info.kind == KindLocal || slot->info.kind == KindLocalAi) {
            slot->info.connection = static_cast<uint8_t>(OwnConnectionByte());
        }
        if (slot->info.kind == KindLocal) {
            const uint8_t id = slot->info.playerId;
            const uint8_t grid = slot->info.gridIndex;
            const uint8_t pitStart = slot->info.pitStart;
            FillPlayerInfo(&slot->info, slot->carName);
            slot->info.playerId = id;
            slot->info.gridIndex = grid;
            slot->info.pitStart = pitStart;
        }
        ++race->slotCount;
    }
    stream.Close();
    // 7.
    race->carsOk = 1;
    return 1;
}

// --- Car-info packets ---

void SendPlayerPacket(PlayerSlot *slot, int aiNameIndex, const char *carName)
{
    uint8_t packet[CarInfoPacketSize] = {};
    packet[0] = CarInfoPacketType;
    packet[1] = slot->info.playerId;
    // The record is built on a copy: the slot takes it when the packet comes
    // back through the game packets.
    PlayerSlot scratch;
    std::memset(static_cast<void *>(&scratch), 0, sizeof(scratch));
    scratch.info = slot->info;
    if (slot->info.kind != KindLocal) {
        FillAiCarRecord(&scratch, aiNameIndex, carName);
    } else {
        LoadCarRecord(&scratch, carName);
    }
    PackCarRecord(scratch, packet + CarInfoRecordOffset);
    EncipherPlayerRecord(slot, packet);
    slot->packetSent = 1;
    RaceQueuePacket(packet, sizeof(packet));
    RaceFlushBatch();
}

void SendNextPlayerPacket()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return;
    }
    auto isLocal = [](const PlayerSlot &slot) {
        return slot.info.kind == KindLocal || slot.info.kind == KindLocalAi;
    };
    auto setupEmpty = [](const PlayerSlot &slot) {
        const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&slot.setup);
        for (int i = 0; i < SetupBlockSize; ++i) {
            if (bytes[i] != 0) {
                return false;
            }
        }
        return true;
    };
    for (int i = 0; i < race->slotCount; ++i) {
        const PlayerSlot &slot = race->slots[i];
        if (isLocal(slot) && slot.packetSent && setupEmpty(slot)) {
            return;  // a record is on its way
        }
    }
    for (int i = 0; i < race->slotCount; ++i) {
        PlayerSlot &slot = race->slots[i];
        if (!isLocal(slot) || slot.packetSent || !setupEmpty(slot)) {
            continue;
        }
        if (RaceLinks.hasRingRoom != nullptr && !RaceLinks.hasRingRoom(CarInfoPacketSize)) {
            return;
        }
        if (slot.info.kind == KindLocal) {
            SendPlayerPacket(&slot, -1, SelectedCarName);
        } else {
            SendPlayerPacket(&slot, FindDriverName(slot.info.name),
                             slot.carName[0] != 0 ? slot.carName : SelectedCarName);
        }
        return;
    }
}

void FillJoinPlayerRecord(PlayerSlot *slot, uint8_t record[CarInfoPacketSize])
{
    record[0] = CarInfoPacketType;
    record[1] = slot->info.playerId;
    PackCarRecord(*slot, record + CarInfoRecordOffset);
    EncipherPlayerRecord(slot, record);
}

void SetPlayerSlotRecord(PlayerSlot *slot, uint8_t record[CarInfoPacketSize])
{
    DecipherPlayerRecord(slot, record);
    UnpackCarRecord(slot, record + CarInfoRecordOffset);
    slot->slotFlags &= static_cast<uint8_t>(~1u);
    slot->carName[31] = 0;
}

// --- State check ---

void AddSlotToStateChecksum(const PlayerSlot *slot, uint32_t crc[3])
{
    char name[25];
    std::memcpy(name, slot->info.name, 24);
    name[24] = 0;
    crc[0] = CrcAddString(crc[0], name);
    crc[0] = CrcAddByte(crc[0], slot->info.connection);
    crc[0] = CrcAddU16(crc[0], slot->info.flags);
    crc[0] = CrcAddByte(crc[0], slot->info.figure);
    crc[0] = CrcAddByte(crc[0], slot->info.playerId);
    crc[0] = CrcAddByte(crc[0], slot->info.gridIndex);
    crc[0] = CrcAddBytes(crc[0], slot->carName, 32);
    uint8_t record[204];
    PackCarRecord(*slot, record);
    crc[1] = CrcAddBytes(crc[1], record + 36, 48);
    crc[2] = CrcAddBytes(crc[2], record + 84, SetupBlockSize);
}

// --- Player infos ---

void FillPlayerInfo(PlayerInfo *info, const char *carName)
{
    std::memset(info, 0, sizeof(*info));
    info->kind = KindLocal;
    int controlType = GetCarControlTypeByName(carName != nullptr && carName[0] != 0 ? carName : SelectedCarName);
    if (controlType <= 0) {
        controlType = 1;
    }
    uint16_t flags = ComputeControlFlags(controlType);
    if (ControlType == 0) {
        // Mouse, keyboard or stabilised keyboard steering.
        flags |= static_cast<uint16_t>(SteerKb == 2 ? 0x1000 : (SteerKb == 1 ? 0x800 : 0x400));
    }
    info->flags = flags;
    info->connection = static_cast<uint8_t>(OwnConnectionByte());
    CopyString(info->name, PlayerName.name, sizeof(info->name));
    std::memcpy(info->plate, PlayerName.tag, sizeof(info->plate));
    info->figure = static_cast<uint8_t>(DriverAnimationSetting);
    FillHelmet(info);
    info->fuel[0] = DefaultPitStrategy.fuelStart;
    info->fuel[1] = DefaultPitStrategy.fuelPit;
    info->fuel[2] = DefaultPitStrategy.tyreLimit;
    info->fuel[3] = DefaultPitStrategy.strategy;
}

int FillAiPlayerInfo(PlayerInfo *info, const char *name, int figureType, const char *knowledgeName)
{
    std::memset(info, 0, sizeof(*info));
    info->kind = KindLocalAi;
    info->flags = 512;
    info->connection = static_cast<uint8_t>(OwnConnectionByte());
    CopyString(info->name, name, sizeof(info->name));
    info->figure = static_cast<uint8_t>(RaceLinks.figureOfType != nullptr ? RaceLinks.figureOfType(figureType) : 0);
    FillHelmet(info);
    const World *world = LoadedWorld();
    if (knowledgeName != nullptr && GameState == 2 && world != nullptr && world->config > 0) {
        if (!LoadAiKnowledgeForCar(knowledgeName)) {
            char text[96];
            std::snprintf(text, sizeof(text), "Could not load AI path info : %s", knowledgeName);
            RacePrint(text, RaceMessageWarning);
            return 0;
        }
        const int fuel = EstimateLapFuel(knowledgeName, RaceKind == 2);
        const uint8_t start = static_cast<uint8_t>(fuel < 0 ? 0 : (fuel > 100 ? 100 : fuel));
        info->fuel[0] = start;
        info->fuel[1] = start;
        info->fuel[2] = 30;
        info->fuel[3] = 1;
    }
    return 1;
}

void LoadCarRecord(PlayerSlot *slot, const char *carName)
{
    CopyString(slot->carName, carName, sizeof(slot->carName));
    std::memset(&slot->colours, 0, sizeof(slot->colours));
    std::memset(&slot->setup, 0, sizeof(slot->setup));
    slot->skinTime = 0;
    const char *code = CarCodeOf(carName);
    if (code == nullptr) {
        return;
    }
    // The car's own set-up and colour tables, from its data.
    if (CarObject *car = CreateCarFromFile(code)) {
        if (car->setupCount > 0 && car->setupTable != nullptr) {
            const int index = SetupIndex >= 0 ? SetupIndex % car->setupCount : 0;
            slot->setup = car->setupTable[index].setup;
        }
        if (car->colourCount > 0 && car->colourTable != nullptr) {
            const int index = ColoursIndex >= 0 ? ColoursIndex % car->colourCount : 0;
            slot->colours = car->colourTable[index];
        }
        delete car;
    }
    // A file of the user's own replaces them when it reads.
    if (SetupIndex == -1) {
        CarSetup chosen;
        if (LoadCarSetupFile(&chosen, code) == 0 && SetupIndex == -1) {
            slot->setup = chosen;
        }
    }
    if (ColoursIndex == -1) {
        CarColours chosen;
        if (LoadCarColourFile(&chosen, code) == 0 && ColoursIndex == -1) {
            slot->colours = chosen;
        }
    }
    if (std::strcmp(slot->colours.skin, "DEFAULT") != 0) {
        slot->skinTime = CarSkinFileTime(code, slot->colours.skin);
    }
}

void FillAiCarRecord(PlayerSlot *slot, int aiNameIndex, const char *carName)
{
    const int savedSetupIndex = SetupIndex;
    const int savedColoursIndex = ColoursIndex;
    char savedSetupName[sizeof(SetupName)];
    char savedColoursName[sizeof(ColoursName)];
    std::memcpy(savedSetupName, SetupName, sizeof(SetupName));
    std::memcpy(savedColoursName, ColoursName, sizeof(ColoursName));

    // 1. The set-up choice.
    const bool sameCar = EqualsNoCase(carName, SelectedCarName) != 0;
    const bool keepSetup = sameCar && AiUsePlySetup != 0;
    const bool keepColours = sameCar && AiUsePlyColours != 0;
    const World *world = LoadedWorld();
    if (!keepSetup) {
        const bool rallycross = world != nullptr && world->config > 0 && world->IsConfigValueLow() != 0;
        SetupIndex = rallycross ? 1 : 0;
    }
    // 2. The colours: the AI's own file, else the variant of its index.
    const char *code = CarCodeOf(carName);
    const char *aiName = aiNameIndex >= 0 && aiNameIndex < AiDriverCount ? AiDriverNames[aiNameIndex].name : "";
    const size_t nameLength = std::strlen(aiName);
    bool ownFile = false;
    if (code != nullptr && nameLength >= 1 && nameLength <= 16) {
        char path[96];
        std::snprintf(path, sizeof(path), "data\\colours\\%s_%s.col", code, aiName);
        ownFile = FileExists(path) != 0;
    }
    if (ownFile) {
        ColoursIndex = -1;
        CopyString(ColoursName, aiName, sizeof(ColoursName));
    } else if (!keepColours) {
        ColoursIndex = aiNameIndex >= 0 ? aiNameIndex : 0;
    }
    // 3.
    LoadCarRecord(slot, carName);
    // 4. The AI's knowledge adapts its set-up.
    if (!keepSetup && world != nullptr && world->config > 0 && !CopyAiSettingsForCar(carName, &slot->setup)) {
        char text[96];
        std::snprintf(text, sizeof(text), "Could not load AI path info : %s", carName);
        RacePrint(text, RaceMessageWarning);
    }

    SetupIndex = savedSetupIndex;
    ColoursIndex = savedColoursIndex;
    std::memcpy(SetupName, savedSetupName, sizeof(SetupName));
    std::memcpy(ColoursName, savedColoursName, sizeof(ColoursName));
}

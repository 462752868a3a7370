#include "core/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/file_handover.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "platform/file_system.h"

const char *const CommandKeywordTable[CommandKeywordCount] = {
    "cfg", "host", "join", "hlvc", "kill", "usemaster", "pass", "admin", "ip",
    "port", "track", "weather", "cars", "maxguests", "adminslots", "carsmax", "carshost", "carsguest",
    "pps", "qual", "laps", "hours", "wind", "dedicated", "vote", "select", "midrace",
    "mustpit", "canreset", "fcv", "cruise", "rstmin", "rstend", "autokick", "start", "insim",
    "player", "windowed", "welcome", "tracks", "log", "ndebug", "autosave", "mprdir", "lytdir",
};

char CommandLineError[CommandLineErrorSize] = "";

CommandLineValues CommandLineSettings = {"", 0, 0, 0, 0, 0, 0, "", "", 0, "", "mpr", "layout"};

namespace {

enum CommandKeyword {
    KeyCfg, KeyHost, KeyJoin, KeyHlvc, KeyKill, KeyUseMaster, KeyPass, KeyAdmin, KeyIp,
    KeyPort, KeyTrack, KeyWeather, KeyCars, KeyMaxGuests, KeyAdminSlots, KeyCarsMax, KeyCarsHost, KeyCarsGuest,
    KeyPps, KeyQual, KeyLaps, KeyHours, KeyWind, KeyDedicated, KeyVote, KeySelect, KeyMidrace,
    KeyMustPit, KeyCanReset, KeyFcv, KeyCruise, KeyRstMin, KeyRstEnd, KeyAutoKick, KeyStart, KeyInsim,
    KeyPlayer, KeyWindowed, KeyWelcome, KeyTracks, KeyLog, KeyNDebug, KeyAutoSave, KeyMprDir, KeyLytDir,
};

constexpr int CommandValueLimit = 95;  // characters of a key or a value
constexpr int HostNameLimit = 31;
constexpr int PlayerNameLimit = 23;
constexpr int FileNameLimit = 31;
constexpr int FolderNameLimit = 15;
constexpr int PasswordLimit = 15;
constexpr int HlvcNameLimit = 47;
constexpr int PacksPerSecWithMaster = 6;
constexpr int PacksPerSecLimit = 12;

const char *const NoYesWords[] = {"no", "yes"};
const char *const UseMasterWords[] = {"no", "yes", "hidden"};
const char *const DedicatedWords[] = {"no", "yes", "nogfx", "invisible"};
const char *const AutoKickWords[] = {"no", "kick", "ban", "spec"};
const char *const RaceStartWords[] = {"fixed", "finish", "reverse", "random"};

// Options a link may not give: they name files or folders, open a port or
// hide the process.
constexpr int LinkRefusedKeywords[] = {KeyCfg, KeyLog, KeyWelcome, KeyTracks, KeyMprDir, KeyLytDir, KeyInsim,
                                       KeyDedicated};

// Whole-number options that only store a bounded value.
struct NumberOption {
    int keyword;
    int minimum;
    int maximum;
    int *target;
};
const NumberOption NumberOptions[] = {
    {KeyCarsMax, 1, 32, &CarsInRace},
    {KeyCarsHost, 0, 3, &CarsPerHost},
    {KeyCarsGuest, 0, 3, &CarsPerGuest},
    {KeyPps, 3, 12, &PacksPerSec},
    {KeyQual, 0, 60, &CommandLineSettings.qualifyMinutes},
    {KeyWind, 0, 2, &CommandLineSettings.wind},
    {KeyRstMin, 0, 300, &CommandLineSettings.restartMinimum},
    {KeyRstEnd, 0, 300, &CommandLineSettings.restartAfterEnd},
    {KeyAutoSave, 0, 2, &MprAutoSave},
};

// Options that choose one word of a list.
struct WordOption {
    int keyword;
    const char *const *words;
    int count;
    int *target;
};
const WordOption WordOptions[] = {
    {KeyUseMaster, UseMasterWords, 3, &ConnToMaster},
    {KeyAutoKick, AutoKickWords, 4, &AutoKick},
    {KeyStart, RaceStartWords, 4, &RaceStart},
    {KeyWindowed, NoYesWords, 2, &StartWindowed},
    {KeyNDebug, NoYesWords, 2, &NetworkDebug},
};

// Host rule flags: keyword and its bit of "MP Flags ".
struct FlagOption {
    int keyword;
    uint32_t bit;
};
const FlagOption FlagOptions[] = {
    {KeyVote, 1}, {KeySelect, 2}, {KeyMidrace, 32}, {KeyMustPit, 64},
    {KeyCanReset, 128}, {KeyFcv, 256}, {KeyCruise, 512},
};

struct CarGroup {
    const char *word;
    uint32_t mask;
};
const CarGroup CarGroups[] = {
    {"ALL", AllCarsMask}, {"ROAD", RoadCarsMask}, {"RACE", RaceCarsMask},
    {"TBO", TurboCarsMask}, {"LRF", LightRearCarsMask}, {"GTR", GtCarsMask},
};

CommandLineServices Services = {};

// The /cfg= file's text while it is being parsed.
char *ConfigFileText = nullptr;

void FreeConfigFileText()
{
    std::free(ConfigFileText);
    ConfigFileText = nullptr;
}

void Notice(const char *text)
{
    if (Services.printNotice) {
        Services.printNotice(text);
    } else {
        LogLine(text);
    }
}

bool FailWith(const char *text)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), "%s", text);
    FailCommandLine();
    return false;
}

bool FailWithNumber(const char *format, int parameter)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), format, parameter + 1);
    FailCommandLine();
    return false;
}

bool IsStartParameter(int keyword)
{
    return keyword >= KeyCfg && keyword <= KeyKill;
}

bool IsRefusedInLink(int keyword)
{
    for (const int refused : LinkRefusedKeywords) {
        if (refused == keyword) {
            return true;
        }
    }
    return false;
}

int Length(const char *text)
{
    return static_cast<int>(std::strlen(text));
}

bool InBounds(int keyword, int value, int minimum, int maximum)
{
    if (value < minimum || value > maximum) {
        ReportOutOfBounds(keyword);
        return false;
    }
    return true;
}

bool ApplyTrack(char *value)
{
    const int length = Length(value);
    if (length != 3 && length != 4) {
        return FailWith("Unknown track");
    }
    if (length == 4 && value[3] != 'R' && value[3] != 'r') {
        return FailWith("Unknown track");
    }
    const char code[3] = {value[0], value[1], 0};
    const int config = value[2] >= '0' && value[2] <= '9' ? value[2] - '0' : 0;
    int configCount = 0;
    int reversible = 0;
    const char *site = Services.findTrackSite ? Services.findTrackSite(code, config, &configCount, &reversible)
                                              : nullptr;
    if (!site) {
        return FailWith("Unknown track");
    }
    if (config < 1 || config > configCount) {
        return FailWith("Unknown track config");
    }
    CopyString(MapName, site, sizeof(MapName));
    TrackConfig = config;
    TrackFlip = length == 4 && reversible ? 1 : 0;
    return true;
}

// The file must exist: "tracks" and "welcome".
bool ApplyExistingFile(char *value, char *target, const char *tooLong, const char *missing)
{
    if (Length(value) > FileNameLimit) {
        return FailWith(tooLong);
    }
    if (!FileExists(value)) {
        return FailWith(missing);
    }
    CopyString(target, value, FileNameLimit + 1);
    return true;
}

bool ApplyDataFolder(char *value, char *target, const char *tooLong, const char *failed)
{
    if (Length(value) > FolderNameLimit) {
        return FailWith(tooLong);
    }
    if (EnsureDataFolder(value) != 0) {
        return FailWith(failed);
    }
    CopyString(target, value, FolderNameLimit + 1);
    return true;
}

bool ApplyPassword(char *value, char *gameTarget, const char *tooLong)
{
    DecodeNameEscapes(value);
    if (Length(value) > PasswordLimit) {
        return FailWith(tooLong);
    }
    char *target = StartMode == StartModeJoin ? CommandLineSettings.joinPassword : gameTarget;
    CopyString(target, value, PasswordLimit + 1);
    return true;
}

// Applies one option (not cfg or kill). Returns false when it failed.
bool ApplyOption(int keyword, char *value)
{
    for (const NumberOption &option : NumberOptions) {
        if (option.keyword == keyword) {
            const int number = ParseInt(value);
            if (!InBounds(keyword, number, option.minimum, option.maximum)) {
                return false;
            }
            *option.target = number;
            return true;
        }
    }
    for (const WordOption &option : WordOptions) {
        if (option.keyword == keyword) {
            const int index = MatchWord(value, option.words, option.count);
            if (index < 0) {
                ReportUnknownOption(keyword);
                return false;
            }
            *option.target = index;
            return true;
        }
    }
    for (const FlagOption &option : FlagOptions) {
        if (option.keyword == keyword) {
            return SetHostFlagOption(value, keyword, option.bit) == 0;
        }
    }

    switch (keyword) {
    case KeyHost:
        DecodeNameEscapes(value);
        if (Length(value) > HostNameLimit) {
            value[HostNameLimit] = 0;
            Notice("Host name truncated to 31 chars");
        }
        CopyString(GameName, value, sizeof(GameName));
        GamePass[0] = 0;
        MpRules = AllCarsMask;
        StartMode = StartModeHost;
        return true;
    case KeyJoin:
        DecodeNameEscapes(value);
        if (Length(value) > HostNameLimit) {
            return FailWith("Host name is too long");
        }
        CopyString(ServerName, value, sizeof(ServerName));
        AddressName = 1;
        StartMode = StartModeJoin;
        return true;
    case KeyHlvc:
        if (Length(value) > HlvcNameLimit) {
            return FailWith("Replay name is too long");
        }
        CopyString(PendingFileName, value, PendingFileNameSize);
        GraphicsEnabled = 0;
        StartMode = StartModeHotLapCheck;
        return true;
    case KeyPass:
        return ApplyPassword(value, GamePass, "Password is too long");
    case KeyAdmin:
        return ApplyPassword(value, GameAdmin, "Admin password is too long");
    case KeyIp:
        if (Length(value) > 15) {
            return FailWith("IP address is too long");
        }
        CopyString(GameIp, value, sizeof(GameIp));
        return true;
    case KeyPort:
        if (Length(value) > 5) {
            return FailWith("Port is too long");
        }
        CopyString(GamePort, value, sizeof(GamePort));
        return true;
    case KeyTrack:
        return ApplyTrack(value);
    case KeyWeather: {
        const int number = ParseInt(value);
        if (!InBounds(keyword, number, 1, 4)) {
            return false;
        }
        TrackLighting = number - 1;
        return true;
    }
    case KeyCars: {
        uint32_t mask = 0;
        if (!ParseCarsOption(value, &mask)) {
            return FailWith("Invalid cars option");
        }
        MpRules = mask;
        CommandLineSettings.hostCarsMask = mask;
        return true;
    }
    case KeyMaxGuests: {
        const int number = ParseInt(value);
        if (!InBounds(keyword, number, 1, 47)) {
            return false;
        }
        MaxConns = number + 1;
        if (AdminSlots > number - 1) {
            AdminSlots = number - 1;
        }
        return true;
    }
    case KeyAdminSlots: {
        const int number = ParseInt(value);
        if (!InBounds(keyword, number, 0, 8)) {
            return false;
        }
        AdminSlots = number < MaxConns - 2 ? number : MaxConns - 2;
        return true;
    }
    case KeyLaps: {
        const int number = ParseInt(value);
        if (!InBounds(keyword, number, 0, 1000)) {
            return false;
        }
        CommandLineSettings.raceLengthCode = RaceLengthCodeFromLaps(number);
        return true;
    }
    case KeyHours: {
        const int number = ParseInt(value);
        if (!InBounds(keyword, number, 1, 48)) {
            return false;
        }
        CommandLineSettings.raceLengthCode = RaceLengthCodeFromHours(number);
        return true;
    }
    case KeyDedicated: {
        const int mode = MatchWord(value, DedicatedWords, 4);
        if (mode < 0) {
            ReportUnknownOption(keyword);
            return false;
        }
        DedicatedMode = mode;
        if (mode == DedicatedConsole || mode == DedicatedInvisible) {
            GraphicsEnabled = 0;
        }
        return true;
    }
    case KeyInsim: {
        const int number = ParseInt(value);
        if (number < 0 || number > 65535) {
            return FailWith("InSim port out of bounds");
        }
        CommandLineSettings.inSimPort = number;
        return true;
    }
    case KeyPlayer:
        // The name becomes a file name: the characters a file name may not
        // hold are dropped, as when cfg.txt is read.
        StripFileNameChars(value);
        if (Length(value) > PlayerNameLimit) {
            value[PlayerNameLimit] = 0;
            Notice("Player name truncated to 23 chars");
        }
        CopyString(PlayerName.name, value, PlayerNameSize);
        return true;
    case KeyWelcome:
        if (!ApplyExistingFile(value, CommandLineSettings.welcomeFile, "Welcome filename is too long",
                               "Welcome file not found")) {
            return false;
        }
        if (Services.readWelcomeText) {
            Services.readWelcomeText(CommandLineSettings.welcomeFile);
        }
        return true;
    case KeyTracks:
        return ApplyExistingFile(value, CommandLineSettings.tracksFile, "Tracks filename is too long",
                                 "Tracks file not found");
    case KeyLog:
        if (Length(value) > FileNameLimit) {
            return FailWith("Log filename is too long");
        }
        if (!CanAppendToFile(value)) {
            return FailWith("Log file error");
        }
        CopyString(DebugLogPath, value, DebugLogPathSize);
        PlatformRemoveFile(DebugLogPath);
        LogVersion();
        return true;
    case KeyMprDir:
        return ApplyDataFolder(value, CommandLineSettings.mprFolder, "MPR folder name is too long",
                               "Could not create the MPR folder");
    case KeyLytDir:
        return ApplyDataFolder(value, CommandLineSettings.lytFolder, "LYT folder name is too long",
                               "Could not create the LYT folder");
    default:
        return FailWith("Invalid command line");
    }
}

// /cfg=: the file's text replaces the rest of the command line. Returns the
// text to go on with, or null after an error.
const char *OpenConfigFile(const char *name)
{
    if (Length(name) > FileNameLimit) {
        FailWith("Config file name is too long");
        return nullptr;
    }
    FILE *file = PlatformOpenFile(name, "rb");
    if (!file) {
        std::snprintf(CommandLineError, sizeof(CommandLineError), "Config file not found : %s", name);
        FailCommandLine();
        return nullptr;
    }
    char *text = static_cast<char *>(std::malloc(ConfigFileMaxBytes + 2));
    const size_t size = text ? std::fread(text, 1, ConfigFileMaxBytes + 1, file) : 0;
    std::fclose(file);
    if (!text) {
        FailWith("Config file is too long");
        return nullptr;
    }
    ConfigFileText = text;
    if (size > static_cast<size_t>(ConfigFileMaxBytes)) {
        FailWith("Config file is too long");
        return nullptr;
    }
    if (size == 0) {
        FailWith("Config file is empty");
        return nullptr;
    }
    text[size] = 0;
    if (text[0] != '/') {
        FailWith("Config file is not valid");
        return nullptr;
    }
    return text + 1;
}

// Reads a key or a value up to one of the two stop characters or the end,
// skipping control characters. False when it holds more than 95 characters.
bool ReadField(const char *&p, char stopA, char stopB, char *out)
{
    int length = 0;
    while (*p && *p != stopA && *p != stopB) {
        if (static_cast<unsigned char>(*p) >= 32) {
            if (length == CommandValueLimit) {
                return false;
            }
            out[length++] = *p;
        }
        ++p;
    }
    out[length] = 0;
    return true;
}

// Skips the '/' after a value and any "//" comment lines after it.
void SkipSeparatorAndComments(const char *&p)
{
    if (*p == '/') {
        ++p;
    }
    while (*p == '/') {
        while (*p && *p != '\r' && *p != '\n') {
            ++p;
        }
        while (*p && *p != '/') {
            ++p;
        }
        if (*p == '/') {
            ++p;
        }
    }
}

bool ParseOptions(const char *text, int fromLink)
{
    const char *p = text + 1;
    int parameter = 0;
    bool startBegun = false;
    bool inConfigFile = false;
    while (*p) {
        char key[CommandValueLimit + 1];
        if (!ReadField(p, '=', '/', key) || *p == 0) {
            return FailWithNumber("Parameter %d is invalid", parameter);
        }
        ++p;
        const int keyword = MatchWord(key, CommandKeywordTable, CommandKeywordCount);
        if (keyword < 0) {
            return FailWithNumber("Parameter %d is invalid", parameter);
        }
        if (fromLink && IsRefusedInLink(keyword)) {
            return FailWith("KZV was unable to interpret the request");
        }

        if (keyword == KeyInsim || keyword == KeyPlayer) {
            startBegun = true;
        } else if (!startBegun) {
            if (!IsStartParameter(keyword)) {
                return FailWith("Info parameter before start parameter");
            }
            startBegun = true;
        } else if (IsStartParameter(keyword)) {
            return FailWith("Too many start parameters");
        }
        if (keyword == KeyKill) {
            RequestKill();
            return false;
        }

        char value[CommandValueLimit + 1];
        if (!ReadField(p, '/', '/', value)) {
            return FailWithNumber("Parameter %d is too long", parameter);
        }
        int length = Length(value);
        while (length > 0 && value[length - 1] == ' ') {
            value[--length] = 0;
        }
        if (length == 0 && keyword != KeyPass && keyword != KeyAdmin) {
            return FailWithNumber("Parameter %d contains no info", parameter);
        }

        if (keyword == KeyCfg) {
            // A config file may not name another: that could restart the
            // parse for ever.
            if (inConfigFile) {
                return FailWith("Config file is not valid");
            }
            p = OpenConfigFile(value);
            if (!p) {
                return false;
            }
            inConfigFile = true;
            startBegun = false;
            continue;  // the file's first option takes this parameter's number
        }
        if (!ApplyOption(keyword, value)) {
            return false;
        }
        ++parameter;
        SkipSeparatorAndComments(p);
    }
    return true;
}

}  // namespace

void SetCommandLineServices(const CommandLineServices &services)
{
    Services = services;
}

void InitCommandKeywords()
{
    // The keyword table is constant; this resets what the options write that
    // has no cfg.txt key.
    CommandLineSettings = {"", 0, 0, 0, 0, 0, 0, "", "", 0, "", "mpr", "layout"};
}

void ReportInvalidParameter(int n)
{
    FailWithNumber("Parameter %d is invalid", n);
}

void ReportUnknownOption(int keyword)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), "Unknown %s option", CommandKeywordTable[keyword]);
    FailCommandLine();
}

void ReportOutOfBounds(int keyword)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), "Out of bounds : %s", CommandKeywordTable[keyword]);
    FailCommandLine();
}

void FailCommandLine()
{
    StartMode = StartModeError;
    FreeConfigFileText();
}

void RequestKill()
{
    StartMode = StartModeKill;
    FreeConfigFileText();
}

int SetHostFlagOption(const char *value, int keyword, uint32_t bit)
{
    const int index = MatchWord(value, NoYesWords, 2);
    if (index < 0) {
        ReportUnknownOption(keyword);
        return 1;
    }
    MpFlags = index ? (MpFlags | bit) : (MpFlags & ~bit);
    return 0;
}

int MatchWord(const char *word, const char *const *list, int count)
{
    if (!word || !list) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (list[i] && EqualsNoCase(word, list[i])) {
            return i;
        }
    }
    return -1;
}

int ParseCarsOption(const char *text, uint32_t *mask)
{
    if (!text || !mask) {
        return 0;
    }
    constexpr int WordLimit = 7;
    uint32_t result = 0;
    bool remove = false;
    const char *p = text;
    for (;;) {
        char word[WordLimit + 1];
        int length = 0;
        while (*p && *p != ' ' && *p != '+' && *p != '-') {
            if (length == WordLimit) {
                return 0;
            }
            word[length++] = *p++;
        }
        word[length] = 0;
        if (length < 3) {
            return 0;
        }
        uint32_t bits = 0;
        const int car = FindCarByCode(word);
        if (car >= 0 && car < CarModelCount) {
            bits = 1u << car;
        } else {
            for (const CarGroup &group : CarGroups) {
                if (EqualsNoCase(word, group.word)) {
                    bits = group.mask;
                }
            }
            if (bits == 0) {
                return 0;
            }
        }
        result = remove ? (result & ~bits) : (result | bits);
        if (*p == 0 || *p == ' ') {
            break;
        }
        remove = *p == '-';
        ++p;
    }
    if (result == 0) {
        return 0;
    }
    *mask = result;
    return 1;
}

int RaceLengthCodeFromLaps(int laps)
{
    return laps <= 100 ? laps : (laps - 100) / 10 + 100;
}

int RaceLengthCodeFromHours(int hours)
{
    return hours + 190;
}

void ParseCommandLine(const char *text, int fromLink)
{
    CommandLineError[0] = 0;
    if (!text || text[0] == 0) {
        return;
    }
    if (text[0] != '/') {
        FailWith("Invalid command line");
        return;
    }
    if (!ParseOptions(text, fromLink)) {
        return;
    }
    FreeConfigFileText();
    const int limit = ConnToMaster ? PacksPerSecWithMaster : PacksPerSecLimit;
    if (PacksPerSec > limit) {
        PacksPerSec = limit;
    }
    if (CommandLineSettings.inSimPort != 0) {
        std::snprintf(CommandLineSettings.inSimPortText, sizeof(CommandLineSettings.inSimPortText), "%d",
                      CommandLineSettings.inSimPort);
        if (Services.inSimStart) {
            Services.inSimStart(CommandLineSettings.inSimPort);
        }
    }
}

#include "core/command_line.h"

#include <cstdio>
#include <cstring>

#include "core/car_table.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"

const char *const CommandKeywordTable[CommandKeywordCount] = {
    "cfg", "host", "join", "hlvc", "kill", "usemaster", "pass", "admin", "ip",
    "port", "track", "weather", "cars", "maxguests", "adminslots", "carsmax", "carshost", "carsguest",
    "pps", "qual", "laps", "hours", "wind", "dedicated", "vote", "select", "midrace",
    "mustpit", "canreset", "fcv", "cruise", "rstmin", "rstend", "autokick", "start", "insim",
    "player", "windowed", "welcome", "tracks", "log", "ndebug", "autosave", "mprdir", "lytdir",
};

char CommandLineError[CommandLineErrorSize] = "";

namespace {

enum CommandKeyword {
    KeyCfg = 0,
    KeyHost = 1,
    KeyJoin = 2,
    KeyHlvc = 3,
    KeyKill = 4,
    KeyPass = 6,
    KeyAdmin = 7,
    KeyDedicated = 23,
    KeyInsim = 35,
    KeyPlayer = 36,
};

constexpr int CommandValueLimit = 95;  // characters of a key or a value
constexpr int HostNameLimit = 31;
constexpr int PacksPerSecWithMaster = 6;
constexpr int PacksPerSecLimit = 12;

const char *const DedicatedWords[] = {"no", "yes", "nogfx", "invisible"};

CommandLineNoticePrinter NoticePrinter = nullptr;

bool IsStartParameter(int keyword)
{
    return keyword >= KeyCfg && keyword <= KeyKill;
}

void Notice(const char *text)
{
    if (NoticePrinter) {
        NoticePrinter(text);
    } else {
        LogLine(text);
    }
}

void FailCommandLine()
{
    StartMode = StartModeError;
}

void FailWith(const char *text)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), "%s", text);
    FailCommandLine();
}

void FailWithNumber(const char *format, int parameter)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), format, parameter + 1);
    FailCommandLine();
}

void ReportUnknownOption(int keyword)
{
    std::snprintf(CommandLineError, sizeof(CommandLineError), "Unknown %s option", CommandKeywordTable[keyword]);
    FailCommandLine();
}

// Applies one option. Returns false when it failed.
bool ApplyOption(int keyword, char *value)
{
    switch (keyword) {
    case KeyHost: {
        DecodeNameEscapes(value);
        if (static_cast<int>(std::strlen(value)) > HostNameLimit) {
            value[HostNameLimit] = 0;
            Notice("Host name truncated to 31 chars");
        }
        CopyString(GameName, value, sizeof(GameName));
        GamePass[0] = 0;
        MpRules = AllCarsMask;
        StartMode = StartModeHost;
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
    default:
        LogPrintf("Command line option %s is not applied yet", CommandKeywordTable[keyword]);
        return true;
    }
}

}  // namespace

void SetCommandLineNoticePrinter(CommandLineNoticePrinter printer)
{
    NoticePrinter = printer;
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

void ParseCommandLine(const char *text)
{
    CommandLineError[0] = 0;
    if (!text || text[0] == 0) {
        return;
    }
    if (text[0] != '/') {
        FailWith("Invalid command line");
        return;
    }

    const char *p = text + 1;
    int parameter = 0;
    bool startBegun = false;
    while (*p) {
        // The key: up to '=', '/' or the end; control characters skipped.
        char key[CommandValueLimit + 1];
        int keyLength = 0;
        while (*p && *p != '=' && *p != '/') {
            if (static_cast<unsigned char>(*p) >= 32) {
                if (keyLength == CommandValueLimit) {
                    FailWithNumber("Parameter %d is invalid", parameter);
                    return;
                }
                key[keyLength++] = *p;
            }
            ++p;
        }
        key[keyLength] = 0;
        if (*p == 0) {
            FailWithNumber("Parameter %d is invalid", parameter);
            return;
        }
        ++p;
        const int keyword = MatchWord(key, CommandKeywordTable, CommandKeywordCount);
        if (keyword < 0) {
            FailWithNumber("Parameter %d is invalid", parameter);
            return;
        }

        // The start parameter comes first, once.
        if (keyword == KeyInsim || keyword == KeyPlayer) {
            startBegun = true;
        } else if (!startBegun) {
            if (!IsStartParameter(keyword)) {
                FailWith("Info parameter before start parameter");
                return;
            }
            startBegun = true;
        } else if (IsStartParameter(keyword)) {
            FailWith("Too many start parameters");
            return;
        }
        if (keyword == KeyKill) {
            StartMode = StartModeKill;
            return;
        }

        // The value: up to '/' or the end, without its trailing blanks.
        char value[CommandValueLimit + 1];
        int valueLength = 0;
        while (*p && *p != '/') {
            if (static_cast<unsigned char>(*p) >= 32) {
                if (valueLength == CommandValueLimit) {
                    FailWithNumber("Parameter %d is too long", parameter);
                    return;
                }
                value[valueLength++] = *p;
            }
            ++p;
        }
        while (valueLength > 0 && value[valueLength - 1] == ' ') {
            --valueLength;
        }
        value[valueLength] = 0;
        if (valueLength == 0 && keyword != KeyPass && keyword != KeyAdmin) {
            FailWithNumber("Parameter %d contains no info", parameter);
            return;
        }

        if (!ApplyOption(keyword, value)) {
            return;
        }

        ++parameter;
        if (*p == '/') {
            ++p;
        }
        // "//" starts a comment that runs to the end of its line.
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

    const int limit = ConnToMaster ? PacksPerSecWithMaster : PacksPerSecLimit;
    if (PacksPerSec > limit) {
        PacksPerSec = limit;
    }
}

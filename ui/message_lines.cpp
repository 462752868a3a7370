#include "ui/message_lines.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "platform/timer.h"
#include "ui/font.h"
#include "ui/translation.h"

MessageLine MessageLines[MessageLineLimit];
MessageLine MessageHistory[MessageLineLimit];
int MessageLineCount = 0;
uint32_t MessageSequence = 0;
int MessagesChanged = 0;
float MessageTop = -1.0f;
int MessageLineEcho = 0;
uint32_t MessageFilter = 0;
int ShowMessageHistory = 0;

namespace {

constexpr int MessageTextLimit = MessageTextSize - 1;
constexpr int UserTypeSystem = 0;
constexpr int UserTypePlayer = 1;
constexpr int UserTypeHidden = 2;
constexpr int SoundInfoBeep = 2;
constexpr int SoundWarning = 4;
constexpr char CodePageLetters[] = "LETBJCGHSK";

MessageLineServices Services = {};
uint32_t (*Clock)() = nullptr;

uint32_t Now()
{
    return Clock ? Clock() : PlatformTimeMs();
}

struct QueuedLine {
    char text[MessageTextSize];
    const Colour *colour;
    int target;
    int toInSim;
};

std::mutex QueueLock;
std::vector<QueuedLine> Queue;
std::thread::id MainThread = std::this_thread::get_id();

int ConnectionCount()
{
    return Services.connectionCount ? Services.connectionCount() : 1;
}

const char *ConnectionName(int connection)
{
    const char *name = Services.playerName ? Services.playerName(connection) : nullptr;
    return name ? name : PlayerName.name;
}

bool IsLeadByte(int table, uint8_t byte)
{
    if (byte < 128 || !CodePageTables || table < 0 || table >= CodePageTableCount) {
        return false;
    }
    return (CodePageTables[table].entries[byte - CodePageFirstByte].flags & CodePageLeadByteFlags) != 0;
}

// Copies at most 127 bytes of text, never cutting between a lead and a trail
// byte. The code page starts at table and follows "^" letters.
void CopyMessageText(char *out, const char *text, int table)
{
    int used = 0;
    const auto *bytes = reinterpret_cast<const uint8_t *>(text);
    while (bytes[used] != 0) {
        int step = 1;
        if (bytes[used] == '^' && bytes[used + 1] != 0) {
            const char *letter = std::strchr(CodePageLetters, bytes[used + 1]);
            if (letter && letter - CodePageLetters < CodePageLetterLimit) {
                table = static_cast<int>(letter - CodePageLetters);
            }
            step = 2;
        } else if (IsLeadByte(table, bytes[used]) && bytes[used + 1] != 0) {
            step = 2;
        }
        if (used + step > MessageTextLimit) {
            break;
        }
        used += step;
    }
    std::memcpy(out, text, static_cast<size_t>(used));
    out[used] = 0;
}

void EchoLine(const char *text)
{
    char plain[MessageTextSize];
    StripColourCodes(plain, text, MessageTextSize - 1);
    plain[MessageTextSize - 1] = 0;
    std::printf("%s\n", plain);
    std::fflush(stdout);
}

bool OnMainThread()
{
    return std::this_thread::get_id() == MainThread;
}

void AddLineNow(const char *text, const Colour *colour, int target, int toInSim)
{
    if (!text || text[0] == 0) {
        return;
    }
    if (MessageFilter == 2 || (MessageFilter == 1 && target >= 0) || target < MessageTargetLatin ||
        target >= ConnectionCount()) {
        return;
    }
    if (Services.messagesSuppressed && Services.messagesSuppressed()) {
        return;
    }
    if (Services.hudShown && Services.hudShown() == 2) {
        return;
    }

    char built[MessageTextSize * 2];
    const char *shown = text;
    int prefixLength = 0;
    int codePage = 0;
    int userType = UserTypeSystem;
    bool hidden = target == MessageTargetHidden;
    if (target == MessageTargetSystem) {
        codePage = TranslationCodePage;
    }
    if (target >= 0) {
        char name[MessageTextSize];
        CopyString(name, ConnectionName(target), MessageTextSize);
        for (char *mark = std::strstr(name, "^9"); mark; mark = std::strstr(mark + 2, "^9")) {
            mark[1] = '7';
        }
        userType = UserTypePlayer;
        if (text[0] == '/') {
            const bool me = (text[1] == 'm' || text[1] == 'M') && (text[2] == 'e' || text[2] == 'E') && text[3] == ' ';
            if (!me) {
                return;
            }
            std::snprintf(built, sizeof(built), "%s ^8%s", name, text + 4);
            colour = &MessageColours[ColourYellow];
        } else {
            std::snprintf(built, sizeof(built), "^7%s ^7: ^8", name);
            prefixLength = static_cast<int>(std::strlen(built));
            if (prefixLength > MessageTextLimit) {
                prefixLength = MessageTextLimit;
            }
            std::snprintf(built + prefixLength, sizeof(built) - static_cast<size_t>(prefixLength), "%s", text);
            if (Services.isInSimPrefixInUse && Services.isInSimPrefixInUse(text[0])) {
                hidden = true;
                userType = UserTypeHidden;
            }
        }
        shown = built;
    }

    int index = 0;
    while (index < MessageLineLimit && MessageLines[index].Text[0] != 0) {
        ++index;
    }
    if (index == MessageLineLimit) {
        RemoveMessageLine(0);
        index = MessageLineLimit - 1;
    }

    MessageLine &line = MessageLines[index];
    line.Flags = hidden ? MessageFlagHidden : 0;
    line.PrefixLength = static_cast<uint8_t>(prefixLength);
    line.CodePage = static_cast<uint8_t>(codePage);
    CopyMessageText(line.Text, shown, codePage);
    if (line.Text[0] == 0) {
        line = MessageLine{};
        return;
    }

    if (target != MessageTargetHidden && toInSim && Services.inSimActive && Services.inSimActive() &&
        Services.inSimSendMessageOut) {
        const int connectionId =
            target >= 0 && Services.inSimConnectionId ? Services.inSimConnectionId(target) : 0;
        const int playerId = target >= 0 && Services.playerId ? Services.playerId(target) : 0;
        Services.inSimSendMessageOut(connectionId, playerId, userType, prefixLength, line.Text);
    }
    if (MessageLineEcho && !(line.Flags & MessageFlagHidden)) {
        EchoLine(line.Text);
    }
    if (DebugLogPath[0] != 0) {
        LogLine(line.Text);
    }

    line.Time = Now();
    line.Colour = colour;
    line.Sequence = static_cast<uint8_t>(MessageSequence);
    ++MessageSequence;
    ++MessageLineCount;
    MessagesChanged = 1;
}

void FormatInto(char *text, const char *format, va_list args)
{
    text[0] = 0;
    if (format) {
        std::vsnprintf(text, MessageTextSize, format, args);
    }
}

}  // namespace

void SetMessageLineServices(const MessageLineServices &services)
{
    Services = services;
}

void SetMessageClock(uint32_t (*clock)())
{
    Clock = clock;
}

void SetMessageMainThread()
{
    MainThread = std::this_thread::get_id();
}

void AddMessageLine(const char *text, const Colour *colour, int target, int toInSim)
{
    if (!OnMainThread()) {
        if (!text || text[0] == 0) {
            return;
        }
        QueuedLine queued = {};
        CopyMessageText(queued.text, text, 0);
        queued.colour = colour;
        queued.target = target;
        queued.toInSim = toInSim;
        const std::lock_guard<std::mutex> hold(QueueLock);
        Queue.push_back(queued);
        return;
    }
    AddLineNow(text, colour, target, toInSim);
}

void DrainMessageQueue()
{
    std::vector<QueuedLine> lines;
    {
        const std::lock_guard<std::mutex> hold(QueueLock);
        lines.swap(Queue);
    }
    for (const QueuedLine &line : lines) {
        AddLineNow(line.text, line.colour, line.target, line.toInSim);
    }
}

void PrintMessage(const char *text, const Colour *colour)
{
    AddMessageLine(text, colour, MessageTargetSystem);
}

void PrintHiddenMessage(const char *text, const Colour *colour)
{
    AddMessageLine(text, colour, MessageTargetHidden);
}

void PrintLatinMessage(const char *text, const Colour *colour)
{
    AddMessageLine(text, colour, MessageTargetLatin);
}

void PrintPlayerChat(const uint8_t *packet, int connection)
{
    if (packet) {
        AddMessageLine(reinterpret_cast<const char *>(packet + 4), &MessageColours[ColourGreen], connection);
    }
}

void PrintMessage2(const char *a, const char *b, const Colour *colour)
{
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), "%s %s", a ? a : "", b ? b : "");
    PrintMessage(text, colour);
}

void PrintLabelled(const char *label, const char *text, const Colour *colour)
{
    if (!label || !text) {
        return;
    }
    const size_t length = std::strlen(label);
    char line[MessageTextSize];
    if (length > 0 && label[length - 1] == ':') {
        std::snprintf(line, sizeof(line), "%s %s", label, text);
    } else {
        std::snprintf(line, sizeof(line), Tx(Text_3h_s_coln_s), label, text);
    }
    PrintMessage(line, colour);
}

void PrintMessageLatinTail(const char *a, const char *b, const Colour *colour)
{
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), "%s ^L%s", a ? a : "", b ? b : "");
    PrintMessage(text, colour);
}

void PrintMessageArg(const char *format, int value, const Colour *colour)
{
    char text[MessageTextSize];
    text[0] = 0;
    if (format) {
        std::snprintf(text, sizeof(text), format, value);
    }
    PrintMessage(text, colour);
}

void PrintMessageFloat(const char *format, double value, const Colour *colour)
{
    char text[MessageTextSize];
    text[0] = 0;
    if (format) {
        std::snprintf(text, sizeof(text), format, value);
    }
    PrintMessage(text, colour);
}

void PrintInfoF(const char *format, ...)
{
    char text[MessageTextSize];
    va_list args;
    va_start(args, format);
    FormatInto(text, format, args);
    va_end(args);
    PrintMessage(text, &MessageColours[ColourLightGrey]);
}

void PrintInfoBeep(const char *text)
{
    PrintMessage(text, &MessageColours[ColourLightGrey]);
    if (Services.playInterfaceSound) {
        Services.playInterfaceSound(SoundInfoBeep);
    }
}

void PrintWarning(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
    if (Services.playInterfaceSound) {
        Services.playInterfaceSound(SoundWarning);
    }
}

void PrintLoadFileError(const char *path)
{
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), "%s : ^L%s", ResultText(ResultCouldNotLoadFile), path ? path : "");
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void PrintSaveFileError(const char *path)
{
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), "%s : ^L%s", ResultText(ResultCouldNotSaveFile), path ? path : "");
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void PrintNetDebug(const char *text, const Colour *colour)
{
    if (NetworkDebug) {
        AddMessageLine(text, colour, MessageTargetLatin, 0);
    }
}

void PrintNetDebugF(const char *format, int value, const Colour *colour)
{
    if (!NetworkDebug || !format) {
        return;
    }
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), format, value);
    AddMessageLine(text, colour, MessageTargetLatin, 0);
}

void PrintNetDebug2(const char *a, const char *b, const Colour *colour)
{
    if (!NetworkDebug) {
        return;
    }
    char text[MessageTextSize];
    std::snprintf(text, sizeof(text), "%s %s", a ? a : "", b ? b : "");
    AddMessageLine(text, colour, MessageTargetLatin, 0);
}

void RemoveMessageLine(int n)
{
    if (n < 0 || n >= MessageLineLimit || MessageLines[n].Text[0] == 0) {
        return;
    }
    for (int i = 0; i < MessageLineLimit - 1; ++i) {
        MessageHistory[i] = MessageHistory[i + 1];
    }
    MessageHistory[MessageLineLimit - 1] = MessageLines[n];
    for (int i = n; i < MessageLineLimit - 1; ++i) {
        MessageLines[i] = MessageLines[i + 1];
    }
    MessageLines[MessageLineLimit - 1] = MessageLine{};
    --MessageLineCount;
    MessagesChanged = 1;
}

void ClearMessageLines()
{
    while (MessageLines[0].Text[0] != 0) {
        RemoveMessageLine(0);
    }
}

void ExpireMessageLines()
{
    const uint32_t now = Now();
    int i = 0;
    while (i < MessageLineLimit && MessageLines[i].Text[0] != 0) {
        if (now - MessageLines[i].Time > MessageLifeMs) {
            RemoveMessageLine(i);
        } else {
            ++i;
        }
    }
}

namespace {

// The 40 lines in recall order: the current lines 0..19, then the history 0..19.
const MessageLine &RecallLine(int i)
{
    return i < MessageLineLimit ? MessageLines[i] : MessageHistory[i - MessageLineLimit];
}

int TakeRecalled(const MessageLine &line, char *buffer, int size, int *codePage)
{
    if (size > 0) {
        CopyString(buffer, line.Text + line.PrefixLength, size);
    }
    if (codePage) {
        *codePage = line.CodePage;
    }
    return line.Sequence;
}

constexpr int RecallCount = 2 * MessageLineLimit;

}  // namespace

// With sequence -1 the newest line (the last used current line, else the last
// used history line); otherwise the last used line before the line with that
// sequence in the order current 0..19, history 0..19. None: the sequence
// comes back and nothing changes.
int RecallMessageBefore(char *buffer, int sequence, int size, int *codePage)
{
    if (sequence == -1) {
        for (int i = MessageLineLimit - 1; i >= 0; --i) {
            if (MessageLines[i].Text[0] != 0) {
                return TakeRecalled(MessageLines[i], buffer, size, codePage);
            }
        }
        for (int i = MessageLineLimit - 1; i >= 0; --i) {
            if (MessageHistory[i].Text[0] != 0) {
                return TakeRecalled(MessageHistory[i], buffer, size, codePage);
            }
        }
        return sequence;
    }
    int at = -1;
    for (int i = 0; i < RecallCount; ++i) {
        if (RecallLine(i).Text[0] != 0 && RecallLine(i).Sequence == (sequence & 0xFF)) {
            at = i;
            break;
        }
    }
    for (int i = at - 1; i >= 0; --i) {
        if (RecallLine(i).Text[0] != 0) {
            return TakeRecalled(RecallLine(i), buffer, size, codePage);
        }
    }
    return sequence;
}

// The same in the reverse order (current 19..0, then history 19..0). None:
// the buffer is emptied, the code page is the keyboard's and -1 comes back.
int RecallMessageAfter(char *buffer, int sequence, int size, int *codePage)
{
    int at = -1;
    // Reverse order position p: current line 19 - p for p < 20, history 39 - p after.
    auto line = [](int p) -> const MessageLine & {
        return p < MessageLineLimit ? MessageLines[MessageLineLimit - 1 - p]
                                    : MessageHistory[RecallCount - 1 - p];
    };
    for (int p = 0; p < RecallCount; ++p) {
        if (line(p).Text[0] != 0 && line(p).Sequence == (sequence & 0xFF)) {
            at = p;
            break;
        }
    }
    for (int p = at - 1; p >= 0; --p) {
        if (line(p).Text[0] != 0) {
            return TakeRecalled(line(p), buffer, size, codePage);
        }
    }
    if (size > 0) {
        buffer[0] = 0;
    }
    if (codePage) {
        *codePage = 0;
    }
    return -1;
}

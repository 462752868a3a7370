#include "ui/message_lines.h"

#include <cstdio>

#include "core/debug_log.h"
#include "core/text_utils.h"
#include "platform/timer.h"

MessageLine MessageLines[MessageLineLimit];
MessageLine MessageHistory[MessageLineLimit];
int MessageLineCount = 0;
uint32_t MessageSequence = 0;
int MessagesChanged = 0;
float MessageTop = -1.0f;
int MessageLineEcho = 0;

namespace {

void EchoLine(const char *text)
{
    char plain[MessageTextSize];
    StripColourCodes(plain, text, MessageTextSize - 1);
    plain[MessageTextSize - 1] = 0;
    std::printf("%s\n", plain);
    std::fflush(stdout);
}

}  // namespace

void AddMessageLine(const char *text, const Colour *colour, int target)
{
    if (target != MessageTargetSystem && target != MessageTargetHidden && target != MessageTargetLatin) {
        return;
    }
    // An empty text would make a line that counts as free.
    if (!text || text[0] == 0) {
        return;
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
    line.Flags = target == MessageTargetHidden ? MessageFlagHidden : 0;
    line.PrefixLength = 0;
    line.CodePage = 0;
    CopyString(line.Text, text, MessageTextSize);

    if (MessageLineEcho && target != MessageTargetHidden) {
        EchoLine(line.Text);
    }
    if (DebugLogPath[0] != 0) {
        LogLine(line.Text);
    }

    line.Time = PlatformTimeMs();
    line.Colour = colour;
    line.Sequence = static_cast<uint8_t>(MessageSequence);
    ++MessageSequence;
    ++MessageLineCount;
    MessagesChanged = 1;
}

void PrintMessage(const char *text, const Colour *colour)
{
    AddMessageLine(text, colour, MessageTargetSystem);
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
    const uint32_t now = PlatformTimeMs();
    int i = 0;
    while (i < MessageLineLimit && MessageLines[i].Text[0] != 0) {
        if (now - MessageLines[i].Time > MessageLifeMs) {
            RemoveMessageLine(i);
        } else {
            ++i;
        }
    }
}

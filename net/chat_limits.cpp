#include "net/chat_limits.h"

#include "audio/interface_sound.h"
#include "core/text_utils.h"
#include "net/command_word.h"
#include "platform/timer.h"

namespace {

constexpr uint32_t ChatIntervalMs = 501;
constexpr int CommandWordSize = 16;

// The words of the "/" lines that count as chat for the rate limit.
constexpr const char *RateLimitedWords[] = {"m", "find", "w", "ws", "i"};

bool ChatSent = false;
uint32_t LastChatTime = 0;

}  // namespace

bool CanSendChatNow()
{
    const uint32_t now = PlatformTimeMs();
    if (ChatSent && now - LastChatTime < ChatIntervalMs) {
        PlayInterfaceSound(SoundInvalidKey);
        return false;
    }
    ChatSent = true;
    LastChatTime = now;
    return true;
}

bool CheckChatRate(const char *line, int exempt)
{
    if (line && line[0] == '/') {
        char word[CommandWordSize];
        GetCommandWord(CommandWordSize, word, line);
        for (const char *limited : RateLimitedWords) {
            if (EqualsNoCase(word, limited)) {
                return CanSendChatNow();
            }
        }
        if (!EqualsNoCase(word, "me")) {
            return true;
        }
    }
    return exempt ? true : CanSendChatNow();
}

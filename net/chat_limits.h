#pragma once

// The chat rate limit: at most one chat line in 501 ms.

// True when 501 ms or more passed since the last accepted chat line (the line
// is then counted); otherwise false with the invalid-key sound.
bool CanSendChatNow();
// True when the line may go now: a "/" line with the word "m", "find", "w",
// "ws" or "i" only when CanSendChatNow allows it; any other "/" line always,
// except "me"; a chat line or "/me" when exempt, else by CanSendChatNow.
bool CheckChatRate(const char *line, int exempt);

#include "net/chat_limits.h"

#include <gtest/gtest.h>

#include "platform/timer.h"

namespace {

TEST(ChatLimitsTest, ChatLinesAndChatCommandsShareTheRateLimit)
{
    // Start clear of any earlier chat line.
    PlatformSleepMs(520);

    EXPECT_TRUE(CheckChatRate("hello", 0));
    EXPECT_FALSE(CheckChatRate("hello again", 0));
    EXPECT_FALSE(CheckChatRate("/w pb", 0));
    EXPECT_FALSE(CheckChatRate("/FIND someone", 1));  // exempt or not
    EXPECT_FALSE(CheckChatRate("/me waves", 0));
    EXPECT_TRUE(CheckChatRate("/me waves", 1));
    EXPECT_TRUE(CheckChatRate("exempt line", 1));
    EXPECT_TRUE(CheckChatRate("/press up", 0));       // other commands always pass
    EXPECT_TRUE(CheckChatRate("/exit", 0));
    EXPECT_FALSE(CanSendChatNow());

    PlatformSleepMs(520);
    EXPECT_TRUE(CheckChatRate("/ws", 0));
    EXPECT_FALSE(CheckChatRate("/i", 0));
}

}  // namespace

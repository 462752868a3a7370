#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ConversionCase {
    const char *name;
    int codePage;
    const char *utf8;
    int size;
    std::string bytes;
};

const ConversionCase ToCodePageCases[] = {
    {"ascii", 1252, "Abc 1", 32, "Abc 1"},
    {"e acute", 1252, "\xC3\xA9", 32, "\xE9"},
    {"euro is not latin-1", 1252, "\xE2\x82\xAC", 32, "\x80"},
    {"missing character dropped alone", 1251, "\xD0\x96\xC3\xA9z", 32, "\xC6z"},
    {"double-byte page", 932, "\xE3\x81\x82", 32, "\x82\xA0"},
    {"pair never split at the end", 932, "\xE3\x81\x82\xE3\x81\x82", 4, "\x82\xA0"},
    {"broken sequences dropped", 1252, "a\xC3" "b\xFF" "c\xE2\x82", 32, "abc"},
    {"cut to the size", 1252, "abcdef", 4, "abc"},
};

TEST(CodePage, Utf8ToCodePageKeepsEveryCharacterThePageHas)
{
    for (const ConversionCase &c : ToCodePageCases) {
        char out[64];
        const int count = PlatformUtf8ToCodePage(c.codePage, c.utf8, out, c.size);
        EXPECT_EQ(std::string(out), c.bytes) << c.name;
        EXPECT_EQ(count, static_cast<int>(c.bytes.size())) << c.name;
    }
}

TEST(CodePage, CodePageToUtf8)
{
    char out[32];
    EXPECT_EQ(PlatformCodePageToUtf8(1252, "caf\xE9 \x80", out, sizeof(out)), 9);
    EXPECT_STREQ(out, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(PlatformCodePageToUtf8(932, "\x82\xA0", out, sizeof(out)), 3);
    EXPECT_STREQ(out, "\xE3\x81\x82");
    // A three-byte character does not fit in three bytes of room.
    EXPECT_EQ(PlatformCodePageToUtf8(1252, "a\x80", out, 4), 1);
    EXPECT_STREQ(out, "a");
}

TEST(CodePage, UnknownPagesAndBadArgumentsAreRefused)
{
    char out[8] = "x";
    EXPECT_FALSE(PlatformCodePageSupported(0));
    EXPECT_FALSE(PlatformCodePageSupported(-5));
    EXPECT_FALSE(PlatformCodePageSupported(99999));
    EXPECT_EQ(PlatformUtf8ToCodePage(12345, "abc", out, sizeof(out)), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(PlatformUtf8ToCodePage(1252, "abc", out, 0), -1);
    EXPECT_EQ(PlatformUtf8ToCodePage(1252, nullptr, out, sizeof(out)), 0);
    EXPECT_TRUE(PlatformCodePageSupported(1250));
    EXPECT_TRUE(PlatformCodePageSupported(1252));
}

TEST(CodePage, Utf8Check)
{
    EXPECT_TRUE(PlatformIsUtf8("plain"));
    EXPECT_TRUE(PlatformIsUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(PlatformIsUtf8("caf\xE9"));           // Windows-1252
    EXPECT_FALSE(PlatformIsUtf8("\xC3"));              // cut short
    EXPECT_FALSE(PlatformIsUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(PlatformIsUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(PlatformIsUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

}  // namespace

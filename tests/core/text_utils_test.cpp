#include "core/text_utils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"

namespace {

constexpr char Sentinel = 'X';

// The n bytes of a field followed by one sentinel byte, which must survive.
std::string Field(const char *bytes, int n)
{
    return std::string(bytes, static_cast<size_t>(n)) + Sentinel;
}

struct StripCase {
    const char *text;
    int n;
    std::string expected;   // n bytes exactly
};

TEST(TextUtilsTest, StripColourCodesFillsExactlyNBytes)
{
    const StripCase cases[] = {
        {"^1Red^7 car^8", 16, std::string("Red car^L\0\0\0\0\0\0\0", 16)},
        {"a^^b", 6, std::string("a^^b\0\0", 6)},
        {"^Jtext", 7, std::string("^Jtext\0", 7)},
        {"^:x^9y", 5, std::string("^Lxy\0", 5)},
        {"ab^", 4, std::string("ab^\0", 4)},        // a final lone "^" is copied
        {"abcd", 4, "abcd"},                         // full field: no terminator
        {"abc^8", 4, std::string("abc\0", 4)},       // "^L" does not fit: zeros
        {"ab^^cd", 3, std::string("ab\0", 3)},       // "^^" does not fit either
        {"^3", 2, std::string("\0\0", 2)},
    };
    for (const StripCase &c : cases) {
        std::vector<char> out(static_cast<size_t>(c.n) + 1, Sentinel);
        StripColourCodes(out.data(), c.text, c.n);
        EXPECT_EQ(std::string(out.data(), out.size()), c.expected + Sentinel) << c.text;
    }
}

TEST(TextUtilsTest, StripColourCodesMapsTheCursor)
{
    const char *text = "^1Red^7 car^8!";
    struct {
        int cursor;
        int expected;
    } const cases[] = {
        {0, 0},    // on a removed code: where the next character goes
        {1, 0},    // inside a removed pair
        {2, 0},    // "R"
        {5, 3},    // "^7" starts after "Red"
        {8, 4},    // "c"
        {11, 7},   // "^8" -> "^L" at 7
        {12, 0},   // inside the rewritten pair
        {13, 9},   // "!"
        {14, 10},  // the end of the text
    };
    for (const auto &c : cases) {
        char out[32];
        EXPECT_EQ(StripColourCodes(out, text, sizeof out - 1, c.cursor), c.expected) << c.cursor;
    }
}

TEST(TextUtilsTest, CodePagePrefixes)
{
    EXPECT_EQ(NeedsCodePage("plain", 5), 0);
    EXPECT_EQ(NeedsCodePage("\xc0\xc1", 0), 0);
    EXPECT_EQ(NeedsCodePage("\xc0\xc1", 5), 1);
    EXPECT_EQ(NeedsCodePage("a\\b", 4), 1);

    struct {
        const char *text;
        int size;
        int codePage;
        const char *expected;
    } const cases[] = {
        {"\xc0\xc1", 8, 5, "^C\xc0\xc1"},
        {"text", 8, 4, "^Jtext"},
        {"abcdefg", 8, 9, "^Kabcde"},   // cut to fit, still terminated
        {"ab", 3, 1, "^E"},              // room for the prefix only
        {"a", 2, 5, "a"},                // no room: unchanged
        {"abc", 8, 10, "abc"},           // unknown code page: unchanged
    };
    for (const auto &c : cases) {
        std::vector<char> buffer(static_cast<size_t>(c.size) + 1, Sentinel);
        strcpy(buffer.data(), c.text);
        PrefixCodePage(buffer.data(), c.size, c.codePage);
        EXPECT_STREQ(buffer.data(), c.expected) << c.text;
        EXPECT_EQ(buffer[static_cast<size_t>(c.size)], Sentinel) << c.text;
    }

    char plain[16] = "plain";
    AddCodePagePrefix(plain, sizeof plain, 5);
    EXPECT_STREQ(plain, "plain");
    char cyrillic[16] = "\xc4\xe0";
    AddCodePagePrefix(cyrillic, sizeof cyrillic, 5);
    EXPECT_STREQ(cyrillic, "^C\xc4\xe0");
}

class MarkupNameTest : public ::testing::Test {
protected:
    void TearDown() override { LanguageCodePage = 0; }
};

TEST_F(MarkupNameTest, RewritesCodesAndAddsLatinPrefix)
{
    struct {
        int codePage;
        const char *name;
        const char *expected;
    } const cases[] = {
        {0, "^8Bob^8", "^:Bob^:"},
        {0, "Bob^", "Bob"},
        {0, "a^^", "a^^"},
        {0, "Jos\xe9", "Jos\xe9"},          // Latin language: no prefix needed
        {5, "Jos\xe9", "^LJos\xe9"},
        {5, "a\\b", "^La\\b"},
        {5, "^1Bob", "^1Bob"},
        {5, "123456789012345678901234567890", "123456789012345678901234"},
        {0, "12345678901234567890123^4567", "12345678901234567890123"},   // cut pair dropped
        {5, "\xe9" "23456789012345678901234567", "^L\xe9" "2345678901234567890123" "4"},
    };
    for (const auto &c : cases) {
        LanguageCodePage = c.codePage;
        EXPECT_STREQ(MarkupName(c.name), c.expected) << c.name;
    }

    LanguageCodePage = 5;
    EXPECT_STREQ(MarkupNameReset("\xe9" "23456789012345678901234567"),
                 "^L\xe9" "23456789012345678901234" "^8");
}

TEST_F(MarkupNameTest, TwoResultsStayValidTogether)
{
    const char *first = MarkupName("first");
    const char *second = MarkupNameReset("second");
    EXPECT_NE(first, second);
    EXPECT_STREQ(first, "first");
    EXPECT_STREQ(second, "second^8");
    const char *third = MarkupName("third");
    EXPECT_EQ(third, first);   // the third call reuses the first buffer
    EXPECT_STREQ(second, "second^8");
}

TEST(TextUtilsTest, FileNameEscapes)
{
    const char chars[] = "*:\\#<?>/\"|";
    const char letters[] = "acdhlqrstv";
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(FileCharToEscape(chars[k]), letters[k]);
        EXPECT_EQ(EscapeToFileChar(letters[k]), chars[k]);
    }
    EXPECT_EQ(FileCharToEscape('x'), 0);
    EXPECT_EQ(FileCharToEscape(0), 0);
    EXPECT_EQ(EscapeToFileChar('b'), 0);
    EXPECT_EQ(EscapeToFileChar(0), 0);

    struct {
        const char *text;
        const char *expected;
    } const decodes[] = {
        {"what^q", "what?"}, {"^x", "^x"}, {"a^", "a^"}, {"^^q", "^^q"}, {"a^sb^d^t", "a/b\\\""},
    };
    for (const auto &c : decodes) {
        char text[32];
        strcpy(text, c.text);
        DecodeNameEscapes(text);
        EXPECT_STREQ(text, c.expected) << c.text;
    }

    char name[] = "a*b:c?d|e";
    StripFileNameChars(name);
    EXPECT_STREQ(name, "abcde");
}

TEST(TextUtilsTest, BoundedCopies)
{
    char dest[6];
    memset(dest, Sentinel, sizeof dest);
    CopyString(dest, "abcdef", 4);
    EXPECT_EQ(std::string(dest, 5), Field("abc\0", 4));

    memset(dest, Sentinel, sizeof dest);
    CopyString(dest, "ab", 5);
    EXPECT_EQ(std::string(dest, 6), Field("ab\0\0\0", 5));

    memset(dest, Sentinel, sizeof dest);
    CopyString(dest, "ab", 1);
    EXPECT_EQ(std::string(dest, 2), Field("\0", 1));

    char unquoted[16];
    memset(unquoted, Sentinel, sizeof unquoted);
    EXPECT_EQ(CopyWithoutQuotes(unquoted, "\"C:\\a b\"", 15), 6);
    EXPECT_STREQ(unquoted, "C:\\a b");
    memset(unquoted, Sentinel, sizeof unquoted);
    EXPECT_EQ(CopyWithoutQuotes(unquoted, "\"abcdef", 4), 3);   // looks at 4 source characters
    EXPECT_EQ(std::string(unquoted, 5), "abc" + std::string(1, '\0') + Sentinel);
}

TEST(TextUtilsTest, SmallFunctions)
{
    EXPECT_STREQ(PluralSuffix(0), "s");
    EXPECT_STREQ(PluralSuffix(1), "");
    EXPECT_STREQ(PluralSuffix(2), "s");

    for (const char *digits = "09AFaf"; *digits; ++digits)
        EXPECT_EQ(IsHexDigit(*digits), 1) << *digits;
    for (const char *other = "Gg/:@`"; *other; ++other)
        EXPECT_EQ(IsHexDigit(*other), 0) << *other;

    EXPECT_EQ(StartsWithNoCase("HTTP/1.1 200", "http/"), 1);
    EXPECT_EQ(StartsWithNoCase("ab", "abc"), 0);
    EXPECT_EQ(StartsWithNoCase("abc", "abd"), 0);
    EXPECT_EQ(StartsWithNoCase("abc", ""), 1);
    EXPECT_EQ(StartsWithNoCase("[x", "{x"), 0);   // only letters fold

    // 24-character name, 8-character tag: compared up to the first zero.
    char a[32] = "Alice";
    char b[32] = "Bob";
    memcpy(a + 24, "TAG\0junk", 8);
    memcpy(b + 24, "TAG\0diff", 8);
    EXPECT_EQ(PlayerTagDiffers(a, b), 0);
    memcpy(b + 24, "TAH\0junk", 8);
    EXPECT_EQ(PlayerTagDiffers(a, b), 1);
}

TEST(TextUtilsTest, NumberParsers)
{
    struct {
        const char *text;
        int expected;
    } const ints[] = {
        {"abc", 0}, {"", 0}, {"  42x", 42}, {"-7", -7}, {"+8", 8}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const auto &c : ints)
        EXPECT_EQ(ParseInt(c.text), c.expected) << c.text;

    struct {
        const char *text;
        float expected;
    } const floats[] = {
        {"1,5", 1.5f}, {"  2.25x", 2.25f}, {"abc", 0.0f}, {"", 0.0f}, {"-0,125", -0.125f},
        {"1234567890123456789", 123456789012345.0f},   // only 15 characters are read
    };
    for (const auto &c : floats)
        EXPECT_EQ(ParseFloat(c.text), c.expected) << c.text;
}

TEST(TextUtilsTest, FormatRaceTime)
{
    struct {
        const char *prefix;
        int spaced;
        int hundredths;
        const char *expected;
    } const cases[] = {
        {"", 0, 6523, "1:05.23"},    {"", 0, 360000, "1:00:00.00"}, {"", 0, -5, "0:00.00"},
        {"PRO", 1, 6523, "PRO 1:05.23"}, {"", 1, 0, " 0:00.00"},   {"", 0, 359999, "59:59.99"},
        {"", 0, 3723456, "10:20:34.56"},
    };
    for (const auto &c : cases) {
        char out[32];
        FormatRaceTime(out, sizeof out, c.prefix, c.spaced, c.hundredths, 0);
        EXPECT_STREQ(out, c.expected) << c.hundredths;
    }

    // A digit font moves every character by (font + 5) x 16.
    char shifted[32];
    FormatRaceTime(shifted, sizeof shifted, "", 0, 6523, 1);
    std::string expected = "1:05.23";
    for (char &ch : expected)
        ch = static_cast<char>(static_cast<unsigned char>(ch) + 96);
    EXPECT_EQ(std::string(shifted), expected);

    // A small buffer is cut, never overrun.
    char small[6];
    memset(small, Sentinel, sizeof small);
    FormatRaceTime(small, 5, "LAP", 1, 6523, 0);
    EXPECT_EQ(std::string(small, 6), Field("LAP \0", 5));
}

class ClockTextTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        LocalHour = LocalMinute = UtcHour = UtcMinute = 0;
        EditorOptions = 0;
    }

    // The texts with the clock font's shift of 112 taken back off.
    static std::string Unshifted(const char *text)
    {
        std::string plain;
        for (; *text; ++text)
            plain += static_cast<char>(static_cast<unsigned char>(*text) - 112);
        return plain;
    }
};

TEST_F(ClockTextTest, TwelveAndTwentyFourHourTexts)
{
    struct {
        int options;
        int hour;
        const char *local;
    } const cases[] = {
        {0x80, 13, "1:05"}, {0, 13, "13:05"}, {0x80, 0, "12:05"}, {0x80, 12, "12:05"}, {0, 0, "00:05"}, {0x7f, 9, "09:05"},
    };
    for (const auto &c : cases) {
        EditorOptions = c.options;
        LocalHour = c.hour;
        LocalMinute = 5;
        UtcHour = 7;
        UtcMinute = 30;
        char out[2][8];
        FormatClockTexts(out);
        EXPECT_EQ(Unshifted(out[0]), c.local) << c.hour << " " << c.options;
        EXPECT_EQ(Unshifted(out[1]), "07:30");
    }
    char out[2][8];
    FormatClockTexts(out);
    EXPECT_EQ(static_cast<unsigned char>(out[1][0]), '0' + 112);
}

// The field writers, read back from a file written through a stream.
TEST(TextUtilsTest, StreamFieldsWriteExactlyNBytes)
{
    const char *path = "text_utils_fields.bin";
    DataStream stream;
    ASSERT_EQ(stream.OpenWrite(nullptr, path, "KZVTST", 1), nullptr);
    WriteTextNoColours(&stream, "^1Red^7 car^8", 12);
    WriteTextNoColours(&stream, "abc^8", 4);
    WriteTextField(&stream, "abcdef", 4);
    WriteTextField(&stream, "ab", 5);
    WriteTextField(&stream, "xyz", 0);
    ASSERT_EQ(stream.Close(), 0);

    FILE *file = fopen(path, "rb");
    ASSERT_NE(file, nullptr);
    char bytes[64];
    const size_t size = fread(bytes, 1, sizeof bytes, file);
    fclose(file);
    remove(path);

    const std::string expected = std::string("Red car^L\0\0\0", 12) + std::string("abc\0", 4) +
                                 std::string("abc\0", 4) + std::string("ab\0\0\0", 5);
    ASSERT_EQ(size, 8 + expected.size());
    EXPECT_EQ(std::string(bytes + 8, size - 8), expected);
}

}  // namespace

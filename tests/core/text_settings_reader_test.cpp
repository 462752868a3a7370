#include "core/text_settings_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// An open file holding the text, read from its start.
FILE *FileWith(const std::string &text)
{
    FILE *file = std::tmpfile();
    std::fputs(text.c_str(), file);
    std::rewind(file);
    return file;
}

std::string Rest(FILE *file)
{
    std::string rest;
    for (int c; (c = std::getc(file)) != EOF;) {
        rest.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return rest;
}

TEST(TextSettingsReader, MatcherNeedsABlankAndTheWholeKey)
{
    const char *const keys[] = {"Editor Options ", "Options ", "B "};
    // Newest first: the file ended "...Editor Options ".
    const std::string editor = " snoitpO rotidE";
    EXPECT_EQ(MatchTextKey((editor + std::string(64 - editor.size(), 0)).c_str(), keys, 3), 0);
    const std::string plain = " snoitpO x";
    EXPECT_EQ(MatchTextKey((plain + std::string(64 - plain.size(), 0)).c_str(), keys, 3), 1);
    const std::string noBlank = "snoitpO ";
    EXPECT_EQ(MatchTextKey((noBlank + std::string(64 - noBlank.size(), 0)).c_str(), keys, 3), 3);
    const std::string wrongCase = " b";
    EXPECT_EQ(MatchTextKey((wrongCase + std::string(64 - wrongCase.size(), 0)).c_str(), keys, 3), 3);
}

TEST(TextSettingsReader, NumberScansLeaveWhatEndedThem)
{
    struct Case {
        const char *text;
        float expected;  // from 5.0 within 0..100
        const char *rest;
    } const cases[] = {
        {"  \r\n 12.5x", 12.5f, "x"},
        {"+2.5 ", 2.5f, " "},
        {".5", 0.5f, ""},
        {"1e1,", 10.0f, ","},
        {"1e", 1.0f, ""},
        {"3ex", 3.0f, "x"},
        {"-7", 0.0f, ""},
        {"1e999", 100.0f, ""},
        {"infinity!", 100.0f, "!"},
        {"NaN ", 0.0f, " "},
        {"abc", 5.0f, "abc"},
        {"-x", 5.0f, "x"},
        {"", 5.0f, ""},
    };
    for (const Case &c : cases) {
        FILE *file = FileWith(c.text);
        float value = 5.0f;
        ReadClampedFloat(file, &value, 0.0f, 100.0f);
        EXPECT_EQ(value, c.expected) << c.text;
        EXPECT_EQ(Rest(file), c.rest) << c.text;
    }

    FILE *file = FileWith(" -1 9");
    uint32_t mask = 7;
    ReadMaskedInt(file, &mask, 0x3e3);
    EXPECT_EQ(mask, 0x3e3u);
    int value = 50;
    ReadClampedInt(file, &value, 0, 5);
    EXPECT_EQ(value, 5);
    ReadClampedInt(file, &value, 10, 20);  // nothing left: the value is still clamped
    EXPECT_EQ(value, 10);
    std::fclose(file);
}

TEST(TextSettingsReader, TextLines)
{
    FILE *file = FileWith("ab\tcdef\r\nrest");
    char buffer[4];
    EXPECT_EQ(ReadTextLine(file, buffer, sizeof(buffer)), '\r');
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(Rest(file), "\nrest");

    file = FileWith("a/b|cdef\nrest");
    EXPECT_EQ(ReadTextLineNoEscapes(file, buffer, sizeof(buffer)), 'c');
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(Rest(file), "def\nrest");

    file = FileWith("x");
    EXPECT_EQ(ReadTextLine(file, buffer, sizeof(buffer)), EOF);
    EXPECT_STREQ(buffer, "x");
    std::fclose(file);
}

}  // namespace

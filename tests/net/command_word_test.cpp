#include "net/command_word.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CommandWordTest, SplitsWordAndRest)
{
    struct Case {
        const char *line;
        const char *word;
        const char *rest;
    };
    const Case cases[] = {
        {"/w pb", "w", "pb"},
        {"/press=up", "press", "up"},
        {"/run   a b ", "run", "a b "},
        {"/W=  x", "W", "x"},
        {"/exit", "exit", ""},
        {"/w=", "w", ""},
        {"/a =b", "a", "=b"},
        {"//script", "/script", ""},
        {"/", "", ""},
        {"", "", ""},
        {"/abcdefghijklmnopqrst arg", "abcdefghijklmno", "arg"},  // a word is cut at 15 characters
    };
    for (const Case &c : cases) {
        char word[16] = "garbage";
        const char *rest = GetCommandWord(16, word, c.line);
        EXPECT_STREQ(word, c.word) << c.line;
        EXPECT_STREQ(rest, c.rest) << c.line;
    }

    char word[16] = "garbage";
    EXPECT_STREQ(GetCommandWord(16, word, nullptr), "");
    EXPECT_STREQ(word, "");

    char small[4];
    EXPECT_STREQ(GetCommandWord(4, small, "/press up"), "up");
    EXPECT_STREQ(small, "pre");
}

}  // namespace

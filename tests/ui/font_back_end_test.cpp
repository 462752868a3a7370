// The cache fonts of the double-byte pages over a fake glyph back end, and
// the keyboard's code page.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/debug_log.h"
#include "core/font_face_settings.h"
#include "platform/window.h"
#include "tests/ui/fake_glyph_renderer.h"
#include "tests/ui/font_fixture.h"
#include "ui/font.h"
#include "ui/message_lines.h"

namespace {

std::vector<std::string> LogTexts()
{
    std::vector<std::string> lines;
    std::ifstream in(DefaultDebugLogName);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line.size() >= LogStampLength ? line.substr(LogStampLength) : line);
    }
    return lines;
}

int CountOf(const std::vector<std::string> &lines, const std::string &text)
{
    int n = 0;
    for (const std::string &line : lines) {
        n += line == text;
    }
    return n;
}

class FontBackEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DebugLogPath[0] = 0;
        std::remove(DefaultDebugLogName);
        SetGlyphRenderer(&renderer);
        for (FontFaceSetting &face : FontFaceSettings) {
            face.name[0] = 0;
            face.weight = DefaultFontWeight;
        }
    }
    void TearDown() override
    {
        FreeFont();
        SetGlyphRenderer(nullptr);
        std::remove(DefaultDebugLogName);
    }
    void Load()
    {
        ASSERT_EQ(InitFont(WriteFixture(Serialise(StandardFixture(12)), "back_end").c_str()), 1);
    }
    FakeGlyphRenderer renderer;
};

TEST_F(FontBackEndTest, FacesAreRankedAndTheConfiguredOneWins)
{
    renderer.AddFace("Plain Serif", GlyphFaceOther);
    renderer.AddFace("@Vertical Sans", GlyphFaceSans);
    renderer.AddFace("Mono One", GlyphFaceMonospace);
    renderer.AddFace("Sans One", GlyphFaceSans);
    renderer.AddFace("WenQuanYi Micro Hei", GlyphFaceSans);
    renderer.AddFace("Sans Two", GlyphFaceSans);
    renderer.AddFace("Other Two", GlyphFaceOther);
    Load();
    ASSERT_EQ(EnumerateFonts(0), 6);
    const char *order[] = {"WenQuanYi Micro Hei", "Sans One", "Sans Two", "Mono One", "Plain Serif", "Other Two"};
    const int ranks[] = {3, 2, 2, 1, 0, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(RankedFaces[i].name, order[i]);
        EXPECT_EQ(RankedFaces[i].rank, ranks[i]);
    }
    // Without a configured face the default is made, and stored for cfg.txt.
    EXPECT_EQ(ChosenFace, 0);
    EXPECT_STREQ(FontFaceSettings[0].name, "WenQuanYi Micro Hei");

    // A configured face that is there wins over the default.
    std::snprintf(FontFaceSettings[1].name, sizeof(FontFaceSettings[1].name), "Mono One");
    ASSERT_EQ(EnumerateFonts(1), 6);
    EXPECT_EQ(ChosenFace, 3);
    ASSERT_EQ(CreateCacheFont(1), 1);
    EXPECT_EQ(renderer.createdFaces.back(), "Mono One");
    EXPECT_STREQ(FontFaceSettings[1].name, "Mono One");
    // One that is not installed falls back to the first.
    std::snprintf(FontFaceSettings[2].name, sizeof(FontFaceSettings[2].name), "Gone Face");
    EnumerateFonts(2);
    EXPECT_EQ(ChosenFace, 0);
}

TEST_F(FontBackEndTest, AtMostSeventySixFacesAreKept)
{
    for (int i = 0; i < 80; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "Face %02d", i);
        renderer.AddFace(name, GlyphFaceOther);
    }
    Load();
    ASSERT_EQ(EnumerateFonts(3), MaxRankedFaces);
    EXPECT_STREQ(RankedFaces[0].name, "Face 00");
    EXPECT_STREQ(RankedFaces[MaxRankedFaces - 1].name, "Face 75");
}

TEST_F(FontBackEndTest, InkRowsOfTheLetterEPlaceTheCachedCharacters)
{
    renderer.AddFace("Sans One", GlyphFaceSans);
    Load();
    const CodePageTable &japanese = CodePageTables[4];
    ASSERT_EQ(japanese.Unavailable, 0);
    EXPECT_EQ(japanese.inkHeight, 40);
    EXPECT_FLOAT_EQ(japanese.CacheTop, 0.78f * 7.0f / 40.0f);
    EXPECT_FLOAT_EQ(japanese.CacheBottom, 0.78f * 55.0f / 40.0f);
    EXPECT_EQ(renderer.liveFonts, 4);
    const std::vector<std::string> log = LogTexts();
    EXPECT_EQ(CountOf(log, "-----"), 1);
    EXPECT_EQ(CountOf(log, "SHIFTJIS : Sans One"), 1);

    // An 'E' without ink leaves the page unavailable and drops the font.
    FreeFont();
    EXPECT_EQ(renderer.liveFonts, 0);
    renderer.ink['E'] = {1, 0};
    Load();
    for (const int t : {4, 7, 8, 9}) {
        EXPECT_EQ(CodePageTables[t].Unavailable, 1) << t;
        EXPECT_EQ(CodePageTables[t].cacheFont, nullptr) << t;
    }
    EXPECT_EQ(renderer.liveFonts, 0);
}

TEST_F(FontBackEndTest, NoFacesOrNoBackEndLeaveThePagesUnavailable)
{
    Load();
    std::vector<std::string> log = LogTexts();
    for (const char *name : {"SHIFTJIS", "CHINESEBIG5", "GB2312", "HANGUL"}) {
        EXPECT_EQ(CountOf(log, std::string("no fonts available : ") + name), 1) << name;
    }
    FreeFont();
    std::remove(DefaultDebugLogName);

    renderer.startOk = false;
    renderer.AddFace("Sans One", GlyphFaceSans);
    Load();
    log = LogTexts();
    EXPECT_EQ(CountOf(log, "Could not start the character renderer"), 1);
    EXPECT_EQ(CountOf(log, "no fonts available : SHIFTJIS"), 0);
    EXPECT_EQ(CountOf(log, "-----"), 1);
    for (const int t : {4, 7, 8, 9}) {
        EXPECT_EQ(CodePageTables[t].Unavailable, 1) << t;
    }
    EXPECT_TRUE(renderer.createdFaces.empty());
    // A back end that never started is not stopped.
    FreeFont();
    EXPECT_EQ(renderer.stopped, 1);
}

TEST_F(FontBackEndTest, FailedFontCreationIsLogged)
{
    renderer.AddFace("Sans One", GlyphFaceSans);
    renderer.createOk = false;
    Load();
    EXPECT_EQ(CountOf(LogTexts(), "could not create font : HANGUL"), 1);
    EXPECT_EQ(CodePageTables[9].Unavailable, 1);
}

TEST_F(FontBackEndTest, KeyboardCodePageFollowsThePlatformsPage)
{
    FontFixture fixture = StandardFixture(12);
    const uint32_t numbers[10] = {1252, 1250, 1254, 1257, 932, 1251, 1253, 950, 936, 949};
    for (int t = 0; t < 10; ++t) {
        fixture.tableNumbers[t] = numbers[t];
    }
    ASSERT_EQ(InitFont(WriteFixture(Serialise(fixture), "keyboard").c_str()), 1);
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
    UpdateKeyboardCodePage(0);
    ClearMessageLines();
    std::remove(DefaultDebugLogName);

    // Announced: one message line.
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1251));
    UpdateKeyboardCodePage(1);
    EXPECT_EQ(KeyboardCodePage, 5);
    EXPECT_EQ(MessageLineCount, 1);
    // The same page again reports nothing.
    UpdateKeyboardCodePage(1);
    EXPECT_EQ(MessageLineCount, 1);

    // Not announced: a log line only.
    ClearMessageLines();
    std::remove(DefaultDebugLogName);
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1253));
    UpdateKeyboardCodePage(0);
    EXPECT_EQ(KeyboardCodePage, 6);
    EXPECT_EQ(MessageLineCount, 0);
    EXPECT_EQ(CountOf(LogTexts(), "Keyboard code page : 1253"), 1);

    // A page no table has gives table 0.
    ASSERT_TRUE(PlatformSetKeyboardCodePage(437));
    UpdateKeyboardCodePage(0);
    EXPECT_EQ(KeyboardCodePage, 0);
    ASSERT_TRUE(PlatformSetKeyboardCodePage(1252));
    ClearMessageLines();
}

}  // namespace

#include "core/text_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/text_utils.h"

namespace {

// Test stand-ins for the text framework: a text is as wide as its character
// count, so a width in the tests is a number of characters.
float WidthFactor = 0.7f;
bool FactorHeldAtOne = true;
float LastMeasureSize = 0.0f;
int LastMeasureCodePage = -1;
int Warnings = 0;

struct Item {
    float top;
    float bottom;
    std::string text;
    int latin;
};
std::vector<Item> Items;

float CountChars(const char *text, float size, int codePage)
{
    FactorHeldAtOne = FactorHeldAtOne && WidthFactor == 1.0f;
    LastMeasureSize = size;
    LastMeasureCodePage = codePage;
    return static_cast<float>(strlen(text));
}

void RecordItem(float, float top, float, float bottom, const char *text, int latin, MenuPage *)
{
    Items.push_back({top, bottom, text, latin});
}

void CountWarning(const char *text)
{
    if (strcmp(text, "Invalid character") == 0)
        ++Warnings;
}

// The block followed by guard bytes that a line past the twentieth would hit.
struct GuardedBlock {
    TextBlock block;
    char guard[256];
};

class TextBlockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TextBlockServices services = {};
        services.measureCodedText = CountChars;
        services.widthFactor = &WidthFactor;
        services.addTextItem = RecordItem;
        services.printWarning = CountWarning;
        SetTextBlockServices(services);
        WidthFactor = 0.7f;
        FactorHeldAtOne = true;
        Warnings = 0;
        Items.clear();
        guarded = std::make_unique<GuardedBlock>();
        memset(guarded->guard, 'X', sizeof guarded->guard);
        guarded->block.Init(1);
    }

    void TearDown() override
    {
        if (file)
            fclose(file);
        remove(Path);
        SetTextBlockServices(TextBlockServices{});
        LanguageCodePage = 0;
    }

    void OpenText(const std::string &text)
    {
        FILE *out = fopen(Path, "wb");
        ASSERT_NE(out, nullptr);
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
        file = fopen(Path, "rb");
        ASSERT_NE(file, nullptr);
    }

    std::vector<std::string> ReadLines() const
    {
        std::vector<std::string> lines;
        for (int k = 0; k < guarded->block.CountLines(); ++k)
            lines.emplace_back(guarded->block.lines[k]);
        return lines;
    }

    bool GuardIntact() const
    {
        for (char ch : guarded->guard) {
            if (ch != 'X')
                return false;
        }
        return true;
    }

    static constexpr const char *Path = "text_block_test.txt";
    std::unique_ptr<GuardedBlock> guarded;
    TextBlock &block() { return guarded->block; }
    FILE *file = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(TextBlockTest, SectionsSkipHeaderAndEndAtBackslash)
{
    OpenText("@header line\r\n\r\nFirst line\r\n\r\nThird\r\n\\next\r\n@second\r\nNext section\nlast");
    block().ReadSection(file, "^7TITLE", 1.0f, 1000.0f);
    EXPECT_EQ(ReadLines(), (Lines{"^7TITLE", "First line", "", "Third"}));
    EXPECT_EQ(WidthFactor, 0.7f);   // restored after reading

    block().Init(1);
    block().ReadSection(file, nullptr, 1.0f, 1000.0f);
    EXPECT_EQ(ReadLines(), (Lines{"Next section", "last"}));   // the end of the file ends it

    block().Init(1);
    block().ReadSection(file, nullptr, 1.0f, 1000.0f);
    EXPECT_EQ(block().CountLines(), 0);
}

TEST_F(TextBlockTest, LongLinesWrap)
{
    struct {
        const char *text;
        float width;
        Lines expected;
    } const cases[] = {
        // At a blank near the end; the blank stays on the first line.
        {"The quick brown fox jumps over the lazy dog", 18.0f,
         {"The quick brown ", "fox jumps over ", "the lazy dog"}},
        // After ")" or "-".
        {"abcdefg(hi)jklmnopqr-stuvw", 12.0f, {"abcdefg(hi)", "jklmnopqr-", "stuvw"}},
        // No break character near the end: cut where the line is full.
        {"abcdefghijklmnopqrstuvwxyz", 10.0f, {"abcdefghij", "klmnopqrst", "uvwxyz"}},
        // Short lines are never measured.
        {"abcdef", 2.0f, {"abcdef"}},
    };
    for (const auto &c : cases) {
        block().Init(1);
        OpenText(c.text);
        block().ReadSection(file, nullptr, 2.0f, c.width);
        fclose(file);
        file = nullptr;
        EXPECT_EQ(ReadLines(), c.expected) << c.text;
    }
    EXPECT_TRUE(FactorHeldAtOne);
    EXPECT_FLOAT_EQ(LastMeasureSize, 0.85f * 2.0f);
}

TEST_F(TextBlockTest, LinesStopAt127Characters)
{
    OpenText(std::string(300, 'a') + "\nnext");
    block().ReadSection(file, nullptr, 1.0f, 1.0e6f);
    EXPECT_EQ(ReadLines(), (Lines{std::string(127, 'a'), std::string(127, 'a'), std::string(46, 'a'), "next"}));
}

TEST_F(TextBlockTest, OverflowOfTheTwentiethLineIsDropped)
{
    std::string text;
    for (int k = 0; k < 19; ++k)
        text += "line " + std::to_string(k) + "\n";
    text += "aaaaaaaaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\nafter\n";
    OpenText(text);

    block().ReadSection(file, nullptr, 1.0f, 12.0f);
    EXPECT_EQ(block().CountLines(), 20);
    EXPECT_STREQ(block().lines[18], "line 18");
    EXPECT_STREQ(block().lines[19], "aaaaaaaaaa ");
    EXPECT_TRUE(GuardIntact());

    // The rest of the wrapped file line went with the section.
    block().Init(1);
    block().ReadSection(file, nullptr, 1.0f, 12.0f);
    EXPECT_EQ(ReadLines(), (Lines{"after"}));
}

TEST_F(TextBlockTest, DoubleBytePairsStayTogether)
{
    // In Japanese "\x82" starts a pair: it moves on with its second byte.
    const std::string text = "abc\x01" "defgh\x82\xa0z";
    struct {
        uint32_t kind;
        int languageCodePage;
        Lines expected;
        int measuredCodePage;
        int warnings;
    } const cases[] = {
        {0, 4, {"abc\x01" "defgh", "\x82\xa0z"}, 4, 1},
        {1, 4, {"abc\x01" "defgh\x82", "\xa0z"}, 0, 0},   // a Latin block measures in code page 0
        {0, 5, {"abc\x01" "defgh\x82", "\xa0z"}, 5, 0},   // single-byte code page
    };
    for (const auto &c : cases) {
        LanguageCodePage = c.languageCodePage;
        Warnings = 0;
        block().Init(c.kind);
        OpenText(text);
        block().ReadSection(file, nullptr, 1.0f, 10.0f);
        fclose(file);
        file = nullptr;
        EXPECT_EQ(ReadLines(), c.expected) << c.kind << " " << c.languageCodePage;
        EXPECT_EQ(LastMeasureCodePage, c.measuredCodePage);
        EXPECT_EQ(Warnings, c.warnings);
    }
}

TEST_F(TextBlockTest, KeepCountAndAddItems)
{
    block().Init(0);
    strcpy(block().lines[0], "a");
    strcpy(block().lines[2], "c");
    strcpy(block().lines[3], "d");
    EXPECT_EQ(block().CountLines(), 4);
    EXPECT_EQ(block().KeepLines(3), 2);
    EXPECT_EQ(block().lines[3][0], 0);
    EXPECT_EQ(block().CountLines(), 3);
    EXPECT_EQ(block().KeepLines(99), 2);
    EXPECT_EQ(block().KeepLines(0), 0);
    EXPECT_EQ(block().CountLines(), 0);

    strcpy(block().lines[0], "a");
    strcpy(block().lines[2], "c");
    EXPECT_EQ(block().AddItems(-0.9f, -0.5f, 0.9f, 0.25f, nullptr), 3);
    ASSERT_EQ(Items.size(), 2u);
    EXPECT_EQ(Items[0].text, "a");
    EXPECT_FLOAT_EQ(Items[0].top, -0.5f);
    EXPECT_FLOAT_EQ(Items[0].bottom, -0.25f);
    EXPECT_EQ(Items[1].text, "c");
    EXPECT_FLOAT_EQ(Items[1].top, 0.0f);   // the empty row still took its place
    EXPECT_EQ(Items[0].latin, 0);

    block().kind = 2;
    Items.clear();
    block().AddItems(0.0f, 0.0f, 1.0f, 0.1f, nullptr);
    ASSERT_EQ(Items.size(), 2u);
    EXPECT_EQ(Items[0].latin, 1);
}

TEST_F(TextBlockTest, StandInsWithoutFramework)
{
    SetTextBlockServices(TextBlockServices{});
    // Stand-in width: characters x 0.5 x (0.85 x size): 10 characters are 4.25 wide.
    OpenText("abcdefghijklmnop");
    block().ReadSection(file, nullptr, 1.0f, 4.25f);
    EXPECT_EQ(ReadLines(), (Lines{"abcdefghij", "klmnop"}));
    EXPECT_EQ(block().AddItems(0.0f, 0.0f, 1.0f, 0.1f, nullptr), 2);
}

}  // namespace

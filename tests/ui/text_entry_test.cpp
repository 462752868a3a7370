#include "ui/text_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/main_window.h"
#include "platform/keys.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "ui/ui_services.h"

namespace {

std::vector<int> Sounds;
std::string ClipboardText;

void RecordSound(int sound)
{
    Sounds.push_back(sound);
}

bool FakeGet(char *out, int size)
{
    if (ClipboardText.empty()) {
        return false;
    }
    std::snprintf(out, static_cast<size_t>(size), "%s", ClipboardText.c_str());
    return true;
}

bool FakeSet(const char *utf8)
{
    ClipboardText = utf8;
    return true;
}

// Two code-page tables: 0 a Latin page, 1 a double-byte page whose 0x81 is a
// lead byte and 0xA0 a passive byte, with the Latin letters as in table 0.
class TextEntryTest : public ::testing::Test {
protected:
    CodePageTable tables[2];
    CodePageTable *savedTables = nullptr;
    int savedCount = 0;
    int savedLetters = 0;
    int savedKeyboard = 0;

    void SetUp() override
    {
        for (int t = 0; t < 2; ++t) {
            for (int i = 0; i < CodePageEntryCount; ++i) {
                tables[t].entries[i] = CodePageEntry{static_cast<uint16_t>(i), 0, 0};
            }
        }
        tables[0].number = 1252;
        tables[1].number = 932;
        tables[1].entries[0x81 - CodePageFirstByte].flags = CodePageLeadByteFlags;
        tables[1].entries[0xA0 - CodePageFirstByte].flags = CodePagePassiveFlag;
        tables[1].entries[0xE9 - CodePageFirstByte].glyph = 400;  // differs from the Latin page
        savedTables = CodePageTables;
        savedCount = CodePageTableCount;
        savedLetters = CodePageLetterCount;
        savedKeyboard = KeyboardCodePage;
        CodePageTables = tables;
        CodePageTableCount = 2;
        CodePageLetterCount = 2;
        KeyboardCodePage = 0;
        UiServices services{};
        services.playInterfaceSound = RecordSound;
        SetUiServices(services);
        static const EntryClipboard fake = {FakeGet, FakeSet};
        SetEntryClipboard(&fake);
        Sounds.clear();
        ClipboardText.clear();
        CtrlHeld = 0;
    }

    void TearDown() override
    {
        CodePageTables = savedTables;
        CodePageTableCount = savedCount;
        CodePageLetterCount = savedLetters;
        KeyboardCodePage = savedKeyboard;
        SetUiServices(UiServices{});
        SetEntryClipboard(nullptr);
        CtrlHeld = 0;
        ClearMessageLines();
    }

    static void Type(const char *text)
    {
        for (const char *p = text; *p != 0; ++p) {
            TextEntryKey(static_cast<unsigned char>(*p));
        }
    }
    static void CtrlKey(int code)
    {
        CtrlHeld = 1;
        TextEntryKey(code);
        CtrlHeld = 0;
    }
};

TEST_F(TextEntryTest, MaximumLengthCountsMarkedUpBytes)
{
    BeginTextEntry(16, nullptr, 0, EntryModeAny);
    Type("abcdefghijklmno");
    EXPECT_STREQ(EntryText, "abcdefghijklmno");
    EXPECT_TRUE(Sounds.empty());
    TextEntryKey('p');
    EXPECT_STREQ(EntryText, "abcdefghijklmno");
    EXPECT_EQ(Sounds, std::vector<int>{3});
    EXPECT_EQ(EntryRoom, 0);

    // After Ctrl+1 a character costs three bytes: 12 + 3 fits, 13 + 3 not.
    struct Case {
        const char *typed;
        bool fits;
    };
    for (const Case &c : {Case{"abcdefghijkl", true}, Case{"abcdefghijklm", false}}) {
        Sounds.clear();
        BeginTextEntry(16, nullptr, 0, EntryModeAny);
        Type(c.typed);
        CtrlKey('1');
        EXPECT_EQ(EntryColour, 1);
        const std::string before = EntryText;
        TextEntryKey('x');
        if (c.fits) {
            EXPECT_EQ(std::string(EntryText), before + "^1x");
            EXPECT_TRUE(Sounds.empty());
        } else {
            EXPECT_EQ(std::string(EntryText), before);
            EXPECT_EQ(Sounds, std::vector<int>{3});
        }
    }
}

TEST_F(TextEntryTest, SlashLinesStopAt63BytesButMeLinesDoNot)
{
    BeginTextEntry(96, "/", -1, EntryModeAny);
    for (int i = 0; i < 80; ++i) {
        TextEntryKey('a');
    }
    EXPECT_EQ(std::string(EntryText).size(), 63u);

    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    Type("/me ");
    for (int i = 0; i < 100; ++i) {
        TextEntryKey('a');
    }
    EXPECT_EQ(std::string(EntryText).size(), 95u);
}

TEST_F(TextEntryTest, FileNameModeEscapesAndSkipsLeadingDot)
{
    BeginTextEntry(32, nullptr, 0, EntryModeFileName);
    Type(".a:b^");
    EXPECT_STREQ(EntryText, "a^cb^^");
    EXPECT_EQ(CountEntryChars(), 4);
    EXPECT_EQ(EntryChars[1].c, ':');
    char plain[32];
    DecodeCodedText(nullptr, 0, plain, sizeof(plain), EntryText, 0);
    EXPECT_STREQ(plain, "a:b^");
}

TEST_F(TextEntryTest, CursorKeysAndWordEditing)
{
    BeginTextEntry(96, "/", -1, EntryModeAny);
    Type("say hi");
    TextEntryKey(KeyCodeHome);
    EXPECT_EQ(EntryCursor, 1);
    EXPECT_EQ(EntryCursorByte, 1);
    TextEntryKey(8);  // not into the fixed start
    EXPECT_STREQ(EntryText, "/say hi");
    TextEntryKey(KeyCodeLeft);
    EXPECT_EQ(EntryCursor, 1);

    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    Type("one two three");
    CtrlKey(KeyCodeLeft);
    EXPECT_EQ(EntryCursor, 8);
    CtrlKey(KeyCodeLeft);
    EXPECT_EQ(EntryCursor, 4);
    CtrlKey(KeyCodeDelete);
    EXPECT_STREQ(EntryText, "one three");
    CtrlKey(KeyCodeRight);
    EXPECT_EQ(EntryCursor, 9);
    TextEntryKey(127);
    EXPECT_STREQ(EntryText, "one ");
    TextEntryKey(KeyCodeEnd);
    EXPECT_EQ(EntryCursor, 4);

    // A blank right after the fixed start is not typed.
    BeginTextEntry(96, "/", -1, EntryModeAny);
    TextEntryKey(' ');
    EXPECT_STREQ(EntryText, "/");
}

TEST_F(TextEntryTest, CopyAndPasteKeepColoursOfOwnTextOnly)
{
    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    Type("red ");
    CtrlKey('1');
    Type("word");
    EXPECT_STREQ(EntryText, "red ^1word");
    TextEntryKey(KeyCodeCopy);
    EXPECT_EQ(ClipboardText, "red word");

    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    TextEntryKey(KeyCodePaste);
    EXPECT_STREQ(EntryText, "red ^1word");

    // Foreign text: plain, in the keyboard's page, "?" for what it lacks.
    ClipboardText = "caf\xC3\xA9 \xE2\x98\x83!";
    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    TextEntryKey(KeyCodePaste);
    EXPECT_STREQ(EntryText, "caf\xE9 ?!");
}

TEST_F(TextEntryTest, LeadBytesWaitForTheirTrail)
{
    KeyboardCodePage = 1;
    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    TextEntryKey(0x81);
    EXPECT_EQ(PendingLeadByte, 0x81);
    EXPECT_EQ(CountEntryChars(), 0);
    TextEntryKey(0x40);
    EXPECT_EQ(PendingLeadByte, 0);
    ASSERT_EQ(CountEntryChars(), 1);
    EXPECT_EQ(EntryChars[0].c, 0x81);
    EXPECT_EQ(EntryChars[0].trail, 0x40);
    // The page letter only where the tables differ: 'a' needs none.
    TextEntryKey('a');
    EXPECT_STREQ(EntryText, "^E\x81\x40" "a");

    // A passive byte is a character of its own.
    TextEntryKey(0xA0);
    TextEntryKey('b');
    EXPECT_EQ(CountEntryChars(), 4);
    EXPECT_EQ(EntryChars[2].c, 0xA0);
    EXPECT_EQ(EntryChars[2].trail, 0);

    BeginTextEntry(96, nullptr, 0, EntryModeLatin);
    EXPECT_EQ(TypeEntryChar(0x81), 0);
    EXPECT_EQ(PendingLeadByte, 0);
    EXPECT_EQ(Sounds, std::vector<int>{3});
}

TEST_F(TextEntryTest, RecallWalksTheMessageLines)
{
    ClearMessageLines();
    PrintMessage("first", &MessageColours[ColourWhite]);
    PrintMessage("second", &MessageColours[ColourWhite]);
    BeginTextEntry(96, nullptr, 0, EntryModeAny);
    TextEntryKey(KeyCodeUp);
    EXPECT_STREQ(EntryText, "second");
    TextEntryKey(KeyCodeUp);
    EXPECT_STREQ(EntryText, "first");
    TextEntryKey(KeyCodeDown);
    EXPECT_STREQ(EntryText, "second");
    TextEntryKey(KeyCodeDown);
    EXPECT_STREQ(EntryText, "");
    EXPECT_EQ(RecallSequence, -1);

    // Not with a fixed start.
    BeginTextEntry(96, "/", -1, EntryModeAny);
    TextEntryKey(KeyCodeUp);
    EXPECT_STREQ(EntryText, "/");
}

TEST_F(TextEntryTest, FinishTrimsAndPlainCompareIgnoresMarks)
{
    BeginTextEntry(96, "/", -1, EntryModeAny);
    Type("x  ");
    EntryCursor = 1;
    FinishEntryText();
    EXPECT_STREQ(EntryText, "/x");
    EXPECT_EQ(EntryCursor, 2);

    SetPlainCompareText("^1Hello ^7there");
    EXPECT_EQ(EqualsPlainCompareText("Hello there"), 1);
    EXPECT_EQ(EqualsPlainCompareText("hello there"), 0);
}

}  // namespace

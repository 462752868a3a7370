// File lists over real folders with set modification times: the sort modes,
// the filters, the name cuts, the case-insensitive folders, the time texts,
// odd and many names, the list operations and the drawn rows; and a walk
// that finds more files in its second pass than it counted in its first.
#include "ui/file_list.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/interface_colours.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t BaseTime = 1700000000;  // November 2023

class FileListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all("lists");
        fs::create_directories("lists/a");
        fs::create_directories("lists/b");
        SetFileFinder(nullptr);
        ClearMessageLines();
        BeginInterfaceFrame();
    }
    void TearDown() override
    {
        SetFileFinder(nullptr);
        BeginInterfaceFrame();
        fs::remove_all("lists");
    }

    // A file with its last write time in UTC seconds.
    static void Touch(const std::string &path, int64_t seconds)
    {
        std::ofstream(path, std::ios::binary) << "x";
        struct timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }
    static std::vector<std::string> Names(const FileList &list)
    {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count; ++i) {
            names.emplace_back(list.Entries[i].Name);
        }
        return names;
    }
    static std::set<std::string> NameSet(const FileList &list)
    {
        const std::vector<std::string> names = Names(list);
        return {names.begin(), names.end()};
    }
};

using NameList = std::vector<std::string>;

TEST_F(FileListTest, ByNameIgnoresLetterCaseAndByTimeIsNewestFirst)
{
    Touch("lists/a/beta.txt", BaseTime + 30);
    Touch("lists/a/Alpha.txt", BaseTime + 10);
    Touch("lists/a/gamma.txt", BaseTime + 20);
    Touch("lists/a/ALPHB.txt", BaseTime + 40);
    Touch("lists/a/other.dat", BaseTime + 50);
    FileList list;
    list.Fill("lists\\a\\*.txt", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"Alpha", "ALPHB", "beta", "gamma"}));
    EXPECT_EQ(list.Selected, -1);
    list.Fill("lists\\a\\*.txt", FileListNewest, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"ALPHB", "beta", "gamma", "Alpha"}));
    EXPECT_EQ(list.NewestIndex(), 0);
    list.Fill("lists\\a\\*_*", FileListNewestRule, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(list.Count, 0);
}

TEST_F(FileListTest, TheNewestRuleWantsFiveToNineteenCharactersAndAFourthUnderscore)
{
    struct Case {
        const char *name;
        bool accepted;
    };
    const Case cases[] = {
        {"ABC_x", true},
        {"ABCD_x", false},
        {"AB_x", false},                  // four characters
        {"ABC_", false},
        {"ABC_567890123456789", true},    // nineteen
        {"ABC_5678901234567890", false},  // twenty
        {"abcdefg", false},
    };
    int64_t time = BaseTime;
    for (const Case &c : cases) {
        Touch(std::string("lists/a/") + c.name, time += 10);
    }
    FileList list;
    list.Fill("lists\\a\\*", FileListNewestRule, 64, nullptr, 0, nullptr, 0);
    std::vector<std::string> expected;
    for (int i = static_cast<int>(std::size(cases)) - 1; i >= 0; --i) {
        if (cases[i].accepted) {
            expected.emplace_back(cases[i].name);
        }
    }
    EXPECT_EQ(Names(list), expected);
}

TEST_F(FileListTest, LanguageOrderPutsEnglishFirstAndUnknownFilesLast)
{
    for (const char *name : {"Zulu", "Russian", "English", "Deutsch", "max_len", "Japanese"}) {
        Touch(std::string("lists/a/") + name + ".txt", BaseTime);
    }
    FileList list;
    list.Fill("lists\\a\\*.txt", FileListLanguage, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(list.Count, 6);
    EXPECT_EQ(Names(list)[0], "English");
    EXPECT_EQ(list.Entries[0].LanguageOrder, 0);
    // The table's order: Deutsch, Russian, Japanese.
    EXPECT_EQ(Names(list)[1], "Deutsch");
    EXPECT_EQ(Names(list)[2], "Russian");
    EXPECT_EQ(Names(list)[3], "Japanese");
    EXPECT_EQ(list.Entries[1].LanguageOrder, 1);
    // The two unknown ones last, in either order.
    const NameList names = Names(list);
    EXPECT_EQ(std::set<std::string>(names.begin() + 4, names.end()),
              (std::set<std::string>{"Zulu", "max_len"}));
    EXPECT_EQ(list.Entries[5].LanguageOrder, 255);
}

TEST_F(FileListTest, PatternsPrefixesAsciiAndDuplicates)
{
    Touch("lists/b/one.rpl", BaseTime);
    Touch("lists/b/two.rpl", BaseTime);
    FileList list;
    // The first pattern finds nothing: every entry comes from the second.
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 0, "lists\\b\\*.rpl", 0);
    ASSERT_EQ(list.Count, 2);
    for (const FileListEntry &entry : list.Entries) {
        EXPECT_EQ(entry.FromSecond, 1);
    }

    Touch("lists/a/one.rpl", BaseTime);
    Touch("lists/a/three.rpl", BaseTime);
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 0, "lists\\b\\*.rpl", 0);
    EXPECT_EQ(Names(list), (NameList{"one", "one", "three", "two"}));
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 0, "lists\\b\\*.rpl", 1);
    EXPECT_EQ(Names(list), (NameList{"one", "three", "two"}));
    EXPECT_EQ(list.Entries[0].FromSecond, 0);  // the first pattern's "one" stays
    EXPECT_EQ(list.Entries[2].FromSecond, 1);
    list.MarkAll();
    EXPECT_EQ(list.Entries[0].FromSecond, 1);

    // The excluded prefix in any letter case.
    Touch("lists/a/AUTOsave.rpl", BaseTime);
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, "autoS", 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"one", "three"}));

    // ASCII only looks at the first NameLimit - 1 bytes.
    Touch("lists/a/caf\xc3\xa9.rpl", BaseTime);
    Touch("lists/a/abcdefg\xc3\xa9.rpl", BaseTime);
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 1, nullptr, 0);
    EXPECT_EQ(NameSet(list), (std::set<std::string>{"AUTOsave", "one", "three"}));
    list.Fill("lists\\a\\*.rpl", FileListByName, 8, nullptr, 1, nullptr, 0);
    EXPECT_EQ(NameSet(list), (std::set<std::string>{"AUTOsav", "one", "three", "abcdefg"}));
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(list.Count, 5);
}

TEST_F(FileListTest, ExtensionsAndNameLimits)
{
    Touch("lists/a/car.skin.jpg", BaseTime);
    Touch("lists/a/abcdefghijk.jpg", BaseTime);
    Touch("lists/a/ab.cdefghijklmn", BaseTime);
    FileList list;
    list.Fill("lists\\a\\*", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"ab.cdefghijklmn", "abcdefghijk.jpg", "car.skin.jpg"}));
    // "*.*" ends in "*" too; a pattern ending otherwise cuts the extension.
    list.Fill("lists\\a\\*.*", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"ab.cdefghijklmn", "abcdefghijk.jpg", "car.skin.jpg"}));
    list.Fill("lists\\a\\*?", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"ab", "abcdefghijk", "car.skin"}));
    // Cut to seven characters; the cut at the last "." only where it lies
    // within them.
    list.Fill("lists\\a\\*?", FileListByName, 8, nullptr, 0, nullptr, 0);
    EXPECT_EQ(list.NameLimit, 8u);
    EXPECT_EQ(Names(list), (NameList{"ab", "abcdefg", "car.ski"}));
    list.Fill("lists\\a\\*", FileListByName, 500, nullptr, 0, nullptr, 0);
    EXPECT_EQ(list.NameLimit, 64u);
}

TEST_F(FileListTest, FoldersAndPatternsMatchWithoutLetterCase)
{
    fs::create_directories("data/skins");
    Touch("data/skins/Red.JPG", BaseTime);
    Touch("data/skins/blue.jpg", BaseTime);
    fs::create_directories("data/skins/folder.jpg");  // folders are not listed
    FileList list;
    list.Fill("DATA\\Skins\\*.jpg", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"blue", "Red"}));
    list.Fill("data\\skins\\R?D.*", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(Names(list), (NameList{"Red.JPG"}));
    list.Fill("data\\missing\\*", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(list.Count, 0);
    fs::remove_all("data/skins");

    struct Match {
        const char *pattern;
        const char *name;
        int matches;
    };
    const Match matches[] = {
        {"*", "anything", 1},        {"*.jpg", "a.JPG", 1},   {"XRT_*", "xrt_setup.set", 1},
        {"XRT_*", "FXO_setup", 0},   {"?a*b", "xaYYb", 1},    {"*a*b", "ab", 1},
        {"a*b*c", "aXbXbXc", 1},     {"a*b*c", "aXbXbX", 0},  {"", "", 1},
        {"*.*", "noext", 0},         {"**", "", 1},           {"?", "", 0},
    };
    for (const Match &m : matches) {
        EXPECT_EQ(MatchFileName(m.pattern, m.name), m.matches) << m.pattern << " " << m.name;
    }
}

TEST_F(FileListTest, TimeTextsAreTheUtcTimeOfTheFileTime)
{
    // 2024-03-05 07:08:09 UTC.
    Touch("lists/a/lap.spr", 1709622489);
    Touch("lists/a/old.spr", 0);
    FileList list;
    list.Fill("lists\\a\\*.spr", FileListNewest, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(list.Count, 2);
    const FileListEntry &lap = list.Entries[0];
    EXPECT_STREQ(lap.Name, "lap");
    EXPECT_STREQ(lap.TimeText, "07:08.09");
    EXPECT_STREQ(lap.DateText, "5/3/24");
    EXPECT_EQ(FileTimeValue(lap.WriteTime), (1709622489ull + 11644473600ull) * 10000000ull);
    EXPECT_STREQ(list.Entries[1].TimeText, "00:00.00");
    EXPECT_STREQ(list.Entries[1].DateText, "1/1/70");
}

TEST_F(FileListTest, OddAndManyNamesAreListedSafely)
{
    // A name of 250 bytes, names with UTF-8 and other high bytes, a name of
    // only an extension, and two thousand more.
    const std::string longName = std::string(246, 'L') + ".set";
    Touch("lists/a/" + longName, BaseTime);
    Touch("lists/a/\xd0\x9f\xd1\x80\xd0\xb8.set", BaseTime);
    Touch("lists/a/\xff\xfe\x80.set", BaseTime);
    Touch("lists/a/.set", BaseTime);
    for (int i = 0; i < 2000; ++i) {
        Touch("lists/a/f" + std::to_string(i) + ".set", BaseTime + i % 7);
    }
    FileList list;
    list.Fill("lists\\a\\*.set", FileListByName, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(list.Count, 2004);
    for (const FileListEntry &entry : list.Entries) {
        EXPECT_LT(std::strlen(entry.Name), 64u);
        EXPECT_EQ(entry.DisplayName[0], 0);
    }
    EXPECT_NE(list.FindPrefix(std::string(63, 'L').c_str()), -1);
    // Sorted by name, ASCII letters folded, the other bytes as they are.
    const auto folded = [](const char *name) {
        std::string out;
        for (const char *p = name; *p != 0; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
        }
        return out;
    };
    for (int i = 1; i < list.Count; ++i) {
        const std::string a = folded(list.Entries[i - 1].Name);
        const std::string b = folded(list.Entries[i].Name);
        ASSERT_LE(std::memcmp(a.c_str(), b.c_str(), std::min(a.size(), b.size()) + 1), 0) << i;
    }
    list.Fill("lists\\a\\*.set", FileListNewest, 64, nullptr, 1, nullptr, 0);
    EXPECT_EQ(list.Count, 2002);  // the two names with high bytes are refused
    for (int i = 1; i < list.Count; ++i) {
        ASSERT_GE(FileTimeValue(list.Entries[i - 1].WriteTime), FileTimeValue(list.Entries[i].WriteTime));
    }
    BeginInterfaceFrame();
    list.FirstShown = 5000;
    list.Draw(nullptr, nullptr, -0.5f, 0.5f, -0.5f, 0.06f, 16, -1);
    EXPECT_EQ(list.FirstShown, 2002 - 16);
}

TEST_F(FileListTest, TheListOperations)
{
    Touch("lists/a/Alpha.spr", BaseTime + 5);
    Touch("lists/a/beta.spr", BaseTime + 9);
    Touch("lists/a/gamma.spr", BaseTime + 9);
    Touch("lists/a/alphabet.spr", BaseTime + 1);
    FileList list;
    list.Fill("lists\\a\\*.spr", FileListByName, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(Names(list), (NameList{"Alpha", "alphabet", "beta", "gamma"}));
    EXPECT_EQ(list.NewestIndex(), 2);  // the first of the two newest
    EXPECT_EQ(list.FindPrefix("ALPHAB"), 1);
    EXPECT_EQ(list.FindPrefix("g"), 3);
    EXPECT_EQ(list.FindPrefix("delta"), -1);
    list.SelectName("beta.spr");
    EXPECT_EQ(list.Selected, 2);
    list.SelectName("beta.anything.else");
    EXPECT_EQ(list.Selected, 2);
    list.SelectName("delta");
    EXPECT_EQ(list.Selected, -1);
    list.SelectName("gamma");
    list.RemoveName("ALPHA");
    EXPECT_EQ(Names(list), (NameList{"alphabet", "beta", "gamma"}));
    EXPECT_EQ(list.Selected, 2);  // still on "gamma"
    list.RemoveName("GAMMA");
    EXPECT_EQ(list.Selected, -1);
    list.RemoveName("alphabet");
    list.RemoveName("beta");
    EXPECT_EQ(list.Count, 0);
    EXPECT_TRUE(list.Entries.empty());
    EXPECT_EQ(list.NewestIndex(), 0);

    FileList one;
    one.Fill("lists\\a\\beta.*", FileListByName, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(one.Count, 1);
    EXPECT_EQ(one.NewestIndex(), 0);
}

TEST_F(FileListTest, DrawShowsTheVisibleRowsAndKeepsTheFirstWithinTheList)
{
    for (int i = 0; i < 40; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "lists/a/file%02d.rpl", i);
        Touch(name, BaseTime);
    }
    FileList list;
    list.Fill("lists\\a\\*.rpl", FileListByName, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(list.Count, 40);
    MenuPage page{};
    const auto callback = [](MenuPage *, intptr_t, intptr_t) {};
    for (int first : {0, 10, 24, 25, 39, 100, -3}) {
        SCOPED_TRACE(first);
        BeginInterfaceFrame();
        list.FirstShown = first;
        const float bottom = list.Draw(&page, callback, -0.35f, 0.35f, -0.16f, 0.06f, 16, 30);
        EXPECT_GE(list.FirstShown, 0);
        EXPECT_LE(list.FirstShown, 24);
        EXPECT_NEAR(bottom, -0.16f + 16 * 0.06f, 1e-5);
        int rows = 0;
        bool scrollBar = false;
        for (int i = 0; i < InterfaceItemCount; ++i) {
            const InterfaceItem &item = InterfaceItems[i];
            if (item.Kind == ItemListDown) {
                scrollBar = true;
                EXPECT_FLOAT_EQ(item.x0, 0.325f);
                EXPECT_FLOAT_EQ(item.x1, 0.35f);
            }
            if (item.Kind != ItemButton) {
                continue;
            }
            const int index = static_cast<int>(item.Param.i);
            EXPECT_EQ(index, list.FirstShown + rows);
            EXPECT_STREQ(static_cast<const char *>(item.Text.p), list.Entries[index].Name);
            EXPECT_EQ(item.Colour, index == 30 ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected);
            EXPECT_FLOAT_EQ(item.x1, 0.325f);
            EXPECT_NEAR(item.y0, -0.16f + rows * 0.06f, 1e-5);
            EXPECT_EQ(item.CodePage, 0);
            ++rows;
        }
        EXPECT_EQ(rows, 16);
        EXPECT_TRUE(scrollBar);
    }
    // Fewer entries than rows: no bar, from the first.
    list.RemoveName("file00");
    for (int i = 1; i < 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "file%02d", i);
        list.RemoveName(name);
    }
    BeginInterfaceFrame();
    list.FirstShown = 5;
    const float bottom = list.Draw(&page, callback, -0.35f, 0.35f, -0.16f, 0.06f, 16, -1);
    EXPECT_EQ(list.FirstShown, 0);
    EXPECT_EQ(InterfaceItemCount, 10);
    EXPECT_NEAR(bottom, -0.16f + 10 * 0.06f, 1e-5);
    EXPECT_FLOAT_EQ(InterfaceItems[0].x1, 0.35f);
}

// A walk that finds one file more each time it is asked: a file written
// between the counting pass and the listing pass.
int WalkCount = 0;
void GrowingFinder(const char *, FileFindVisit visit, void *context)
{
    ++WalkCount;
    for (int i = 0; i < 3 + WalkCount; ++i) {
        const std::string name = "new" + std::to_string(i);
        visit(context, name.c_str(), FileTimeFromUnixSeconds(BaseTime + i));
    }
}

TEST_F(FileListTest, AFileWrittenBetweenThePassesIsNotListedPastTheCount)
{
    WalkCount = 0;
    SetFileFinder(GrowingFinder);
    FileList list;
    list.Fill("data\\skins\\*.jpg", FileListNewest, 64, nullptr, 0, nullptr, 0);
    EXPECT_EQ(WalkCount, 2);
    EXPECT_EQ(list.Count, 4);  // the first pass counted four
    EXPECT_EQ(list.Entries.size(), 4u);
    EXPECT_EQ(Names(list), (NameList{"new3", "new2", "new1", "new0"}));
    // And with two patterns, each walked twice.
    WalkCount = 0;
    list.Fill("a\\*", FileListByName, 64, nullptr, 0, "b\\*", 0);
    EXPECT_EQ(WalkCount, 4);
    EXPECT_EQ(list.Count, 4 + 5);
    EXPECT_EQ(static_cast<int>(list.Entries.size()), list.Count);
}

TEST_F(FileListTest, LanguageNamesForTheLanguageList)
{
    fs::create_directories("data/language");
    const std::string longName(50, 'R');
    std::ofstream("data/language/Russian.txt") << "tx_codepage 1251\ntx_langname Russkij\n";
    std::ofstream("data/language/" + longName + ".txt") << "tx_codepage 1251\ntx_langname Russkij\n";
    std::ofstream("data/language/English.txt") << "English.txt\n";
    std::ofstream("data/language/max_len.txt") << "\n";
    std::vector<CodePageTable> tables(10);
    const uint16_t numbers[] = {1252, 1250, 1254, 1257, 932, 1251, 1253, 950, 936, 949};
    for (int i = 0; i < 10; ++i) {
        tables[i].number = numbers[i];
    }
    CodePageTables = tables.data();
    CodePageTableCount = 10;

    FileList list;
    list.Fill("data\\language\\*.txt", FileListLanguage, 64, nullptr, 0, nullptr, 0);
    ASSERT_EQ(list.Count, 4);
    list.ReadLanguageNames();
    ASSERT_EQ(list.Count, 3);
    EXPECT_EQ(list.FindPrefix("max_len"), -1);
    EXPECT_STREQ(list.Entries[0].Name, "English");
    EXPECT_STREQ(list.Entries[0].DisplayName, "English");
    EXPECT_STREQ(list.Entries[1].DisplayName, "^CRusskij");
    EXPECT_STREQ(list.Entries[2].Name, longName.c_str());
    EXPECT_STREQ(list.Entries[2].DisplayName, "^CRusskij");

    // Without fonts for the Cyrillic page the file name shows, cut to 31.
    tables[5].Unavailable = 1;
    list.Fill("data\\language\\*.txt", FileListLanguage, 64, nullptr, 0, nullptr, 0);
    list.ReadLanguageNames();
    ASSERT_EQ(list.Count, 3);
    EXPECT_STREQ(list.Entries[1].DisplayName, "Russian");
    EXPECT_EQ(std::string(list.Entries[2].DisplayName), std::string(31, 'R'));

    CodePageTables = nullptr;
    CodePageTableCount = 0;
    fs::remove_all("data/language");
}

}  // namespace

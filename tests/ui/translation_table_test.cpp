#include "core/translation_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "ui/translation.h"

namespace {

constexpr int ListedKeyCount = 1632;
constexpr int ResultEntryCount = 50;
constexpr int ResultNumbersWithoutEntry[] = {11, 22, 23, 24, 28, 29, 30, 31};

int OwnKeyCount()
{
    int count = 0;
    for (const TranslationEntry &entry : TranslationTable) {
        count += std::strncmp(entry.KeyName, "3k_", 3) == 0 ? 1 : 0;
    }
    return count;
}

TEST(TranslationTableTest, KeysKeepTheirOrderAreUniqueAndOfTheKeyPattern)
{
    const int own = OwnKeyCount();
    ASSERT_GT(own, 0);
    EXPECT_EQ(TranslationEntryCount, ListedKeyCount + own);
    EXPECT_STREQ(TranslationTable[0].KeyName, "tx_codepage");
    EXPECT_STREQ(TranslationTable[1].KeyName, "tx_langname");
    EXPECT_STREQ(TranslationTable[2].KeyName, "tx_noun_adj");
    EXPECT_STREQ(TranslationTable[15].KeyName, "3h_s_coln_s");

    const std::regex pattern("(tx_|3[a-z]_)[a-z0-9_]{8}");
    std::set<std::string> seen;
    for (int i = 0; i < TranslationEntryCount; ++i) {
        const std::string key = TranslationTable[i].KeyName;
        EXPECT_TRUE(std::regex_match(key, pattern)) << key;
        EXPECT_TRUE(seen.insert(key).second) << "duplicate " << key;
        EXPECT_EQ(FindTranslationKey(key.c_str()), i);
    }

    // The project's own keys sit between the last code-page name and the
    // result texts, which stay last, in number order.
    for (int i = 0; i < own; ++i) {
        EXPECT_EQ(std::strncmp(TranslationTable[Text_3h_cp_korea + 1 + i].KeyName, "3k_", 3), 0);
    }
    const int firstResult = TranslationEntryCount - ResultEntryCount;
    EXPECT_EQ(firstResult, Text_3h_cp_korea + 1 + own);
    EXPECT_STREQ(TranslationTable[firstResult].KeyName, "3a_hostfull");
    EXPECT_STREQ(TranslationTable[TranslationEntryCount - 1].KeyName, "3h_notrxudp");
    int previous = -1;
    for (int i = 0; i < TranslationEntryCount; ++i) {
        EXPECT_EQ(IsResultEntry(i), i >= firstResult) << TranslationTable[i].KeyName;
        if (i >= firstResult) {
            EXPECT_GT(TranslationTable[i].ResultIndex, previous);
            previous = TranslationTable[i].ResultIndex;
            EXPECT_EQ(TranslationTable[i].Slot, &ResultSlots[previous]);
        } else {
            EXPECT_EQ(TranslationTable[i].ResultIndex, 0);
        }
    }
}

TEST(TranslationTableTest, EveryEnglishTextIsShorterThanItsMaximumAndUsesSupportedConversions)
{
    EXPECT_EQ(TranslationTable[Text_tx_codepage].MaxLength, 8);
    EXPECT_EQ(TranslationTable[Text_tx_langname].MaxLength, 24);
    EXPECT_EQ(TranslationTable[Text_tx_noun_adj].MaxLength, 4);
    for (int i = 0; i < TranslationEntryCount; ++i) {
        const TranslationEntry &entry = TranslationTable[i];
        const int length = static_cast<int>(std::strlen(entry.English));
        EXPECT_GT(length, 0) << entry.KeyName;
        EXPECT_LT(length, entry.MaxLength) << entry.KeyName;
        EXPECT_LE(entry.MaxLength, IsResultEntry(i) ? 64 : 120) << entry.KeyName;
        EXPECT_STRNE(entry.English, entry.KeyName);
        char conversions[32];
        EXPECT_TRUE(PrintfConversions(entry.English, conversions, sizeof(conversions)))
            << entry.KeyName << " \"" << entry.English << "\"";
    }
    EXPECT_STREQ(TranslationTable[Text_3h_s_coln_s].English, "%s : %s");
    EXPECT_STREQ(TranslationTable[Text_3a_etn_qcyl].English, " ?");
}

TEST(TranslationTableTest, ResultNumbersOutsideTheTableAndWithoutEntryGiveUnknownError)
{
    ResetTranslationSlots();
    EXPECT_STREQ(ResultTextEnglish(0), "Host is full");
    EXPECT_STREQ(ResultText(57), "Host did not receive UDP packet");
    for (const int n : ResultNumbersWithoutEntry) {
        EXPECT_STREQ(ResultText(n), "Unknown error") << n;
        EXPECT_STREQ(ResultTextEnglish(n), "Unknown error") << n;
    }
    for (const int n : {-1, 58, 255, 1 << 30}) {
        EXPECT_STREQ(ResultText(n), "Unknown error") << n;
        EXPECT_STREQ(ResultTextEnglish(n), "Unknown error") << n;
    }
}

TEST(TranslationTableTest, TranslateResultTextGivesTheCurrentTextOfAnEnglishResult)
{
    SetTranslationText(Text_3a_hostfull, "Serveur plein");
    int found = -1;
    EXPECT_STREQ(TranslateResultTextEx("Host is full", &found), "Serveur plein");
    EXPECT_EQ(found, 1);
    const char *other = "Host is nearly full";
    EXPECT_EQ(TranslateResultTextEx(other, &found), other);
    EXPECT_EQ(found, 0);
    EXPECT_STREQ(TranslateResultText("Host is full"), "Serveur plein");
    // "Unknown error" is result 13's text, not one of the numbers without entry.
    EXPECT_STREQ(TranslateResultText("Unknown error"), "Unknown error");
    ResetTranslationSlots();
    EXPECT_STREQ(Tx(Text_3a_hostfull), "Host is full");
}

}  // namespace

#include "core/language_table.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/locale.h"

namespace {

std::string Name(const char *name)
{
    return name ? name : "(English)";
}

TEST(LanguageTable, ChoiceFromTheLanguageId)
{
    struct Case {
        int primary;
        int sub;
        const char *expected;
    } const cases[] = {
        {22, 1, "Brazilian"},  {22, 2, "Portuguese"},  {22, 5, "Portuguese"}, {26, 7, "Serbian"},
        {26, 4, "Croatian"},   {26, 5, "Serbian"},     {10, 1, "Castellano"}, {10, 3, "Castellano"},
        {10, 2, "Latino"},     {4, 3, "Traditional_Chinese"}, {4, 4, "Simplified_Chinese"},
        {7, 1, "Deutsch"},     {9, 1, "(English)"},    {99, 1, "(English)"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Name(LanguageNameForId(c.primary | c.sub << 10)), c.expected) << c.primary << " " << c.sub;
    }
}

TEST(LanguageTable, ChoiceFromThePosixLocale)
{
    struct Case {
        const char *locale;
        const char *expected;
    } const cases[] = {
        {"pt_BR.UTF-8", "Brazilian"},    {"pt_PT.UTF-8", "Portuguese"},  {"es_MX", "Latino"},
        {"es_ES.UTF-8", "Castellano"},   {"es", "Castellano"},           {"zh_HK", "Traditional_Chinese"},
        {"zh_TW.UTF-8", "Traditional_Chinese"}, {"zh_CN.UTF-8", "Simplified_Chinese"},
        {"sr_RS@latin", "Serbian"},      {"sr_RS", "Serbian"},           {"hr_HR.UTF-8", "Croatian"},
        {"hr_BA", "Croatian"},           {"de_DE.UTF-8", "Deutsch"},     {"nb_NO.UTF-8", "Norsk"},
        {"gl_ES", "Galego"},             {"C", "(English)"},             {"POSIX", "(English)"},
        {"en_GB.UTF-8", "(English)"},    {"xx_YY", "(English)"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Name(LanguageNameForId(LanguageIdFromLocaleName(c.locale))), c.expected) << c.locale;
    }
}

TEST(LanguageTable, NamesAreFoundWithoutRegardToCase)
{
    EXPECT_EQ(LanguageNameIndex("deutsch"), 0);
    EXPECT_EQ(LanguageNameIndex("Latino"), LanguageCount - 1);
    EXPECT_EQ(LanguageNameIndex("English"), -1);
    EXPECT_EQ(LanguageNameIndex(nullptr), -1);
}

}  // namespace

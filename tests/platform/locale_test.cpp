#include "platform/locale.h"

#include <gtest/gtest.h>

namespace {

TEST(Locale, LanguageIdOfLocaleNames)
{
    struct Case {
        const char *locale;
        int primary;
        int sub;
    } const cases[] = {
        {"de_DE.UTF-8", 7, 1}, {"pt_BR.UTF-8", 22, 1}, {"pt", 22, 2},         {"es_MX", 10, 2},
        {"es", 10, 3},         {"es_ES@euro", 10, 3},  {"zh_HK", 4, 3},       {"zh", 4, 2},
        {"zh_SG", 4, 4},       {"zh_MO", 4, 5},        {"sr_RS@latin", 26, 2}, {"sr_RS", 26, 3},
        {"hr_BA", 26, 4},      {"hr", 26, 1},          {"nn_NO", 20, 1},      {"en_US.UTF-8", 9, 1},
        {"C", 9, 1},           {"POSIX", 9, 1},        {"C.UTF-8", 9, 1},     {"", 9, 1},
        {"klingon", 9, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LanguageIdFromLocaleName(c.locale), c.primary | c.sub << 10) << c.locale;
    }
    EXPECT_EQ(LanguageIdFromLocaleName(nullptr), LanguageIdEnglish);
}

TEST(Locale, FirstSetVariableDecides)
{
    EXPECT_EQ(LanguageIdFromEnvironment("fr_FR", "de_DE", "it_IT"), 12 | 1 << 10);
    EXPECT_EQ(LanguageIdFromEnvironment("", "de_DE", "it_IT"), 7 | 1 << 10);
    EXPECT_EQ(LanguageIdFromEnvironment(nullptr, nullptr, "it_IT"), 16 | 1 << 10);
    EXPECT_EQ(LanguageIdFromEnvironment("C", nullptr, "it_IT"), LanguageIdEnglish);
    EXPECT_EQ(LanguageIdFromEnvironment(nullptr, "", nullptr), LanguageIdEnglish);
}

}  // namespace

TEST(Locale, KeyboardCodePageOfLocaleNames)
{
    struct Case {
        const char *locale;
        int codePage;
    } const cases[] = {
        {"ja_JP.UTF-8", 932}, {"zh_HK", 950},  {"zh_TW.UTF-8", 950}, {"zh_CN.UTF-8", 936}, {"zh_SG", 936},
        {"ko_KR.UTF-8", 949}, {"ru_RU", 1251}, {"uk_UA.UTF-8", 1251}, {"sr_RS", 1251},     {"sr_RS@latin", 1250},
        {"el_GR", 1253},      {"tr_TR", 1254}, {"pl_PL", 1250},       {"cs_CZ.UTF-8", 1250}, {"hu_HU", 1250},
        {"lt_LT", 1257},      {"lv_LV", 1257}, {"et_EE", 1257},       {"de_DE.UTF-8", 1252}, {"C", 1252},
        {"C.UTF-8", 1252},    {"POSIX", 1252}, {"", 1252},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CodePageFromLocaleName(c.locale), c.codePage) << c.locale;
    }
    EXPECT_EQ(CodePageFromLocaleName(nullptr), 1252);
    // LC_ALL, then LC_CTYPE, then LANG.
    EXPECT_EQ(CodePageFromEnvironment("ru_RU", "ja_JP", "el_GR"), 1251);
    EXPECT_EQ(CodePageFromEnvironment("", "ja_JP", "el_GR"), 932);
    EXPECT_EQ(CodePageFromEnvironment(nullptr, nullptr, "el_GR"), 1253);
    EXPECT_EQ(CodePageFromEnvironment(nullptr, "", nullptr), 1252);
}

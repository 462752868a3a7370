#include "core/language_table.h"

#include "core/text_utils.h"
#include "platform/locale.h"

const LanguageRecord LanguageTable[LanguageCount] = {
    {7, {0, 0, 0, 0}, 0, "Deutsch"},
    {22, {2, 0, 0, 0}, 19, "Portuguese"},
    {12, {0, 0, 0, 0}, 0, "French"},
    {11, {0, 0, 0, 0}, 0, "Suomi"},
    {20, {0, 0, 0, 0}, 0, "Norsk"},
    {19, {0, 0, 0, 0}, 0, "Nederlands"},
    {3, {0, 0, 0, 0}, 0, "Catalan"},
    {31, {0, 0, 0, 0}, 0, "Turkish"},
    {10, {0, 0, 0, 0}, 32, "Castellano"},
    {16, {0, 0, 0, 0}, 0, "Italiano"},
    {6, {0, 0, 0, 0}, 0, "Dansk"},
    {5, {0, 0, 0, 0}, 0, "Czech"},
    {25, {0, 0, 0, 0}, 0, "Russian"},
    {37, {0, 0, 0, 0}, 0, "Estonian"},
    {26, {2, 3, 6, 7}, 17, "Serbian"},
    {8, {0, 0, 0, 0}, 0, "Greek"},
    {21, {0, 0, 0, 0}, 0, "Polski"},
    {26, {1, 4, 0, 0}, 14, "Croatian"},
    {14, {0, 0, 0, 0}, 0, "Hungarian"},
    {22, {1, 0, 0, 0}, 1, "Brazilian"},
    {29, {0, 0, 0, 0}, 0, "Swedish"},
    {27, {0, 0, 0, 0}, 0, "Slovak"},
    {86, {0, 0, 0, 0}, 0, "Galego"},
    {36, {0, 0, 0, 0}, 0, "Slovenski"},
    {35, {0, 0, 0, 0}, 0, "Belarussian"},
    {38, {0, 0, 0, 0}, 0, "Latvian"},
    {39, {0, 0, 0, 0}, 0, "Lithuanian"},
    {4, {1, 3, 5, 0}, 0, "Traditional_Chinese"},
    {4, {2, 4, 0, 0}, 0, "Simplified_Chinese"},
    {17, {0, 0, 0, 0}, 0, "Japanese"},
    {18, {0, 0, 0, 0}, 0, "Korean"},
    {2, {0, 0, 0, 0}, 0, "Bulgarian"},
    {10, {0, 0, 0, 0}, 8, "Latino"},
};

namespace {

constexpr int PrimarySpanish = 10;
int LanguageIdOverride = -1;

}  // namespace

int LanguageNameIndex(const char *name)
{
    if (!name) {
        return -1;
    }
    for (int i = 0; i < LanguageCount; ++i) {
        if (EqualsNoCase(LanguageTable[i].name, name)) {
            return i;
        }
    }
    return -1;
}

const char *LanguageNameForId(int languageId)
{
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    if (primary == PrimarySpanish) {
        return sub == 1 || sub == 3 ? "Castellano" : "Latino";
    }
    // A sub-language match scores 2, a primary-only match 1; only a strictly
    // higher score replaces the choice, so the first of equals wins.
    const char *chosen = nullptr;
    int best = 0;
    for (const LanguageRecord &language : LanguageTable) {
        if (language.primaryId != primary) {
            continue;
        }
        int score = 1;
        for (const uint8_t subId : language.subIds) {
            if (subId == sub) {
                score = 2;
            }
        }
        if (score > best) {
            best = score;
            chosen = language.name;
        }
    }
    return chosen;
}

int UserLanguageId()
{
    return LanguageIdOverride >= 0 ? LanguageIdOverride : PlatformUserLanguageId();
}

void SetUserLanguageIdOverride(int id)
{
    LanguageIdOverride = id;
}

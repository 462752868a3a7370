#include "core/translation_table.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char *EnglishTexts[TextCount] = {
#define KZV_TEXT(key, maxLength, result, english) english,
#include "core/translation_texts.def"
#undef KZV_TEXT
};

constexpr int ResultNumbers[TextCount] = {
#define KZV_TEXT(key, maxLength, result, english) result,
#include "core/translation_texts.def"
#undef KZV_TEXT
};

const char *TextSlots[TextCount] = {
#define KZV_TEXT(key, maxLength, result, english) english,
#include "core/translation_texts.def"
#undef KZV_TEXT
};

// Entry index of each result number, -1 where the number has no entry.
struct ResultLinks {
    int entry[ResultTextCount];
    const char *english[ResultTextCount];
};

constexpr ResultLinks MakeResultLinks()
{
    ResultLinks links{};
    for (int n = 0; n < ResultTextCount; ++n) {
        links.entry[n] = -1;
    }
    for (int i = 0; i < TextCount; ++i) {
        if (ResultNumbers[i] >= 0) {
            links.entry[ResultNumbers[i]] = i;
        }
    }
    const char *unknown = EnglishTexts[links.entry[ResultUnknownError]];
    for (int n = 0; n < ResultTextCount; ++n) {
        links.english[n] = links.entry[n] >= 0 ? EnglishTexts[links.entry[n]] : unknown;
    }
    return links;
}

constexpr ResultLinks Results = MakeResultLinks();
static_assert(Results.entry[ResultUnknownError] >= 0, "result 13 names the fallback text");

}  // namespace

// Constant-initialised, so texts read during static start-up are English.
const char *ResultSlots[ResultTextCount] = {
    Results.english[0], Results.english[1], Results.english[2], Results.english[3], Results.english[4],
    Results.english[5], Results.english[6], Results.english[7], Results.english[8], Results.english[9],
    Results.english[10], Results.english[11], Results.english[12], Results.english[13], Results.english[14],
    Results.english[15], Results.english[16], Results.english[17], Results.english[18], Results.english[19],
    Results.english[20], Results.english[21], Results.english[22], Results.english[23], Results.english[24],
    Results.english[25], Results.english[26], Results.english[27], Results.english[28], Results.english[29],
    Results.english[30], Results.english[31], Results.english[32], Results.english[33], Results.english[34],
    Results.english[35], Results.english[36], Results.english[37], Results.english[38], Results.english[39],
    Results.english[40], Results.english[41], Results.english[42], Results.english[43], Results.english[44],
    Results.english[45], Results.english[46], Results.english[47], Results.english[48], Results.english[49],
    Results.english[50], Results.english[51], Results.english[52], Results.english[53], Results.english[54],
    Results.english[55], Results.english[56], Results.english[57],
};

TranslationEntry TranslationTable[TranslationEntryCount] = {
#define KZV_TEXT(key, maxLength, result, english)                                                          \
    {#key, static_cast<uint8_t>(maxLength), static_cast<uint8_t>((result) < 0 ? 0 : (result)),                \
     (result) < 0 ? &TextSlots[Text_##key] : &ResultSlots[(result) < 0 ? 0 : (result)], english},
#include "core/translation_texts.def"
#undef KZV_TEXT
};

namespace {

// The entries ordered by key (equal keys in table order), for the lookups of
// a whole language file.
struct KeyOrder {
    int index[TranslationEntryCount];
    KeyOrder()
    {
        for (int i = 0; i < TranslationEntryCount; ++i) {
            index[i] = i;
        }
        std::stable_sort(index, index + TranslationEntryCount, [](int a, int b) {
            return std::strcmp(TranslationTable[a].KeyName, TranslationTable[b].KeyName) < 0;
        });
    }
};

}  // namespace

int FindTranslationKey(const char *key)
{
    if (!key) {
        return -1;
    }
    static const KeyOrder order;
    const int *end = order.index + TranslationEntryCount;
    const int *found = std::lower_bound(order.index, end, key, [](int entry, const char *wanted) {
        return std::strcmp(TranslationTable[entry].KeyName, wanted) < 0;
    });
    return found != end && std::strcmp(TranslationTable[*found].KeyName, key) == 0 ? *found : -1;
}

bool IsResultEntry(int index)
{
    return index >= 0 && index < TextCount && ResultNumbers[index] >= 0;
}

const char *ResultTextEnglish(int n)
{
    if (n < 0 || n >= ResultTextCount) {
        n = ResultUnknownError;
    }
    return Results.english[n];
}

const char *ResultText(int n)
{
    if (n < 0 || n >= ResultTextCount) {
        n = ResultUnknownError;
    }
    return ResultSlots[n] ? ResultSlots[n] : Results.english[n];
}

const char *TranslateResultTextEx(const char *text, int *found)
{
    if (found) {
        *found = 0;
    }
    if (!text) {
        return text;
    }
    for (int n = 0; n < ResultTextCount; ++n) {
        if (Results.entry[n] >= 0 && std::strcmp(text, Results.english[n]) == 0) {
            if (found) {
                *found = 1;
            }
            return ResultText(n);
        }
    }
    return text;
}

const char *TranslateResultText(const char *text)
{
    return TranslateResultTextEx(text, nullptr);
}

void ResetTranslationSlots()
{
    for (int i = 0; i < TextCount; ++i) {
        TextSlots[i] = EnglishTexts[i];
    }
    for (int n = 0; n < ResultTextCount; ++n) {
        ResultSlots[n] = Results.english[n];
    }
}

void SetTranslationText(TextId id, const char *text)
{
    if (id >= 0 && id < TextCount && text) {
        *TranslationTable[id].Slot = text;
    }
}

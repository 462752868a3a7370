#pragma once

#include <cstdint>

// The table of every text the program shows. Each entry has an 11-character
// key, a maximum length, its English text and a slot that holds the text in
// use: English, or the loaded language's. Code reads a text only through its
// slot, by the entry's compile-time name (Text_ and the key), so a misspelt
// key does not build. The last entries are the result texts: numbered
// reasons that travel between programs as numbers and are translated where
// they arrive.

enum TextId : int {
#define KZV_TEXT(key, maxLength, result, english) Text_##key,
#include "core/translation_texts.def"
#undef KZV_TEXT
    TextCount
};

constexpr int TranslationEntryCount = TextCount;
constexpr int TranslationKeyLength = 11;
constexpr int ResultTextCount = 58;
constexpr int ResultUnknownError = 13;
constexpr int ResultNeedsParameter = 40;
constexpr int ResultCouldNotLoadFile = 53;
constexpr int ResultCouldNotSaveFile = 54;

struct TranslationEntry {
    const char *KeyName;
    uint8_t MaxLength;       // the text must be shorter than this
    uint8_t ResultIndex;     // the result number of a result text, else 0
    const char **Slot;       // the text in use
    const char *English;
};

// In English-file order.
extern TranslationEntry TranslationTable[TranslationEntryCount];
// The slots of the 58 result numbers; numbers without an entry hold
// "Unknown error" for good.
extern const char *ResultSlots[ResultTextCount];

// The text in use for an entry.
inline const char *Tx(TextId id)
{
    return *TranslationTable[id].Slot;
}

// Index of the entry with this key (exact comparison, first match), or -1.
int FindTranslationKey(const char *key);

// True for the entries of the result texts.
bool IsResultEntry(int index);

// Result n's English and current texts. A number outside 0..57 (one from a
// peer, say) gives result 13, "Unknown error".
const char *ResultTextEnglish(int n);
const char *ResultText(int n);

// When text equals one of the English result texts, that result's current
// text (found set to 1); otherwise the text itself (found 0).
const char *TranslateResultTextEx(const char *text, int *found);
const char *TranslateResultText(const char *text);

// Points every slot back at its English text.
void ResetTranslationSlots();

// Points one slot at a text (a loaded language's, or a test's); the text
// must outlive the slot's use.
void SetTranslationText(TextId id, const char *text);

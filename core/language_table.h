#pragma once

#include <cstdint>

// The languages the program can be translated into, other than English
// (English is the built-in language and has no record), and the choice of
// one of them from the user's language id at the first start.
//
// Language ids are Windows-style: primary language in the low 10 bits, the
// sub-language above them.

constexpr int LanguageCount = 33;

struct LanguageRecord {
    uint16_t primaryId;  // Windows primary language id
    uint8_t subIds[4];   // Windows sub-language ids that select it, 0 = none
    uint32_t sister;     // index of the language whose help and lesson texts it borrows, 0 = none
    const char *name;    // also the language file's name
};

extern const LanguageRecord LanguageTable[LanguageCount];

// Index 0..32 of the name in LanguageTable, letter case ignored; -1 for
// English or an unknown name.
int LanguageNameIndex(const char *name);

// The language for a user language id, or null for English (no match).
// Spanish is "Castellano" for the sub-languages 1 and 3 and "Latino" for the
// others. Any other primary language takes the first table entry that
// matches both ids, else the first that matches the primary id.
const char *LanguageNameForId(int languageId);

// The user's language id: the injected one when set, else the platform's.
int UserLanguageId();
// Makes UserLanguageId answer id; -1 goes back to the platform.
void SetUserLanguageIdOverride(int id);

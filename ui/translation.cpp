#include "ui/translation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/colour.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "platform/file_system.h"
#include "ui/font.h"
#include "ui/message_lines.h"

char *LanguageText = nullptr;
char SisterLanguageName[LanguageNameSize] = "";

namespace {

constexpr int LanguageLineLimit = 127;         // characters of a line that are used
constexpr int LanguageTextStart = TranslationKeyLength + 1;
constexpr int ConversionLimit = 32;
constexpr const char *LanguageFolder = "data\\language\\";
constexpr const char *NotAvailableText = "is not available on your computer";
constexpr char CodePageLetters[] = "LETBJCGHSK";

void LanguagePath(char *out, int size, const char *name)
{
    std::snprintf(out, static_cast<size_t>(size), "%s%s.txt", LanguageFolder, name);
}

void PrintPeach(const char *text)
{
    PrintMessage(text, &MessageColours[ColourPaleOrange]);
}

// The table whose Windows code page is number, or -1.
int CodePageTableOf(int number)
{
    for (int i = 0; i < CodePageTableCount && CodePageTables; ++i) {
        if (CodePageTables[i].number == number) {
            return i;
        }
    }
    return -1;
}

// Reads a whole file with one NUL after it; null when it cannot be read.
// The size leaves the NUL out (the file itself may hold NUL bytes).
char *ReadWholeFile(const char *path, size_t *outSize)
{
    FILE *file = PlatformOpenFile(path, "rb");
    if (!file) {
        return nullptr;
    }
    size_t capacity = 4096;
    size_t size = 0;
    char *data = static_cast<char *>(std::malloc(capacity + 1));
    while (data) {
        const size_t got = std::fread(data + size, 1, capacity - size, file);
        size += got;
        if (size < capacity) {
            break;
        }
        capacity *= 2;
        char *grown = static_cast<char *>(std::realloc(data, capacity + 1));
        if (!grown) {
            std::free(data);
            data = nullptr;
        }
        data = grown;
    }
    std::fclose(file);
    if (data) {
        data[size] = 0;
    }
    *outSize = size;
    return data;
}

// The whole language file of the name (null where it cannot be read; then
// the load error is printed when announce is set). The caller frees it.
char *ReadLanguageFile(const char *name, size_t *size, int announce)
{
    char path[96];
    LanguagePath(path, sizeof(path), name);
    *size = 0;
    char *data = ReadWholeFile(path, size);
    if (!data && announce) {
        PrintLoadFileError(path);
    }
    return data;
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n' || c == 0;
}

// The next line of a buffer that ends in a NUL at end: skips CR, LF and NUL
// bytes, ends the line with a NUL and cuts it at 127 characters. Returns the
// line, or null at the end; next is where the search goes on.
char *NextLine(char *at, const char *end, char **next)
{
    while (at < end && IsLineEnd(*at)) {
        ++at;
    }
    if (at >= end) {
        return nullptr;
    }
    char *stop = at;
    while (stop < end && !IsLineEnd(*stop)) {
        ++stop;
    }
    *next = stop < end ? stop + 1 : stop;
    *stop = 0;
    if (stop - at > LanguageLineLimit) {
        at[LanguageLineLimit] = 0;
    }
    return at;
}

// The key of a line of 12 characters or more, copied and terminated.
bool LineKey(const char *line, char key[TranslationKeyLength + 1])
{
    if (std::strlen(line) < static_cast<size_t>(LanguageTextStart)) {
        return false;
    }
    std::memcpy(key, line, TranslationKeyLength);
    key[TranslationKeyLength] = 0;
    return true;
}

}  // namespace

bool PrintfConversions(const char *text, char *out, int outSize)
{
    int used = 0;
    bool supported = true;
    for (const char *p = text; p && *p; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        if (*p == '%') {
            continue;
        }
        while (*p && std::strchr("-+ #0", *p)) {
            ++p;
        }
        while ((*p >= '0' && *p <= '9') || *p == '.' || *p == '*') {
            if (*p == '*') {
                supported = false;
            }
            ++p;
        }
        if (*p == 0) {
            supported = false;
            break;
        }
        if (!std::strchr("diuxXcsfeEgG", *p)) {
            supported = false;
        }
        if (used < outSize - 1) {
            out[used++] = *p;
        } else {
            supported = false;
        }
    }
    if (outSize > 0) {
        out[used < outSize ? used : outSize - 1] = 0;
    }
    return supported;
}

void FreeLanguageText()
{
    // The slots point into the buffer: back to English before it goes.
    ResetTranslationSlots();
    std::free(LanguageText);
    LanguageText = nullptr;
}

void ResetTranslation()
{
    FreeLanguageText();
}

void WriteEnglishFile()
{
    char path[64];
    LanguagePath(path, sizeof(path), "English");
    FILE *file = PlatformOpenFile(path, "w");
    if (!file) {
        PrintMessage("Could not create English file", &MessageColours[ColourSalmon]);
        return;
    }
    std::fprintf(file, "English.txt - Generated by Kezvane\n\n");
    for (int i = 0; i < TranslationEntryCount; ++i) {
        const TranslationEntry &entry = TranslationTable[i];
        for (int j = i + 1; j < TranslationEntryCount; ++j) {
            if (std::strcmp(entry.KeyName, TranslationTable[j].KeyName) == 0) {
                char text[64];
                std::snprintf(text, sizeof(text), "Duplicate : %s", entry.KeyName);
                PrintPeach(text);
            }
        }
        const char *english = entry.English[0] == ' ' ? entry.English + 1 : entry.English;
        std::fprintf(file, "%s %s\n", entry.KeyName, english);
    }
    std::fclose(file);
}

int LoadLanguage(const char *name, int announce)
{
    FreeLanguageText();
    if (!name || EqualsNoCase(name, "English")) {
        return 1;
    }
    size_t size = 0;
    char *data = ReadLanguageFile(name, &size, announce);
    if (!data) {
        LanguageName[0] = 0;
        return 0;
    }
    SisterLanguageName[0] = 0;
    const int index = LanguageNameIndex(name);
    if (index >= 0 && LanguageTable[index].sister != 0) {
        CopyString(SisterLanguageName, LanguageTable[LanguageTable[index].sister].name, LanguageNameSize);
    }
    LanguageText = data;

    const char *end = data + size;
    char *at = data;
    char *next = nullptr;
    while (char *line = NextLine(at, end, &next)) {
        at = next;
        char key[TranslationKeyLength + 1];
        if (!LineKey(line, key)) {
            continue;
        }
        const int found = FindTranslationKey(key);
        if (found < 0) {
            continue;
        }
        const TranslationEntry &entry = TranslationTable[found];
        char *text = line + LanguageTextStart;
        if (entry.English[0] == ' ' && text[0] != ' ') {
            line[TranslationKeyLength] = ' ';
            text = line + TranslationKeyLength;
        }
        const int length = static_cast<int>(std::strlen(text));
        char message[96];
        if (length >= entry.MaxLength) {
            std::snprintf(message, sizeof(message), "Too long : %s (by %d)", key, length - entry.MaxLength + 1);
            PrintPeach(message);
            continue;
        }
        // A text whose conversions differ from the English text's would make
        // its printer read the caller's values as the wrong kinds.
        char englishConversions[ConversionLimit];
        char textConversions[ConversionLimit];
        PrintfConversions(entry.English, englishConversions, ConversionLimit);
        if (!PrintfConversions(text, textConversions, ConversionLimit) ||
            std::strcmp(englishConversions, textConversions) != 0) {
            std::snprintf(message, sizeof(message), "Wrong format : %s", key);
            PrintPeach(message);
            continue;
        }
        *entry.Slot = text;
    }

    const int table = CodePageTableOf(std::atoi(Tx(Text_tx_codepage)));
    if (table >= 0 && CodePageTables[table].Unavailable) {
        if (announce) {
            char message[96];
            std::snprintf(message, sizeof(message), "%s %s", name, NotAvailableText);
            PrintMessage(message, &MessageColours[ColourLightGrey]);
        }
        ResetTranslation();
        LanguageName[0] = 0;
        return 0;
    }
    return 1;
}

void SwitchLanguage(const char *name)
{
    ResetTranslation();
    if (!name || EqualsNoCase(name, "English")) {
        LanguageName[0] = 0;
        return;
    }
    if (LoadLanguage(name, 1)) {
        if (name != LanguageName) {
            CopyString(LanguageName, name, LanguageNameSize);
        }
    }
}

int ReadLanguageInfo(const char *fileName, char *out, int outSize)
{
    if (outSize <= 0) {
        return 0;
    }
    out[0] = 0;
    if (!fileName || EqualsNoCase(fileName, "English")) {
        return 0;
    }
    size_t size = 0;
    char *data = ReadLanguageFile(fileName, &size, 1);
    if (!data) {
        CopyString(out, fileName, outSize);
        return 1;
    }
    const char *codePage = nullptr;
    const char *ownName = nullptr;
    const char *end = data + size;
    char *at = data;
    char *next = nullptr;
    while (char *line = NextLine(at, end, &next)) {
        at = next;
        char key[TranslationKeyLength + 1];
        if (!LineKey(line, key)) {
            continue;
        }
        if (std::strcmp(key, "tx_codepage") == 0) {
            codePage = line + LanguageTextStart;
        } else if (std::strcmp(key, "tx_langname") == 0) {
            ownName = line + LanguageTextStart;
        }
        if (codePage && ownName) {
            break;
        }
    }
    if (!ownName) {
        ownName = fileName;
    }
    const int table = codePage ? CodePageTableOf(std::atoi(codePage)) : -1;
    if (table >= 1 && table < CodePageLetterLimit) {
        if (CodePageTables[table].Unavailable) {
            CopyString(out, fileName, outSize);
        } else {
            std::snprintf(out, static_cast<size_t>(outSize), "^%c%s", CodePageLetters[table], ownName);
        }
    } else {
        CopyString(out, ownName, outSize);
    }
    std::free(data);
    return 1;
}

void CheckTranslationCodePage()
{
    NounAfterAdjective = std::strcmp(Tx(Text_tx_noun_adj), "na") == 0 ? 1 : 0;
    // Without the font (a host without graphics) there are no pages to choose.
    if (CodePageTableCount <= 0 || !CodePageTables) {
        TranslationCodePage = 0;
        return;
    }
    const int table = CodePageTableOf(std::atoi(Tx(Text_tx_codepage)));
    if (table >= 0) {
        TranslationCodePage = table;
    } else {
        TranslationCodePage = 0;
        PrintMessage("Warning : translation uses an unknown codepage", &MessageColours[ColourSalmon]);
    }
    SelectCodePage(TranslationCodePage);
}

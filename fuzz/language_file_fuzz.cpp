// Language files (data\language\<name>.txt): loaded into the translation
// table, read for the language list, and their code page checked, with the
// ten lettered code pages present and the Japanese one unavailable.
#include <cstdint>
#include <vector>

#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "ui/font.h"
#include "ui/message_lines.h"
#include "ui/translation.h"

namespace {

constexpr uint16_t TableNumbers[] = {1252, 1250, 1254, 1257, 932, 1251, 1253, 950, 936, 949};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    std::vector<CodePageTable> tables(10);
    for (int i = 0; i < 10; ++i) {
        tables[i].number = TableNumbers[i];
    }
    tables[4].Unavailable = 1;
    CodePageTables = tables.data();
    CodePageTableCount = 10;

    FuzzWriteFile("data\\language\\Fuzz.txt", data, size);
    char name[64];
    ReadLanguageInfo("Fuzz", name, sizeof(name));
    if (LoadLanguage("Fuzz", 1)) {
        CheckTranslationCodePage();
        // Every loaded text is read as the program reads it.
        size_t total = 0;
        for (const TranslationEntry &entry : TranslationTable) {
            for (const char *p = *entry.Slot; *p; ++p) {
                total += static_cast<uint8_t>(*p);
            }
        }
        PrintMessageArg(Tx(Text_3a_readynum), static_cast<int>(total & 0xFF), &MessageColours[ColourWhite]);
        PrintLabelled("Label", Tx(Text_3a_spselect), &MessageColours[ColourWhite]);
    }
    FuzzRemoveFile("data\\language\\Fuzz.txt");

    ResetTranslation();
    ClearMessageLines();
    LanguageName[0] = 0;
    SisterLanguageName[0] = 0;
    TranslationCodePage = 0;
    NounAfterAdjective = 0;
    CodePageTables = nullptr;
    CodePageTableCount = 0;
    return 0;
}

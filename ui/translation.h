#pragma once

#include "core/language_table.h"
#include "core/translation_table.h"

// The translation of the program's texts: loading a language file points
// the slots of the translation table at the file's texts, resetting points
// them back at English. Main thread only.

constexpr int LanguageNameSize = 32;

// The loaded language file's bytes; the slots point into it. Null for English.
extern char *LanguageText;
// The language whose help and lesson texts the loaded one borrows, or empty.
extern char SisterLanguageName[LanguageNameSize];
// The code-page table of the loaded language's texts, and the language's word
// order ("na": the noun comes after its adjective). Set by
// CheckTranslationCodePage.
extern int TranslationCodePage;
extern int NounAfterAdjective;

// Frees a loaded language and points every slot back at its English text.
void ResetTranslation();
// Points the slots back at English, then frees the loaded language's text.
void FreeLanguageText();
// Writes data\language\English.txt, the translators' template: a header line,
// an empty line, then "key text" per entry in table order.
void WriteEnglishFile();
// Loads data\language\<name>.txt into the slots. Returns 1 when the table
// holds the language afterwards ("English", in any case, always), else 0;
// with announce a failure is shown as a message line.
int LoadLanguage(const char *name, int announce);
// ResetTranslation, then the language by name; LanguageName follows.
void SwitchLanguage(const char *name);
// The display name of a language file for the language list: 0 for English;
// else 1 with out holding the language's own name ("^" and the code-page
// letter before it for a page of the tables 1..9; the file name when that
// page cannot be shown here).
int ReadLanguageInfo(const char *fileName, char *out, int outSize);
// Makes the code page named by the translation the one texts are drawn in,
// and reads the language's word order.
void CheckTranslationCodePage();

// The letters of the "%" conversions in a printf text, in order ("%%" left out);
// false when the text holds a conversion the printers do not take.
bool PrintfConversions(const char *text, char *out, int outSize);

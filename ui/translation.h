#pragma once

#include "core/language_table.h"

// The translation of the program's texts: every text the user sees has a
// slot that holds the English text or the loaded language's. The table of
// texts is not built yet, so every slot stays English and only English can
// be loaded.

// Points every slot back at its English text and frees a loaded language.
void ResetTranslation();
// Loads data\language\<name>.txt into the slots. Returns 1 when the table
// holds the language afterwards ("English", in any case, always), else 0;
// with announce a failure is shown as a message line.
int LoadLanguage(const char *name, int announce);
// Frees the loaded language's text (nothing when none is loaded).
void FreeLanguageText();
// Writes data\language\English.txt, the translators' template.
void WriteEnglishFile();
// Makes the code page named by the translation the one texts are drawn in.
void CheckTranslationCodePage();

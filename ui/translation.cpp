#include "ui/translation.h"

#include "core/text_utils.h"

// The slots hold their English texts from the start and nothing else can be
// loaded yet, so there is nothing to reset or free.
void ResetTranslation()
{
}

int LoadLanguage(const char *name, int)
{
    return name && EqualsNoCase(name, "English") ? 1 : 0;
}

void FreeLanguageText()
{
}

// Without the table of texts there is no template to write yet.
void WriteEnglishFile()
{
}

// English texts are drawn in the first code page, the one in use from the start.
void CheckTranslationCodePage()
{
}

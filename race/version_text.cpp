#include "race/version_text.h"

#include <cstdio>

char VersionText[VersionTextSize] = "";

void SetVersionText()
{
    std::snprintf(VersionText, sizeof(VersionText), "%d.%d%c%d", 0, 5, 'Z', 28);
}

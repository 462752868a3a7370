#include "ui/text_box.h"

#include <cstdio>

#include "core/colour.h"
#include "ui/message_lines.h"

void ShowTextBox(MenuPage *, const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
}

void ShowTextBox2(MenuPage *page, const char *text, const char *text2)
{
    char joined[256];
    std::snprintf(joined, sizeof(joined), "%s %s", text ? text : "", text2 ? text2 : "");
    ShowTextBox(page, joined);
}

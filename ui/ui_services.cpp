#include "ui/ui_services.h"

#include "core/colour.h"
#include "ui/message_lines.h"

UiServices UiLink = {};

void SetUiServices(const UiServices &services)
{
    UiLink = services;
}

void UiWarning(const char *text)
{
    PrintMessage(text, &MessageColours[ColourSalmon]);
    if (UiLink.playInterfaceSound != nullptr) {
        UiLink.playInterfaceSound(4);
    }
}

#include "scene/hud.h"

#include "ui/message_lines.h"

int HudDrawnThisPass = 0;

// The HUD is not drawn yet, so HudDrawnThisPass is never set and every notice
// becomes a message line.
void ShowHudMessage(const char *text, const Colour *colour)
{
    PrintMessage(text, colour);
}

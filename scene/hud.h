#pragma once

#include <cstdint>

#include "core/colour.h"

// The head-up display's state that the main loop and the window read.

// 0 reduced HUD, 1 full HUD, 2 nothing at all.
extern int HudShown;
// Set when the HUD was drawn in this main-loop pass; the main loop clears it.
extern int HudDrawnThisPass;
// Set by the session frame when screen bands are shown; the main loop clears it.
extern int HudBandsOn;

// A short notice: the HUD's top-left message for 4 s when the HUD was drawn
// in this pass, else a message line in the given colour.
void ShowHudMessage(const char *text, const Colour *colour);

#pragma once

#include <cstdint>

#include "core/colour.h"
#include "race/session_frame.h"

// The head-up display's state that the main loop and the window read.

// HudShown and HudBandsOn belong to the game session (race/session_frame.h).

// Set when the HUD was drawn in this main-loop pass; the main loop clears it.
extern int HudDrawnThisPass;

// A short notice: the HUD's top-left message for 4 s when the HUD was drawn
// in this pass, else a message line in the given colour.
void ShowHudMessage(const char *text, const Colour *colour);

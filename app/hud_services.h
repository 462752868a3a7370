#pragma once

// Registers the head-up display's drawing in the game session's scene links.
void RegisterHudServices();

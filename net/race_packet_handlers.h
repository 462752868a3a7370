#pragma once

// Registers the race-progress packet handlers (timing, penalties, pit stops,
// car resets) with the game packet dispatcher, and the host's reset request
// with the reliable one.
void RegisterRacePacketHandlers();

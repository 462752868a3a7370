#pragma once

// Links the game session (race/session_links.h) to the layers above it:
// sound, the pointer, the free camera, the scene's view geometry, smoke and
// the program's end. Entries whose subsystem is not built yet stay empty.
// Called once at start-up with the other simulation services.
void RegisterSessionServices();

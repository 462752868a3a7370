#pragma once

// Hands the music player its message lines, HUD notices and the session's
// music context calls. Called once at start-up.
void RegisterMusicServices();

#pragma once

// Makes the default track the current track: its name, configuration 1, not
// reversed, light scheme 0.
void SetDefaultTrack();

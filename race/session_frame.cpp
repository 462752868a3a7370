#include "race/session_frame.h"

// No game session and no drawn frame exist yet: there is no speed to show and
// nothing to clear.

void ShowReplaySpeed()
{
}

void DrawBackgroundScreen()
{
}

#include "audio/music_player.h"

// No music plays yet, so there is nothing to refill.
void UpdateMusicBuffer()
{
}

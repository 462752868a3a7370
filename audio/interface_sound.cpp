#include "audio/interface_sound.h"

// Sound is always off until the sound output exists.
void PlayInterfaceSound(int)
{
}

#pragma once

// Hands one block of car sound to the sound output at the end of a physics
// tick; lastTickOfFrame is non-zero on the last tick of a drawn frame.
void FeedCarSoundBuffer(int lastTickOfFrame);

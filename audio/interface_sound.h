#pragma once

// The interface sounds.
constexpr int SoundClick = 0;
constexpr int SoundMessage = 1;
constexpr int SoundSystemMessage = 2;
constexpr int SoundInvalidKey = 3;
constexpr int SoundError = 4;

// Plays interface sound n (0..4); nothing while sound is off or muted.
void PlayInterfaceSound(int n);

#pragma once

// The sound output: the interface, music and car-sound buffers.

// 0 off, 1 on, 2 on with a music file playing.
extern int SoundState;
// 1 while the music buffer plays.
extern int MusicBufferRunning;

// Starts sound output; does nothing while it is on.
void InitDirectSound();
// Stops all sound and releases the output; does nothing while it is off.
void StopDirectSound();
// A failed sound step (its text names the step and the buffer): while sound
// is on, prints "No sound (text code)" as a warning and turns sound off, so
// later failures print nothing. ReportSoundError prints "Sound error ..."
// and leaves sound on.
void ReportSoundFailure(const char *text, int code);
void ReportSoundError(const char *text, int code);
// The shutdown step: stops the output and frees the samples and the music
// file; harmless when nothing was started.
void ShutdownSound();

// --- Volumes ---------------------------------------------------------------------

// The linear gain of a volume setting (0..20): 1.15 ^ setting x 0.06109855,
// so 20 is full volume and 0 still plays at 0.0611. A setting outside 0..20
// counts as the nearer end, NaN as 0.
float VolumeGain(float setting);

// The output gains: of the music stream, of the interface sounds and of the
// mixed car sound. Each is 1.0 until its setting is applied. (The car gain is
// not called CarSoundVolume: that name is the "CAR_V " setting itself.)
extern float MusicGain;
extern float EffectsVolume;
extern float CarSoundGain;

// Apply the "MUSIC ", "BEEPS " and "CAR_V " settings; at start-up after the
// settings are read, and whenever the audio options change them.
void SetMusicVolume(float setting);
void SetEffectsVolume(float setting);
void SetCarSoundVolume(float setting);

#pragma once

// The sound output: the interface, music and car-sound buffers.

#include <cstdint>

struct SoundRing;

// 0 off, 1 on, 2 on with a music file playing.
extern int SoundState;
// 1 while the music buffer plays.
extern int MusicBufferRunning;

// The music file's read window (0x20000 bytes), made by StartSound.
constexpr uint32_t MusicFileWindowBytes = 0x20000;
extern uint8_t *MusicFileWindow;

// The start-up screen's sound step: the music file window, the samples, then
// the output.
void StartSound();
// Starts sound output (the music, car-sound and interface buffers); does
// nothing while it is on. A system without sound output stays silent.
void InitDirectSound();
// Stops all sound and releases the output; does nothing while it is off.
void StopDirectSound();
// Stops and starts the output again, making every buffer anew.
void RestartSound();

// The format every buffer shares: 16-bit stereo at the given rate.
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSecond;
    uint32_t bytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraBytes;
};
void SetWaveFormat(WaveFormat *format, uint32_t rate);

// The music buffer "M": a looping ring of 0x40000 bytes at 44,100 Hz. Create
// gives 1, or 0 when sound is off or the output refused.
constexpr uint32_t MusicBufferBytes = 0x40000;
int CreateMusicBuffer();
void ReleaseMusicBuffer();
SoundRing *MusicRing();

// The loop sound: pauses and resumes the music buffer (around a track load
// or a light change). Stop returns 1 when the buffer had been playing.
int StopLoopSound();
void PlayLoopSound();
// Hands the world the two loop-sound calls.
void RegisterLoopSoundHooks();
// A failed sound step (its text names the step and the buffer): while sound
// is on, prints "No sound (text code)" as a warning and turns sound off, so
// later failures print nothing. ReportSoundError prints "Sound error ..."
// and leaves sound on. A caller returns at once after a report and touches
// no buffer again: the report may have released them all.
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

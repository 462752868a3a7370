#pragma once

// The two default tunes, synthesised (chords, a bass line, a melody and
// noise drums, deterministic from a seed per tune), encoded as Ogg Vorbis at
// 44,100 Hz stereo as data/ogg/<name>.ogg, and the radio.rad that puts them
// on the radio's channels. Returns null, or the text of what went wrong.
const char *WriteDefaultMusic(const char *runFolder);

// The tunes' file names and their length in seconds.
constexpr int DefaultTuneCount = 2;
extern const char *const DefaultTuneNames[DefaultTuneCount];
constexpr double DefaultTuneSeconds = 24.0;

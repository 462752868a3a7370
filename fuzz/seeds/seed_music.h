#pragma once

#include "fuzz/seeds/seed_records.h"

// Music files made by the project's encoder (stereo with comments, mono,
// three channels, a stream that is not Vorbis) and a radio.rad written by
// the radio's own writer.
void WriteMusicSeeds(const SeedSink &sink);

#pragma once

// The track code names a track configuration and direction in file names and
// packets: the site's first two letters upper-cased, the configuration number
// and "R" when reversed, e.g. "AB2R".

// Writes the code of (site, configuration, reversed) into buffer (size bytes,
// cut to fit). A site name shorter than two letters keeps what it has.
void FormatTrackCode(char *buffer, int size, const char *site, int configuration, int reversed);
// The code of the current track name with the "Config " and "Flip " settings.
void GetTrackCode(char *buffer, int size, const char *trackName);

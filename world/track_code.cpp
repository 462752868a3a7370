#include "world/track_code.h"

#include <cctype>
#include <cstdio>

#include "core/settings.h"

void FormatTrackCode(char *buffer, int size, const char *site, int configuration, int reversed)
{
    if (size <= 0) {
        return;
    }
    char letters[3] = {};
    for (int i = 0; i < 2 && site && site[i]; ++i) {
        letters[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(site[i])));
    }
    snprintf(buffer, static_cast<size_t>(size), "%s%d%s", letters, configuration, reversed == 1 ? "R" : "");
}

void GetTrackCode(char *buffer, int size, const char *trackName)
{
    FormatTrackCode(buffer, size, trackName, TrackConfig, TrackFlip);
}

// radio.rad as the program reads it from the music folder at start and
// after the channel editor's undo.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "audio/music_links.h"
#include "audio/music_player.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"

namespace {

void IgnoreText(const char *)
{
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    SetMusicLink({IgnoreText, IgnoreText, IgnoreText, nullptr, nullptr});
    std::snprintf(MusicDir, sizeof(MusicDir), "data\\ogg");
    const char *path = FuzzWriteFile("data\\ogg\\radio.rad", data, size);
    if (ReadRadioFile()) {
        // Every name read is terminated inside its field.
        for (int i = 0; i < RadioChannelCount; ++i) {
            if (std::memchr(RadioChannels[i].name, 0, sizeof(RadioChannels[i].name)) == nullptr) {
                __builtin_trap();
            }
        }
        for (int i = 0; i < RadioTrackCount; ++i) {
            if (std::memchr(RadioTracks[i].name, 0, sizeof(RadioTracks[i].name)) == nullptr) {
                __builtin_trap();
            }
        }
    }
    RadioChannelCount = 0;
    RadioTrackCount = 0;
    std::memset(RadioChannels, 0, sizeof(RadioChannels));
    std::memset(RadioTracks, 0, sizeof(RadioTracks));
    SetMusicLink({});
    FuzzRemoveFile(path);
    return 0;
}

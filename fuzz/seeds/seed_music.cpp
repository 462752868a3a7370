#include "fuzz/seeds/seed_music.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio/music_player.h"
#include "core/settings.h"
#include "platform/ogg_vorbis.h"

namespace {

std::vector<uint8_t> Tone(int channels, int frames, float quality, const std::vector<std::string> &comments)
{
    std::vector<float> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<size_t>(i * channels + c)] =
                static_cast<float>(0.5 * std::sin(2.0 * M_PI * (440.0 + 220.0 * c) * i / 44100.0));
        }
    }
    return EncodeOggVorbis(samples.data(), frames, channels, 44100, quality, comments, 11);
}

}  // namespace

void WriteMusicSeeds(const SeedSink &sink)
{
    sink("ogg_stream", "stereo.ogg", Tone(2, 4410, -0.1f, {"TITLE=Seed", "ARTIST=Us"}));
    sink("ogg_stream", "mono.ogg", Tone(1, 2205, -0.1f, {}));
    sink("ogg_stream", "three.ogg", Tone(3, 2205, -0.1f, {"TITLE=Three"}));
    sink("ogg_stream", "not_vorbis.ogg", EncodeOggPackets({std::vector<uint8_t>(30, 'x'), {1, 2, 3}}, 5));

    RadioChannelCount = 2;
    std::snprintf(RadioChannels[0].name, sizeof(RadioChannels[0].name), "Setup");
    std::snprintf(RadioChannels[1].name, sizeof(RadioChannels[1].name), "Race");
    RadioTrackCount = 2;
    std::snprintf(RadioTracks[0].name, sizeof(RadioTracks[0].name), "first");
    std::snprintf(RadioTracks[1].name, sizeof(RadioTracks[1].name), "second");
    RadioTracks[0].weights[0] = 3;
    RadioTracks[1].weights[1] = 2;
    std::snprintf(MusicDir, sizeof(MusicDir), ".");
    if (WriteRadioFile(nullptr)) {
        std::ifstream in("radio.rad", std::ios::binary);
        sink("radio_file", "radio.rad",
             std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    std::snprintf(MusicDir, sizeof(MusicDir), "data\\ogg");
    RadioChannelCount = 0;
    RadioTrackCount = 0;
}

// Music files as the program plays them: the file is opened by the music
// player, its stream read from the file window and decoded into the music
// buffer on the manual-clock sound output until it ends.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "audio/music_links.h"
#include "audio/music_player.h"
#include "audio/music_stream.h"
#include "audio/sound_output.h"
#include "core/config_file.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/sound_device.h"
#include "vehicle/car_race_services.h"

namespace {

void IgnoreText(const char *)
{
}

void IgnoreHud(const char *, int)
{
}

void IgnoreLine(const char *, int)
{
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    static bool started = false;
    if (!started) {
        started = true;
        RaceServices.printMessage = IgnoreLine;
        SetMusicLink({IgnoreText, IgnoreText, IgnoreText, IgnoreHud, nullptr});
        SoundDeviceUseManualClock(true);
        StartSound();
    }
    std::snprintf(MusicDir, sizeof(MusicDir), "data\\ogg");
    std::snprintf(MusicFilePattern, sizeof(MusicFilePattern), "%s\\%%s.ogg", MusicDir);
    const char *path = FuzzWriteFile("data\\ogg\\fuzz.ogg", data, size);
    SetMusicVolume(20.0f);
    if (PlayMusicFile("fuzz")) {
        // Until the stream ends, with a bound for streams that never do.
        for (int pass = 0; pass < 4000 && MusicFile != nullptr; ++pass) {
            SoundDeviceAdvance(4096);
            if (SoundState != 0 && MusicBufferRunning) {
                UpdateMusicBuffer();
            }
            UpdateMusic(1);
            SoundDeviceClearCapture();
        }
    }
    StopMusic(1);
    SoundDeviceClearCapture();
    FuzzRemoveFile(path);
    return 0;
}

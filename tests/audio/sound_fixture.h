#pragma once

// Sound output on the manual clock: the output moves only when a test
// advances it, and the warning lines the sound layer prints are recorded.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/car_sound_buffer.h"
#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "audio/sound_links.h"
#include "audio/sound_output.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/sound_device.h"
#include "vehicle/car_race_services.h"

inline std::vector<std::string> &SoundLines()
{
    static std::vector<std::string> lines;
    return lines;
}

class ManualSoundTest : public testing::Test {
protected:
    void SetUp() override
    {
        SoundDeviceUseManualClock(true);
        SoundDeviceClearFailures();
        SoundDeviceClearCapture();
        SoundDeviceClearLocks();
        savedServices = RaceServices;
        savedSpeed = GameSpeed;
        savedDelay = SoundDelay;
        savedInactive = WindowInactive;
        RaceServices.printMessage = [](const char *text, int) { SoundLines().emplace_back(text); };
        SoundLines().clear();
        GameSpeed = 1.0f;
        SoundDelay = 0.05f;
        WindowInactive = 0;
        EffectsVolume = 1.0f;
        CarSoundGain = 1.0f;
        CarSoundBufferStatus = {0, 0, 1.0f};
        InterfaceVoices.count = 0;
        SetSoundSessionLink({});
    }
    void TearDown() override
    {
        StopDirectSound();
        FreeSoundSamples();
        CarSound = {};
        CarSoundMixerEnabled = 0;
        SoundListenerValid = 0;
        SetSoundSessionLink({});
        SoundDeviceClearFailures();
        SoundDeviceClearCapture();
        SoundDeviceClearLocks();
        SoundDeviceUseManualClock(false);
        RaceServices = savedServices;
        GameSpeed = savedSpeed;
        SoundDelay = savedDelay;
        WindowInactive = savedInactive;
        EffectsVolume = 1.0f;
        CarSoundGain = 1.0f;
        InterfaceVoices.count = 0;
    }

    // Puts values into a sample entry as a loaded file would.
    static void SetSample(int n, std::vector<int16_t> values, bool stereo)
    {
        SoundSample &sample = SoundSamples[n];
        sample.Free();
        sample.values = new int16_t[values.size()];
        std::copy(values.begin(), values.end(), sample.values);
        sample.count = static_cast<uint32_t>(values.size());
        sample.stereo = stereo ? 1 : 0;
    }

    CarRaceServices savedServices;
    float savedSpeed = 0.0f;
    float savedDelay = 0.0f;
    int savedInactive = 0;
};

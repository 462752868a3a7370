#include "audio/car_sound_mixer.h"

#include <cmath>
#include <cstring>

#include "audio/interface_sound.h"
#include "audio/sound_output.h"

float CarSoundMixBuffers[3][CarSoundMixFrames * 2];
uint32_t CarSoundMixerEnabled = 0;
uint32_t SoundListenerValid = 0;
uint32_t CarSoundClipping = 0;
int32_t LoudVoiceCount = 0;
float CrowdGain = 1.0f;

namespace {

constexpr float FullScale = 32767.0f;
constexpr float InverseFullScale = 3.051851e-05f;   // 1 / 32767

}  // namespace

// The voices of the cars, the echo lines and the interface voices add into
// the accumulators before this; what is written is V (1.5 s - 0.5 s^3) of the
// summed sample s held to -1..1, which stays below full scale and rounds off
// peaks instead of cutting them.
void MixCarSounds(int16_t *destination)
{
    // The interface voices go in last, past the echo and the low-pass.
    if (InterfaceVoices.count != 0) {
        MixInterfaceVoices();
    }
    const float v = CarSoundGain * FullScale;
    const float p = 1.5f * v;
    const float q = 0.5f * v;
    CarSoundClipping = 0;
    for (int i = 0; i < CarSoundMixFrames * 2; i++) {
        float s = (CarSoundMixBuffers[1][i] + CarSoundMixBuffers[2][i] + CarSoundMixBuffers[0][i]) * InverseFullScale;
        if (s < -1.0f) {
            s = -1.0f;
            CarSoundClipping = 1;
        } else if (s > 1.0f) {
            s = 1.0f;
            CarSoundClipping = 1;
        } else if (!(s == s)) {
            s = 0.0f;
        }
        float out = std::round((p - s * s * q) * s);
        if (out < -FullScale) {
            out = -FullScale;
        } else if (out > FullScale) {
            out = FullScale;
        }
        destination[i] = static_cast<int16_t>(out);
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

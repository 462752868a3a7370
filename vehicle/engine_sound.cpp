#include "vehicle/engine_sound.h"

#include <cstdlib>
#include <cstring>

namespace {

// Editor ranges and defaults of w8..w36, in order.
constexpr EngineParamRange ParamRanges[EngineParamCount] = {
    {20.0f, 50.0f, 40.0f},            // w8 exhaust pipe tone
    {0.0f, 1.0f, 0.5f},               // w9 tone variation
    {0.15f, 0.5f, 0.2f},              // w10 silencers
    {0.0f, 0.05f, 0.05f},             // w11 unevenness
    {1.0f, 3.0f, 2.0f},               // w12 exhaust pulse tone
    {0.1f, 1.0f, 0.1f},               // w13 off power tone
    {0.1f, 1.0f, 0.1f},               // w14 off power volume
    {0.0f, 1.0f, 0.0f},               // w15 idle volume boost
    {50000.0f, 150000.0f, 150000.0f}, // w16 turbo recorded @ rpm
    {0.1f, 2.0f, 1.0f},               // w17 turbo volume
    {0.5f, 0.9f, 0.8f},               // w18 turbo muffler
    {0.1f, 2.0f, 0.6f},               // w19 dump valve volume
    {0.5f, 0.9f, 0.8f},               // w20 dump valve muffler
    {500.0f, 10000.0f, 6000.0f},      // w21 gear whine recorded @ rpm
    {0.1f, 2.0f, 1.0f},               // w22 gear whine volume
    {0.5f, 0.9f, 0.8f},               // w23 gear whine muffler
    {0.1f, 2.0f, 0.6f},               // w24 air intake volume
    {0.5f, 0.9f, 0.6f},               // w25 air intake muffler
    {0.1f, 2.0f, 0.3f},               // w26 gear shift volume
    {0.5f, 0.9f, 0.6f},               // w27 gear shift muffler
    {0.1f, 2.0f, 1.0f},               // w28 starter volume
    {0.5f, 0.9f, 0.6f},               // w29 starter muffler
    {0.5f, 6.0f, 0.9f},               // w30 exhaust volume
    {0.8f, 0.95f, 0.9f},              // w31 cockpit muffling
    {0.5f, 1.0f, 0.9f},               // w32 wind volume
    {0.5f, 1.0f, 0.9f},               // w33 skid volume
    {0.0f, 1.0f, 0.02f},              // w34 header mix
    {0.0f, 1.0f, 0.08f},              // w35 collector mix
    {0.0f, 1.0f, 1.0f},               // w36 tail mix
};

constexpr int8_t DefaultSemitones[3] = {6, 12, 0};

}  // namespace

const EngineParamRange &GetEngineParamRange(int k)
{
    if (k < EngineParamFirst || k > EngineParamLast) {
        k = EngineParamFirst;
    }
    return ParamRanges[k - EngineParamFirst];
}

void EngineSoundParams::SetDefaults()
{
    for (int k = EngineParamFirst; k <= EngineParamLast; ++k) {
        Word(k) = ParamRanges[k - EngineParamFirst].defaultValue;
    }
    std::memcpy(semitones, DefaultSemitones, sizeof(semitones));
}

void EngineWave::Free(bool clear)
{
    std::free(samples);
    samples = nullptr;
    sampleCount = 0;
    if (clear) {
        legacyCount = 0;
        spare = 0;
        kind = 0;
        channels = 0;
    }
}

#include "audio/car_sound_synthesis.h"

#include <cmath>
#include <cstring>

#include "audio/car_sound_mixer.h"
#include "audio/engine_synthesis.h"
#include "audio/interface_sound.h"
#include "core/settings.h"
#include "vehicle/car_class.h"
#include "vehicle/car_object.h"

namespace {

constexpr float SpeedOfSound = 330.0f;
constexpr float InversePi = 0.31830988f;

// A quotient whose divisor is not above 0, or which is not finite, is 0: an
// engine not set up must not feed infinities into the resonators.
float SafeRatio(float a, float b)
{
    if (!(b > 0.0f)) {
        return 0.0f;
    }
    const float q = a / b;
    return std::isfinite(q) ? q : 0.0f;
}

// The sample each of a car's sample voices plays, by its place in the state.
constexpr int SkidSamples[CarSkidVoices] = {11, 10, 9, 8, 12, 13, 14, 7};
constexpr int ScrapeSoftSample = 16;
constexpr int ScrapeHardSample = 15;
constexpr int WindSample = 17;
constexpr int FirstHornSample = 18;

void BindSample(SampleVoice &voice, int number)
{
    voice.sample = &SoundSamples[number];
}

void BindSamples(CarSoundState &state)
{
    for (int v = 0; v < CarSkidVoices; v++) {
        BindSample(state.skids[v][0], SkidSamples[v]);
        BindSample(state.skids[v][1], SkidSamples[v]);
    }
    for (int side = 0; side < 2; side++) {
        BindSample(state.scrapeSoft[side], ScrapeSoftSample);
        BindSample(state.scrapeHard[side], ScrapeHardSample);
    }
    BindSample(state.wind, WindSample);
    for (int h = 0; h < CarHornCount; h++) {
        BindSample(state.horns[h], FirstHornSample + h);
    }
}

}  // namespace

void MixSampleVoice(float *accumulator, int frames, SampleVoice &voice, int pingPong, float audibility,
                    float leftTarget, float rightTarget)
{
    const SoundSample *sample = voice.sample;
    if (sample == nullptr || sample->values == nullptr || sample->count == 0) {
        return;
    }
    if (audibility > 0.02f) {
        LoudVoiceCount++;
    }
    if (!(audibility >= 0.02f / CrowdGain)) {
        leftTarget = 0.0f;
        rightTarget = 0.0f;
    }
    // A target that is not a number is silence.
    if (!(leftTarget == leftTarget)) {
        leftTarget = 0.0f;
    }
    if (!(rightTarget == rightTarget)) {
        rightTarget = 0.0f;
    }
    uint32_t bits[4];
    std::memcpy(&bits[0], &leftTarget, 4);
    std::memcpy(&bits[1], &rightTarget, 4);
    std::memcpy(&bits[2], &voice.leftGain, 4);
    std::memcpy(&bits[3], &voice.rightGain, 4);
    if ((bits[0] | bits[1] | bits[2] | bits[3]) == 0) {
        return;
    }
    if (leftTarget > 1.8f) {
        leftTarget = 1.8f;
    }
    if (rightTarget > 1.8f) {
        rightTarget = 1.8f;
    }
    const float leftStep = (leftTarget - voice.leftGain) / static_cast<float>(frames);
    const float rightStep = (rightTarget - voice.rightGain) / static_cast<float>(frames);
    float gl = voice.leftGain;
    float gr = voice.rightGain;
    const int32_t count = static_cast<int32_t>(sample->count);
    int32_t p = voice.position;
    if (p < 0 || p >= count) {
        p = 0;
    }
    for (int i = 0; i < frames; i++) {
        const float value = static_cast<float>(sample->values[p]);
        accumulator[i * 2] += value * gl;
        accumulator[i * 2 + 1] += value * gr;
        gl += leftStep;
        gr += rightStep;
        if (voice.direction != 0) {
            if (p == 0) {
                voice.direction = 0;
            } else {
                p--;
            }
        } else if (++p >= count) {
            if (pingPong != 0) {
                p = count - 1;
                voice.direction = 1;
            } else {
                p = 0;
            }
        }
    }
    voice.position = p;
    voice.leftGain = leftTarget;
    voice.rightGain = rightTarget;
}

CarPlacement PlaceCarSound(const CarObject &car, int inside, int mode, int notMixed)
{
    CarPlacement p = {notMixed != 0 ? 0.0f : 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    if (inside != 0 || mode == 3) {
        return p;
    }
    // World differences reach 2^31: form them and their square in double.
    const double dx = static_cast<double>(car.position.x) - Listener.position.x;
    const double dy = static_cast<double>(car.position.y) - Listener.position.y;
    const double dz = static_cast<double>(car.position.z) - Listener.position.z;
    const int32_t *m = Listener.orientation.m;
    const double ux = (m[0] * dx + m[1] * dy + m[2] * dz) / 65536.0;
    const float r = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) / 65536.0);
    if (!(r >= 0.1f)) {
        return p;
    }
    p.r = r;
    const float scale = 1.0f / (65536.0f * r);
    const float n[3] = {static_cast<float>(dx) * scale, static_cast<float>(dy) * scale, static_cast<float>(dz) * scale};
    p.X = static_cast<float>(ux) * scale;
    // The car's y axis is the second column of its orientation.
    const float s = 0.333f * (car.orientation[1] * n[0] + car.orientation[4] * n[1] + car.orientation[7] * n[2]);
    p.sPlus = 1.0f + s;
    p.sMinus = 1.0f - s;
    float v = (car.velocity[0] - Listener.velocity[0]) * n[0] + (car.velocity[1] - Listener.velocity[1]) * n[1] +
              (car.velocity[2] - Listener.velocity[2]) * n[2];
    if (v < -200.0f) {
        v = -200.0f;
    } else if (v > 200.0f) {
        v = 200.0f;
    } else if (!(v == v)) {
        v = 0.0f;
    }
    p.D = SpeedOfSound / (v + SpeedOfSound);
    if (notMixed == 0) {
        const float r0 = mode == 2 ? 12.0f : 2.2f;
        if (r > r0) {
            p.G = r0 / r;
        }
    }
    return p;
}

void MixCarSound(CarObject &car, int frames, int inside, int mode, int notMixed)
{
    if (car.soundOff != 0) {
        return;
    }
    const CarPlacement place = PlaceCarSound(car, inside, mode, notMixed);
    const float G = place.G;
    const float X = place.X;
    const float D = place.D;
    const float Gq = G * 0.25f;
    const float GR = ((1.0f + X) * 0.3f + 0.4f) * Gq;
    const float GL = ((1.0f - X) * 0.3f + 0.4f) * Gq;

    CarEngine &engine = car.engine;
    const float w = engine.speed;
    float E = static_cast<float>(engine.cylinders) * w * (0.5f * InversePi) * D;
    int firesEveryTurn = 0;
    if (car.vehicleClass >= 0 && car.vehicleClass < CarClassCount) {
        firesEveryTurn = CarClassTable[car.vehicleClass].soundVariant;
    }
    if (firesEveryTurn == 0) {
        E *= 0.5f;
    }
    float Eg = (engine.waveMask & 1u) != 0 ? place.sPlus * G : 0.0f;
    float Ge = place.sPlus * engine.soundParams.Word(30);
    if (!(E >= 1.0f)) {
        Ge = 0.0f;
        Eg = 0.0f;
        E = 1.0f;
        engine.soundLoad = 0.0f;
        engine.soundRevFraction = 0.0f;
    } else {
        const float load = SafeRatio(car.enginePower, engine.maxTorque * w);
        const float rev = SafeRatio(w, engine.maxSpeed);
        engine.soundLoad = load > 0.0f ? load : 0.0f;
        engine.soundRevFraction = rev > 0.0f ? rev : 0.0f;
    }
    const float c1 = car.tractionFactor < 1.0f ? car.tractionFactor : 1.0f;
    const float L = 1.0f - c1 * car.limiterFactor * (engine.condition + 1.0f) * 0.5f;
    CarSoundState &state = car.soundState;
    SynthesizeEngine(state, frames, inside, car.driverSeat[0] > 0.0f ? 1 : 0, E, Eg, Ge * GL, Ge * GR, engine, L, D);
    BindSamples(state);

    // Wind, into the dry accumulator in the cockpit and the direct one else.
    float *T = mode == 0 ? CarSoundMixBuffers[0] : CarSoundMixBuffers[1];
    const float v = car.speed;
    float wind = (0.008f * v + 0.0004f * v * v) * engine.soundParams.Word(32);
    if (mode != 2) {
        wind *= WindBalance + 1.0f;
    }
    float Wc = (engine.waveMask & (1u << 8)) != 0 ? wind * G : 0.0f;
    if (inside != 0) {
        Wc *= 2.0f;
    }
    MixSampleVoice(T, frames, state.wind, 1, Wc, wind * GL, wind * GR);

    // Horns. Input word 9 comes from replays and other programs' car states:
    // a value outside 1..5 counts as none.
    int h = car.inputs[9];
    if (h > CarHornCount) {
        h = 0;
    }
    float amplitude = 0.0f;
    if (h != 0) {
        car.hornIndex = static_cast<uint8_t>(h - 1);
        amplitude = 2.0f;
        if (car.hornIndex != car.hornStarted) {
            SampleVoice &horn = state.horns[car.hornIndex];
            horn.position = 0;
            horn.direction = 0;
            car.hornStarted = car.hornIndex;
        }
    } else {
        car.hornStarted = 255;
    }
    for (int i = 0; i < CarHornCount; i++) {
        if (i == car.hornIndex) {
            MixSampleVoice(CarSoundMixBuffers[0], frames, state.horns[i], 0, amplitude * G * 0.5f, amplitude * GL,
                           amplitude * GR);
        } else {
            MixSampleVoice(CarSoundMixBuffers[0], frames, state.horns[i], 0, 0.0f, 0.0f, 0.0f);
        }
    }
}

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

// The gains of one block that the voices after the horns share: the distance
// gain, the pan gains and their quarter, the Doppler factor and the back
// factor.
struct CarSoundLevels {
    float G;
    float GL;
    float GR;
    float Gq;
    float D;
    float sMinus;
};
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

// Counts a loud voice and silences the targets of one too faint to hear; a
// target that is not a number is silence too. False where the voice is
// silent and stays so (both targets and both gains +0), with nothing to mix.
bool AudibleTargets(const SampleVoice &voice, float audibility, float &leftTarget, float &rightTarget)
{
    if (audibility > 0.02f) {
        LoudVoiceCount++;
    }
    if (!(audibility >= 0.02f / CrowdGain)) {
        leftTarget = 0.0f;
        rightTarget = 0.0f;
    }
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
    return (bits[0] | bits[1] | bits[2] | bits[3]) != 0;
}

}  // namespace

void MixSampleVoice(float *accumulator, int frames, SampleVoice &voice, int pingPong, float audibility,
                    float leftTarget, float rightTarget)
{
    const SoundSample *sample = voice.sample;
    if (sample == nullptr || sample->values == nullptr || sample->count == 0) {
        return;
    }
    if (!AudibleTargets(voice, audibility, leftTarget, rightTarget)) {
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

uint32_t MixWaveTableVoice(float *accumulator, int frames, SampleVoice &voice, float k, int n, const float *wave,
                           float step, float audibility, float leftTarget, float rightTarget, int oneShot)
{
    // A step that is not a number (a recording speed of 0) plays nothing.
    if (n <= 0 || wave == nullptr || !(step >= 0.0f) || step > static_cast<float>(n)) {
        return 1;
    }
    if (!AudibleTargets(voice, audibility, leftTarget, rightTarget)) {
        return 1;
    }
    // A smoothing outside 0..1 would make the filter grow without end.
    if (!(k >= 0.0f)) {
        k = 0.0f;
    } else if (k > 1.0f) {
        k = 1.0f;
    }
    const float leftStep = (leftTarget - voice.leftGain) / static_cast<float>(frames);
    const float rightStep = (rightTarget - voice.rightGain) / static_cast<float>(frames);
    float gl = voice.leftGain;
    float gr = voice.rightGain;
    float p = voice.fraction;
    if (!(p >= 0.0f && p < static_cast<float>(n))) {
        p = 0.0f;
    }
    float state = std::isfinite(voice.filterState) ? voice.filterState : 0.0f;
    const float nf = static_cast<float>(n);
    for (int i = 0; i < frames; i++) {
        int j = static_cast<int>(std::lround(p - 0.499999f));
        int j1 = j + 1;
        if (j >= n - 1) {
            // The last value runs toward the first; beyond it the wave starts
            // again from its beginning.
            if (j == n - 1) {
                j1 = 0;
            } else {
                p = 0.0f;
                j = 0;
                j1 = n > 1 ? 1 : 0;
            }
            if (oneShot != 0) {
                voice.fraction = 0.0f;
                voice.position = 0;
                voice.filterState = state;
                voice.leftGain = leftTarget;
                voice.rightGain = rightTarget;
                return 1;
            }
        }
        const float s = wave[j] + (wave[j1] - wave[j]) * (p - static_cast<float>(j));
        const float y = s * (1.0f - k) + k * state;
        state = y;
        accumulator[i * 2] += y * gl;
        accumulator[i * 2 + 1] += y * gr;
        gl += leftStep;
        gr += rightStep;
        p += step;
        if (p >= nf) {
            p -= nf;
        }
    }
    voice.fraction = p;
    voice.position = static_cast<int32_t>(p);
    voice.filterState = state;
    voice.leftGain = leftTarget;
    voice.rightGain = rightTarget;
    return 0;
}

namespace {

// The surface kind of each of the 17 surface types: 3 road, 4 grass, 5 dirt,
// 6 sand.
constexpr uint8_t SurfaceSoundKinds[17] = {3, 3, 5, 4, 6, 5, 3, 3, 5, 3, 3, 5, 3, 5, 3, 3, 3};

// A surface type outside the table (from another program's car state) is
// heard as road.
int SurfaceSoundKind(uint32_t type)
{
    return type < 17 ? SurfaceSoundKinds[type] : 3;
}

float Clamp(float value, float low, float high)
{
    if (!(value > low)) {
        return low;
    }
    return value > high ? high : value;
}

float Length3(const float v[3])
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The weights of the road and skid voices of one wheel at slip ratio r
// (step 14 of the car synthesis).
void AddRoadWheel(float weight[CarSkidVoices][2], int side, float r, float amount, float F, float Lw, float W)
{
    if (!(F > 0.001f)) {
        return;
    }
    if (F < W * 0.25f) {
        if (r < 0.8f) {
            weight[7][side] += amount * Lw;
        } else if (r < 1.2f) {
            const float t = (r - 0.8f) * 2.5f;
            weight[3][side] += t * Lw;
            weight[7][side] += (1.0f - t) * amount * Lw;
        } else {
            weight[3][side] += Lw;
        }
        return;
    }
    if (r < 0.3f) {
        weight[7][side] += amount * Lw;
    } else if (r < 0.7f) {
        const float t = (r - 0.3f) * 2.5f;
        weight[2][side] += t * Lw;
        weight[7][side] += (1.0f - t) * amount * Lw;
    } else if (r < 0.8f) {
        weight[2][side] += Lw;
    } else if (r < 1.2f) {
        const float t = (r - 0.8f) * 2.5f;
        weight[2][side] += (1.0f - t) * Lw;
        weight[1][side] += t * Lw;
    } else if (r < 1.4f) {
        weight[1][side] += Lw;
    } else if (r < 1.6f) {
        const float t = (r - 1.4f) * 5.0f;
        weight[1][side] += (1.0f - t) * Lw;
        weight[0][side] += t * Lw;
    } else {
        weight[0][side] += Lw;
    }
}

}  // namespace

void SkidWeights(const CarObject &car, float W, float weight[CarSkidVoices][2], float lateral[2])
{
    for (int v = 0; v < CarSkidVoices; v++) {
        weight[v][0] = weight[v][1] = 0.0f;
    }
    lateral[0] = lateral[1] = 0.0f;
    if (car.wheels == nullptr || !(W > 0.0f)) {
        return;
    }
    for (int i = 0; i < car.wheelCount; i++) {
        const CarWheel &wheel = car.wheels[i];
        const int side = wheel.side == 1.0f ? 1 : 0;
        const float r = SafeRatio(wheel.slipShown, wheel.peakSlip);
        const float amount = std::fabs(wheel.angularVelocity * wheel.radius) * 0.004f;
        const float F = wheel.normalForce;
        const float Lw = std::fmin(F * 0.25f, W * 0.25f);
        const int kind = SurfaceSoundKind(wheel.surfaceType);
        if (kind == 3) {
            AddRoadWheel(weight, side, r, amount, F, Lw, W);
        } else {
            weight[kind][side] += Clamp((wheel.slipShown - 0.5f * wheel.peakSlip) * F, 0.0f, W * 0.25f);
        }
        lateral[side] += wheel.lateralPosition;
    }
}

void ScrapeForces(const CarObject &car, float W, float hard[2], float soft[2], float lateral[2])
{
    hard[0] = hard[1] = soft[0] = soft[1] = lateral[0] = lateral[1] = 0.0f;
    if (!(W > 0.0f)) {
        return;
    }
    if (car.points != nullptr) {
        for (int i = 0; i < car.pointCount; i++) {
            const CollisionPoint &point = car.points[i];
            if (point.contactKind == 0) {
                continue;
            }
            const float x = point.local[0];
            const int side = x > 0.1f ? 1 : 0;
            const float f = Clamp(Length3(point.force), 0.0f, W);
            // Kind 1 is a hard contact, 2 a surface whose first flag bit is set.
            if (point.contactKind == 1) {
                hard[side] += f;
            } else {
                soft[side] += f;
            }
            lateral[side] += x;
        }
    }
    if (car.wheels != nullptr) {
        for (int i = 0; i < car.wheelCount; i++) {
            const CarWheel &wheel = car.wheels[i];
            if (wheel.sideInContact == 0 || wheel.patchLength != 0.0f || wheel.slipShown == 0.0f) {
                continue;
            }
            const int side = wheel.side == 1.0f ? 1 : 0;
            const float f = Clamp(Length3(wheel.contactForce), 0.0f, W);
            if (wheel.sideHit == 2) {
                soft[side] += f;
            } else {
                hard[side] += f;
            }
            lateral[side] += wheel.lateralPosition;
        }
    }
}

namespace {

// x / W, 0 for a car without weight.
float PerWeight(float x, float W)
{
    return W > 0.0f ? x / W : 0.0f;
}

void MixSkidsAndScrapes(CarObject &car, int frames, int inside, int mode, int quiet, const CarSoundLevels &l)
{
    CarSoundState &state = car.soundState;
    CarEngine &engine = car.engine;
    float *T = mode == 0 ? CarSoundMixBuffers[0] : CarSoundMixBuffers[1];
    float s = 2.0f * engine.soundParams.Word(33);
    if (mode != 2) {
        s *= SkidBalance + 1.0f;
    }
    const float Sc = (engine.waveMask & (1u << 9)) != 0 ? s * l.G * 0.5f : 0.0f;
    const float W = 9.81f * car.mass;
    float weight[CarSkidVoices][2] = {};
    float lateral[2] = {0.0f, 0.0f};
    if (quiet == 0) {
        SkidWeights(car, W, weight, lateral);
    }
    if (inside == 0) {
        for (int v = 0; v < CarSkidVoices; v++) {
            const float val = PerWeight((weight[v][0] + weight[v][1]) * 6.0f, W);
            MixSampleVoice(T, frames, state.skids[v][0], 1, val * Sc, val * s * l.GL, val * s * l.GR);
        }
    } else {
        for (int side = 0; side < 2; side++) {
            const float p = lateral[side];
            const float gR = ((p + 1.0f) * 0.3f + 0.4f) * s * l.Gq;
            const float gL = ((1.0f - p) * 0.3f + 0.4f) * s * l.Gq;
            for (int v = 0; v < CarSkidVoices; v++) {
                const float val = PerWeight(6.0f * weight[v][side], W);
                MixSampleVoice(T, frames, state.skids[v][side], 1, val * Sc, val * gL, val * gR);
            }
        }
    }

    float hard[2] = {0.0f, 0.0f};
    float soft[2] = {0.0f, 0.0f};
    if (quiet == 0) {
        ScrapeForces(car, W, hard, soft, lateral);
    } else {
        lateral[0] = lateral[1] = 0.0f;
    }
    if (inside == 0) {
        const float vh = PerWeight((hard[0] + hard[1]) * 2.0f, W);
        const float vs = PerWeight((soft[0] + soft[1]) * 2.0f, W);
        MixSampleVoice(T, frames, state.scrapeHard[0], 1, vh * Sc, vh * s * l.GL, vh * s * l.GR);
        MixSampleVoice(T, frames, state.scrapeSoft[0], 1, vs * Sc, vs * s * l.GL, vs * s * l.GR);
    } else {
        for (int side = 0; side < 2; side++) {
            const float p = lateral[side];
            const float gR = ((p + 1.0f) * 0.3f + 0.4f) * s * l.Gq;
            const float gL = ((1.0f - p) * 0.3f + 0.4f) * s * l.Gq;
            const float vh = PerWeight(2.0f * hard[side], W);
            const float vs = PerWeight(2.0f * soft[side], W);
            MixSampleVoice(T, frames, state.scrapeHard[side], 1, vh * Sc, vh * gL, vh * gR);
            MixSampleVoice(T, frames, state.scrapeSoft[side], 1, vs * Sc, vs * gL, vs * gR);
        }
    }
}

constexpr float RpmToRadians = 0.10471976f;   // 2 pi / 60

float MaskedAudibility(const CarEngine &engine, int bit, float value)
{
    return (engine.waveMask & (1u << bit)) != 0 ? value : 0.0f;
}

uint32_t PlayWave(float *A, int frames, CarObject &car, int voice, int slot, float k, float step, float audibility,
                  float leftTarget, float rightTarget, int oneShot)
{
    const EngineWave &wave = car.engine.waves[slot];
    return MixWaveTableVoice(A, frames, car.soundState.waveVoices[voice], k, static_cast<int>(wave.sampleCount),
                             wave.samples, step, audibility, leftTarget, rightTarget, oneShot);
}

// A looping voice that has nothing to play this block fades out instead of
// stopping where it stands.
void FadeWave(float *A, int frames, CarObject &car, int voice, int slot)
{
    PlayWave(A, frames, car, voice, slot, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0);
}

void MixWaveTableVoices(CarObject &car, int frames, int inside, const CarSoundLevels &l)
{
    CarEngine &engine = car.engine;
    const EngineSoundParams &w = engine.soundParams;
    float *A = inside != 0 ? CarSoundMixBuffers[1] : CarSoundMixBuffers[0];
    const float G = l.G;
    const float D = l.D;

    // Gear whine, out of neutral.
    const EngineWave &whine = engine.waves[WaveGearWhine];
    // A recording speed that is not above 0 (an engine file's w21 or w16)
    // silences its voice.
    const float whineSpeed = w.Word(21) * RpmToRadians;
    if (car.gear != 1 && car.gear < CarGearPositions && whine.sampleCount != 0 && whine.samples != nullptr &&
        whineSpeed > 0.0f) {
        const float x = std::fabs(car.gearRatios[car.gear]);
        const float y = 2.0f * x / (x + 1.0f);
        float volume = w.Word(22);
        if (car.gear == 0 && volume < 1.0f) {
            volume = 1.0f;
        }
        float g = volume * std::sqrt(SafeRatio(std::fabs(engine.clutchTorque) * y, engine.maxTorque));
        if (inside == 0) {
            g *= 0.5f;
        }
        const float shaft = SafeRatio(car.wheelEngineSpeed, x);
        const float step = SafeRatio(std::fabs(shaft) * y * D, whineSpeed);
        PlayWave(A, frames, car, WaveVoiceGearWhine, WaveGearWhine, w.Word(23), step, MaskedAudibility(engine, 3, g * G),
                 g * l.GL, g * l.GR, 0);
    } else {
        FadeWave(A, frames, car, WaveVoiceGearWhine, WaveGearWhine);
    }

    // Air intake.
    {
        const float m = engine.soundRevFraction * engine.soundLoad;
        const float h = m * w.Word(24) * l.sMinus * 0.333f;
        PlayWave(A, frames, car, WaveVoiceAirIntake, WaveAirIntake, w.Word(25), (m + 0.5f) * D,
                 MaskedAudibility(engine, 4, h * l.sMinus * G), h * l.GL, h * l.GR, 0);
    }

    // Dump valve and turbo, for a turbocharged engine.
    if ((engine.flags & 1u) != 0) {
        float p = 0.0f;
        float h = 0.0f;
        if (engine.throttle < 0.5f) {
            const float q = (1.0f - 2.0f * engine.throttle) * SafeRatio(engine.boost, engine.maxBoost);
            if (q > 0.5f) {
                p = 2.0f * q - 1.0f;
                h = p * w.Word(19);
            }
        }
        PlayWave(A, frames, car, WaveVoiceDumpValve, WaveDumpValve, w.Word(20), (p + 0.5f) * D,
                 MaskedAudibility(engine, 5, h * l.Gq), h * l.GL, h * l.GR, 0);
        const float turboSpeed = w.Word(16) * RpmToRadians;
        if (turboSpeed > 0.0f) {
            const float t = w.Word(17) * engine.turboSpeed / 15707.963f;
            const float step = D * SafeRatio(engine.turboSpeed, turboSpeed);
            PlayWave(A, frames, car, WaveVoiceTurbo, WaveTurbo, w.Word(18), step, MaskedAudibility(engine, 1, t * G),
                     t * l.GL, t * l.GR, 0);
        } else {
            FadeWave(A, frames, car, WaveVoiceTurbo, WaveTurbo);
        }
    } else {
        FadeWave(A, frames, car, WaveVoiceDumpValve, WaveDumpValve);
        FadeWave(A, frames, car, WaveVoiceTurbo, WaveTurbo);
    }

    // Gear shifts, one sound per change counted by the car.
    if (car.gearChangeCount != 0) {
        const EngineWave &shift = engine.waves[WaveGearShift];
        if (shift.sampleCount == 0 || shift.samples == nullptr) {
            car.gearChangeCount = 0;
        } else {
            float h = w.Word(26);
            if (inside == 0) {
                h *= 0.5f;
            }
            if (PlayWave(A, frames, car, WaveVoiceGearShift, WaveGearShift, w.Word(27), D,
                         MaskedAudibility(engine, 6, h * G), h * l.GL, h * l.GR, 1) != 0) {
                car.gearChangeCount = static_cast<uint8_t>(car.gearChangeCount - 1);
            }
        }
    }

    // The starter, once per start.
    if (car.engineStartSound != 0) {
        const EngineWave &starter = engine.waves[WaveStarter];
        if (starter.sampleCount == 0 || starter.samples == nullptr) {
            car.engineStartSound = 0;
        } else {
            float h = w.Word(28);
            if (inside == 0) {
                h *= 0.5f;
            }
            if (PlayWave(A, frames, car, WaveVoiceStarter, WaveStarter, w.Word(29), D,
                         MaskedAudibility(engine, 7, h * G), h * l.GL, h * l.GR, 1) != 0) {
                car.engineStartSound = 0;
            }
        }
    }
}

}  // namespace

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

    // A car in one-step mode keeps only its engine, wind and horn: the rest
    // fades out as for a car not mixed.
    int quiet = notMixed;
    float gl = GL;
    float gr = GR;
    float gq = Gq;
    if (car.singleStep != 0) {
        quiet = 1;
        gl = gr = gq = 0.0f;
    }
    const CarSoundLevels levels = {G, gl, gr, gq, D, place.sMinus};
    MixSkidsAndScrapes(car, frames, inside, mode, quiet, levels);
    MixWaveTableVoices(car, frames, inside, levels);
}

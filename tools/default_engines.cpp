#include "tools/default_engines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/engine_file.h"
#include "audio/engine_synthesis.h"
#include "core/car_table.h"
#include "tools/car_data_writer.h"
#include "tools/car_params.h"
#include "vehicle/car_data_file.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_sound_state.h"
#include "vehicle/engine_record.h"

namespace {

constexpr double SampleRate = 44100.0;
constexpr double Pi = 3.14159265358979323846;

// Lengths of the synthesised waves (samples at 44,100 Hz). Looping waves hold
// a whole number of periods of every tone in them: 4,410 samples is 0.1 s, so
// tones lie on multiples of 10 Hz.
constexpr int ToneLoopLength = 4410;
constexpr int NoiseLoopLength = 8192;
constexpr int NoiseCrossfade = 1024;
constexpr int GearShiftLength = 6000;
constexpr int StarterLength = 24000;

// The speeds the turbo and gear-whine waves are made for: the turbo whine at
// 150,000 rpm and the gear whine at 6,000 rpm of the drive shaft.
constexpr float TurboRecordedRpm = 150000.0f;
constexpr float GearWhineRecordedRpm = 6000.0f;

enum class EngineKind { Road, Sport, Buggy, Muscle, Race, Formula };

// The sound of each car's engine, in car-table order (docs/default_data.md
// explains them). The mechanical part (cylinders, displacement, turbo and
// the engine figures) comes from the generator's car table, which the car data
// is written from too, so both records describe one engine.
struct EngineSound {
    EngineKind kind;
    float pipeTone;      // w8
    float pulseTone;     // w12
    float silencers;     // w10
    float volume;        // w30
};

constexpr EngineSound EngineSounds[CarModelCount] = {
    {EngineKind::Road, 44.0f, 1.6f, 0.45f, 0.8f},     // ZHA
    {EngineKind::Sport, 42.0f, 2.0f, 0.35f, 1.2f},    // ZHR
    {EngineKind::Sport, 40.0f, 1.8f, 0.38f, 1.0f},    // KST
    {EngineKind::Sport, 36.0f, 1.9f, 0.35f, 1.2f},    // VXT
    {EngineKind::Sport, 34.0f, 2.2f, 0.33f, 1.4f},    // MGT
    {EngineKind::Sport, 41.0f, 2.1f, 0.32f, 1.3f},    // FNS
    {EngineKind::Sport, 43.0f, 1.9f, 0.36f, 1.1f},    // ORL
    {EngineKind::Buggy, 30.0f, 1.4f, 0.28f, 1.2f},    // QBG
    {EngineKind::Muscle, 24.0f, 1.5f, 0.30f, 2.0f},   // BRV
    {EngineKind::Sport, 42.0f, 2.2f, 0.30f, 1.3f},    // LRS
    {EngineKind::Race, 40.0f, 2.4f, 0.20f, 2.2f},     // LSR
    {EngineKind::Formula, 44.0f, 2.4f, 0.18f, 2.0f},  // FNV
    {EngineKind::Formula, 45.0f, 2.6f, 0.16f, 2.6f},  // FAR
    {EngineKind::Formula, 50.0f, 3.0f, 0.15f, 3.0f},  // FCR
    {EngineKind::Race, 38.0f, 2.5f, 0.18f, 2.6f},     // BPR
    {EngineKind::Race, 39.0f, 2.3f, 0.20f, 2.4f},     // ZGT
    {EngineKind::Race, 37.0f, 2.3f, 0.20f, 2.4f},     // KGT
    {EngineKind::Race, 35.0f, 2.5f, 0.18f, 2.6f},     // MRG
    {EngineKind::Race, 48.0f, 2.8f, 0.20f, 2.0f},     // SBR
    {EngineKind::Race, 42.0f, 2.6f, 0.18f, 2.4f},     // SBX
};

// What the wave makers need of one engine.
struct EngineSpec {
    EngineKind kind;
    int cylinders;
    double displacement;  // cm3
    bool turbo;
};

// The parameters that follow from the kind of engine: w9, w11, w13..w15,
// then volume and muffler pairs of turbo, dump valve, gear whine, air intake,
// gear shift and starter (w17..w20, w22..w29), w31, w34..w36.
struct KindParams {
    float toneVariation, unevenness, offPowerTone, offPowerVolume, idleBoost;
    float turboVolume, turboMuffler, dumpVolume, dumpMuffler;
    float whineVolume, whineMuffler, intakeVolume, intakeMuffler;
    float shiftVolume, shiftMuffler, starterVolume, starterMuffler;
    float cockpitMuffling, headerMix, collectorMix, tailMix;
};

const KindParams &ParamsOfKind(EngineKind kind)
{
    static const KindParams Road = {0.4f, 0.03f, 0.2f, 0.3f, 0.4f, 0.8f, 0.85f, 0.5f, 0.85f, 0.3f, 0.85f,
                                    0.5f, 0.7f, 0.3f, 0.7f, 1.0f, 0.7f, 0.93f, 0.02f, 0.08f, 1.0f};
    static const KindParams Sport = {0.5f, 0.04f, 0.15f, 0.2f, 0.3f, 1.0f, 0.8f, 0.8f, 0.8f, 0.5f, 0.8f,
                                     0.8f, 0.6f, 0.5f, 0.6f, 1.0f, 0.6f, 0.9f, 0.04f, 0.12f, 1.0f};
    static const KindParams Buggy = {0.6f, 0.05f, 0.3f, 0.4f, 0.6f, 1.0f, 0.8f, 0.6f, 0.8f, 0.4f, 0.8f,
                                     1.0f, 0.6f, 0.6f, 0.6f, 1.2f, 0.5f, 0.82f, 0.05f, 0.15f, 0.9f};
    static const KindParams Muscle = {0.7f, 0.02f, 0.25f, 0.35f, 0.5f, 1.0f, 0.8f, 0.6f, 0.8f, 0.4f, 0.8f,
                                      0.9f, 0.6f, 0.5f, 0.6f, 1.2f, 0.6f, 0.9f, 0.03f, 0.15f, 1.0f};
    static const KindParams Race = {0.6f, 0.02f, 0.12f, 0.15f, 0.2f, 1.5f, 0.7f, 1.2f, 0.7f, 1.5f, 0.7f,
                                    1.2f, 0.6f, 1.0f, 0.55f, 0.8f, 0.6f, 0.85f, 0.1f, 0.25f, 0.9f};
    static const KindParams Formula = {0.7f, 0.01f, 0.1f, 0.1f, 0.1f, 1.5f, 0.7f, 1.2f, 0.7f, 1.8f, 0.6f,
                                       1.5f, 0.55f, 1.2f, 0.5f, 0.6f, 0.6f, 0.8f, 0.2f, 0.35f, 0.8f};
    switch (kind) {
    case EngineKind::Road: return Road;
    case EngineKind::Sport: return Sport;
    case EngineKind::Buggy: return Buggy;
    case EngineKind::Muscle: return Muscle;
    case EngineKind::Race: return Race;
    case EngineKind::Formula: return Formula;
    }
    return Road;
}

// A small deterministic noise source, so every run writes the same files.
struct Noise {
    uint32_t state;
    double Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

// Two-pole band-pass filter (constant peak gain).
struct BandPass {
    double b0, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    BandPass(double centre, double q)
    {
        const double w = 2.0 * Pi * centre / SampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2.0 * std::cos(w) / a0;
        a2 = (1.0 - alpha) / a0;
    }
    double Step(double x)
    {
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

void Normalise(std::vector<double> &wave, double peak)
{
    double largest = 0.0;
    for (double v : wave) {
        largest = std::max(largest, std::fabs(v));
    }
    if (largest > 0.0) {
        for (double &v : wave) {
            v *= peak / largest;
        }
    }
}

// Joins the end of a noise run onto its start so that it loops without a
// click: the result is `length` samples from a run of length + fade.
std::vector<double> LoopWithCrossfade(const std::vector<double> &run, int length, int fade)
{
    std::vector<double> loop(run.begin(), run.begin() + length);
    for (int i = 0; i < fade; ++i) {
        const double t = double(i) / fade;
        loop[i] = run[i] * t + run[length + i] * (1.0 - t);
    }
    return loop;
}

// The exhaust pressure pulse of one firing: a fast rise, a decay and the
// ringing of the port, longer and lower for larger cylinders.
std::vector<double> MakeExhaustPulse(const EngineSpec &spec)
{
    const double perCylinder = spec.displacement / spec.cylinders;
    const bool sharp = spec.kind == EngineKind::Formula || spec.kind == EngineKind::Race;
    const int length = std::clamp(static_cast<int>(220.0 + perCylinder * 0.45), 256, 1024);
    const double rise = sharp ? 2.5 : 4.0 + perCylinder / 150.0;
    const double decay = length / (sharp ? 6.0 : 4.5);
    const double ring = std::clamp(2600.0 - perCylinder * 2.4, 700.0, 2400.0);
    const double ringShare = sharp ? 0.65 : 0.45;
    std::vector<double> pulse(length);
    for (int t = 0; t < length; ++t) {
        const double envelope = (1.0 - std::exp(-t / rise)) * std::exp(-t / decay);
        const double ringing = std::cos(2.0 * Pi * ring * t / SampleRate);
        // The reflected wave pulls the pressure below ambient after the peak.
        const double suction = 0.25 * std::exp(-std::pow((t - 2.5 * decay) / decay, 2.0));
        pulse[t] = envelope * ((1.0 - ringShare) + ringShare * ringing) - suction;
    }
    // Fade the tail so the pulse ends at rest.
    const int tail = length / 8;
    for (int i = 0; i < tail; ++i) {
        pulse[length - 1 - i] *= double(i) / tail;
    }
    Normalise(pulse, 24000.0);
    return pulse;
}

// A tone loop of harmonics of `fundamental` (a multiple of 10 Hz), with a
// little hiss.
std::vector<double> MakeToneLoop(double fundamental, const double (&harmonics)[3], double hiss, Noise &noise)
{
    std::vector<double> run(ToneLoopLength + NoiseCrossfade);
    std::vector<double> hissRun(run.size());
    BandPass hissFilter(fundamental * 2.0, 0.7);
    for (size_t t = 0; t < run.size(); ++t) {
        hissRun[t] = hissFilter.Step(noise.Next());
    }
    const std::vector<double> hissLoop = LoopWithCrossfade(hissRun, ToneLoopLength, NoiseCrossfade);
    std::vector<double> loop(ToneLoopLength);
    for (int t = 0; t < ToneLoopLength; ++t) {
        double v = 0.0;
        for (int h = 0; h < 3; ++h) {
            v += harmonics[h] * std::sin(2.0 * Pi * fundamental * (h + 1) * t / SampleRate);
        }
        loop[t] = v + hiss * hissLoop[t];
    }
    Normalise(loop, 9000.0);
    return loop;
}

// Band-limited noise that loops: intake roar or the rush of the dump valve.
std::vector<double> MakeNoiseLoop(double centre, double q, double peak, Noise &noise)
{
    std::vector<double> run(NoiseLoopLength + NoiseCrossfade);
    BandPass filter(centre, q);
    for (int warm = 0; warm < 2000; ++warm) {
        filter.Step(noise.Next());
    }
    for (double &v : run) {
        v = filter.Step(noise.Next());
    }
    std::vector<double> loop = LoopWithCrossfade(run, NoiseLoopLength, NoiseCrossfade);
    Normalise(loop, peak);
    return loop;
}

// The clunk of a gear change: a short low thump and the click of the dog
// rings.
std::vector<double> MakeGearShift(const EngineSpec &spec, Noise &noise)
{
    const bool dogBox = spec.kind == EngineKind::Race || spec.kind == EngineKind::Formula;
    const double thump = dogBox ? 140.0 : 95.0;
    BandPass click(dogBox ? 3500.0 : 2200.0, 1.5);
    std::vector<double> wave(GearShiftLength);
    for (int t = 0; t < GearShiftLength; ++t) {
        const double body = std::sin(2.0 * Pi * thump * t / SampleRate) * std::exp(-t / 900.0);
        const double clack = click.Step(noise.Next()) * std::exp(-t / (dogBox ? 250.0 : 400.0));
        wave[t] = body + (dogBox ? 2.5 : 1.2) * clack;
    }
    for (int i = 0; i < 200; ++i) {
        wave[GearShiftLength - 1 - i] *= i / 200.0;
    }
    Normalise(wave, 14000.0);
    return wave;
}

// The starter motor turning the engine over: a whine whose speed dips at
// every compression stroke, fading out as the engine catches.
std::vector<double> MakeStarter(const EngineSpec &spec)
{
    const double crankRevsPerSecond = 3.2 + 4.0 / spec.cylinders;
    const double strokesPerSecond = crankRevsPerSecond * spec.cylinders / 2.0;
    const double motor = 150.0 + 4000.0 / spec.displacement * 30.0;
    std::vector<double> wave(StarterLength);
    double phase = 0.0;
    for (int t = 0; t < StarterLength; ++t) {
        const double seconds = t / SampleRate;
        const double stroke = std::fmod(seconds * strokesPerSecond, 1.0);
        const double load = std::exp(-std::pow((stroke - 0.3) / 0.12, 2.0));
        phase += 2.0 * Pi * motor * (1.0 - 0.25 * load) / SampleRate;
        double v = 0.0;
        for (int h = 1; h <= 4; ++h) {
            v += std::sin(phase * h) / h;
        }
        double level = 0.6 + 0.4 * load;
        level *= std::min(1.0, t / 400.0);
        level *= std::min(1.0, (StarterLength - 1 - t) / 3000.0);
        wave[t] = v * level;
    }
    Normalise(wave, 12000.0);
    return wave;
}

void StoreWave(EngineWave &wave, const std::vector<double> &values)
{
    wave.Free(true);
    wave.kind = 3;
    wave.channels = 1;
    wave.sampleCount = static_cast<uint32_t>(values.size());
    wave.samples = static_cast<float *>(std::malloc(values.size() * sizeof(float)));
    for (size_t i = 0; i < values.size(); ++i) {
        wave.samples[i] = static_cast<float>(std::lround(values[i]));
    }
}

constexpr int NoStarterClass = 10;

// Levels: the loudest exhaust (full load, 0.95 of the rev limit) peaks at
// 0.45 of full scale in the mixer's dry accumulator, heard 2.2 m ahead (gain 1,
// 0.175 x exhaust volume per side), and idle without load lies about 15 dB
// below it.
constexpr double FullLevelTarget = 0.45;
constexpr double IdleRatioTarget = 0.178;   // -15 dB

// Scales the exhaust pulse wave by the factor, holding the 16-bit range.
void ScalePulse(EngineWave &wave, double factor)
{
    for (uint32_t i = 0; i < wave.sampleCount; ++i) {
        const double v = std::lround(wave.samples[i] * factor);
        wave.samples[i] = static_cast<float>(std::clamp(v, -32767.0, 32767.0));
    }
}

double PulsePeak(const EngineWave &wave)
{
    double peak = 0.0;
    for (uint32_t i = 0; i < wave.sampleCount; ++i) {
        peak = std::max(peak, std::fabs(static_cast<double>(wave.samples[i])));
    }
    return peak;
}

}  // namespace

EngineLevels MeasureEngineLevels(const EngineRecord &record, const CarEngine &setUp)
{
    EngineLevels levels = {0.0, 0.0, true};
    for (int point = 0; point < 2; ++point) {
        // A copy of the set-up engine that shares the record's waves; it is
        // never freed through.
        CarEngine engine = setUp;
        engine.soundParams = record.soundParams;
        std::memcpy(engine.waves, record.waves, sizeof(engine.waves));
        engine.firingIndex = 0;
        const bool full = point == 0;
        const double speed = full ? 0.95 * engine.maxSpeed : engine.idleSpeed;
        engine.soundLoad = full ? 1.0f : 0.0f;
        engine.soundRevFraction = static_cast<float>(speed / engine.maxSpeed);
        const float rate = static_cast<float>(speed / (2.0 * Pi) * engine.cylinders / 2.0);
        const float target = record.soundParams.Word(30) * 0.175f;
        CarSoundState state = {};
        double peak = 0.0;
        for (int block = 0; block < 60; ++block) {   // 0.6 s, the first 0.2 s to settle
            std::memset(CarSoundMixBuffers[0], 0, sizeof(CarSoundMixBuffers[0]));
            SynthesizeEngine(state, CarSoundMixFrames, 0, 0, rate, 1.0f, target, target, engine, 0.0f, 1.0f);
            for (float v : CarSoundMixBuffers[0]) {
                if (!std::isfinite(v)) {
                    levels.finite = false;
                } else if (block >= 20) {
                    peak = std::max(peak, std::fabs(static_cast<double>(v)));
                }
            }
        }
        std::memset(CarSoundMixBuffers[0], 0, sizeof(CarSoundMixBuffers[0]));
        (full ? levels.full : levels.idle) = peak / 32767.0;
    }
    return levels;
}

int SetUpDefaultEngine(int car, CarEngine &engine)
{
    CarDataFile data;
    if (!BuildCarDataFile(car, &data)) {
        return 0;
    }
    engine.Clear();
    engine.SetDefaults();
    ApplyEngineFigures(data.engine, engine);
    engine.SetUpFromClass(data.vehicleClass, data.gearboxKind);
    return 1;
}

namespace {

// Picks the pulse level for the full-load peak, and the off-power volume and
// idle boost for the idle ratio.
void TuneEngineLevels(int car, EngineRecord &record)
{
    CarEngine engine;
    if (!SetUpDefaultEngine(car, engine)) {
        return;
    }
    EngineSoundParams &p = record.soundParams;
    EngineWave &pulse = record.waves[WaveExhaustPulse];
    for (int pass = 0; pass < 24; ++pass) {
        EngineLevels levels = MeasureEngineLevels(record, engine);
        if (!(levels.full > 0.0) || !(levels.idle > 0.0)) {
            return;
        }
        const double ratio = levels.idle / levels.full;
        const bool idleDone = std::fabs(std::log(ratio / IdleRatioTarget)) < 0.1;
        const bool fullDone = std::fabs(levels.full / FullLevelTarget - 1.0) < 0.03;
        if (idleDone && fullDone) {
            break;
        }
        if (!idleDone) {
            // Idle without load is scaled by the off-power volume (w14); when
            // that is at an end of its range, the idle boost (w15) lifts or
            // lowers the low revs.
            const float w14 = static_cast<float>(p.Word(14) * IdleRatioTarget / ratio);
            const EngineParamRange &r14 = GetEngineParamRange(14);
            const EngineParamRange &r15 = GetEngineParamRange(15);
            p.Word(14) = std::clamp(w14, r14.minimum, r14.maximum);
            if (p.Word(14) != w14) {
                const float w15 = p.Word(15) + (w14 > r14.maximum ? 0.15f : -0.15f);
                p.Word(15) = std::clamp(w15, r15.minimum, r15.maximum);
            }
            levels = MeasureEngineLevels(record, engine);
        }
        // The pulse takes what its 16-bit range allows; the exhaust volume the rest.
        double factor = FullLevelTarget / levels.full;
        const double room = 32000.0 / std::max(1.0, PulsePeak(pulse));
        const double pulseFactor = std::min(factor, room);
        ScalePulse(pulse, pulseFactor);
        factor /= pulseFactor;
        if (std::fabs(factor - 1.0) > 1e-3) {
            const float w30 = static_cast<float>(p.Word(30) * factor);
            p.Word(30) = std::clamp(w30, GetEngineParamRange(30).minimum, GetEngineParamRange(30).maximum);
        }
    }
}

// Returns 0 for a car outside the generator's table.
int BuildEngine(int car, EngineRecord &engine)
{
    CarParams params;
    if (!BuildCarParams(car, &params)) {
        return 0;
    }
    FillEngineFigures(params.engine, &engine);
    const EngineSound &sound = EngineSounds[car];
    const EngineSpec spec = {sound.kind, params.engine.cylinders, params.engine.displacement, params.engine.turbo};
    const KindParams &kind = ParamsOfKind(spec.kind);

    EngineSoundParams &p = engine.soundParams;
    std::memset(p.name, 0, sizeof(p.name));
    p.SetDefaults();
    p.Word(8) = sound.pipeTone;
    p.Word(9) = kind.toneVariation;
    p.Word(10) = sound.silencers;
    p.Word(11) = kind.unevenness;
    p.Word(12) = sound.pulseTone;
    p.Word(13) = kind.offPowerTone;
    p.Word(14) = kind.offPowerVolume;
    p.Word(15) = kind.idleBoost;
    p.Word(16) = TurboRecordedRpm;
    p.Word(17) = kind.turboVolume;
    p.Word(18) = kind.turboMuffler;
    p.Word(19) = kind.dumpVolume;
    p.Word(20) = kind.dumpMuffler;
    p.Word(21) = GearWhineRecordedRpm;
    p.Word(22) = kind.whineVolume;
    p.Word(23) = kind.whineMuffler;
    p.Word(24) = kind.intakeVolume;
    p.Word(25) = kind.intakeMuffler;
    p.Word(26) = kind.shiftVolume;
    p.Word(27) = kind.shiftMuffler;
    p.Word(28) = kind.starterVolume;
    p.Word(29) = kind.starterMuffler;
    p.Word(30) = sound.volume;
    p.Word(31) = kind.cockpitMuffling;
    p.Word(34) = kind.headerMix;
    p.Word(35) = kind.collectorMix;
    p.Word(36) = kind.tailMix;

    Noise noise{0x9E3779B9u ^ static_cast<uint32_t>(car * 7919 + 1)};
    StoreWave(engine.waves[WaveExhaustPulse], MakeExhaustPulse(spec));
    if (spec.turbo) {
        // A compressor wheel's whine at 150,000 rpm, a little different per car.
        const double harmonics[3] = {1.0, 0.45, 0.2};
        StoreWave(engine.waves[WaveTurbo], MakeToneLoop(2000.0 + 100.0 * (car % 6), harmonics, 0.35, noise));
        StoreWave(engine.waves[WaveDumpValve], MakeNoiseLoop(2800.0 + 150.0 * (car % 4), 0.8, 10000.0, noise));
    }
    const bool straightCut = spec.kind == EngineKind::Race || spec.kind == EngineKind::Formula;
    const double whineHarmonics[3] = {1.0, straightCut ? 0.6 : 0.3, straightCut ? 0.35 : 0.1};
    StoreWave(engine.waves[WaveGearWhine],
              MakeToneLoop(straightCut ? 1400.0 + 40.0 * (car % 5) : 900.0 + 30.0 * (car % 5), whineHarmonics,
                           0.15, noise));
    StoreWave(engine.waves[WaveAirIntake],
              MakeNoiseLoop(220.0 + 45.0 * spec.cylinders + 60.0 * (car % 3), 1.6, 9000.0, noise));
    StoreWave(engine.waves[WaveGearShift], MakeGearShift(spec, noise));
    // The formula class has no starter: it is pushed or started from outside.
    if (params.vehicleClass != NoStarterClass) {
        StoreWave(engine.waves[WaveStarter], MakeStarter(spec));
    }
    TuneEngineLevels(car, engine);
    return 1;
}

}  // namespace

const char *WriteDefaultEngineFiles(const char *runFolder)
{
    static std::string error;
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "engine";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return error.c_str();
    }
    for (int car = 0; car < CarModelCount; ++car) {
        EngineRecord engine{};
        if (!BuildEngine(car, engine)) {
            error = std::string("no engine for car ") + CarTable[car].code;
            return error.c_str();
        }
        const std::string path = (folder / (std::string(CarTable[car].code) + "_default.eng")).string();
        const int written = WriteEngineFile(engine, path.c_str(), nullptr);
        engine.FreeWaves(true);
        if (!written) {
            error = "cannot write " + path;
            return error.c_str();
        }
    }
    return nullptr;
}

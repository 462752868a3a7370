#include "audio/car_sound_synthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "sound_analysis.h"
#include "vehicle/car_object.h"

namespace {

constexpr int Block = CarSoundMixFrames;
constexpr float TwoPi = 6.2831853f;

float *Dry() { return CarSoundMixBuffers[0]; }

void ClearMix()
{
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

// ---- The wave-table voice ----

TEST(MixWaveTableVoiceTest, EmptyWaveLongStepOneShotEndAndWrapToTheFirstValue)
{
    ClearMix();
    CrowdGain = 1.0f;
    LoudVoiceCount = 0;
    const float wave[4] = {0.0f, 10.0f, 20.0f, 30.0f};
    SampleVoice voice = {};
    // No wave, or a step beyond it: 1 and nothing played.
    EXPECT_EQ(MixWaveTableVoice(Dry(), 8, voice, 0.0f, 0, wave, 1.0f, 1.0f, 1.0f, 1.0f, 0), 1u);
    EXPECT_EQ(MixWaveTableVoice(Dry(), 8, voice, 0.0f, 4, wave, 4.5f, 1.0f, 1.0f, 1.0f, 0), 1u);
    EXPECT_EQ(voice.leftGain, 0.0f);
    // Silent and staying silent: 1 before any frame.
    EXPECT_EQ(MixWaveTableVoice(Dry(), 8, voice, 0.0f, 4, wave, 1.0f, 0.0f, 0.0f, 0.0f, 0), 1u);

    // Looping at half a value a frame with steady gains: at j = n - 1 the
    // interpolation runs toward value 0, then the wave starts again.
    voice.leftGain = voice.rightGain = 1.0f;
    voice.fraction = 2.0f;
    EXPECT_EQ(MixWaveTableVoice(Dry(), 6, voice, 0.0f, 4, wave, 0.5f, 1.0f, 1.0f, 1.0f, 0), 0u);
    const float expected[6] = {20.0f, 25.0f, 30.0f, 15.0f, 0.0f, 5.0f};
    for (int i = 0; i < 6; i++) {
        EXPECT_FLOAT_EQ(Dry()[i * 2], expected[i]) << i;
        EXPECT_FLOAT_EQ(Dry()[i * 2 + 1], expected[i]) << i;
    }
    EXPECT_FLOAT_EQ(voice.fraction, 1.0f);

    // One-shot: it ends where the last value would run on, its position back
    // at 0; frames before that play.
    ClearMix();
    voice.fraction = 1.0f;
    EXPECT_EQ(MixWaveTableVoice(Dry(), 8, voice, 0.0f, 4, wave, 1.0f, 1.0f, 1.0f, 1.0f, 1), 1u);
    EXPECT_EQ(Dry()[0], 10.0f);
    EXPECT_EQ(Dry()[2], 20.0f);
    EXPECT_EQ(Dry()[4], 0.0f);
    EXPECT_EQ(voice.fraction, 0.0f);
    EXPECT_EQ(voice.position, 0);

    // The one-pole smoothing: y = s (1 - k) + k y'.
    ClearMix();
    const float flat[2] = {100.0f, 100.0f};
    SampleVoice smooth = {};
    smooth.leftGain = smooth.rightGain = 1.0f;
    MixWaveTableVoice(Dry(), 3, smooth, 0.5f, 2, flat, 0.25f, 1.0f, 1.0f, 1.0f, 0);
    EXPECT_FLOAT_EQ(Dry()[0], 50.0f);
    EXPECT_FLOAT_EQ(Dry()[2], 75.0f);
    EXPECT_FLOAT_EQ(Dry()[4], 87.5f);

    // Gains move from the last block's to the targets and end exactly there;
    // a quiet voice fades out.
    ClearMix();
    SampleVoice fade = {};
    fade.leftGain = fade.rightGain = 1.0f;
    CrowdGain = 0.5f;
    MixWaveTableVoice(Dry(), 4, fade, 0.0f, 2, flat, 0.25f, 0.03f, 1.0f, 1.0f, 0);
    EXPECT_FLOAT_EQ(Dry()[0], 100.0f);
    EXPECT_FLOAT_EQ(Dry()[6], 25.0f);
    EXPECT_EQ(fade.leftGain, 0.0f);
    EXPECT_EQ(fade.rightGain, 0.0f);
    CrowdGain = 1.0f;
    LoudVoiceCount = 0;
    ClearMix();
}

// ---- A car with wheels, contacts and engine waves ----

// A car of 1,000 kg (W = 9,810 N) 5 m to the listener's right, four wheels
// (two each side), its sample voices bound to a steady test sample, every
// engine wave a ramp.
class CarVoicesTest : public testing::Test {
protected:
    CarObject car;
    CarWheel wheels[4] = {};
    CollisionPoint points[3] = {};
    int16_t tone[64];
    SoundSample saved[SoundSampleCount];

    void SetUp() override
    {
        ClearMix();
        FrameRandom = 77;
        LoudVoiceCount = 0;
        CrowdGain = 1.0f;
        SkidBalance = 0.0f;
        WindBalance = 0.0f;
        Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
        for (int i = 0; i < 64; i++) {
            tone[i] = static_cast<int16_t>(1000 + i);
        }
        for (int n = 0; n < SoundSampleCount; n++) {
            saved[n] = SoundSamples[n];
            SoundSamples[n] = {0, 64, tone};
        }
        CarEngine &engine = car.engine;
        engine.Clear();
        engine.SetDefaults();
        engine.cylinders = 4;
        const uint8_t order[4] = {1, 3, 4, 2};
        std::memcpy(engine.firingOrder, order, 4);
        for (int slot = 0; slot < EngineWaveCount; slot++) {
            EngineWave &wave = engine.waves[slot];
            wave.kind = 3;
            wave.sampleCount = 200;
            wave.samples = static_cast<float *>(std::malloc(200 * sizeof(float)));
            for (int i = 0; i < 200; i++) {
                wave.samples[i] = static_cast<float>(3000.0 * std::sin(i * 0.2));
            }
        }
        engine.speed = 3000.0f * TwoPi / 60.0f;
        engine.maxSpeed = 7000.0f * TwoPi / 60.0f;
        engine.maxTorque = 150.0f;
        engine.clutchTorque = 120.0f;
        engine.condition = 1.0f;
        engine.throttle = 1.0f;
        car.enginePower = 0.5f * 150.0f * engine.speed;
        car.tractionFactor = 1.0f;
        car.limiterFactor = 1.0f;
        car.vehicleClass = -1;
        car.mass = 1000.0f;
        car.speed = 20.0f;
        car.gear = 3;
        car.gearRatios[0] = -3.0f;
        car.gearRatios[1] = 0.0f;
        car.gearRatios[2] = 3.0f;
        car.gearRatios[3] = 2.0f;
        car.wheelEngineSpeed = 300.0f;
        car.soundState = {};
        car.orientation[0] = car.orientation[4] = car.orientation[8] = 1.0f;
        car.position = {5 * 65536, 0, 0};
        const float sides[4] = {-1.0f, 1.0f, -1.0f, 1.0f};
        for (int i = 0; i < 4; i++) {
            wheels[i].side = sides[i];
            wheels[i].lateralPosition = 0.4f * sides[i];
            wheels[i].peakSlip = 1.0f;
            wheels[i].surfaceType = 0;
            wheels[i].radius = 0.3f;
        }
        car.wheels = wheels;
        car.wheelCount = 4;
        car.points = points;
        car.pointCount = 3;
    }
    void TearDown() override
    {
        car.wheels = nullptr;
        car.wheelCount = 0;
        car.points = nullptr;
        car.pointCount = 0;
        car.engine.FreeWaves(true);
        for (int n = 0; n < SoundSampleCount; n++) {
            SoundSamples[n] = saved[n];
        }
        SkidBalance = 0.0f;
        WindBalance = 0.0f;
        LoudVoiceCount = 0;
        CrowdGain = 1.0f;
        ClearMix();
    }

    void Mix(int inside = 0, int mode = 1, int blocks = 1)
    {
        for (int b = 0; b < blocks; b++) {
            ClearMix();
            MixCarSound(car, Block, inside, mode, 0);
        }
    }
    SampleVoice &Wave(int voice) { return car.soundState.waveVoices[voice]; }
};

TEST_F(CarVoicesTest, SkidWeightsByBandSurfaceAndSide)
{
    const float W = 9810.0f;
    const float amount = 50.0f * 0.3f * 0.004f;   // wheel speed x radius x 0.004
    // Light: F 2,000 N (Lw 500); heavy: F 4,000 N (Lw 1,000, at most W / 4).
    struct Row {
        float r;
        float light[8];
        float heavy[8];
    };
    const float a = amount;
    const Row rows[] = {
        {0.2f, {0, 0, 0, 0, 0, 0, 0, a * 500}, {0, 0, 0, 0, 0, 0, 0, a * 1000}},
        {0.5f, {0, 0, 0, 0, 0, 0, 0, a * 500}, {0, 0, 500, 0, 0, 0, 0, 0.5f * a * 1000}},
        {0.75f, {0, 0, 0, 0, 0, 0, 0, a * 500}, {0, 0, 1000, 0, 0, 0, 0, 0}},
        {1.0f, {0, 0, 0, 250, 0, 0, 0, 0.5f * a * 500}, {0, 500, 500, 0, 0, 0, 0, 0}},
        {1.3f, {0, 0, 0, 500, 0, 0, 0, 0}, {0, 1000, 0, 0, 0, 0, 0, 0}},
        {1.5f, {0, 0, 0, 500, 0, 0, 0, 0}, {500, 500, 0, 0, 0, 0, 0, 0}},
        {1.7f, {0, 0, 0, 500, 0, 0, 0, 0}, {1000, 0, 0, 0, 0, 0, 0, 0}},
    };
    car.wheelCount = 2;
    wheels[0].normalForce = 2000.0f;   // side 0 (side value -1)
    wheels[1].normalForce = 4000.0f;   // side 1 (side value exactly 1)
    for (const Row &row : rows) {
        for (int i = 0; i < 2; i++) {
            wheels[i].slipShown = row.r;
            wheels[i].angularVelocity = 50.0f;
        }
        float weight[8][2];
        float lateral[2];
        SkidWeights(car, W, weight, lateral);
        for (int v = 0; v < 8; v++) {
            SCOPED_TRACE(testing::Message() << "r " << row.r << " voice " << v);
            EXPECT_NEAR(weight[v][0], row.light[v], 1e-3f * (1.0f + row.light[v]));
            EXPECT_NEAR(weight[v][1], row.heavy[v], 1e-3f * (1.0f + row.heavy[v]));
        }
        EXPECT_FLOAT_EQ(lateral[0], -0.4f);
        EXPECT_FLOAT_EQ(lateral[1], 0.4f);
    }
    // Grass (type 3), dirt (type 2) and sand (type 4): (slip - half the
    // reference) x F held to 0..W / 4; type 40 (out of the table) is road.
    struct Loose {
        uint32_t type;
        int voice;
        float slip;
        float weight;
    };
    const Loose loose[] = {
        {3, 4, 0.7f, 0.2f * 2000.0f}, {2, 5, 2.0f, W * 0.25f}, {4, 6, 0.3f, 0.0f}, {40, 7, 0.2f, a * 500},
    };
    for (const Loose &l : loose) {
        wheels[0].surfaceType = l.type;
        wheels[0].slipShown = l.slip;
        float weight[8][2];
        float lateral[2];
        SkidWeights(car, W, weight, lateral);
        EXPECT_NEAR(weight[l.voice][0], l.weight, 1e-2f) << "type " << l.type;
    }
    // A car without weight has no skid weights (W = 9.81 x mass = 0).
    float weight[8][2];
    float lateral[2];
    SkidWeights(car, 0.0f, weight, lateral);
    for (int v = 0; v < 8; v++) {
        EXPECT_EQ(weight[v][0] + weight[v][1], 0.0f);
    }
}

TEST_F(CarVoicesTest, SkidVoicesOutsideMixBothSidesAndInsidePanEachSide)
{
    for (CarWheel &wheel : wheels) {
        wheel.normalForce = 4000.0f;
        wheel.slipShown = 1.7f;   // all on SkidRoadHeavyMajor
    }
    const float s = 2.0f * car.engine.soundParams.Word(33);
    // Outside: both sides' weights on the side-0 voice, W = 9.81 x mass.
    Mix(0, 1);
    const float W = 9.81f * car.mass;
    const float val = (2 * 1000.0f + 2 * 1000.0f) * 6.0f / W;
    const CarPlacement place = PlaceCarSound(car, 0, 1, 0);
    const float Gq = place.G * 0.25f;
    const float GL = ((1.0f - place.X) * 0.3f + 0.4f) * Gq;
    EXPECT_NEAR(car.soundState.skids[0][0].leftGain, std::fmin(val * s * GL, 1.8f), 1e-5f);
    EXPECT_EQ(car.soundState.skids[0][1].leftGain, 0.0f);
    // Inside: each side on its own voice, panned by its lateral sum.
    car.soundState = {};
    Mix(1, 0);
    for (int side = 0; side < 2; side++) {
        const float p = side == 1 ? 0.8f : -0.8f;
        const float sideVal = 6.0f * 2000.0f / W;
        const float gR = ((p + 1.0f) * 0.3f + 0.4f) * s * 0.25f;
        const float gL = ((1.0f - p) * 0.3f + 0.4f) * s * 0.25f;
        EXPECT_NEAR(car.soundState.skids[0][side].rightGain, std::fmin(sideVal * gR, 1.8f), 1e-5f) << side;
        EXPECT_NEAR(car.soundState.skids[0][side].leftGain, std::fmin(sideVal * gL, 1.8f), 1e-5f) << side;
    }
    EXPECT_GT(car.soundState.skids[0][1].rightGain, car.soundState.skids[0][1].leftGain);
    // Inside in mode 0 the skids go to the dry accumulator, else the direct.
    car.soundState = {};
    Mix(1, 0);
    EXPECT_NE(CarSoundMixBuffers[0][Block], 0.0f);
    car.soundState = {};
    car.engine.waveMask = 1u << 9;   // only the skids
    Mix(0, 1);
    EXPECT_EQ(CarSoundMixBuffers[0][Block], 0.0f);
    EXPECT_NE(CarSoundMixBuffers[1][Block], 0.0f);
}

TEST_F(CarVoicesTest, ScrapesBySideKindAndForceHeldToTheWeight)
{
    const float W = 9810.0f;
    // Point 0: x 0.5 (side 1), hard, 30 kN held to W. Point 1: x 0.05
    // (side 0), soft surface, 300 N. Point 2: no contact.
    points[0].local[0] = 0.5f;
    points[0].contactKind = 1;
    points[0].force[2] = 30000.0f;
    points[1].local[0] = 0.05f;
    points[1].contactKind = 2;
    points[1].force[0] = 300.0f;
    points[2].local[0] = -0.6f;
    points[2].contactKind = 0;
    points[2].force[0] = 1000.0f;
    // Wheel 2 (side 0) grinds a wall on its rim: a hard wall, then a soft one.
    wheels[2].sideInContact = 1;
    wheels[2].patchLength = 0.0f;
    wheels[2].slipShown = 0.5f;
    wheels[2].contactForce[1] = 400.0f;
    wheels[2].sideHit = 1;
    float hard[2], soft[2], lateral[2];
    ScrapeForces(car, W, hard, soft, lateral);
    EXPECT_FLOAT_EQ(hard[1], W);
    EXPECT_FLOAT_EQ(soft[0], 300.0f);
    EXPECT_FLOAT_EQ(hard[0], 400.0f);
    EXPECT_FLOAT_EQ(soft[1], 0.0f);
    EXPECT_FLOAT_EQ(lateral[1], 0.5f);
    EXPECT_FLOAT_EQ(lateral[0], 0.05f - 0.4f);
    wheels[2].sideHit = 2;
    ScrapeForces(car, W, hard, soft, lateral);
    EXPECT_FLOAT_EQ(hard[0], 0.0f);
    EXPECT_FLOAT_EQ(soft[0], 700.0f);
    // The tyre still on the ground, or a wheel not slipping: no rim scrape.
    wheels[2].patchLength = 0.1f;
    ScrapeForces(car, W, hard, soft, lateral);
    EXPECT_FLOAT_EQ(soft[0], 300.0f);
    // Heard: the hard scrape on the side-0 voice at (hard 0 + hard 1) x 2 / W.
    wheels[2].patchLength = 0.0f;
    Mix(0, 1);
    const float s = 2.0f * car.engine.soundParams.Word(33);
    const CarPlacement place = PlaceCarSound(car, 0, 1, 0);
    const float GR = ((1.0f + place.X) * 0.3f + 0.4f) * place.G * 0.25f;
    EXPECT_NEAR(car.soundState.scrapeHard[0].rightGain, 2.0f * W / W * s * GR, 1e-5f);
    EXPECT_NEAR(car.soundState.scrapeSoft[0].rightGain, 2.0f * 700.0f / W * s * GR, 1e-5f);
}

TEST_F(CarVoicesTest, GearWhineDumpValveTurboAndAirIntake)
{
    car.position = {1 * 65536, 0, 0};   // within 2.2 m: G = 1
    // In neutral the whine is silent, out of it it plays.
    car.gear = 1;
    Mix(0, 1, 2);
    EXPECT_EQ(Wave(WaveVoiceGearWhine).leftGain, 0.0f);
    car.gear = 3;
    Mix(0, 1);
    const float x = 2.0f;
    const float y = 2.0f * x / (x + 1.0f);
    const float GL = ((1.0f - 1.0f) * 0.3f + 0.4f) * 0.25f;
    const float w22 = car.engine.soundParams.Word(22);
    const float g = w22 * std::sqrt(120.0f * y / 150.0f) * 0.5f;
    EXPECT_NEAR(Wave(WaveVoiceGearWhine).leftGain, g * GL, 1e-6f);
    // In reverse the volume is at least 1.0.
    car.engine.soundParams.Word(22) = 0.2f;
    car.gear = 0;
    Mix(0, 1);
    const float x0 = 3.0f;
    const float y0 = 2.0f * x0 / (x0 + 1.0f);
    EXPECT_NEAR(Wave(WaveVoiceGearWhine).leftGain, 1.0f * std::sqrt(120.0f * y0 / 150.0f) * 0.5f * GL, 1e-6f);
    // A recording speed of 0 plays nothing rather than a step of infinity.
    car.engine.soundParams.Word(21) = 0.0f;
    Mix(0, 1);
    EXPECT_EQ(Wave(WaveVoiceGearWhine).leftGain, 0.0f);
    car.engine.soundParams.Word(21) = 6000.0f;

    // Dump valve: only a turbo engine, throttle below 0.5 and q above 0.5.
    car.engine.maxBoost = 1.0f;
    car.engine.boost = 1.0f;
    car.engine.throttle = 0.1f;   // q = 0.8, p = 0.6
    Mix(0, 1, 2);
    EXPECT_EQ(Wave(WaveVoiceDumpValve).leftGain, 0.0f);
    car.engine.flags |= 1u;
    Mix(0, 1);
    EXPECT_NEAR(Wave(WaveVoiceDumpValve).leftGain, 0.6f * car.engine.soundParams.Word(19) * GL, 1e-5f);
    car.engine.throttle = 0.6f;
    Mix(0, 1);
    EXPECT_EQ(Wave(WaveVoiceDumpValve).leftGain, 0.0f);
    car.engine.throttle = 0.3f;   // q = 0.4
    Mix(0, 1);
    EXPECT_EQ(Wave(WaveVoiceDumpValve).leftGain, 0.0f);
    // A boost reference of 0 gives no dump valve, not a NaN.
    car.engine.maxBoost = 0.0f;
    car.engine.throttle = 0.1f;
    Mix(0, 1);
    EXPECT_EQ(Wave(WaveVoiceDumpValve).leftGain, 0.0f);

    // Turbo: h = w17 x turbo speed / 15,707.963.
    car.engine.turboSpeed = 7853.98f;
    Mix(0, 1);
    EXPECT_NEAR(Wave(WaveVoiceTurbo).leftGain, car.engine.soundParams.Word(17) * 0.5f * GL, 1e-5f);
    // A clear wave-mask bit fades its voice.
    car.engine.waveMask &= ~(1u << 1);
    Mix(0, 1);
    EXPECT_EQ(Wave(WaveVoiceTurbo).leftGain, 0.0f);

    // Air intake from rev fraction x load.
    const float m = car.engine.soundRevFraction * car.engine.soundLoad;
    EXPECT_GT(m, 0.0f);
    EXPECT_NEAR(Wave(WaveVoiceAirIntake).leftGain, m * car.engine.soundParams.Word(24) * 0.333f * GL, 1e-5f);
    // Heard from inside, the wave-table voices go to the direct accumulator.
    car.engine.waveMask = 1u << 4;
    car.soundState = {};
    Mix(1, 1);
    EXPECT_EQ(CarSoundMixBuffers[0][Block], 0.0f);
    EXPECT_NE(CarSoundMixBuffers[1][Block], 0.0f);
}

TEST_F(CarVoicesTest, GearShiftsAndStarterAreConsumed)
{
    car.position = {1 * 65536, 0, 0};
    // The shift wave lasts 200 values: one shift ends within a block.
    car.gearChangeCount = 2;
    Mix();
    EXPECT_EQ(car.gearChangeCount, 1);
    Mix();
    EXPECT_EQ(car.gearChangeCount, 0);
    EXPECT_EQ(Wave(WaveVoiceGearShift).fraction, 0.0f);
    // With no shift wave the count goes at once.
    car.engine.waves[WaveGearShift].Free(true);
    car.gearChangeCount = 5;
    Mix();
    EXPECT_EQ(car.gearChangeCount, 0);
    // The starter plays to its end, then its byte clears.
    car.engineStartSound = 1;
    Mix();
    EXPECT_EQ(car.engineStartSound, 0);
    car.engine.waves[WaveStarter].Free(true);
    car.engineStartSound = 1;
    Mix();
    EXPECT_EQ(car.engineStartSound, 0);
}

TEST_F(CarVoicesTest, AOneStepCarKeepsOnlyEngineWindAndHorn)
{
    for (CarWheel &wheel : wheels) {
        wheel.normalForce = 4000.0f;
        wheel.slipShown = 1.7f;
    }
    car.engine.flags |= 1u;
    car.engine.turboSpeed = 5000.0f;
    car.inputs[9] = 1;
    Mix(0, 1, 2);
    EXPECT_GT(car.soundState.skids[0][0].leftGain, 0.0f);
    EXPECT_GT(Wave(WaveVoiceTurbo).leftGain, 0.0f);
    car.singleStep = 1;
    Mix(0, 1);
    EXPECT_EQ(car.soundState.skids[0][0].leftGain, 0.0f);
    EXPECT_EQ(Wave(WaveVoiceTurbo).leftGain, 0.0f);
    EXPECT_EQ(Wave(WaveVoiceGearWhine).leftGain, 0.0f);
    EXPECT_GT(car.soundState.wind.leftGain, 0.0f);
    EXPECT_GT(car.soundState.horns[0].leftGain, 0.0f);
    EXPECT_GT(car.soundState.previousLeft, 0.0f);
}

// After a reset's zeroed state one block binds every sample voice by its
// place; the wave-table voices play from the engine's waves and keep none.
TEST_F(CarVoicesTest, OneBlockBindsTheVoicesOfAZeroedState)
{
    car.soundState.Init();
    Mix();
    const int skids[8] = {11, 10, 9, 8, 12, 13, 14, 7};
    for (int v = 0; v < 8; v++) {
        EXPECT_EQ(car.soundState.skids[v][0].sample, &SoundSamples[skids[v]]) << v;
        EXPECT_EQ(car.soundState.skids[v][1].sample, &SoundSamples[skids[v]]) << v;
    }
    for (int side = 0; side < 2; side++) {
        EXPECT_EQ(car.soundState.scrapeSoft[side].sample, &SoundSamples[16]);
        EXPECT_EQ(car.soundState.scrapeHard[side].sample, &SoundSamples[15]);
    }
    EXPECT_EQ(car.soundState.wind.sample, &SoundSamples[17]);
    for (int h = 0; h < CarHornCount; h++) {
        EXPECT_EQ(car.soundState.horns[h].sample, &SoundSamples[18 + h]);
    }
    for (const SampleVoice &voice : car.soundState.waveVoices) {
        EXPECT_EQ(voice.sample, nullptr);
    }
}

TEST_F(CarVoicesTest, BrokenFiguresStayFinite)
{
    // No mass, an engine not set up, recording speeds and boost reference 0,
    // a surface type beyond the table and slip references of 0.
    car.mass = 0.0f;
    car.engine.maxTorque = 0.0f;
    car.engine.maxSpeed = 0.0f;
    car.engine.maxBoost = 0.0f;
    car.engine.flags |= 1u;
    car.engine.turboSpeed = 5000.0f;
    car.engine.soundParams.Word(16) = 0.0f;
    car.engine.soundParams.Word(21) = 0.0f;
    car.engine.soundParams.Word(23) = 7.0f;   // a smoothing that would grow
    for (CarWheel &wheel : wheels) {
        wheel.normalForce = 4000.0f;
        wheel.slipShown = 1.0f;
        wheel.peakSlip = 0.0f;
        wheel.surfaceType = 99;
    }
    points[0].contactKind = 1;
    points[0].force[0] = 1e30f;
    car.engine.soundParams.Word(21) = 6000.0f;
    for (int b = 0; b < 200; b++) {
        ClearMix();
        MixCarSound(car, Block, b % 2, b % 3, 0);
        for (int i = 0; i < Block * 2; i++) {
            ASSERT_TRUE(std::isfinite(CarSoundMixBuffers[0][i])) << b;
            ASSERT_TRUE(std::isfinite(CarSoundMixBuffers[1][i])) << b;
        }
    }
    EXPECT_EQ(car.soundState.skids[0][0].leftGain, 0.0f);
}

// ---- Doppler ----

TEST_F(CarVoicesTest, DopplerShiftsThePitchBySpeedOfSoundRatios)
{
    // Exhaust only, even firing (Unevenness 0, L = 0), 50 m to the right.
    car.engine.waveMask = 1u;
    car.engine.soundParams.Word(11) = 0.0f;
    EngineWave &pulse = car.engine.waves[WaveExhaustPulse];
    for (uint32_t i = 0; i < pulse.sampleCount; i++) {
        pulse.samples[i] = static_cast<float>(30000.0 * std::exp(-static_cast<double>(i) / 30.0) * std::sin(i * 0.3));
    }
    car.wheels = nullptr;
    car.wheelCount = 0;
    car.position = {50 * 65536, 0, 0};
    auto lag = [this](float velocity) {
        car.soundState = {};
        car.engine.firingIndex = 0;
        FrameRandom = 77;
        car.velocity[0] = velocity;
        std::vector<double> x;
        for (int b = 0; b < 30; b++) {
            ClearMix();
            MixCarSound(car, Block, 0, 1, 0);
            if (b >= 5) {
                for (int i = 0; i < Block; i++) {
                    x.push_back(CarSoundMixBuffers[0][i * 2]);
                }
            }
        }
        return SoundAutocorrelationPeak(x, 300, 600);
    };
    const int approaching = lag(-30.0f);   // D = 1.1: 100 Hz x 1.1
    const int receding = lag(30.0f);       // D = 0.9167
    EXPECT_NEAR(approaching, 441.0 / 1.1, 2.0);
    EXPECT_NEAR(static_cast<double>(receding) / approaching, 1.2, 0.012);
    ClearMix();
}

}  // namespace

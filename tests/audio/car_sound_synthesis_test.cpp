#include "audio/car_sound_synthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "core/shell_globals.h"
#include "sound_analysis.h"
#include "vehicle/car_class.h"
#include "vehicle/car_object.h"
#include "world/path.h"

namespace {

constexpr int Block = CarSoundMixFrames;
constexpr float TwoPi = 6.2831853f;

// A four-cylinder car at 3,000 rpm and half load with a short decaying
// exhaust pulse, standing at x metres on the x axis; the listener at the
// origin looking along y (x to its right).
class CarSoundSynthesisTest : public testing::Test {
protected:
    CarObject car;

    void SetUp() override
    {
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        FrameRandom = 4321;
        LoudVoiceCount = 0;
        CrowdGain = 1.0f;
        Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
        CarEngine &engine = car.engine;
        engine.Clear();
        engine.SetDefaults();
        engine.cylinders = 4;
        engine.layout = 0;
        const uint8_t order[4] = {1, 3, 4, 2};
        std::memcpy(engine.firingOrder, order, 4);
        EngineWave &wave = engine.waves[WaveExhaustPulse];
        wave.kind = 3;
        wave.channels = 1;
        wave.sampleCount = 400;
        wave.samples = static_cast<float *>(std::malloc(400 * sizeof(float)));
        for (int i = 0; i < 400; i++) {
            wave.samples[i] = static_cast<float>(30000.0 * std::exp(-i / 40.0) * std::sin(i * 0.3));
        }
        engine.speed = 3000.0f * TwoPi / 60.0f;
        engine.maxSpeed = 7000.0f * TwoPi / 60.0f;
        engine.maxTorque = 150.0f;
        engine.condition = 1.0f;
        car.enginePower = 0.5f * 150.0f * engine.speed;
        car.tractionFactor = 1.0f;
        car.limiterFactor = 1.0f;
        car.vehicleClass = -1;
        car.soundState = {};
        car.orientation[0] = car.orientation[4] = car.orientation[8] = 1.0f;
        Place(10.0f, 0.0f);
    }
    void TearDown() override
    {
        car.engine.FreeWaves(true);
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        LoudVoiceCount = 0;
    }

    void Place(float x, float y)
    {
        car.position = {static_cast<int32_t>(std::lround(x * 65536.0f)), static_cast<int32_t>(std::lround(y * 65536.0f)), 0};
    }

    // The dry accumulator of `blocks` blocks, left channel.
    std::vector<double> Render(int blocks, int inside = 0, int mode = 1)
    {
        std::vector<double> out;
        for (int b = 0; b < blocks; b++) {
            std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
            MixCarSound(car, Block, inside, mode, 0);
            for (int i = 0; i < Block; i++) {
                out.push_back(CarSoundMixBuffers[0][i * 2]);
            }
        }
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        return out;
    }
};

TEST_F(CarSoundSynthesisTest, PlacementGainPanAndDoppler)
{
    struct Row {
        float x, y;
        int mode;
        float G, X;
    };
    const Row rows[] = {
        {22.0f, 0.0f, 1, 0.1f, 1.0f}, {2.2f, 0.0f, 1, 1.0f, 1.0f}, {1.0f, 0.0f, 1, 1.0f, 1.0f},
        {0.0f, 24.0f, 2, 0.5f, 0.0f}, {-11.0f, 0.0f, 1, 0.2f, -1.0f},
    };
    for (const Row &row : rows) {
        Place(row.x, row.y);
        const CarPlacement p = PlaceCarSound(car, 0, row.mode, 0);
        SCOPED_TRACE(testing::Message() << row.x << ", " << row.y << " mode " << row.mode);
        EXPECT_NEAR(p.G, row.G, 1e-4f);
        EXPECT_NEAR(p.X, row.X, 1e-4f);
        const float Gq = p.G * 0.25f;
        const float GR = ((1.0f + p.X) * 0.3f + 0.4f) * Gq;
        const float GL = ((1.0f - p.X) * 0.3f + 0.4f) * Gq;
        if (row.X == 1.0f) {
            EXPECT_NEAR(GR, 1.0f * Gq, 1e-5f);
            EXPECT_NEAR(GL, 0.4f * Gq, 1e-5f);
        } else if (row.X == 0.0f) {
            EXPECT_NEAR(GR, 0.7f * Gq, 1e-5f);
            EXPECT_NEAR(GL, 0.7f * Gq, 1e-5f);
        }
    }
    // The Doppler factor is held at +-200 m/s.
    Place(50.0f, 0.0f);
    car.velocity[0] = 400.0f;
    EXPECT_NEAR(PlaceCarSound(car, 0, 1, 0).D, 0.6226f, 1e-4f);
    car.velocity[0] = -1000.0f;
    EXPECT_NEAR(PlaceCarSound(car, 0, 1, 0).D, 2.5385f, 1e-4f);
    car.velocity[0] = 0.0f;
    // Closer than 0.1 m, heard from inside, or in mode 3: not placed.
    Place(0.05f, 0.0f);
    for (const CarPlacement &p : {PlaceCarSound(car, 0, 1, 0), PlaceCarSound(car, 1, 1, 0)}) {
        EXPECT_EQ(p.G, 1.0f);
        EXPECT_EQ(p.X, 0.0f);
        EXPECT_EQ(p.D, 1.0f);
    }
    Place(30.0f, 0.0f);
    EXPECT_EQ(PlaceCarSound(car, 0, 3, 0).G, 1.0f);
    // Not mixed: gain 0.
    EXPECT_EQ(PlaceCarSound(car, 0, 1, 1).G, 0.0f);
    // Far positions whose 16.16 differences reach 2^31 stay exact.
    car.position = {0x7fff0000, 0, 0};
    Listener.position = {-0x7fff0000, 0, 0};
    EXPECT_NEAR(PlaceCarSound(car, 0, 1, 0).r, 65534.0f, 0.5f);
}

TEST_F(CarSoundSynthesisTest, DistanceLowersTheGainFrameByFrame)
{
    Place(10.0f, 0.0f);
    std::vector<double> nearBlocks = Render(4);
    car.soundState = {};
    car.engine.firingIndex = 0;
    FrameRandom = 4321;
    Place(40.0f, 0.0f);
    std::vector<double> farBlocks = Render(4);
    double peak = 0.0;
    for (size_t i = Block; i < nearBlocks.size(); i++) {
        ASSERT_NEAR(farBlocks[i], nearBlocks[i] * 0.25, 1e-4 * std::fabs(nearBlocks[i]) + 1e-6) << i;
        peak = std::max(peak, std::fabs(nearBlocks[i]));
    }
    EXPECT_GT(peak, 10.0);
}

TEST_F(CarSoundSynthesisTest, FiringRateTracksEngineSpeed)
{
    // A four-cylinder at 3,000 rpm fires at 100 Hz.
    car.engine.condition = 1.0f;
    Place(5.0f, 0.0f);
    std::vector<double> x = Render(20);
    std::vector<double> tail(x.begin() + 5 * Block, x.end());
    EXPECT_NEAR(SoundAutocorrelationPeak(tail, 200, 1000), 441, 3);
    // A one-cylinder engine of a class firing every turn at 12,000 rpm: 200 Hz.
    int everyTurn = -1;
    for (int c = 0; c < CarClassCount; c++) {
        if (CarClassTable[c].soundVariant != 0) {
            everyTurn = c;
            break;
        }
    }
    ASSERT_GE(everyTurn, 0);
    car.vehicleClass = everyTurn;
    car.engine.cylinders = 1;
    car.engine.firingOrder[0] = 1;
    car.engine.speed = 12000.0f * TwoPi / 60.0f;
    car.engine.maxSpeed = 13000.0f * TwoPi / 60.0f;
    car.soundState = {};
    x = Render(20);
    tail.assign(x.begin() + 5 * Block, x.end());
    EXPECT_NEAR(SoundAutocorrelationPeak(tail, 150, 300), 220, 3);
}

TEST_F(CarSoundSynthesisTest, SlowEngineAndEngineNotSetUpAreSafe)
{
    // Below one firing a second: silence, load and rev fraction 0.
    car.engine.speed = 0.5f;
    std::vector<double> x = Render(3);
    for (double v : x) {
        ASSERT_EQ(v, 0.0);
    }
    EXPECT_EQ(car.engine.soundLoad, 0.0f);
    EXPECT_EQ(car.engine.soundRevFraction, 0.0f);
    // Reference torque and speed 0: load and rev fraction 0, no NaN.
    car.engine.speed = 3000.0f * TwoPi / 60.0f;
    car.engine.maxTorque = 0.0f;
    car.engine.maxSpeed = 0.0f;
    x = Render(5);
    EXPECT_EQ(car.engine.soundLoad, 0.0f);
    EXPECT_EQ(car.engine.soundRevFraction, 0.0f);
    for (double v : x) {
        ASSERT_TRUE(std::isfinite(v));
    }
    // A silenced car adds nothing.
    car.engine.maxTorque = 150.0f;
    car.engine.maxSpeed = 700.0f;
    car.soundOff = 1;
    x = Render(2);
    for (double v : x) {
        ASSERT_EQ(v, 0.0);
    }
}

TEST(MixSampleVoiceTest, OneValueLoopsPingPongCapAndFade)
{
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    CrowdGain = 1.0f;
    LoudVoiceCount = 0;
    int16_t one[1] = {100};
    SoundSample single = {0, 1, one};
    SampleVoice voice = {};
    voice.sample = &single;
    voice.leftGain = 1.0f;
    voice.rightGain = 1.0f;
    MixSampleVoice(CarSoundMixBuffers[0], Block, voice, 1, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < Block; i++) {
        ASSERT_EQ(CarSoundMixBuffers[0][i * 2], 100.0f) << i;
    }
    EXPECT_EQ(LoudVoiceCount, 1);
    // Ping-pong over 1, 2, 3 plays 1 2 3 3 2 1 1 2 ...
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    int16_t three[3] = {1, 2, 3};
    SoundSample ramp = {0, 3, three};
    voice = {};
    voice.sample = &ramp;
    voice.leftGain = voice.rightGain = 1.0f;
    MixSampleVoice(CarSoundMixBuffers[0], 8, voice, 1, 1.0f, 1.0f, 1.0f);
    const float expected[8] = {1, 2, 3, 3, 2, 1, 1, 2};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(CarSoundMixBuffers[0][i * 2], expected[i]) << i;
    }
    // Targets cap at 1.8; a quiet voice fades to 0 within the block.
    MixSampleVoice(CarSoundMixBuffers[0], 8, voice, 1, 1.0f, 5.0f, 5.0f);
    EXPECT_EQ(voice.leftGain, 1.8f);
    CrowdGain = 0.5f;
    MixSampleVoice(CarSoundMixBuffers[0], 8, voice, 1, 0.03f, 1.0f, 1.0f);
    EXPECT_EQ(voice.leftGain, 0.0f);
    EXPECT_EQ(voice.rightGain, 0.0f);
    CrowdGain = 1.0f;
    LoudVoiceCount = 0;
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

TEST_F(CarSoundSynthesisTest, HornRestartsReleasesAndIgnoresBadInput)
{
    int16_t tone[64];
    for (int i = 0; i < 64; i++) {
        tone[i] = static_cast<int16_t>(i + 1);
    }
    SoundSample saved[CarHornCount];
    for (int h = 0; h < CarHornCount; h++) {
        saved[h] = SoundSamples[18 + h];
        SoundSamples[18 + h] = {0, 64, tone};
    }
    Place(1.0f, 0.0f);
    car.inputs[9] = 1;
    Render(1);
    EXPECT_EQ(car.hornIndex, 0);
    EXPECT_EQ(car.hornStarted, 0);
    car.soundState.horns[2].position = 30;
    car.inputs[9] = 3;
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    MixCarSound(car, Block, 0, 1, 0);
    EXPECT_EQ(car.hornIndex, 2);
    EXPECT_EQ(car.hornStarted, 2);
    EXPECT_EQ(car.soundState.horns[2].position, Block % 64);   // restarted at 0
    car.inputs[9] = 0;
    MixCarSound(car, Block, 0, 1, 0);
    EXPECT_EQ(car.hornStarted, 255);
    EXPECT_EQ(car.soundState.horns[2].leftGain, 0.0f);
    EXPECT_EQ(car.soundState.horns[2].rightGain, 0.0f);
    // Input from a replay beyond the five horns counts as none.
    car.inputs[9] = 9;
    MixCarSound(car, Block, 0, 1, 0);
    EXPECT_EQ(car.hornStarted, 255);
    EXPECT_EQ(car.hornIndex, 2);
    for (int h = 0; h < CarHornCount; h++) {
        SoundSamples[18 + h] = saved[h];
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

CarObject *FuzzedCar = nullptr;

// A minute of a car whose fields jump around their ranges, with zeros where
// divisions bite, through the whole mixer with echo: nothing but finite
// numbers in the accumulators and the echo rings.
TEST_F(CarSoundSynthesisTest, AFuzzedCarLeavesNoNonFiniteNumbers)
{
    PathNode node;
    node.direction[1] = 1.0f;
    node.leftEdge = -4.0f;
    node.rightEdge = 4.0f;
    for (int i = 0; i < PathBandBytes; i++) {
        node.band[i] = static_cast<uint8_t>(i * 37);
    }
    static PathNode *fuzzNode = nullptr;
    fuzzNode = &node;
    FuzzedCar = &car;
    CarSoundLinks = {};
    CarSoundLinks.slotCount = [] { return 1; };
    CarSoundLinks.slotCar = [](int) { return FuzzedCar; };
    CarSoundLinks.pathNode = [](const CarObject *) { return static_cast<const PathNode *>(fuzzNode); };
    // The synthesis's accumulators are checked before the output stage
    // empties them.
    static bool nonFinite = false;
    nonFinite = false;
    CarSoundLinks.mixSound = [](CarObject *c, int frames, int inside, int mode, int notMixed) {
        MixCarSound(*c, frames, inside, mode, notMixed);
        for (int k = 0; k < 2; k++) {
            for (int i = 0; i < Block * 2; i++) {
                nonFinite = nonFinite || !std::isfinite(CarSoundMixBuffers[k][i]);
            }
        }
    };
    int16_t tone[32];
    for (int i = 0; i < 32; i++) {
        tone[i] = static_cast<int16_t>(i * 500 - 8000);
    }
    SoundSample savedSamples[SoundSampleCount];
    for (int n = 0; n < SoundSampleCount; n++) {
        savedSamples[n] = SoundSamples[n];
        SoundSamples[n] = {0, 32, tone};
    }
    InitCarSoundMixer();
    SoundListenerValid = 1;
    car.active = 1;
    car.dynamic = 1;
    car.singleStep = 0;
    uint32_t seed = 99;
    auto next = [&seed](float lo, float hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * static_cast<float>(seed >> 8) / 16777216.0f;
    };
    // Wheels, contacts and every engine wave, so that the road, skid, scrape
    // and wave-table voices run too.
    CarWheel wheels[4] = {};
    CollisionPoint points[2] = {};
    car.wheels = wheels;
    car.wheelCount = 4;
    car.points = points;
    car.pointCount = 2;
    for (int slot = 1; slot < EngineWaveCount; slot++) {
        EngineWave &wave = car.engine.waves[slot];
        wave.kind = 3;
        wave.sampleCount = 300;
        wave.samples = static_cast<float *>(std::malloc(300 * sizeof(float)));
        for (int i = 0; i < 300; i++) {
            wave.samples[i] = static_cast<float>(8000.0 * std::sin(i * 0.1));
        }
    }
    std::vector<int16_t> out(Block * 2);
    for (int b = 0; b < 6000; b++) {
        if (b % 10 == 0) {
            const bool zeros = (b / 10) % 7 == 0;
            car.mass = zeros ? 0.0f : next(500.0f, 2000.0f);
            car.gear = static_cast<uint8_t>(next(0.0f, 9.0f));
            car.gearRatios[car.gear < CarGearPositions ? car.gear : 0] = zeros ? 0.0f : next(-4.0f, 4.0f);
            car.wheelEngineSpeed = next(-800.0f, 800.0f);
            car.engine.clutchTorque = next(-400.0f, 400.0f);
            car.engine.flags = (b / 10) % 2 != 0 ? 1u : 0u;
            car.engine.throttle = next(0.0f, 1.0f);
            car.engine.boost = next(0.0f, 2.0f);
            car.engine.maxBoost = zeros ? 0.0f : next(0.1f, 2.0f);
            car.engine.turboSpeed = next(0.0f, 20000.0f);
            car.engine.soundParams.Word(16) = zeros ? 0.0f : 150000.0f;
            car.engine.soundParams.Word(21) = zeros ? 0.0f : 6000.0f;
            car.gearChangeCount = static_cast<uint8_t>(next(0.0f, 4.0f));
            car.engineStartSound = static_cast<uint8_t>(next(0.0f, 2.0f));
            car.singleStep = (b / 10) % 11 == 0 ? 1 : 0;
            for (CarWheel &wheel : wheels) {
                wheel.side = next(0.0f, 1.0f) < 0.5f ? -1.0f : 1.0f;
                wheel.slipShown = next(0.0f, 2.5f);
                wheel.peakSlip = zeros ? 0.0f : next(0.5f, 1.5f);
                wheel.normalForce = next(-100.0f, 1e5f);
                wheel.angularVelocity = next(-300.0f, 300.0f);
                wheel.radius = 0.3f;
                wheel.surfaceType = static_cast<uint32_t>(next(0.0f, 40.0f));
                wheel.lateralPosition = next(-1.0f, 1.0f);
                wheel.sideInContact = static_cast<uint8_t>(next(0.0f, 2.0f));
                wheel.sideHit = static_cast<uint8_t>(next(0.0f, 3.0f));
                wheel.contactForce[0] = next(-1e6f, 1e6f);
            }
            for (CollisionPoint &point : points) {
                point.contactKind = static_cast<uint8_t>(next(0.0f, 3.0f));
                point.local[0] = next(-1.0f, 1.0f);
                point.force[2] = next(-1e7f, 1e7f);
            }
            car.engine.speed = next(0.0f, 1200.0f);
            car.engine.maxTorque = zeros ? 0.0f : next(50.0f, 600.0f);
            car.engine.maxSpeed = zeros ? 0.0f : next(300.0f, 1300.0f);
            car.enginePower = next(-1e5f, 4e5f);
            car.tractionFactor = next(0.0f, 2.0f);
            car.limiterFactor = next(0.0f, 1.0f);
            car.engine.condition = next(0.0f, 1.0f);
            car.speed = next(0.0f, 120.0f);
            car.inputs[9] = static_cast<uint16_t>(next(0.0f, 12.0f));
            car.velocity[0] = next(-400.0f, 400.0f);
            Place(next(-300.0f, 300.0f), next(-300.0f, 300.0f));
            car.progress[1] = zeros ? 0.0f : next(-10.0f, 10.0f);
            Listener.mode = static_cast<uint32_t>(next(0.0f, 3.0f));
        }
        MixCarSounds(out.data());
        for (int i = 0; i < Block * 2; i++) {
            ASSERT_TRUE(std::isfinite(CarSoundMixBuffers[0][i])) << b;
        }
        if (b % 500 == 0) {
            for (const EchoLine &line : EchoLines) {
                for (int i = 0; i < line.length * 2; i++) {
                    ASSERT_TRUE(std::isfinite(line.ring[i])) << b;
                }
            }
        }
    }
    EXPECT_FALSE(nonFinite);
    for (int n = 0; n < SoundSampleCount; n++) {
        SoundSamples[n] = savedSamples[n];
    }
    car.wheels = nullptr;
    car.wheelCount = 0;
    car.points = nullptr;
    car.pointCount = 0;
    CarSoundLinks = {};
    CarSoundMixerEnabled = 0;
    SoundListenerValid = 0;
    FuzzedCar = nullptr;
}

}  // namespace

#include "audio/engine_synthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/car_sound_mixer.h"
#include "core/shell_globals.h"
#include "sound_analysis.h"
#include "vehicle/car_engine.h"
#include "vehicle/car_sound_state.h"

namespace {

constexpr int Block = 441;

// An engine with a short decaying exhaust pulse, at full load and 0.8 of its
// revs, firing in the given order.
struct TestEngine {
    CarEngine engine;

    TestEngine(int cylinders, int layout, std::vector<int> order = {})
    {
        engine.Clear();
        engine.SetDefaults();
        engine.cylinders = cylinders;
        engine.layout = layout;
        for (int i = 0; i < 12; i++) {
            engine.firingOrder[i] = static_cast<uint8_t>(i);   // the fill without a table row
        }
        for (size_t i = 0; i < order.size(); i++) {
            engine.firingOrder[i] = static_cast<uint8_t>(order[i]);
        }
        EngineWave &wave = engine.waves[WaveExhaustPulse];
        wave.kind = 3;
        wave.channels = 1;
        wave.sampleCount = 400;
        wave.samples = static_cast<float *>(std::malloc(400 * sizeof(float)));
        for (int i = 0; i < 400; i++) {
            wave.samples[i] = static_cast<float>(30000.0 * std::exp(-i / 40.0) * std::sin(i * 0.3));
        }
        engine.soundLoad = 1.0f;
        engine.soundRevFraction = 0.8f;
    }
    ~TestEngine() { engine.FreeWaves(true); }
};

class EngineSynthesisTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        FrameRandom = 12345;
        LoudVoiceCount = 0;
        CrowdGain = 1.0f;
        state = {};
    }
    void TearDown() override
    {
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        LoudVoiceCount = 0;
    }

    // Renders blocks of the engine at a steady gain of 1 per side; returns
    // the dry accumulator's frames (left, right).
    std::vector<float> Render(CarEngine &engine, int blocks, float rate, int inside = 0, int side = 0,
                              float halving = 0.0f, float doppler = 1.0f, int frames = Block)
    {
        std::vector<float> out;
        for (int b = 0; b < blocks; b++) {
            std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
            SynthesizeEngine(state, frames, inside, side, rate, 1.0f, 1.0f, 1.0f, engine, halving, doppler);
            out.insert(out.end(), CarSoundMixBuffers[0], CarSoundMixBuffers[0] + 2 * frames);
        }
        return out;
    }

    // The (bank, pipe) each firing started, one frame at a time.
    std::vector<std::pair<int, int>> Firings(CarEngine &engine, int frames, float rate)
    {
        std::vector<std::pair<int, int>> fired;
        for (int f = 0; f < frames; f++) {
            CarSoundState before = state;
            std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
            SynthesizeEngine(state, 1, 0, 0, rate, 1.0f, 1.0f, 1.0f, engine, 0.0f, 1.0f);
            for (int b = 0; b < 2; b++) {
                for (int p = 0; p < ExhaustPipesPerBank; p++) {
                    const ExhaustPipe &now = state.banks[b].pipes[p];
                    if (now.readPosition > 0.0f && now.readPosition == now.readStep &&
                        before.banks[b].pipes[p].readPosition != now.readPosition) {
                        fired.emplace_back(b, p);
                    }
                }
            }
        }
        return fired;
    }

    CarSoundState state;
};

std::vector<double> Left(const std::vector<float> &frames, size_t from)
{
    std::vector<double> x;
    for (size_t i = 2 * from; i < frames.size(); i += 2) {
        x.push_back(frames[i]);
    }
    return x;
}

bool AllFinite(const std::vector<float> &x)
{
    for (float v : x) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

TEST_F(EngineSynthesisTest, TheFiringRateSetsThePeriod)
{
    for (float rate : {30.0f, 100.0f, 300.0f}) {
        SCOPED_TRACE(rate);
        TestEngine e(4, 0, {1, 3, 4, 2});
        e.engine.soundParams.Word(11) = 0.0f;   // every pipe alike
        state = {};
        const std::vector<float> out = Render(e.engine, 50, rate);
        ASSERT_TRUE(AllFinite(out));
        const double period = 44100.0 / rate;
        const std::vector<double> x = Left(out, 4410);
        EXPECT_GT(SoundRms(x), 10.0);
        const int lag = SoundAutocorrelationPeak(x, static_cast<int>(period * 0.6), static_cast<int>(period * 1.4));
        EXPECT_NEAR(lag, period, 1.0);
        std::vector<int16_t> pcm;
        for (float v : out) {
            pcm.push_back(static_cast<int16_t>(std::fmax(-32767.0f, std::fmin(32767.0f, v))));
        }
        WriteTestWav("engine_rate_" + std::to_string(static_cast<int>(rate)), pcm.data(),
                     static_cast<uint32_t>(pcm.size() / 2), 2);
    }
}

// A sweep of the firing rate from 30 to 300 Hz over 3 s: the period follows
// it window by window.
TEST_F(EngineSynthesisTest, ThePeriodFollowsASweep)
{
    TestEngine e(4, 0, {1, 3, 4, 2});
    e.engine.soundParams.Word(11) = 0.0f;
    const int blocks = 300;
    std::vector<double> left;
    std::vector<double> rates;
    for (int b = 0; b < blocks; b++) {
        const float rate = 30.0f + 270.0f * static_cast<float>(b) / (blocks - 1);
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        SynthesizeEngine(state, Block, 0, 0, rate, 1.0f, 1.0f, 1.0f, e.engine, 0.0f, 1.0f);
        for (int i = 0; i < Block; i++) {
            left.push_back(CarSoundMixBuffers[0][2 * i]);
            rates.push_back(rate);
        }
    }
    // From 0.1 s on: the exhaust starts from rest, and at the sweep's very
    // start the rate rises by a quarter within one window and its period.
    const size_t window = 2205;
    for (size_t start = 2 * window; start + 2 * window <= left.size(); start += window) {
        const double period = 44100.0 / rates[start + window / 2];
        // The window and the period after it, so that a slow rate has a whole period to match.
        const size_t span = window + static_cast<size_t>(period * 1.3);
        const std::vector<double> x(left.begin() + static_cast<long>(start),
                                    left.begin() + static_cast<long>(std::min(left.size(), start + span)));
        const int lag = SoundAutocorrelationPeak(x, static_cast<int>(period * 0.7), static_cast<int>(period * 1.3));
        EXPECT_NEAR(lag, period, period * 0.02) << "at " << start / 44100.0 << " s";
    }
}

TEST_F(EngineSynthesisTest, CylindersFireInTheEnginesOrder)
{
    const struct {
        int cylinders;
        int layout;
        std::vector<int> order;
    } rows[] = {
        {4, 0, {1, 3, 4, 2}},
        {6, 0, {1, 5, 3, 6, 2, 4}},
        {8, 2, {1, 8, 4, 3, 6, 5, 7, 2}},
        {6, 2, {1, 4, 5, 2, 3, 6}},
        {12, 2, {1, 12, 5, 8, 3, 10, 6, 7, 2, 11, 4, 9}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.cylinders * 10 + row.layout);
        TestEngine e(row.cylinders, row.layout, row.order);
        state = {};
        const float rate = 441.0f;   // a firing every 100 frames
        const auto fired = Firings(e.engine, 100 * 2 * row.cylinders, rate);
        ASSERT_EQ(fired.size(), static_cast<size_t>(2 * row.cylinders));
        for (size_t i = 0; i < fired.size(); i++) {
            const int k = row.order[i % row.order.size()] - 1;
            const std::pair<int, int> expected = row.layout != 0 ? std::make_pair(k % 2, k / 2) : std::make_pair(0, k);
            EXPECT_EQ(fired[i], expected) << "firing " << i;
        }
    }

    // Unevenness: a pipe's pulse is A0 / (pipe x w11 + 1) x B0.
    TestEngine e(4, 0, {1, 2, 3, 4});
    state = {};
    Firings(e.engine, 400, 441.0f);
    const EngineSoundParams &p = e.engine.soundParams;
    const float r = std::sqrt(p.Word(13) + (1.0f - p.Word(13)) * 1.0f);
    const float a0 = p.Word(12) * r;
    for (int pipe = 0; pipe < 4; pipe++) {
        const float a = a0 / (pipe * 0.05f + 1.0f);
        EXPECT_FLOAT_EQ(state.banks[0].pipes[pipe].readStep, a * 0.8f);
    }
}

// Firing orders without a row (the 0..11 fill) fire the cylinders in turn;
// one bank never holds more than eight pipes, two banks share an odd count.
TEST_F(EngineSynthesisTest, EveryCylinderFiresOnceAndSounds)
{
    const struct {
        int cylinders;
        int layout;
    } rows[] = {{1, 0}, {2, 0}, {3, 0}, {5, 0}, {5, 2}, {3, 1}, {10, 0}, {12, 0}, {12, 2}, {2, 2}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.cylinders * 10 + row.layout);
        TestEngine e(row.cylinders, row.layout);
        state = {};
        const auto fired = Firings(e.engine, 100 * row.cylinders, 441.0f);
        ASSERT_EQ(fired.size(), static_cast<size_t>(row.cylinders));
        std::vector<int> count(16, 0);
        for (int k = 0; k < row.cylinders; k++) {
            const std::pair<int, int> expected =
                row.layout != 0 ? std::make_pair(k % 2, k / 2) : std::make_pair(0, k % ExhaustPipesPerBank);
            EXPECT_EQ(fired[k], expected) << "cylinder " << k;
        }
        // Every pipe that fired drives its resonator.
        for (const auto &f : fired) {
            EXPECT_NE(state.banks[f.first].pipes[f.second].displacement, 0.0f);
        }
        EXPECT_EQ(e.engine.firingIndex, 0u);
    }
    // No cylinder, no firing.
    TestEngine none(0, 0);
    state = {};
    const std::vector<float> out = Render(none.engine, 3, 100.0f);
    for (float v : out) {
        ASSERT_EQ(v, 0.0f);
    }
}

TEST_F(EngineSynthesisTest, ThePulseClockNeverFallsBehind)
{
    TestEngine e(6, 0, {1, 5, 3, 6, 2, 4});
    const float rate = 317.3f;   // 138.98 frames between firings
    float lowest = 0.0f;
    for (int b = 0; b < 1000; b++) {
        SynthesizeEngine(state, Block, 0, 0, rate, 1.0f, 1.0f, 1.0f, e.engine, 0.0f, 1.0f);
        lowest = std::fmin(lowest, state.pulseClock);
        ASSERT_GE(state.pulseClock, -0.5f) << "block " << b;
        ASSERT_LT(state.pulseClock, 44100.0f / rate);
    }
    EXPECT_LT(lowest, 0.0f);   // the clock does run below zero
}

TEST_F(EngineSynthesisTest, HalvingAndTheGeneratorStepOncePerFiring)
{
    std::vector<float> amplitudes[2];
    for (int halving = 0; halving < 2; halving++) {
        TestEngine e(4, 0, {1, 3, 4, 2});
        state = {};
        FrameRandom = 777;
        for (int f = 0; f < 400; f++) {
            SynthesizeEngine(state, 1, 0, 0, 441.0f, 1.0f, 1.0f, 1.0f, e.engine, static_cast<float>(halving), 1.0f);
            for (const ExhaustPipe &pipe : state.banks[0].pipes) {
                if (pipe.readPosition == pipe.readStep && pipe.readStep > 0.0f) {
                    amplitudes[halving].push_back(pipe.amplitude + pipe.decrement);
                }
            }
        }
        // Four firings: the generator stepped four times.
        uint32_t x = 777;
        for (int i = 0; i < 4; i++) {
            x = (x * 5 + 1) & 0xffff;
        }
        EXPECT_EQ(FrameRandom, x);
    }
    ASSERT_EQ(amplitudes[0].size(), 4u);
    ASSERT_EQ(amplitudes[1].size(), 4u);
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(amplitudes[1][i], amplitudes[0][i] * 0.5f);
    }
}

TEST_F(EngineSynthesisTest, APulseEndsAfterTwoThirdsOfACycle)
{
    TestEngine e(4, 0, {1, 3, 4, 2});
    EngineWave &wave = e.engine.waves[WaveExhaustPulse];
    wave.Free(false);
    wave.sampleCount = 100000;   // long enough that only the amplitude ends it
    wave.samples = static_cast<float *>(std::calloc(100000, sizeof(float)));
    for (uint32_t i = 0; i < wave.sampleCount; i++) {
        wave.samples[i] = 1000.0f;
    }
    const float rate = 100.0f;   // 441 frames between firings, 4 x 441 a cycle
    const float ends = 0.667f * 4 * 441.0f;
    int lastActive = -1;
    for (int f = 0; f < 1400; f++) {
        SynthesizeEngine(state, 1, 0, 0, rate, 1.0f, 1.0f, 1.0f, e.engine, 0.0f, 1.0f);
        if (state.banks[0].pipes[0].amplitude > 0.0f) {
            lastActive = f;
        }
    }
    EXPECT_NEAR(lastActive + 1, ends, 1.0);   // the first frame without the pulse

    // A wave of one sample gives no pulse at all.
    wave.Free(false);
    wave.sampleCount = 1;
    wave.samples = static_cast<float *>(std::malloc(sizeof(float)));
    wave.samples[0] = 30000.0f;
    state = {};
    Render(e.engine, 4, 100.0f);
    for (const ExhaustPipe &pipe : state.banks[0].pipes) {
        EXPECT_EQ(pipe.pulseOutput, 0.0f);
        EXPECT_EQ(pipe.displacement, 0.0f);
    }
}

TEST_F(EngineSynthesisTest, SilencedCarsRampDownThenStop)
{
    TestEngine e(4, 0, {1, 3, 4, 2});
    Render(e.engine, 5, 100.0f);
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    SynthesizeEngine(state, Block, 0, 0, 100.0f, 1.0f, 0.0f, 0.0f, e.engine, 0.0f, 1.0f);
    // Still heard at the start; the gain has stepped down to (about) 0 by the
    // last frame.
    float largest = 0.0f;
    for (int i = 0; i < Block; i++) {
        largest = std::fmax(largest, std::fabs(CarSoundMixBuffers[0][2 * i]));
    }
    EXPECT_GT(largest, 0.0f);
    EXPECT_LT(std::fabs(CarSoundMixBuffers[0][2 * (Block - 1)]), largest * 1e-3f);
    const CarSoundState before = state;
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    SynthesizeEngine(state, Block, 0, 0, 100.0f, 1.0f, 0.0f, 0.0f, e.engine, 0.0f, 1.0f);
    EXPECT_EQ(state.pulseClock, 0.0f);
    EXPECT_EQ(std::memcmp(&state.banks, &before.banks, sizeof(state.banks)), 0);
    EXPECT_EQ(CarSoundMixBuffers[0][0], 0.0f);
    // Too quiet for the crowd counts as silent; loud engines count three.
    LoudVoiceCount = 0;
    CrowdGain = 0.5f;
    SynthesizeEngine(state, Block, 0, 0, 100.0f, 0.03f, 1.0f, 1.0f, e.engine, 0.0f, 1.0f);
    EXPECT_EQ(LoudVoiceCount, 3);
    EXPECT_EQ(state.previousLeft, 0.0f);
}

// One bank heard outside: the output plus itself 16 frames later. Inside, the
// tail goes to one side and its delayed copy to the other; the side flag swaps
// them.
TEST_F(EngineSynthesisTest, PlacementsDelayByOneRing)
{
    const int blocks = 3;
    std::vector<float> outside;
    std::vector<float> inside[2];
    for (int pass = 0; pass < 3; pass++) {
        TestEngine e(4, 0, {1, 3, 4, 2});
        e.engine.soundParams.Word(34) = 0.0f;   // the tail alone
        e.engine.soundParams.Word(35) = 0.0f;
        state = {};
        state.previousLeft = 1.0f;
        state.previousRight = 1.0f;
        FrameRandom = 5;
        const std::vector<float> out = Render(e.engine, blocks, 150.0f, pass > 0 ? 1 : 0, pass == 2 ? 1 : 0);
        (pass == 0 ? outside : inside[pass - 1]) = out;
    }
    // o[i] from the outside render: left = (o[i] + o[i - 16]) x 16,384.
    const size_t frames = outside.size() / 2;
    std::vector<double> o(frames);
    for (size_t i = 0; i < frames; i++) {
        o[i] = outside[2 * i] / 16384.0 - (i >= 16 ? o[i - 16] : 0.0);
        EXPECT_FLOAT_EQ(outside[2 * i + 1], outside[2 * i]);
    }
    double largest = 0.0;
    for (size_t i = 0; i < frames; i++) {
        largest = std::max(largest, std::fabs(o[i]));
        const double late = i >= 16 ? o[i - 16] : 0.0;
        const double tol = 1e-3 * std::max(1.0, std::fabs(o[i]) + std::fabs(late));
        EXPECT_NEAR(inside[0][2 * i] / 16384.0, 1.25 * o[i] + 0.75 * late, tol) << i;
        EXPECT_NEAR(inside[0][2 * i + 1] / 16384.0, 0.75 * o[i] + 1.25 * late, tol) << i;
        EXPECT_NEAR(inside[1][2 * i] / 16384.0, 0.75 * o[i] + 1.25 * late, tol) << i;
        EXPECT_NEAR(inside[1][2 * i + 1] / 16384.0, 1.25 * o[i] + 0.75 * late, tol) << i;
    }
    EXPECT_GT(largest, 0.0);
}

// Two banks: outside, bank 1 arrives 16 frames after bank 0; inside, each
// bank is heard direct on its own side and 16 frames late on the other.
TEST_F(EngineSynthesisTest, TheSecondBankArrivesOneRingLater)
{
    // One firing in the block: cylinder 1 (bank 0) or cylinder 2 (bank 1),
    // each into pipe 0 of its bank, so both banks make the same output.
    std::vector<float> out[2][2];   // [bank][inside]
    for (int bank = 0; bank < 2; bank++) {
        for (int inside = 0; inside < 2; inside++) {
            TestEngine e(2, 2, {bank + 1, 2 - bank});
            state = {};
            state.previousLeft = 1.0f;
            state.previousRight = 1.0f;
            out[bank][inside] = Render(e.engine, 1, 10.0f, inside);
        }
    }
    const int frames = Block;
    float largest = 0.0f;
    for (int i = 0; i < frames; i++) {
        const float direct = out[0][0][2 * i];   // bank 0 outside: o x gain on both sides
        largest = std::fmax(largest, std::fabs(direct));
        EXPECT_EQ(out[0][0][2 * i + 1], direct);
        const float late = i >= 16 ? out[0][0][2 * (i - 16)] : 0.0f;
        EXPECT_FLOAT_EQ(out[1][0][2 * i], late) << i;
        EXPECT_FLOAT_EQ(out[1][0][2 * i + 1], late) << i;
        EXPECT_FLOAT_EQ(out[0][1][2 * i], direct) << i;       // bank 0 inside: left direct
        EXPECT_FLOAT_EQ(out[0][1][2 * i + 1], late) << i;     // right late
        EXPECT_FLOAT_EQ(out[1][1][2 * i], late) << i;         // bank 1 inside: left late
        EXPECT_FLOAT_EQ(out[1][1][2 * i + 1], direct) << i;   // right direct
    }
    EXPECT_GT(largest, 0.0f);
}

TEST_F(EngineSynthesisTest, StaysFiniteAtEveryCornerOfTheRanges)
{
    struct Corner {
        float w8, w9, w10, w12, w13, w14, w15, rev, load, doppler;
    };
    const Corner corners[] = {
        {20, 0, 0.15f, 1, 0.1f, 0.1f, 0, 0, 0, 0.6226f},     {50, 1, 0.5f, 3, 1, 1, 1, 1.2f, 1, 2.5385f},
        {50, 1, 0.15f, 3, 0.1f, 1, 0, 1.2f, 1, 2.5385f},     {20, 1, 0.15f, 3, 1, 0.1f, 1, 1.2f, 0, 2.5385f},
        {50, 0, 0.15f, 1, 1, 1, 1, 1.2f, 1, 0.6226f},        {20, 0, 0.5f, 3, 0.1f, 0.1f, 0, 1.0f, 1, 2.5385f},
        {50, 1, 0.5f, 1, 0.1f, 0.1f, 0, 0.5f, 0.5f, 1.0f},  {50, 0.5f, 0.15f, 2, 0.1f, 1, 1, 1.2f, 0, 2.5385f},
    };
    for (const Corner &c : corners) {
        SCOPED_TRACE(testing::Message() << c.w8 << " " << c.w9 << " " << c.w10 << " " << c.rev << " " << c.doppler);
        TestEngine e(8, 2, {1, 8, 4, 3, 6, 5, 7, 2});
        EngineSoundParams &p = e.engine.soundParams;
        p.Word(8) = c.w8;
        p.Word(9) = c.w9;
        p.Word(10) = c.w10;
        p.Word(12) = c.w12;
        p.Word(13) = c.w13;
        p.Word(14) = c.w14;
        p.Word(15) = c.w15;
        e.engine.soundRevFraction = c.rev;
        e.engine.soundLoad = c.load;
        state = {};
        for (int b = 0; b < 1000; b++) {
            std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
            SynthesizeEngine(state, Block, b % 2, 0, 50.0f + c.rev * 250.0f, 1.0f, 1.0f, 1.0f, e.engine, 0.3f,
                             c.doppler);
            for (float v : CarSoundMixBuffers[0]) {
                ASSERT_TRUE(std::isfinite(v)) << "block " << b;
            }
        }
    }
}

}  // namespace

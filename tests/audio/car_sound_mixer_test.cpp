#include "audio/car_sound_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/interface_sound.h"
#include "core/settings.h"
#include "vehicle/car_object.h"
#include "world/path.h"

namespace {

constexpr int Block = CarSoundMixFrames;

// What the fake synthesis was called with, per car.
struct MixCall {
    CarObject *car;
    int inside;
    int mode;
    int notMixed;
};

struct MixerWorld {
    std::vector<std::unique_ptr<CarObject>> cars;
    std::vector<MixCall> calls;
    int replaySkip = 0;
    int editing = 0;
    int freeView = 0;
    int viewMode = 0;
    PathNode *node = nullptr;
};

MixerWorld *World = nullptr;

// Cars along the x axis at the given distances (m), awake and in full detail.
class CarSoundMixerTest : public testing::Test {
protected:
    MixerWorld world;

    void SetUp() override
    {
        World = &world;
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        InitCarSoundMixer();
        SoundListenerValid = 1;
        Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, {0, 0, 0}, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
        LoudVoiceCount = 0;
        CrowdGain = 1.0f;
        EchoBalance = 0.5f;
        CarSoundLinks = {};
        CarSoundLinks.slotCount = [] { return static_cast<int>(World->cars.size()); };
        CarSoundLinks.slotCar = [](int slot) { return World->cars[static_cast<size_t>(slot)].get(); };
        CarSoundLinks.replaySkip = [] { return World->replaySkip; };
        CarSoundLinks.freeViewEditing = [] { return World->editing; };
        CarSoundLinks.freeView = [] { return World->freeView; };
        CarSoundLinks.viewMode = [] { return World->viewMode; };
        CarSoundLinks.pathNode = [](const CarObject *) { return static_cast<const PathNode *>(World->node); };
        CarSoundLinks.mixSound = [](CarObject *car, int, int inside, int mode, int notMixed) {
            World->calls.push_back({car, inside, mode, notMixed});
        };
    }
    void TearDown() override
    {
        CarSoundLinks = {};
        CarSoundMixerEnabled = 0;
        SoundListenerValid = 0;
        CrowdGain = 1.0f;
        LoudVoiceCount = 0;
        EchoBalance = 0.5f;
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        World = nullptr;
    }

    CarObject *AddCar(float metres)
    {
        world.cars.push_back(std::make_unique<CarObject>());
        CarObject *car = world.cars.back().get();
        car->position = {static_cast<int32_t>(metres * 65536.0f), 0, 0};
        car->active = 1;
        car->dynamic = 1;
        car->singleStep = 0;
        return car;
    }

    std::vector<int16_t> Mix()
    {
        std::vector<int16_t> out(Block * 2);
        world.calls.clear();
        MixCarSounds(out.data());
        return out;
    }
};

TEST_F(CarSoundMixerTest, ListOrdersByDistanceLaterEqualCarFirstAndAttachedFocusFirst)
{
    CarObject *far = AddCar(30.0f);
    CarObject *near = AddCar(10.0f);
    CarObject *same = AddCar(10.0f);
    CarObject *focus = AddCar(50.0f);
    BuildMixList();
    ASSERT_EQ(MixList.count, 4);
    EXPECT_EQ(MixList.entries[0].car, same);   // inserted before the earlier car at its distance
    EXPECT_EQ(MixList.entries[1].car, near);
    EXPECT_EQ(MixList.entries[2].car, far);
    EXPECT_EQ(MixList.entries[3].car, focus);
    EXPECT_NEAR(MixList.entries[2].distance, 900.0f, 0.01f);

    Listener.focusedCar = focus;
    Listener.attached = 1;
    BuildMixList();
    EXPECT_EQ(MixList.entries[0].car, focus);
    EXPECT_EQ(MixList.entries[0].distance, 0.0f);

    SoundListenerValid = 0;
    BuildMixList();
    EXPECT_EQ(MixList.count, 0);
}

TEST_F(CarSoundMixerTest, SixCarsTheFarthestIsNotMixed)
{
    for (int i = 0; i < 6; i++) {
        AddCar(10.0f + 5.0f * static_cast<float>(i));
    }
    Mix();
    ASSERT_EQ(world.calls.size(), 6u);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(world.calls[static_cast<size_t>(i)].notMixed, 0) << i;
    }
    EXPECT_EQ(world.calls[5].car, world.cars[5].get());
    EXPECT_EQ(world.calls[5].notMixed, 1);
}

TEST_F(CarSoundMixerTest, TheHeardByteMarksTheCarsMixedInFull)
{
    for (int i = 0; i < 6; i++) {
        AddCar(10.0f + 5.0f * static_cast<float>(i))->soundHeard = 1;
    }
    Mix();
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(world.cars[static_cast<size_t>(i)]->soundHeard, 1) << i;
    }
    EXPECT_EQ(world.cars[5]->soundHeard, 0);
    world.cars[0]->active = 0;
    Mix();
    EXPECT_EQ(world.cars[0]->soundHeard, 0);
    EXPECT_EQ(world.cars[5]->soundHeard, 1);
}

TEST_F(CarSoundMixerTest, EachFailedTestGivesNotMixed)
{
    CarObject *car = AddCar(10.0f);
    struct Row {
        const char *name;
        void (*apply)(MixerWorld &, CarObject &);
    };
    const Row rows[] = {
        {"replay skip", [](MixerWorld &w, CarObject &) { w.replaySkip = 1; }},
        {"one-step car", [](MixerWorld &, CarObject &c) { c.singleStep = 1; }},
        {"sleeping car", [](MixerWorld &, CarObject &c) { c.active = 0; }},
        {"not a rigid body", [](MixerWorld &, CarObject &c) { c.dynamic = 0; }},
        {"free-view editing", [](MixerWorld &w, CarObject &) { w.editing = 1; }},
    };
    for (const Row &row : rows) {
        world.replaySkip = 0;
        world.editing = 0;
        car->singleStep = 0;
        car->active = 1;
        car->dynamic = 1;
        Mix();
        ASSERT_EQ(world.calls.size(), 1u);
        EXPECT_EQ(world.calls[0].notMixed, 0) << row.name;
        row.apply(world, *car);
        Mix();
        ASSERT_EQ(world.calls.size(), 1u);
        EXPECT_EQ(world.calls[0].notMixed, 1) << row.name;
    }
}

TEST_F(CarSoundMixerTest, InsideFlagModeAndLowPassByListenerAndView)
{
    CarObject *focus = AddCar(0.0f);
    CarObject *other = AddCar(20.0f);
    focus->engine.soundParams.SetDefaults();
    focus->engine.soundParams.Word(31) = 0.9f;
    constexpr int Free = -1;
    struct Row {
        int listenerMode;
        int view;   // Free: free view
        int attached;
        int inside;
        int mode;
        float k;
    };
    const Row rows[] = {
        {0, 3, 1, 1, 0, 0.9f}, {0, 0, 0, 0, 0, 0.9f}, {0, Free, 1, 1, 0, 0.9f},
        {1, 0, 1, 1, 3, 0.0f}, {1, 0, 0, 0, 3, 0.0f}, {1, 4, 1, 1, 1, 0.0f},
        {1, 4, 0, 0, 3, 0.0f}, {1, 2, 0, 0, 1, 0.0f}, {1, 3, 1, 1, 1, 0.0f},
        {2, Free, 1, 1, 2, 0.0f}, {2, 0, 0, 0, 3, 0.0f}, {2, 2, 0, 0, 2, 0.0f},
    };
    for (const Row &row : rows) {
        Listener.mode = static_cast<uint32_t>(row.listenerMode);
        Listener.attached = static_cast<uint32_t>(row.attached);
        Listener.focusedCar = focus;
        world.freeView = row.view == Free ? 1 : 0;
        world.viewMode = row.view == Free ? 1 : row.view;
        Mix();
        ASSERT_EQ(world.calls.size(), 2u);
        const MixCall &f = world.calls[0].car == focus ? world.calls[0] : world.calls[1];
        const MixCall &o = world.calls[0].car == other ? world.calls[0] : world.calls[1];
        SCOPED_TRACE(testing::Message() << "listener mode " << row.listenerMode << " view " << row.view
                                        << " attached " << row.attached);
        EXPECT_EQ(f.inside, row.inside);
        EXPECT_EQ(f.mode, row.mode);
        EXPECT_EQ(CockpitLowPassFactor, row.k);
        EXPECT_EQ(o.inside, 0);
        EXPECT_EQ(o.mode, row.listenerMode);
    }
}

TEST(CarSoundMixerCrowd, CrowdGainFromLoudVoices)
{
    const struct {
        int loud;
        float gain;
    } rows[] = {{0, 1.0f}, {10, 1.0f}, {55, 0.5f}, {91, 0.1f}, {400, 0.1f}};
    for (const auto &row : rows) {
        LoudVoiceCount = row.loud;
        UpdateCrowdGain();
        EXPECT_NEAR(CrowdGain, row.gain, 1e-5f) << row.loud;
    }
    LoudVoiceCount = 0;
    CrowdGain = 1.0f;
}

// A node along y (its side vector points to the listener's right), road
// from -5 to 5 m, row r holding levels 10 r + j on one side and 100 + j on
// the other.
PathNode EchoNode()
{
    PathNode node;
    node.direction[0] = 0.0f;
    node.direction[1] = 1.0f;
    node.leftEdge = -5.0f;
    node.rightEdge = 5.0f;
    for (int r = 0; r < 8; r++) {
        for (int j = 0; j < 8; j++) {
            node.band[r * 16 + j] = static_cast<uint8_t>(10 * r + j);
            node.band[r * 16 + 8 + j] = static_cast<uint8_t>(100 + j);
        }
    }
    return node;
}

TEST_F(CarSoundMixerTest, EchoTargetsByRowPanAndBalance)
{
    PathNode node = EchoNode();
    struct Row {
        float lateral;
        float left;
        float right;
        float balance;
        float leftLevel;   // line 0's level byte reached (left side)
    };
    // lo = -4.6, hi = 4.6: t = (lateral + 4.6) / 9.2.
    const Row rows[] = {
        {-9.0f, -5.0f, 5.0f, 0.5f, 0.0f},    // t <= 0: row 0
        {9.0f, -5.0f, 5.0f, 0.5f, 70.0f},    // t >= 1: row 7
        {0.0f, -5.0f, 5.0f, 0.5f, 35.0f},    // x = 3.5: between rows 3 and 4
        {0.0f, -5.0f, 5.0f, 0.0f, 35.0f},
        {0.0f, -5.0f, 5.0f, 1.0f, 35.0f},
        {0.0f, 0.2f, 0.4f, 0.5f, 35.0f},     // narrower than 0.6 m: widened around 0.3
    };
    for (const Row &row : rows) {
        node.leftEdge = row.left;
        node.rightEdge = row.right;
        EchoBalance = row.balance;
        InitCarSoundMixer();
        SetEchoTargets(&node, row.lateral);
        const float e = (row.balance + 1.0f) * 0.008f;
        for (int j = 0; j < EchoLineCount; j++) {
            const float leftTarget = EchoLines[j].leftGain + EchoLines[j].leftStep * 441.0f;
            const float rightTarget = EchoLines[j].rightGain + EchoLines[j].rightStep * 441.0f;
            SCOPED_TRACE(testing::Message() << "lateral " << row.lateral << " balance " << row.balance << " line " << j);
            if (row.left == 0.2f) {
                // lateral 0 sits 0.3 m left of the widened 0.0..0.6 band's middle: t = 0.
                EXPECT_NEAR(leftTarget, static_cast<float>(j) * e, 1e-4f);
            } else {
                EXPECT_NEAR(leftTarget, (row.leftLevel + static_cast<float>(j)) * e, 1e-4f);
            }
            EXPECT_NEAR(rightTarget, (100.0f + static_cast<float>(j)) * e, 1e-4f);
        }
    }
    EXPECT_NEAR(0.008f, (0.0f + 1.0f) * 0.008f, 0.0f);
}

TEST_F(CarSoundMixerTest, EchoImpulseTapsAndCrossedFeedback)
{
    PathNode node = EchoNode();
    world.node = &node;
    AddCar(10.0f);
    const int lengths[EchoLineCount] = {486, 885, 1609, 2928, 5327, 9690, 17629, 32073};
    for (int j = 0; j < EchoLineCount; j++) {
        EXPECT_EQ(EchoLines[j].length, lengths[j]);
    }
    // The car stands at lateral 0 (rows 3 and 4); the gains settle in a block.
    Mix();
    float gl[EchoLineCount];
    float gr[EchoLineCount];
    for (int j = 0; j < EchoLineCount; j++) {
        gl[j] = EchoLines[j].leftGain;
        gr[j] = EchoLines[j].rightGain;
    }
    constexpr int Total = 34000 + 2 * 486;
    std::vector<float> left(Total + Block);
    std::vector<float> right(Total + Block);
    for (int b = 0; b * Block < Total; b++) {
        if (b == 0) {
            CarSoundMixBuffers[0][0] = 10000.0f;   // a left impulse at frame 0
        }
        std::memset(CarSoundMixBuffers[2], 0, sizeof(CarSoundMixBuffers[2]));
        SetEchoTargets(&node, 0.0f);
        RunEchoLines();
        for (int i = 0; i < Block; i++) {
            left[static_cast<size_t>(b * Block + i)] = CarSoundMixBuffers[2][i * 2];
            right[static_cast<size_t>(b * Block + i)] = CarSoundMixBuffers[2][i * 2 + 1];
        }
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    }
    // Rows 3 and 4 at w = 0.5: level 35 + j on the left, 100 + j on the right.
    for (int j = 0; j < EchoLineCount; j++) {
        EXPECT_NEAR(gl[j], (35.0f + static_cast<float>(j)) * 0.012f, 1e-5f) << j;
        EXPECT_NEAR(gr[j], (100.0f + static_cast<float>(j)) * 0.012f, 1e-5f) << j;
        // The long lines also carry echoes of echoes that arrive with their tap.
        EXPECT_NEAR(left[static_cast<size_t>(lengths[j])], 10000.0f * gl[j], j < 7 ? 0.05f : 0.2f) << j;
        if (j < 6) {
            EXPECT_EQ(right[static_cast<size_t>(lengths[j])], 0.0f) << j;
        }
        EXPECT_EQ(left[static_cast<size_t>(lengths[j] - 1)], 0.0f) << j;
    }
    // The first tap comes back on the other channel at twice its delay, 0.2 x.
    EXPECT_NEAR(right[2 * 486], 10000.0f * gl[0] * 0.2f * gr[0], 0.05f);
    for (size_t i = 1; i < 486; i++) {
        ASSERT_EQ(left[i], 0.0f) << i;
    }
}

TEST_F(CarSoundMixerTest, NoCarZeroesTheGainsAtOnceAndTheRingsSoundOnce)
{
    PathNode node = EchoNode();
    world.node = &node;
    AddCar(10.0f);
    Mix();
    // A loud block goes into the rings, then the car leaves.
    for (int i = 0; i < Block * 2; i++) {
        CarSoundMixBuffers[0][i] = 1000.0f;
    }
    Mix();
    world.cars.clear();
    Mix();
    for (const EchoLine &line : EchoLines) {
        EXPECT_EQ(line.leftGain, 0.0f);
        EXPECT_EQ(line.rightGain, 0.0f);
        EXPECT_EQ(line.leftStep, 0.0f);
        EXPECT_EQ(line.rightStep, 0.0f);
    }
    // Line 0 (486 frames) returns what it held once, then silence: read into
    // a fresh echo accumulator without writing output.
    float heard = 0.0f;
    for (int b = 0; b < 200; b++) {
        std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
        RunEchoLines();
        for (int i = 0; i < Block * 2; i++) {
            heard += std::fabs(CarSoundMixBuffers[2][i]);
        }
        if (b == 120) {
            EXPECT_GT(heard, 0.0f);
        }
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    RunEchoLines();
    for (int i = 0; i < Block * 2; i++) {
        EXPECT_EQ(CarSoundMixBuffers[2][i], 0.0f);
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

TEST_F(CarSoundMixerTest, SmallEchoReturnsAreGatedAndACarWithoutNodeGivesNoEcho)
{
    EchoLines[0].ring[0] = 0.49f;
    EchoLines[0].ring[1] = -0.49f;
    EchoLines[0].ring[2] = 0.5f;
    EchoLines[0].ring[3] = -0.5f;
    for (int i = 1; i < EchoLineCount; i++) {
        std::memset(EchoLines[i].ring, 0, sizeof(EchoLines[i].ring));
    }
    RunEchoLines();
    EXPECT_EQ(CarSoundMixBuffers[2][0], 0.0f);
    EXPECT_EQ(CarSoundMixBuffers[2][1], 0.0f);
    EXPECT_EQ(CarSoundMixBuffers[2][2], 0.5f);
    EXPECT_EQ(CarSoundMixBuffers[2][3], -0.5f);
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));

    // A car whose path follower has no node yet: no echo, no null read.
    AddCar(10.0f);
    world.node = nullptr;
    Mix();
    for (const EchoLine &line : EchoLines) {
        EXPECT_EQ(line.leftGain, 0.0f);
        EXPECT_EQ(line.rightGain, 0.0f);
    }
}

TEST_F(CarSoundMixerTest, CockpitLowPassApproachesAStepAndSnapsItsTail)
{
    for (int i = 0; i < Block * 2; i++) {
        CarSoundMixBuffers[0][i] = 1000.0f;
    }
    ApplyCockpitLowPass(0.9f);
    float expected = 0.0f;
    for (int i = 0; i < Block; i++) {
        expected = expected * 0.9f + (1.0f - 0.9f) * 1000.0f;
        ASSERT_FLOAT_EQ(CarSoundMixBuffers[0][i * 2], expected) << i;
        ASSERT_FLOAT_EQ(CarSoundMixBuffers[0][i * 2 + 1], expected) << i;
    }
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
    ApplyCockpitLowPass(0.9f);
    // 1000 x 0.9^n falls below 0.1 after 88 frames and is then exactly 0.
    EXPECT_GT(CarSoundMixBuffers[0][80 * 2], 0.1f);
    for (int i = 100; i < Block; i++) {
        ASSERT_EQ(CarSoundMixBuffers[0][i * 2], 0.0f) << i;
    }
    EXPECT_EQ(CockpitLowPass[0], 0.0f);
    EXPECT_EQ(CockpitLowPass[1], 0.0f);
    std::memset(CarSoundMixBuffers, 0, sizeof(CarSoundMixBuffers));
}

// A voice queued in a block of strong echo under the cockpit low-pass comes
// out as it is: the rings and the low-pass state are the same as without it,
// so no echo tap of it ever sounds.
TEST_F(CarSoundMixerTest, AnInterfaceVoiceGetsNoEchoAndNoLowPass)
{
    PathNode node = EchoNode();
    for (uint8_t &b : node.band) {
        b = 20;
    }
    world.node = &node;
    CarObject *car = AddCar(0.0f);
    car->engine.soundParams.SetDefaults();
    Listener.focusedCar = car;
    Listener.attached = 1;
    Listener.mode = 0;
    CarSoundLinks.mixSound = [](CarObject *, int, int, int, int) {
        for (int i = 0; i < Block * 2; i++) {
            CarSoundMixBuffers[0][i] += 1000.0f * std::sin(static_cast<float>(i) * 0.05f);
        }
    };
    for (int b = 0; b < 30; b++) {
        Mix();
    }
    ASSERT_GT(CockpitLowPassFactor, 0.0f);
    static EchoLine saved[EchoLineCount];
    std::memcpy(saved, EchoLines, sizeof(EchoLines));
    const float savedLowPass[2] = {CockpitLowPass[0], CockpitLowPass[1]};
    const std::vector<int16_t> plain = Mix();
    static EchoLine plainLines[EchoLineCount];
    std::memcpy(plainLines, EchoLines, sizeof(EchoLines));
    const float plainLowPass[2] = {CockpitLowPass[0], CockpitLowPass[1]};

    std::memcpy(EchoLines, saved, sizeof(EchoLines));
    CockpitLowPass[0] = savedLowPass[0];
    CockpitLowPass[1] = savedLowPass[1];
    std::vector<int16_t> values(Block * 2, 0);
    values[0] = 4000;
    SoundSample click = {1, static_cast<uint32_t>(values.size()), values.data()};
    InterfaceVoices.count = 1;
    InterfaceVoices.voices[0] = {};
    InterfaceVoices.voices[0].sample = &click;
    InterfaceVoices.voices[0].leftGain = 1.0f;
    InterfaceVoices.voices[0].rightGain = 1.0f;
    const std::vector<int16_t> withVoice = Mix();
    EXPECT_EQ(InterfaceVoices.count, 0);
    ASSERT_LT(std::abs(plain[0]), 20000);
    EXPECT_NE(withVoice[0], plain[0]);
    for (size_t i = 1; i < withVoice.size(); i++) {
        ASSERT_EQ(withVoice[i], plain[i]) << i;
    }
    EXPECT_EQ(CockpitLowPass[0], plainLowPass[0]);
    EXPECT_EQ(CockpitLowPass[1], plainLowPass[1]);
    EXPECT_EQ(std::memcmp(EchoLines, plainLines, sizeof(EchoLines)), 0);
    InterfaceVoices.count = 0;
}

TEST_F(CarSoundMixerTest, InitAndResetListener)
{
    EchoLines[3].ring[10] = 5.0f;
    EchoLines[3].position = 17;
    CockpitLowPass[0] = 3.0f;
    InitCarSoundMixer();
    EXPECT_EQ(EchoLines[3].ring[10], 0.0f);
    EXPECT_EQ(EchoLines[3].position, 0);
    EXPECT_EQ(EchoLines[3].leftGain, 0.2f);
    EXPECT_EQ(CockpitLowPass[0], 0.0f);
    EXPECT_EQ(CarSoundMixerEnabled, 1u);
    EXPECT_EQ(SoundListenerValid, 0u);

    CarSoundLinks.referenceFrame = [](FixMatrix *m, FixVector *p) {
        *m = {{0, 65536, 0, -65536, 0, 0, 0, 0, 65536}};
        *p = {65536, 2 * 65536, 3 * 65536};
    };
    Listener.attached = 1;
    Listener.mode = 0;
    Listener.velocity[0] = 12.0f;
    LoudVoiceCount = 40;
    CrowdGain = 0.3f;
    ResetSoundListener();
    EXPECT_EQ(CarSoundMixerEnabled, 0u);
    EXPECT_EQ(SoundListenerValid, 0u);
    EXPECT_EQ(Listener.attached, 0u);
    EXPECT_EQ(Listener.mode, 1u);
    EXPECT_EQ(Listener.focusedCar, nullptr);
    EXPECT_EQ(Listener.velocity[0], 0.0f);
    EXPECT_EQ(Listener.position.y, 2 * 65536);
    EXPECT_EQ(Listener.orientation.m[1], 65536);
    EXPECT_EQ(LoudVoiceCount, 0);
    EXPECT_EQ(CrowdGain, 1.0f);
}

}  // namespace

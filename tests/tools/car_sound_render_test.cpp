// A generated four-cylinder car with its default engine sound and the
// default samples, driven at full throttle on automatic gears from a
// standing start on the flat ground, one mixer block per physics tick: heard
// from its cockpit (the pitch follows the engine, no clipping, no gaps) and
// from its start line as it drives away (quieter with distance). The renders
// go to the test-output folder for listening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/car_engine_sound.h"
#include "audio/car_sound_mixer.h"
#include "audio/interface_sound.h"
#include "audio/sound_output.h"
#include "core/car_table.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "sound_analysis.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/tools/race_slot_hooks.h"
#include "tests/vehicle/world_query_double.h"
#include "tools/default_engines.h"
#include "tools/default_sounds.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/tyre_curves.h"

namespace {

constexpr int TicksPerSecond = 100;
constexpr int Block = CarSoundMixFrames;

CarObject *RenderCar = nullptr;

struct Render {
    std::vector<int16_t> pcm;       // stereo
    std::vector<float> engineSpeed; // per tick, rad/s
    std::vector<int> gear;          // per tick
    std::vector<float> distance;    // per tick, m from the listener
    int clippedBlocks = 0;
};

class CarSoundRenderTest : public GeneratedCarsFixture, protected RaceSlotHooks<1> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        ASSERT_EQ(WriteDefaultEngineFiles("."), nullptr);
        ASSERT_EQ(WriteDefaultSounds("."), nullptr);
        LoadSoundSamples();
        BuildTyreCurves();
        InstallRaceSlotHooks();
        FrameRandom = 2024;
        CarSoundGain = 1.0f;
        SkidBalance = 0.0f;
        WindBalance = 0.0f;
        carSoundStarted = 1;
        CarSoundLinks = {};
        CarSoundLinks.slotCount = [] { return 1; };
        CarSoundLinks.slotCar = [](int) { return RenderCar; };
        CarSoundLinks.pathNode = [](const CarObject *) { return static_cast<const PathNode *>(nullptr); };
    }
    void TearDown() override
    {
        CarSoundLinks = {};
        CarSoundMixerEnabled = 0;
        SoundListenerValid = 0;
        carSoundStarted = 0;
        RenderCar = nullptr;
        FreeSoundSamples();
        RestoreRaceSlotHooks();
        while (physics.bodyCount > 0) {
            physics.Remove(physics.bodies[0]);
        }
    }

    // The first generated car with a four-cylinder engine, its default
    // engine sound read, settled at (0, -1900) facing +y, idling in first.
    int Place(CarObject &car)
    {
        for (int model = 0; model < CarModelCount; model++) {
            CarLoadArguments args;
            if (LoadCarDataFile(&car, CarTable[model].code, args) != 1 || car.engine.cylinders != 4) {
                continue;
            }
            const std::string path = std::string("data/engine/") + CarTable[model].code + "_default.eng";
            if (ReadCarEngineFile(&car, path.c_str(), "") != 1) {
                return -1;
            }
            car.position = {MetresToFix(0.0f), MetresToFix(-1900.0f), MetresToFix(1.0f)};
            car.Reset(0.0f, 0, 1);
            car.fuel = 20.0f;
            physics.Add(&car);
            slotCars[0] = &car;
            RenderCar = &car;
            car.engine.StartAtIdle();
            car.autoClutch = 1;
            car.autoGears = 1;
            Run(TicksPerSecond + 5);
            car.inputs[14] = 2;
            Run(5);
            car.inputs[14] = 255;
            return model;
        }
        return -1;
    }
    void Run(int ticks)
    {
        for (int i = 0; i < ticks; i++) {
            physics.Step(i % 4 == 3);
        }
    }

    // Full throttle for `seconds`, one block a tick.
    Render Drive(CarObject &car, float seconds)
    {
        Render r;
        InitCarSoundMixer();
        SoundListenerValid = 1;
        car.inputs[1] = 65535;
        const int ticks = static_cast<int>(seconds * TicksPerSecond);
        int16_t block[Block * 2];
        for (int t = 0; t < ticks; t++) {
            physics.Step(t % 4 == 3);
            MixCarSounds(block);
            r.clippedBlocks += CarSoundClipping != 0 ? 1 : 0;
            r.pcm.insert(r.pcm.end(), block, block + Block * 2);
            r.engineSpeed.push_back(car.engine.speed);
            r.gear.push_back(car.gear);
            const double dx = (static_cast<double>(car.position.x) - Listener.position.x) / 65536.0;
            const double dy = (static_cast<double>(car.position.y) - Listener.position.y) / 65536.0;
            r.distance.push_back(static_cast<float>(std::sqrt(dx * dx + dy * dy)));
        }
        return r;
    }

    WorldQueryDouble world{250 * 65536};
    PhysicsWorld physics;
};

std::vector<double> Mono(const std::vector<int16_t> &pcm, size_t firstFrame, size_t frames)
{
    std::vector<double> x(frames);
    for (size_t i = 0; i < frames; i++) {
        x[i] = 0.5 * (pcm[(firstFrame + i) * 2] + pcm[(firstFrame + i) * 2 + 1]);
    }
    return x;
}

TEST_F(CarSoundRenderTest, CockpitAccelerationFollowsTheEngine)
{
    CarObject car;
    const int model = Place(car);
    ASSERT_GE(model, 0) << "no four-cylinder car";
    Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, car.position, {0.0f, 0.0f, 0.0f}, &car, 1, 0};
    const Render r = Drive(car, 20.0f);
    WriteTestWav("car_cockpit_acceleration", r.pcm.data(), static_cast<uint32_t>(r.pcm.size() / 2), 2);

    // No clipping: never clamped, never at full scale.
    EXPECT_EQ(r.clippedBlocks, 0);
    int atFullScale = 0;
    for (int16_t v : r.pcm) {
        atFullScale += v >= 32767 || v <= -32767 ? 1 : 0;
    }
    EXPECT_EQ(atFullScale, 0);

    // No silence: every 10 ms window above -60 dBFS.
    const size_t frames = r.pcm.size() / 2;
    int silent = 0;
    for (size_t w = 0; w + 441 <= frames; w += 441) {
        silent += SoundRms(Mono(r.pcm, w, 441)) < 32767.0 * 0.001 ? 1 : 0;
    }
    EXPECT_EQ(silent, 0);

    // The firing period in each 50 ms window away from gear changes: the
    // autocorrelation lag is 44,100 / E within 3 %, E = cylinders x w / 4 pi.
    std::vector<int> changes;
    for (size_t t = 1; t < r.gear.size(); t++) {
        if (r.gear[t] != r.gear[t - 1]) {
            changes.push_back(static_cast<int>(t));
        }
    }
    EXPECT_GE(changes.size(), 2u);
    int windows = 0;
    int misses = 0;
    int skipped = 0;
    for (size_t w = 0; w + 2205 <= frames; w += 2205) {
        const int first = static_cast<int>(w / Block);
        const int last = static_cast<int>((w + 2205) / Block);
        bool nearChange = false;
        for (int c : changes) {
            nearChange = nearChange || (c >= first - 30 && c <= last + 30);
        }
        const float speed = r.engineSpeed[static_cast<size_t>((first + last) / 2)];
        const double E = 4.0 * speed / (4.0 * M_PI);
        // A window over which the engine speed itself moves by more than the
        // tolerance (the clutch biting at the start) has no one period.
        const float from = r.engineSpeed[static_cast<size_t>(first)];
        const float to = r.engineSpeed[static_cast<size_t>(std::min(last, static_cast<int>(r.engineSpeed.size()) - 1))];
        const bool steady = std::fabs(to - from) <= 0.03f * speed;
        if (nearChange || !steady || r.gear[static_cast<size_t>(first)] <= 1 || E < 30.0) {
            skipped++;
            continue;
        }
        const double expected = 44100.0 / E;
        const int lag = SoundAutocorrelationPeak(Mono(r.pcm, w, 2205), static_cast<int>(expected * 0.8),
                                                 static_cast<int>(expected * 1.25));
        windows++;
        if (std::fabs(lag - expected) > 0.03 * expected) {
            misses++;
            ADD_FAILURE() << "window at " << w / 44100.0 << " s: lag " << lag << ", expected " << expected;
        }
    }
    EXPECT_GT(windows, 250) << skipped << " windows skipped";
    EXPECT_EQ(misses, 0);

    // The pitch drops at each upshift: a longer period after than before.
    for (int c : changes) {
        if (r.gear[static_cast<size_t>(c)] <= r.gear[static_cast<size_t>(c - 1)] || c < 60 ||
            c + 60 >= static_cast<int>(r.gear.size()) || r.gear[static_cast<size_t>(c - 1)] <= 1) {
            continue;
        }
        const double before = 44100.0 / (r.engineSpeed[static_cast<size_t>(c - 35)] / M_PI);
        const double after = 44100.0 / (r.engineSpeed[static_cast<size_t>(c + 35)] / M_PI);
        const size_t b = static_cast<size_t>(c - 40) * Block;
        const size_t a = static_cast<size_t>(c + 30) * Block;
        const int lagBefore = SoundAutocorrelationPeak(Mono(r.pcm, b, 2205), static_cast<int>(before * 0.8),
                                                       static_cast<int>(before * 1.25));
        const int lagAfter = SoundAutocorrelationPeak(Mono(r.pcm, a, 2205), static_cast<int>(after * 0.8),
                                                      static_cast<int>(after * 1.25));
        EXPECT_GT(lagAfter, lagBefore) << "upshift at tick " << c;
    }
}

TEST_F(CarSoundRenderTest, DrivingAwayFromTheListenerFadesWithDistance)
{
    CarObject car;
    ASSERT_GE(Place(car), 0);
    // Standing 3 m beside the start, facing along the road.
    FixVector at = car.position;
    at.x += MetresToFix(3.0f);
    Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, at, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
    const Render r = Drive(car, 15.0f);
    WriteTestWav("car_drive_away", r.pcm.data(), static_cast<uint32_t>(r.pcm.size() / 2), 2);
    EXPECT_EQ(r.clippedBlocks, 0);
    auto levelAt = [&r](float metres) {
        size_t t = 0;
        while (t < r.distance.size() && r.distance[t] < metres) {
            t++;
        }
        EXPECT_LT(t + 25, r.distance.size()) << metres << " m never reached";
        const size_t first = t >= 25 ? (t - 25) * Block : 0;
        return SoundRms(Mono(r.pcm, first, 22050));
    };
    const double near = levelAt(20.0f);
    const double far = levelAt(80.0f);
    EXPECT_GT(near, 0.0);
    EXPECT_LE(20.0 * std::log10(far / near), -6.0) << near << " " << far;
}

// A pass-by 8 m from the road at full throttle, for listening, and its
// Doppler: the pitch falls as the car goes by.
TEST_F(CarSoundRenderTest, PassByForListening)
{
    CarObject car;
    ASSERT_GE(Place(car), 0);
    FixVector at = car.position;
    at.x += MetresToFix(8.0f);
    at.y += MetresToFix(120.0f);
    Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, at, {0.0f, 0.0f, 0.0f}, nullptr, 0, 1};
    const Render r = Drive(car, 14.0f);
    WriteTestWav("car_pass_by", r.pcm.data(), static_cast<uint32_t>(r.pcm.size() / 2), 2);
    EXPECT_EQ(r.clippedBlocks, 0);
    size_t closest = 0;
    for (size_t t = 0; t < r.distance.size(); t++) {
        closest = r.distance[t] < r.distance[closest] ? t : closest;
    }
    ASSERT_GT(closest, 100u);
    ASSERT_LT(closest + 100, r.distance.size());
    // Loudest near the closest point.
    const double atClosest = SoundRms(Mono(r.pcm, (closest - 10) * Block, 8820));
    const double early = SoundRms(Mono(r.pcm, (closest - 100) * Block, 8820));
    EXPECT_GT(atClosest, early);
}

// A handbrake slide on the road that runs onto grass, heard from the
// cockpit, for listening: the road skid voices sound first, the grass voice
// once the wheels are on grass.
TEST_F(CarSoundRenderTest, SlideOntoGrassForListening)
{
    CarObject car;
    ASSERT_GE(Place(car), 0);
    Listener = {{{65536, 0, 0, 0, 65536, 0, 0, 0, 65536}}, car.position, {0.0f, 0.0f, 0.0f}, &car, 1, 0};
    LaunchAlongHeading(physics, car, 25.0f);
    InitCarSoundMixer();
    SoundListenerValid = 1;
    std::vector<int16_t> pcm;
    int16_t block[Block * 2];
    float roadSkid = 0.0f;
    float grass = 0.0f;
    for (int t = 0; t < 400; t++) {
        if (t == 20) {
            car.inputs[12] = 65535;   // handbrake
            car.inputs[0] = 20000;    // steer
        }
        if (t == 150) {
            world.SetGroundSurface(3, 0);
        }
        physics.Step(t % 4 == 3);
        MixCarSounds(block);
        pcm.insert(pcm.end(), block, block + Block * 2);
        for (int v = 0; v < 4; v++) {
            for (int side = 0; side < 2; side++) {
                if (t < 150) {
                    roadSkid = std::fmax(roadSkid, car.soundState.skids[v][side].leftGain);
                }
            }
        }
        if (t >= 150) {
            grass = std::fmax(grass, std::fmax(car.soundState.skids[4][0].leftGain, car.soundState.skids[4][1].leftGain));
        }
    }
    world.SetGroundSurface(0, 0);
    WriteTestWav("car_slide_onto_grass", pcm.data(), static_cast<uint32_t>(pcm.size() / 2), 2);
    EXPECT_GT(roadSkid, 0.0f);
    EXPECT_GT(grass, 0.0f);
}

}  // namespace

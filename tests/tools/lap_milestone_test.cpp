#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/race_object_services.h"
#include "core/car_table.h"
#include "net/game_batch.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "tests/tools/saved_race_entries.h"
#include "tests/tools/generated_cars_fixture.h"
#include "tests/world/world_load_steps.h"
#include "tools/default_track.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/tyre_curves.h"
#include "world/map_squares.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

// The headless lap: the default site loads in 50 ms slices, a default car
// starts from grid slot 0 and a scripted driver takes it round the full
// circuit once each way, with the loaded world as its only ground.
namespace {

constexpr int TicksPerSecond = 100;
constexpr float Metre = 65536.0f;

std::vector<std::string> &Lines()
{
    static std::vector<std::string> lines;
    return lines;
}

float Metres(int64_t fix)
{
    return static_cast<float>(fix) / Metre;
}

// The car's plan position relative to a node: along its direction and to
// its right.
void Relative(const PathNode &node, const FixVector &p, float &along, float &lateral)
{
    const float dx = Metres(static_cast<int64_t>(p.x) - node.position[0]);
    const float dy = Metres(static_cast<int64_t>(p.y) - node.position[1]);
    along = dx * node.direction[0] + dy * node.direction[1];
    lateral = dx * node.direction[1] - dy * node.direction[0];
}

// The plan curvature (1/m) at node i: the turn of the direction over the
// spacing to the next node.
float Curvature(const Path &path, int i)
{
    const PathNode &a = path.nodes[i];
    const PathNode &b = path.nodes[(i + 1) % path.nodeCount];
    const float cross = a.direction[0] * b.direction[1] - a.direction[1] * b.direction[0];
    const float dot = a.direction[0] * b.direction[0] + a.direction[1] * b.direction[1];
    const float turn = std::atan2(cross, dot);
    const float dx = Metres(static_cast<int64_t>(b.position[0]) - a.position[0]);
    const float dy = Metres(static_cast<int64_t>(b.position[1]) - a.position[1]);
    const float step = std::sqrt(dx * dx + dy * dy);
    return step > 0.1f ? std::fabs(turn) / step : 0.0f;
}

// What one lap showed.
struct LapRecord {
    std::vector<int> timingLines;   // 1 finish, 2 and 3 the splits, in the order crossed
    int nodesPassed = 0;            // each the node after the last
    float worstMargin = 1e9f;       // least distance (m) inside the outer limits
    int lostTicks = 0;              // ticks with the follower lost
    int ticks = 0;
    bool searchAgrees = true;       // a fresh search finds the stepped span and its planes
};

class LapMilestone : public GeneratedCarsFixture {
protected:
    static void SetUpTestSuite()
    {
        GeneratedCarsFixture::SetUpTestSuite();
        BuildTyreCurves();
        RegisterPathFollowerFactory();
        SetWorldMessagePrinter([](const char *text, int) { Lines().push_back(text); });
        writeTrackError = WriteDefaultTrack(".");
        if (writeTrackError) {
            return;
        }
        const TrackSite &row = SiteTable[DefaultTrackSite];
        world = WorldCreate();
        LoadSliceMs = DefaultLoadSliceMs;
        texts = LoadWorldInSteps(world, row.name, row.code);
        loadLines = Lines();
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        SetWorldMessagePrinter(nullptr);
        CarServices.createPathFollower = nullptr;
        CarServices.deletePathFollower = nullptr;
        GeneratedCarsFixture::TearDownTestSuite();
    }
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        ASSERT_EQ(writeTrackError, nullptr) << writeTrackError;
        ASSERT_NE(world, nullptr);
        ASSERT_FALSE(WorldLoadFailed(world)) << (loadLines.empty() ? "" : loadLines.front());
        saved = VehicleRaceHooks;
        savedServices = RaceServices;
        RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(slotBytes); };
        VehicleRaceHooks.slotCount = [] { return 1; };
        VehicleRaceHooks.slotCar = [](int) { return slotCar; };
        SetSessionExistsCheck([] { return 1; });
    }
    void TearDown() override
    {
        while (physics.bodyCount > 0) {
            physics.Remove(physics.bodies[0]);
        }
        SetSessionExistsCheck(nullptr);
        VehicleRaceHooks = saved;
        RaceServices = savedServices;
        slotCar = nullptr;
        SelectConfig(world, 1, 0);
    }

    void Run(int ticks)
    {
        for (int i = 0; i < ticks; i++) {
            physics.Step(i % 4 == 3);
        }
    }

    // One lap of the selected configuration from grid slot 0: from the
    // start, over the finish, round and over the finish again.
    // What a lap inside a race adds to the scripted drive: the car is
    // handed over before it moves, looked at after every tick and before it
    // goes. With raceProgress the car's own race progress moves its path
    // follower and the test only follows it.
    struct LapHooks {
        std::function<void(CarObject &)> start;
        std::function<void(CarObject &)> tick;
        std::function<void(CarObject &)> end;
        int finishes = 2;
        bool raceProgress = false;
    };
    LapRecord DriveLap(const LapHooks *hooks = nullptr);

    static inline World *world = nullptr;
    static inline const char *writeTrackError = nullptr;
    static inline std::vector<std::string> texts;
    static inline std::vector<std::string> loadLines;
    static inline CarObject *slotCar = nullptr;
    alignas(8) static inline unsigned char slotBytes[64];   // the slot record is opaque here
    PhysicsWorld physics;
    RaceHooks saved{};
    CarRaceServices savedServices{};
};

LapRecord LapMilestone::DriveLap(const LapHooks *hooks)
{
    LapRecord lap;
    const Path &path = *world->currentPath;
    const int n = path.nodeCount;

    CarObject car;
    CarLoadArguments args;
    EXPECT_EQ(LoadCarDataFile(&car, CarTable[0].code, args), 1) << (CarDataLoadError ? CarDataLoadError : "");
    if (!car.pathFollower || !car.setup) {
        ADD_FAILURE() << "the car has no follower or set-up";
        return lap;
    }
    int32_t start[3];
    float heading = 0.0f;
    GetStartPosition(world, start, heading, 0, 0, 0, nullptr);
    car.position = {start[0], start[1], start[2]};
    car.Reset(heading, 0, 1);
    car.fuel = 20.0f;
    physics.Add(&car);
    slotCar = &car;
    if (hooks != nullptr && hooks->start) {
        hooks->start(car);
    }

    // Settle, start the engine and take first gear with the automatic
    // clutch; the driver changes gear by hand.
    car.engine.StartAtIdle();
    car.autoClutch = 1;
    car.autoGears = 0;
    Run(TicksPerSecond + 5);
    int gear = 2;
    car.inputs[14] = static_cast<uint16_t>(gear);
    Run(5);

    PathFollower &follower = *car.pathFollower;
    const int32_t at[3] = {car.position.x, car.position.y, car.position.z};
    int node = follower.FindPosition(at, 1);
    if (node < 0) {
        ADD_FAILURE() << "the start slot is off the path";
        return lap;
    }
    const int top = car.gearCount - 1;
    const float maxLock = static_cast<float>(car.setup->maxLock) * 3.14159265f / 180.0f;
    float radius = 0.0f;
    for (int w = 0; w < car.wheelCount; w++) {
        if (car.wheels[w].driven) {
            radius = car.wheels[w].radius;
        }
    }

    int finishes = 0;
    PathFollower fresh;
    const int limit = 400 * TicksPerSecond;
    const int wanted = hooks != nullptr ? hooks->finishes : 2;
    for (; lap.ticks < limit && finishes < wanted; ++lap.ticks) {
        // Pure pursuit on the road's centre line: the first node at least
        // the look-ahead distance away, steered along the arc through it.
        const float lookAhead = std::max(8.0f, 0.9f * car.speed);
        const float right[2] = {car.orientation[0], car.orientation[3]};
        int32_t target[3] = {};
        float dx = 0.0f, dy = 0.0f;
        for (int k = 1; k < 60; ++k) {
            path.nodes[(node + k) % n].GetLateralPoint(target, 0.0f, 0.0f);
            dx = Metres(static_cast<int64_t>(target[0]) - car.position.x);
            dy = Metres(static_cast<int64_t>(target[1]) - car.position.y);
            if (dx * dx + dy * dy >= lookAhead * lookAhead) {
                break;
            }
        }
        const float sideways = dx * right[0] + dy * right[1];
        const float distance2 = dx * dx + dy * dy;
        const float angle = std::atan(car.wheelbase * 2.0f * -sideways / distance2);
        const float word = 32768.0f - angle / maxLock * 32768.0f;
        car.inputs[0] = static_cast<uint16_t>(std::clamp(word, 0.0f, 65535.0f));

        // The speed target: what the sharpest bend within braking reach
        // allows, braking at 4 m/s^2 and turning at 5.5 m/s^2.
        float wanted = 45.0f;
        float ahead = 0.0f;
        for (int k = 0; k < 80 && ahead < 150.0f; ++k) {
            const int i = (node + k) % n;
            const float curvature = Curvature(path, i);
            if (curvature > 1e-4f) {
                const float corner = std::sqrt(5.5f / curvature);
                wanted = std::min(wanted, std::sqrt(corner * corner + 2.0f * 4.0f * ahead));
            }
            ahead += 5.0f;
        }
        const float error = wanted - car.speed;
        const float throttle = error > 0.0f ? std::min(1.0f, 0.4f * error) : 0.0f;
        const float brake = error < -0.5f ? std::min(1.0f, -0.25f * error) : 0.0f;
        car.inputs[1] = static_cast<uint16_t>(throttle * 65535.0f);
        car.inputs[2] = static_cast<uint16_t>(brake * 65535.0f);

        // Gears by hand, one step at a time once the last change is done:
        // toward the lowest gear that keeps the engine, at the road speed,
        // below 90 % of its rev limit.
        const bool engaged = car.gear == gear && car.autoClutchTimer <= 0.0f && car.engine.clutchPedal < 0.05f;
        if (engaged && radius > 0.0f) {
            const float axleRevs = car.speed / radius * car.finalDrive;
            int best = 2;
            while (best < top && axleRevs * car.gearRatios[best] > 0.9f * car.engine.maxSpeed) {
                ++best;
            }
            gear += best > gear ? 1 : best < gear ? -1 : 0;
        }
        car.inputs[14] = static_cast<uint16_t>(gear);

        physics.Step(lap.ticks % 4 == 3);
        if (hooks != nullptr && hooks->tick) {
            hooks->tick(car);
        }

        // The follower steps span by span: into the next span once the car
        // is past the next node.
        for (int guard = 0; guard < 8; ++guard) {
            const int next = follower.NodeAfter(node);
            if (hooks != nullptr && hooks->raceProgress) {
                // Race progress has moved the follower: the test follows it.
                if (follower.node == node) {
                    break;
                }
            } else {
                float along, lateral;
                Relative(path.nodes[next], car.position, along, lateral);
                if (along < 0.0f) {
                    break;
                }
                follower.ApplyNodeDeltas(next);
                follower.node = next;
            }
            node = next;
            ++lap.nodesPassed;
            if (node == path.finishNode) {
                lap.timingLines.push_back(1);
                ++finishes;
            }
            for (int s = 0; s < PathMaxSplits; ++s) {
                if (node == path.splitNodes[s]) {
                    lap.timingLines.push_back(s + 2);
                }
            }
        }
        // Still inside the span it claims, within the outer limits.
        {
            float along, lateral;
            const PathNode &a = path.nodes[node];
            Relative(a, car.position, along, lateral);
            const float margin = std::min(lateral - a.outerLeft, a.outerRight - lateral);
            lap.worstMargin = std::min(lap.worstMargin, margin);
            if (along < -0.5f || along > 8.0f) {
                ++lap.lostTicks;
            }
        }
        // Now and then the stepped follower against a fresh search.
        if (lap.ticks % 500 == 0) {
            const int32_t p[3] = {car.position.x, car.position.y, car.position.z};
            lap.searchAgrees = lap.searchAgrees && fresh.FindPosition(p, 1) == node &&
                               std::equal(&fresh.planes[0][0], &fresh.planes[0][0] + sizeof fresh.planes,
                                          &follower.planes[0][0]);
        }
    }
    if (hooks != nullptr && hooks->end) {
        hooks->end(car);
    }
    physics.Remove(&car);
    slotCar = nullptr;
    return lap;
}

} // namespace

// The load runs through every stage in 50 ms slices of the fake clock, the
// object stage over several calls, and ends "FINISHED" without a warning.
TEST_F(LapMilestone, DefaultSiteLoadsInSlices)
{
    EXPECT_TRUE(loadLines.empty()) << loadLines.front();
    std::vector<std::string> distinct;
    int objectCalls = 0;
    int textureCalls = 0;
    for (std::string text : texts) {
        objectCalls += text == "Reading objects";
        if (text.rfind("Loading textures ", 0) == 0) {
            // A percentage that never shows 100 %.
            ++textureCalls;
            EXPECT_NE(text, "Loading textures 100%");
            text = "Loading textures";
        }
        if (distinct.empty() || distinct.back() != text) {
            distinct.push_back(text);
        }
    }
    const std::vector<std::string> expected = {
        "Paths", "Colours", "Duplicators", "Light schemes", "Reading objects", "Lighting info", "Bump textures",
        "Initialising colours", "Check points", "Extra data", "Start objects", "Map squares",
        "Path initialisation", "Loading textures", "Path adjustment", "FINISHED"};
    EXPECT_EQ(distinct, expected);
    EXPECT_GT(objectCalls, 2);
    EXPECT_GE(textureCalls, 1);
    EXPECT_EQ(world->config, 1);
}

// One full lap of the circuit each way: the follower passes every node in
// order and the finish and both splits in order, and the car stays inside
// the outer limits all the way.
TEST_F(LapMilestone, ScriptedCarDrivesALapEachWay)
{
    for (const int reversed : {0, 1}) {
        SCOPED_TRACE(reversed ? "reversed" : "forward");
        Lines().clear();
        SelectConfig(world, 1, reversed);
        ASSERT_EQ(world->reversed, reversed);
        const Path &path = *world->currentPath;
        ASSERT_GE(path.finishNode, 0);
        ASSERT_GE(path.splitNodes[0], 0);
        ASSERT_GE(path.splitNodes[1], 0);

        const LapRecord lap = DriveLap();
        const std::vector<int> order = {1, 2, 3, 1};
        EXPECT_EQ(lap.timingLines, order);
        EXPECT_GE(lap.nodesPassed, path.nodeCount);
        EXPECT_LE(lap.nodesPassed, path.nodeCount + 10);
        EXPECT_EQ(lap.lostTicks, 0);
        EXPECT_GT(lap.worstMargin, 0.0f);
        EXPECT_TRUE(lap.searchAgrees);
        EXPECT_TRUE(Lines().empty()) << Lines().front();
        const float lapSeconds = static_cast<float>(lap.ticks) / TicksPerSecond;
        RecordProperty(reversed ? "reversed_lap_seconds" : "forward_lap_seconds", std::to_string(lapSeconds));
        EXPECT_LT(lapSeconds, 300.0f);
    }
}

// The same driver in a two-lap race of the program's race object: the car's
// own race progress crosses the path's timing nodes, its split and lap
// packets go through the offline packet loop and are applied a frame later,
// and they count its laps, keep its best lap and finish it with a result.
// Along the way the path's lap distance rises by the lap length per lap,
// and the offset, lane and road edges agree with the car's position.
TEST_F(LapMilestone, ARaceOfTwoLapsIsTimedByRaceProgressAndItsPackets)
{
    SelectConfig(world, 1, 0);
    const Path &path = *world->currentPath;
    SavedRaceEntries entries;
    entries.Save();
    const int savedKind = RaceKind;
    const int savedState = GameState;
    RegisterRaceObjectServices();
    ResetSessionAsHost();
    RaceObject *race = CreateRaceObject();
    race->raceLength = 2;
    race->countdownSeconds = 0;
    RaceKind = 1;
    GameState = 2;
    PlayerInfo info{};
    std::strcpy(info.name, "Driver");
    info.playerId = 1;
    info.kind = KindLocal;
    PlayerSlot *slot = race->AddSlot(info);
    ASSERT_NE(slot, nullptr);

    struct Seen {
        std::vector<int> lines;         // timing lines as the car crossed them
        std::vector<int> appliedLaps;   // the lap counts of the applied lap packets
        std::vector<int> applied;       // the timing lines of the applied packets
        std::vector<uint32_t> appliedTicks;
        std::vector<uint32_t> queuedTicks;  // race ticks at which the car queued them
        float lapDistanceMax = 0.0f;
        int lapDistanceWraps = 0;
        float last = 0.0f;
        float offsetGap = 0.0f;         // largest |offset - measured offset|, m
        int laneMismatch = 0;
        int edgeMismatch = 0;
        int finished = 0;
        uint32_t bestLap = 0;
        int results = 0;
    };
    static Seen seen;
    seen = Seen{};
    static RaceObject *raceNow = nullptr;
    static const Path *pathNow = nullptr;
    raceNow = race;
    pathNow = &path;

    LapHooks hooks;
    hooks.finishes = 3;  // the start crossing, then two laps
    hooks.raceProgress = true;
    hooks.start = [slot](CarObject &car) {
        slot->car = &car;
        raceNow->tick = car.stepCount;
        car.StartRaceTiming();
        car.stepCount = raceNow->tick;
    };
    // The handlers tell the InSim guests: a split or lap applied, with the
    // race tick it was applied at.
    RaceLinks.inSimSplit = [](uint8_t, int split, uint32_t, uint32_t) {
        seen.applied.push_back(split);
        seen.appliedTicks.push_back(raceNow->tick);
    };
    RaceLinks.inSimLap = [](uint8_t, uint32_t, uint32_t, int laps) {
        seen.applied.push_back(1);
        seen.appliedTicks.push_back(raceNow->tick);
        seen.appliedLaps.push_back(laps);
    };
    static void (*queue)(const uint8_t *, int) = nullptr;
    queue = RaceServices.queueGamePacket;
    RaceServices.queueGamePacket = [](const uint8_t *bytes, int length) {
        if (bytes[0] == 38 || bytes[0] == 39) {
            seen.queuedTicks.push_back(raceNow->tick);
        }
        queue(bytes, length);
    };
    hooks.tick = [](CarObject &car) {
        // The race tick runs with the car's, and the next session frame
        // applies what the tick queued.
        ++raceNow->tick;
        ++ClockFrame;
        if (static_cast<int32_t>(OwnFrameMark - ClockFrame) < 0) {
            RaceFlushBatch();
        }
        RunSessionFrame();
        if (car.pathLapDistance + 50.0f < seen.last) {
            ++seen.lapDistanceWraps;
        }
        seen.last = car.pathLapDistance;
        seen.lapDistanceMax = std::max(seen.lapDistanceMax, car.pathLapDistance);
        if (car.progressNode >= 0) {
            // The offset against the span from the car's node, measured here.
            const int p = car.progressNode;
            const PathNode &a = pathNow->nodes[p];
            float along, lateral;
            Relative(a, car.position, along, lateral);
            seen.offsetGap = std::max(seen.offsetGap, std::fabs(lateral - car.progress[1]));
            const float width = car.roadEdges[1] - car.roadEdges[0];
            const int lane = std::clamp(static_cast<int>((car.progress[1] - car.roadEdges[0]) * 8.0f / width), 0, 7);
            seen.laneMismatch += lane != car.progressWord;
            seen.edgeMismatch += !(car.roadEdges[0] < 0.0f && car.roadEdges[1] > 0.0f);
        }
    };
    hooks.end = [slot](CarObject &car) {
        // One more frame applies the last lap's packet.
        ++ClockFrame;
        RaceFlushBatch();
        RunSessionFrame();
        seen.finished = car.resultRecorded;
        seen.bestLap = car.bestLapTime;
        seen.results = raceNow->resultCount;
        slot->car = nullptr;
    };
    const LapRecord lap = DriveLap(&hooks);

    EXPECT_EQ(lap.timingLines, (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
    EXPECT_EQ(seen.applied, (std::vector<int>{2, 3, 1, 2, 3, 1}));
    EXPECT_EQ(seen.appliedLaps, (std::vector<int>{1, 2}));
    // Each applied in the frame after the tick that queued it.
    ASSERT_EQ(seen.queuedTicks.size(), seen.appliedTicks.size());
    for (size_t i = 0; i < seen.queuedTicks.size(); ++i) {
        EXPECT_EQ(seen.appliedTicks[i], seen.queuedTicks[i] + 1) << i;
    }
    EXPECT_GT(seen.bestLap, 0u);
    EXPECT_EQ(seen.finished, 1);
    EXPECT_EQ(seen.results, 1);
    EXPECT_EQ(seen.lapDistanceWraps, 3);
    EXPECT_NEAR(seen.lapDistanceMax, path.nodes[path.finishNode == 0 ? path.nodeCount - 1 : path.finishNode - 1].distance,
                10.0f);
    EXPECT_LT(seen.offsetGap, 1.0f);
    EXPECT_EQ(seen.laneMismatch, 0);
    EXPECT_EQ(seen.edgeMismatch, 0);

    DeleteRaceObject();
    ResetSession(0, 0);
    entries.Restore();
    RaceKind = savedKind;
    GameState = savedState;
}

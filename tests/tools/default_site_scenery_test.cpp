// The default site's scenery and its sample layout, loaded from the files the
// generator writes: every object kind present and prepared clear of the
// roads, scenery motion repeatable from the race tick and the wind, a race
// start that keeps SharedRandom and the wind in step on every kind of
// program, and the sample autocross through the host's load, save and clear.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_files.h"
#include "tests/world/world_load_steps.h"
#include "core/fixed_math.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "tools/default_track.h"
#include "world/duplicator_object.h"
#include "world/figure_object.h"
#include "world/flag_object.h"
#include "world/human_system.h"
#include "world/layout.h"
#include "world/layout_packets.h"
#include "world/map_squares.h"
#include "world/object_holder.h"
#include "world/path.h"
#include "world/path_follower.h"
#include "world/shared_random.h"
#include "world/sphere_grid.h"
#include "world/start_lights.h"
#include "world/track_code.h"
#include "world/track_sites.h"
#include "world/tree_object.h"
#include "world/wind_rotor_object.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"
#include "world/world_object.h"
#include "render/object_file.h"
#include "race/race_progress.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/race_hooks.h"

namespace {

constexpr int32_t Metre = 65536;

std::vector<std::string> &Messages()
{
    static std::vector<std::string> lines;
    return lines;
}

void KeepMessage(const char *text, int /*colour*/)
{
    Messages().push_back(text);
}

uint32_t Stepped(uint32_t value, int steps)
{
    for (int i = 0; i < steps; ++i) {
        value = (value * 5 + 1) & 65535u;
    }
    return value;
}

// Loads the default site's configuration 1 as the program does (its
// start-up has built the sphere grid the trees grow along); null when the
// load failed.
World *LoadSite()
{
    BuildSphereGrid();
    const TrackSite &row = SiteTable[DefaultTrackSite];
    World *world = WorldCreate();
    if (WorldOpen(world, row.name, row.code, 0, 0, DefaultLayoutConfig, 0, 0) != 1) {
        WorldDestroy(world);
        return nullptr;
    }
    int steps = 0;
    while (!WorldLoadStep(world) && ++steps < 100000) {
    }
    if (WorldLoadFailed(world)) {
        WorldDestroy(world);
        return nullptr;
    }
    return world;
}

template <typename T> std::vector<T *> ObjectsOfType(World *world, int type)
{
    std::vector<T *> out;
    for (int i = 0; i < world->objectCount; ++i) {
        if (world->objects[i]->GetType() == type) {
            out.push_back(static_cast<T *>(world->objects[i]));
        }
    }
    return out;
}

// The solid surface under (x, y) between 5 m above z = 0 and 5 m below.
bool GroundAt(int32_t x, int32_t y)
{
    ContactProbe probe;
    probe.Clear();
    return SolidContactQuery(FixVector{x, y, -5 * Metre}, FixVector{0, 0, -10 * Metre}, probe) != 0;
}

// Serialised field by field: padding bytes never take part.
struct Bytes {
    std::vector<uint8_t> out;
    template <typename T> void Put(const T &value)
    {
        const auto *p = reinterpret_cast<const uint8_t *>(&value);
        out.insert(out.end(), p, p + sizeof value);
    }
    void Put(const FixVector &v)
    {
        Put(v.x);
        Put(v.y);
        Put(v.z);
    }
};

// A human system in memory: a body that stands in crowds, one that does not,
// and a world figure whose first poses lack group bit 0, so that the figure
// objects' clip search has to scan on from its draw.
class FakeHumans : public FigureHumanSystem {
public:
    static constexpr int Joints = 2;

    FakeHumans()
    {
        for (int k = 0; k < 4; ++k) {
            keys[k][0] = IdentityTransform;
            keys[k][1] = IdentityTransform;
            keys[k][0].position.x = 100 + k;
        }
        records[0] = {FigureRecordCrowdBody, 1.02f, {MakeBlock(2, 0), MakeBlock(1, 1)}};
        records[1] = {0, 1.0f, {MakeBlock(1, 2)}};
        records[2] = {FigureRecordWorldFigure, 0.98f, {MakeBlock(2, 0), MakeBlock(2, 1), MakeBlock(1, 2), MakeBlock(0x301, 3)}};
    }
    int RecordCount() const override { return 3; }
    uint32_t RecordFlags(int record) const override { return records[record].flags; }
    float RecordSize(int record) const override { return records[record].size; }
    int JointCount(int) const override { return Joints; }
    int BlockCount(int record) const override { return static_cast<int>(records[record].blocks.size()); }
    FigureBlock Block(int record, int block) const override { return records[record].blocks[block]; }
    void DefaultPose(int, FixTransform *out) const override
    {
        out[0] = out[1] = IdentityTransform;
    }
    void BlendPoses(int, const FixTransform *a, const FixTransform *, float, FixTransform *out) const override
    {
        out[0] = a[0];
        out[1] = a[1];
    }

private:
    FigureBlock MakeBlock(uint32_t groupMask, int set) const { return {0, groupMask, 0.0f, 1.0f, {keys[set], nullptr}}; }

    struct Record {
        uint32_t flags;
        float size;
        std::vector<FigureBlock> blocks;
    };
    FixTransform keys[4][Joints];
    Record records[3];
};

class DefaultSiteSceneryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildTrigTables();
        SetWorldMessagePrinter(KeepMessage);
        SetLoadClock(FakeLoadClock);
        SetLayoutServices(LayoutServices{});
        ASSERT_EQ(WriteDefaultTrack("."), nullptr);
        ASSERT_EQ(WriteDefaultLayout("."), nullptr);
        Messages().clear();
        world = LoadSite();
        loadMessages = Messages();
    }
    static void TearDownTestSuite()
    {
        WorldDestroy(world);
        world = nullptr;
        SetLoadClock(nullptr);
        SetWorldMessagePrinter(nullptr);
    }
    void SetUp() override { ASSERT_NE(world, nullptr); }

    static World *world;
    static std::vector<std::string> loadMessages;
};

World *DefaultSiteSceneryTest::world = nullptr;
std::vector<std::string> DefaultSiteSceneryTest::loadMessages;

// Every kind the object factory makes is on the site and prepared, and
// nothing of the scenery stands on a road or within 2 m of the outer limits
// of any configuration's path or pit lane.
TEST_F(DefaultSiteSceneryTest, EveryObjectKindLoadsPreparedAndClearOfTheRoads)
{
    EXPECT_TRUE(loadMessages.empty()) << loadMessages.front();
    const struct {
        int type;
        int count;   // 0: at least one
    } kinds[] = {{ObjectDuplicator, 0}, {ObjectWindRotor, 1}, {ObjectFigure, 4}, {ObjectZone, 0}, {ObjectPanel, 0},
                 {ObjectSolid, 0},      {ObjectCamera, 0},   {ObjectTree, 8},   {ObjectCrowd, 3}, {ObjectFlag, 3},
                 {ObjectStartGrid, 0}};
    for (const auto &kind : kinds) {
        const int n = static_cast<int>(ObjectsOfType<WorldObject>(world, kind.type).size());
        if (kind.count) {
            EXPECT_EQ(n, kind.count) << "type " << kind.type;
        } else {
            EXPECT_GT(n, 0) << "type " << kind.type;
        }
    }

    // The turbine is a 3D-object holder whose one child part is the rotor;
    // the rotor object takes the holder's bounding sphere above its foot.
    for (WindRotorObject *rotor : ObjectsOfType<WindRotorObject>(world, ObjectWindRotor)) {
        ASSERT_LT(rotor->duplicator, static_cast<uint32_t>(world->duplicatorCount));
        const Object3D *model = world->duplicators[rotor->duplicator].GetObject();
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->childCount, 1);
        EXPECT_GT(model->children[0].triangleCount, 0);
        EXPECT_GT(rotor->radius, 8 * Metre);
        EXPECT_GT(rotor->centreZ, 5 * Metre);
    }
    for (TreeObject *tree : ObjectsOfType<TreeObject>(world, ObjectTree)) {
        EXPECT_EQ(1u << tree->depth, tree->leafCount);
        EXPECT_EQ(tree->reachRadius, std::lround(tree->trunkRadius * 100.0f));
        EXPECT_GT(tree->radius, Metre);
        EXPECT_GT(tree->centreZ, Metre);
    }
    for (FlagObject *flag : ObjectsOfType<FlagObject>(world, ObjectFlag)) {
        ASSERT_LT(flag->surface, world->colours.count);
        EXPECT_STREQ(world->colours.records[flag->surface].name, "flag");
        for (int row = 0; row < FlagRows; ++row) {
            EXPECT_EQ(flag->Point(row, 0).free, 0);
            EXPECT_EQ(flag->Point(row, 0).position[0], flag->positionX);
        }
    }
    for (CrowdObject *crowd : ObjectsOfType<CrowdObject>(world, ObjectCrowd)) {
        EXPECT_EQ(crowd->SlotCount(), 72);
        EXPECT_GT(crowd->heightStart, 0.0f);
    }

    // Points of the scenery: every object's place, a flag's tip, and the
    // corners of the grandstand's tiers.
    std::vector<std::pair<int32_t, int32_t>> points;
    for (int i = 0; i < world->objectCount; ++i) {
        WorldObject *object = world->objects[i];
        const int type = object->GetType();
        if (type == ObjectWindRotor || type == ObjectFigure || type == ObjectTree || type == ObjectCrowd) {
            points.emplace_back(object->positionX, object->positionY);
        } else if (type == ObjectFlag) {
            const FlagObject *flag = static_cast<const FlagObject *>(object);
            points.emplace_back(flag->positionX, flag->positionY);
            points.emplace_back(flag->positionX + static_cast<int32_t>(flag->width * Metre), flag->positionY);
        }
    }
    int stands = 0;
    for (DuplicatorObject *copy : ObjectsOfType<DuplicatorObject>(world, ObjectDuplicator)) {
        const Object3D *model = copy->GetHolder() ? copy->GetHolder()->GetObject() : nullptr;
        if (!model || std::strcmp(model->name, "stand") != 0) {
            continue;
        }
        ++stands;
        EXPECT_EQ(copy->GetHolder()->placeable, 0);
        for (int k = 0; k < model->pointCount; ++k) {
            points.emplace_back(copy->positionX + model->points[k].x, copy->positionY + model->points[k].y);
        }
    }
    EXPECT_EQ(stands, 1);
    ASSERT_GT(points.size(), 30u);
    for (const auto &[x, y] : points) {
        SCOPED_TRACE(testing::Message() << "at " << x / double(Metre) << ", " << y / double(Metre));
        EXPECT_FALSE(GroundAt(x, y));
        for (int c = 0; c < world->configCount; ++c) {
            const Path &path = world->configs[c].path;
            for (int list = 0; list < 2; ++list) {
                const PathNode *nodes = list == 0 ? path.nodes : path.secondNodes;
                const int count = list == 0 ? path.nodeCount : path.secondNodeCount;
                for (int n = 0; n < count; ++n) {
                    const double dx = double(nodes[n].position[0] - x) / Metre;
                    const double dy = double(nodes[n].position[1] - y) / Metre;
                    const double limit = std::max(std::fabs(nodes[n].outerLeft), std::fabs(nodes[n].outerRight));
                    ASSERT_GT(std::hypot(dx, dy), limit + 2.0) << "config " << c + 1 << " list " << list << " node " << n;
                }
            }
        }
    }
}

// The scenery's motion, run twice from the same start, gives the same bits;
// it really moves, and a race tick that stands still moves nothing.
TEST_F(DefaultSiteSceneryTest, MotionIsRepeatableFromTheTickAndTheWind)
{
    const std::vector<WindRotorObject *> rotors = ObjectsOfType<WindRotorObject>(world, ObjectWindRotor);
    const std::vector<FlagObject *> flags = ObjectsOfType<FlagObject>(world, ObjectFlag);
    const std::vector<TreeObject *> trees = ObjectsOfType<TreeObject>(world, ObjectTree);
    constexpr uint32_t Ticks = 300;

    const auto snapshot = [&]() {
        Bytes b;
        for (const SphereGridEntry &entry : TreeSphereGrid.entries) {
            b.Put(entry.current);
            b.Put(entry.unit);
            b.Put(entry.velocity);
        }
        for (const WindRotorObject *rotor : rotors) {
            b.Put(rotor->rotorAngle);
            b.Put(rotor->transform.matrix.m);
        }
        for (const FlagObject *flag : flags) {
            for (const FlagPoint *set : {flag->points, flag->cells}) {
                const int n = set == flag->points ? FlagRows * FlagColumns : FlagCellRows * FlagCellColumns;
                for (int i = 0; i < n; ++i) {
                    b.Put(set[i].position);
                    b.Put(set[i].normal);
                    b.Put(set[i].velocity);
                }
            }
        }
        for (const TreeObject *tree : trees) {
            FixVector grid[SphereGridEntries];
            for (int i = 0; i < SphereGridEntries; ++i) {
                grid[i] = TreeSphereGrid.entries[i].current;
            }
            std::vector<TreeNode> nodes(MaxTreeNodes);
            const int count = tree->GenerateNodes(FixVector{tree->positionX, tree->positionY, 0}, grid, nodes.data());
            for (int i = 0; i < count; ++i) {
                b.Put(nodes[i].position);
            }
        }
        b.Put(world->wind.velocity);
        return b.out;
    };
    std::vector<uint16_t> restAngles;
    const auto run = [&](std::vector<uint8_t> &atRest) {
        FrameRandom = 321;
        restAngles.clear();
        for (WindRotorObject *rotor : rotors) {
            rotor->Prepare();
            rotor->lastTick = 0;
            restAngles.push_back(rotor->rotorAngle);
        }
        for (FlagObject *flag : flags) {
            flag->Prepare();
            flag->lastTick = 0;
        }
        BuildSphereGrid();
        world->ResetStartLightsAndWind(nullptr);
        world->SetWindBase(9.0f, 0.8f);
        SharedRandom = 4242;
        atRest = snapshot();
        for (uint32_t tick = 1; tick <= Ticks; ++tick) {
            world->StepStartLightsAndWind(nullptr);
            SwaySphereGrid(10, world->wind.velocity);
            for (WindRotorObject *rotor : rotors) {
                rotor->FaceWind(world->wind.baseDirection);
                rotor->AdvanceRotor(tick, world->wind.baseSpeed);
            }
            for (FlagObject *flag : flags) {
                flag->StepCloth(tick, world->wind.velocity, world->gravity);
            }
        }
        return snapshot();
    };

    std::vector<uint8_t> restA, restB;
    const std::vector<uint8_t> first = run(restA);
    const std::vector<uint8_t> second = run(restB);
    EXPECT_EQ(restA, restB);
    EXPECT_TRUE(first == second);
    EXPECT_FALSE(first == restA);

    // Each kind moved on its own.
    for (size_t r = 0; r < rotors.size(); ++r) {
        FixMatrix facing;
        FixRotationZ(facing, AngleFromRadians(0.8f));
        EXPECT_EQ(std::memcmp(rotors[r]->transform.matrix.m, facing.m, sizeof facing.m), 0);
        EXPECT_NE(rotors[r]->rotorAngle, restAngles[r]);
    }
    for (FlagObject *flag : flags) {
        const FlagPoint tip = flag->Point(FlagRows - 1, FlagColumns - 1);
        FlagObject rest(flag->positionX, flag->positionY);
        rest.poleHeight = flag->poleHeight;
        rest.width = flag->width;
        rest.height = flag->height;
        rest.InitPoints(world->gravity);
        const FlagPoint &restTip = rest.Point(FlagRows - 1, FlagColumns - 1);
        EXPECT_NE(std::memcmp(tip.position, restTip.position, sizeof tip.position), 0);
        EXPECT_TRUE(std::isfinite(tip.velocity[0]));
    }

    // The tick stands: nothing moves.
    for (WindRotorObject *rotor : rotors) {
        rotor->AdvanceRotor(Ticks, world->wind.baseSpeed);
    }
    for (FlagObject *flag : flags) {
        flag->StepCloth(Ticks, world->wind.velocity, world->gravity);
    }
    EXPECT_TRUE(snapshot() == second);
    BuildSphereGrid();
}

// A snapshot of the visibility lists of every configuration's path, each
// list sorted (removing an entry moves the last one into its place).
using ListEntries = std::vector<std::pair<uint16_t, uint8_t>>;
std::vector<ListEntries> PathLists(const World *world)
{
    std::vector<ListEntries> out;
    const auto add = [&](const IdList &list) {
        ListEntries entries;
        for (uint32_t i = 0; i < list.count; ++i) {
            entries.emplace_back(list.entries[i].id, list.entries[i].mask);
        }
        std::sort(entries.begin(), entries.end());
        out.push_back(entries);
    };
    for (int c = 0; c < world->configCount; ++c) {
        const Path &path = world->configs[c].path;
        for (const IdList &list : path.baseLists) {
            add(list);
        }
        for (int n = 0; n < path.nodeCount; ++n) {
            for (const IdList &list : path.nodes[n].deltas) {
                add(list);
            }
        }
    }
    return out;
}

bool SameRecord(const LayoutRecord &a, const LayoutRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The sample autocross loads as the host loads a layout, times
// "Autocross : 2 checkpoints", saves back to the same bytes and clears back
// to the site's own objects and path lists.
TEST_F(DefaultSiteSceneryTest, SampleLayoutLoadsSavesAndClears)
{
    ASSERT_EQ(CurrentWorld, world);
    const int savedConfig = TrackConfig, savedFlip = TrackFlip;
    TrackConfig = DefaultLayoutConfig;
    TrackFlip = 0;
    char code[16];
    GetTrackCode(code, sizeof code, world->trackName);
    const std::string name = std::string(code) + "_" + DefaultLayoutName;
    EXPECT_EQ(name, "KE1_autocross");
    const std::vector<uint8_t> file = ReadFileBytes("data/layout/" + name + ".lyt");
    const std::vector<LayoutRecord> records = DefaultLayoutRecords();
    ASSERT_EQ(file.size(), 12u + 8u * records.size());

    const int own = world->objectCount;
    const int ownCheckpoints = world->GetCheckpointCount();
    const std::vector<ListEntries> ownLists = PathLists(world);
    const int32_t *probePoint = world->currentPath->nodes[40].position;
    auto reference = std::make_unique<PathFollower>();
    ASSERT_GE(reference->FindPosition(probePoint, 1), 0);

    Messages().clear();
    ASSERT_EQ(OpenLayoutFile(name.c_str()), 1);
    EXPECT_EQ(LayoutRecordsToSend, static_cast<int>(records.size()));
    while (LayoutRecordsToSend > 0) {
        SendLayoutChunk();
    }
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().back(), "Autocross : 2 checkpoints");
    EXPECT_EQ(Messages().size(), 1u) << Messages().front();
    EXPECT_EQ(LayoutRouteLines.timingLineCount, 3);
    EXPECT_EQ(LayoutRouteLines.startOverride, 1);
    EXPECT_EQ(world->GetCheckpointCount(), 3);
    EXPECT_EQ(LayoutHasStartPoint(), 1);
    EXPECT_EQ(CountLayoutCheckCircles(), 2);
    EXPECT_STREQ(LayoutName, name.c_str());

    // A race start on the layout's own start point draws the wind but no
    // red delay; cleared, the site's own start draws the delay again.
    StartRaceView race = {};
    race.startOffset = 10;
    race.raceLength = 5;
    race.windSetting = 2;
    race.raceKind = 1;
    const auto raceStartSteps = [&]() {
        SharedRandom = 500;
        world->ResetStartLightsAndWind(&race);
        int steps = 0;
        for (uint32_t value = 500; value != SharedRandom && steps < 10; ++steps) {
            value = Stepped(value, 1);
        }
        return steps;
    };
    EXPECT_EQ(raceStartSteps(), 2);
    EXPECT_EQ(world->redDelay, 0u);

    // Objects in file order, on the road (z 0), then the circles.
    const int circles = 3;
    const int objects = static_cast<int>(records.size()) - circles;
    ASSERT_EQ(world->layoutObjectCount, objects);
    ASSERT_EQ(world->objectCount, own + objects);
    ASSERT_EQ(LayoutCircles.count, circles);
    for (int i = 0; i < objects; ++i) {
        const auto *object = static_cast<const DuplicatorObject *>(world->objects[own + i]);
        ASSERT_EQ(object->GetType(), ObjectDuplicator);
        EXPECT_TRUE(LayoutRecordsMatch(PackLayoutRecord(*object), records[i])) << i;
        EXPECT_NEAR(object->height, 0.0f, 0.001f) << i;
        EXPECT_TRUE(GroundAt(object->positionX, object->positionY)) << i;
    }
    for (int i = 0; i < circles; ++i) {
        EXPECT_TRUE(SameRecord(LayoutCircles.records[i], records[objects + i])) << i;
    }
    // Placed objects join every base list with a full mask; timing objects
    // are no visible objects.
    int placed = 0;
    for (int n = own; n < world->objectCount; ++n) {
        const bool plain = records[n - own].flags == 0;
        placed += plain ? 1 : 0;
        for (int c = 0; c < world->configCount; ++c) {
            for (const IdList &list : world->configs[c].path.baseLists) {
                int found = 0;
                for (uint32_t k = 0; k < list.count; ++k) {
                    found += list.entries[k].id == n && list.entries[k].mask == 0xFF ? 1 : 0;
                }
                EXPECT_EQ(found, plain ? 1 : 0) << "object " << n << " config " << c + 1;
            }
        }
    }
    EXPECT_EQ(placed, 14);

    // Saved, the records come back in duplicator order: the sample file's
    // header and records. A placed object's height is measured from the
    // ground on every load, and the height byte floors it to 1/4 m: the
    // contact query finds the road a few 1/65536 m below z 0, so it may
    // come back one step down. The records match by the game's own rule
    // (every byte but the height), and a second load and save changes
    // nothing.
    const auto save = [&](const std::string &as) {
        EXPECT_EQ(SaveLayoutFile(as.c_str(), nullptr), 1);
        return ReadFileBytes("data/layout/" + as + ".lyt");
    };
    const std::vector<uint8_t> saved = save(name + "_saved");
    ASSERT_EQ(saved.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 12, saved.begin()));
    for (size_t i = 0; i < records.size(); ++i) {
        const LayoutRecord back = LayoutRecordFromBytes(&saved[12 + 8 * i]);
        EXPECT_TRUE(LayoutRecordsMatch(back, records[i])) << i;
        EXPECT_TRUE(back.height == records[i].height || back.height == records[i].height - 1) << i;
    }
    ASSERT_EQ(OpenLayoutFile((name + "_saved").c_str()), 1);
    while (LayoutRecordsToSend > 0) {
        SendLayoutChunk();
    }
    EXPECT_EQ(world->layoutObjectCount, objects);
    EXPECT_EQ(save(name + "_again"), saved);

    // Cleared through its packet, the world holds its own objects again.
    SendLayoutClear();
    FlushLayoutGameBatch();
    EXPECT_EQ(world->objectCount, own);
    EXPECT_EQ(world->layoutObjectCount, 0);
    EXPECT_EQ(LayoutCircles.count, 0);
    EXPECT_EQ(LayoutRouteLines.timingLineCount, 0);
    EXPECT_EQ(LayoutRouteLines.startOverride, 0);
    EXPECT_EQ(world->GetCheckpointCount(), ownCheckpoints);
    EXPECT_EQ(raceStartSteps(), 3);
    EXPECT_GT(world->redDelay, 0u);
    world->ResetStartLightsAndWind(nullptr);
    EXPECT_TRUE(PathLists(world) == ownLists);
    auto follower = std::make_unique<PathFollower>();
    ASSERT_GE(follower->FindPosition(probePoint, 1), 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(std::memcmp(follower->planes[p], reference->planes[p], static_cast<size_t>(own)), 0) << p;
    }

    LayoutLoaded = 0;
    LayoutName[0] = 0;
    LayoutLaps = 1;
    TrackConfig = savedConfig;
    TrackFlip = savedFlip;
}

namespace {

// What the sample autocross run said and sent.
struct RouteSeen {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<std::string> messages;
    CarObject *car = nullptr;
    alignas(8) unsigned char slotBytes[64] = {};
};
RouteSeen routeSeen;

}  // namespace

// The sample autocross times a run with its own lines and circles: driven
// up the straight through every circle, the car crosses checkpoint 1,
// checkpoint 2 and the finish, each sending its timing packet; a run that
// misses circle 1 is told "Wrong route" and queues a 45 s penalty; a run
// through the restricted area is told "Restricted area" and penalised too.
TEST_F(DefaultSiteSceneryTest, SampleLayoutTimesARunWithItsLinesAndCircles)
{
    ASSERT_EQ(CurrentWorld, world);
    const int savedConfig = TrackConfig, savedFlip = TrackFlip;
    TrackConfig = DefaultLayoutConfig;
    TrackFlip = 0;
    char code[16];
    GetTrackCode(code, sizeof code, world->trackName);
    const std::string name = std::string(code) + "_" + DefaultLayoutName;
    ASSERT_EQ(OpenLayoutFile(name.c_str()), 1);
    while (LayoutRecordsToSend > 0) {
        SendLayoutChunk();
    }
    ASSERT_EQ(LayoutRouteLines.timingLineCount, 3);
    ASSERT_EQ(CountLayoutCheckCircles(), 2);

    const CarRaceServices savedServices = RaceServices;
    const RaceHooks savedHooks = VehicleRaceHooks;
    RaceServices = CarRaceServices{};
    VehicleRaceHooks = RaceHooks{};
    RaceServices.queueGamePacket = [](const uint8_t *b, int n) { routeSeen.packets.emplace_back(b, b + n); };
    RaceServices.printMessage = [](const char *text, int) { routeSeen.messages.emplace_back(text); };
    RaceServices.slotRecord = [](int) { return reinterpret_cast<PlayerSlot *>(routeSeen.slotBytes); };
    RaceServices.playerId = [](const PlayerSlot *) { return uint8_t{7}; };
    VehicleRaceHooks.slotCount = [] { return 1; };
    VehicleRaceHooks.slotCar = [](int) { return routeSeen.car; };

    // A run up the straight from the start point at y 40, at x(y).
    const auto run = [](float (*x)(float y)) {
        routeSeen.packets.clear();
        routeSeen.messages.clear();
        CarObject car;
        routeSeen.car = &car;
        car.nextLine = 2;
        car.lastZone = 255;
        car.nextCheckpoint = 0;
        car.behindLine = 0;
        for (float y = 40.0f; y <= 640.0f; y += 0.25f) {
            car.position = {MetresToFix(x(y)), MetresToFix(y), 0};
            CheckCircleZones(car);
            CheckLapLines(car);
        }
        routeSeen.car = nullptr;
        std::vector<int> kinds;
        for (const std::vector<uint8_t> &p : routeSeen.packets) {
            kinds.push_back(p[0] == 38 ? p[2] : p[0] == 39 ? 1 : p[0] == 50 ? -p[2] : 0);
        }
        return kinds;
    };
    // Splits 2 and 3 and the lap (1); -45 a 45 s penalty.
    EXPECT_EQ(run([](float) { return 0.0f; }), (std::vector<int>{2, 3, 1}));
    EXPECT_TRUE(routeSeen.messages.empty());

    // Around circle 1 (radius 5 m at y 300): circle 2 comes out of order and
    // the finish finds a checkpoint missing.
    const std::vector<int> skipped = run([](float y) { return y > 290.0f && y < 310.0f ? 8.0f : 0.0f; });
    EXPECT_EQ(skipped, (std::vector<int>{2, 3, -45, -45, 1}));
    EXPECT_EQ(routeSeen.messages, (std::vector<std::string>{"Wrong route", "Wrong route"}));
    for (const std::vector<uint8_t> &p : routeSeen.packets) {
        if (p[0] == 50) {
            EXPECT_EQ(p, (std::vector<uint8_t>{50, 7, 45, 2}));
        }
    }

    // Through the restricted area on the left verge (x -9, y 540).
    EXPECT_EQ(run([](float y) { return y > 535.0f && y < 545.0f ? -9.0f : 0.0f; }),
              (std::vector<int>{2, 3, -45, 1}));
    EXPECT_EQ(routeSeen.messages, std::vector<std::string>{"Restricted area"});

    RaceServices = savedServices;
    VehicleRaceHooks = savedHooks;
    SendLayoutClear();
    FlushLayoutGameBatch();
    LayoutLoaded = 0;
    LayoutName[0] = 0;
    LayoutLaps = 1;
    TrackConfig = savedConfig;
    TrackFlip = savedFlip;
}

// A race start as it acts on the world (the wind and the red delay drawn,
// the sphere grid reset, then World::CreateFigures), followed by 1000 ticks
// of wind: a drawing program with humans, a dedicated host without graphics
// and a drawing program without a human system end with the same
// SharedRandom and the same wind, bit for bit. There is no race session
// yet, so the test performs those steps itself.
TEST(DefaultSiteRaceStart, FiguresAndWindStayInStepWithAndWithoutGraphics)
{
    BuildTrigTables();
    SetWorldMessagePrinter(KeepMessage);
    SetLoadClock(FakeLoadClock);
    ASSERT_EQ(WriteDefaultTrack("."), nullptr);
    const int savedGraphics = GraphicsEnabled, savedDedicated = DedicatedMode;
    FakeHumans humans;

    struct Mode {
        const char *name;
        int graphics;
        int dedicated;
        const FigureHumanSystem *humans;
    };
    const Mode modes[] = {
        {"graphics with humans", 1, DedicatedNone, &humans},
        {"dedicated host without graphics", 0, DedicatedConsole, nullptr},
        {"graphics without a human system", 1, DedicatedNone, nullptr},
    };
    struct Outcome {
        uint32_t afterFigures;
        uint32_t afterWind;
        WindState wind;
        uint32_t redDelay;
    };
    std::vector<Outcome> outcomes;
    for (const Mode &mode : modes) {
        SCOPED_TRACE(mode.name);
        GraphicsEnabled = mode.graphics;
        DedicatedMode = mode.dedicated;
        SetFigureHumanSystem(mode.humans);
        World *world = LoadSite();
        ASSERT_NE(world, nullptr);

        StartRaceView race = {};
        race.startOffset = 10;
        race.raceLength = 5;
        race.windSetting = 2;
        race.raceKind = 1;
        SharedRandom = 31337;
        world->ResetStartLightsAndWind(&race);
        EXPECT_EQ(SharedRandom, Stepped(31337, 3));   // wind speed, direction, red delay
        BuildSphereGrid();
        const uint32_t before = SharedRandom;
        world->CreateFigures();
        // One step per crowd slot, one per figure object, whatever was drawn.
        int steps = 0;
        for (CrowdObject *crowd : ObjectsOfType<CrowdObject>(world, ObjectCrowd)) {
            steps += crowd->SlotCount();
        }
        steps += static_cast<int>(ObjectsOfType<FigureObject>(world, ObjectFigure).size());
        EXPECT_EQ(steps, 3 * 72 + 4);
        EXPECT_EQ(SharedRandom, Stepped(before, steps));

        int spectators = 0;
        for (CrowdObject *crowd : ObjectsOfType<CrowdObject>(world, ObjectCrowd)) {
            spectators += crowd->figureCount;
        }
        int marshals = 0;
        for (FigureObject *figure : ObjectsOfType<FigureObject>(world, ObjectFigure)) {
            marshals += figure->figure ? 1 : 0;
        }
        if (mode.humans) {
            EXPECT_GT(spectators, 50);
            EXPECT_LT(spectators, 3 * 72);
            EXPECT_EQ(marshals, 4);
        } else {
            EXPECT_EQ(spectators, 0);
            EXPECT_EQ(marshals, 0);
        }

        Outcome outcome;
        outcome.afterFigures = SharedRandom;
        for (int tick = 0; tick < 1000; ++tick) {
            world->StepStartLightsAndWind(&race);
        }
        outcome.afterWind = SharedRandom;
        outcome.wind = world->wind;
        outcome.redDelay = world->redDelay;
        outcomes.push_back(outcome);
        EXPECT_GT(world->wind.baseSpeed, 0.0f);

        world->ReleaseFigures();
        WorldDestroy(world);
    }
    SetFigureHumanSystem(nullptr);
    GraphicsEnabled = savedGraphics;
    DedicatedMode = savedDedicated;
    SetLoadClock(nullptr);
    SetWorldMessagePrinter(nullptr);

    ASSERT_EQ(outcomes.size(), 3u);
    for (size_t m = 1; m < outcomes.size(); ++m) {
        SCOPED_TRACE(modes[m].name);
        EXPECT_EQ(outcomes[m].afterFigures, outcomes[0].afterFigures);
        EXPECT_EQ(outcomes[m].afterWind, outcomes[0].afterWind);
        EXPECT_EQ(outcomes[m].redDelay, outcomes[0].redDelay);
        EXPECT_EQ(std::memcmp(&outcomes[m].wind, &outcomes[0].wind, sizeof(WindState)), 0);
    }
}

} // namespace

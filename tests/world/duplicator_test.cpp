#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/world/world_scene.h"
#include "vehicle/rigid_body.h"
#include "world/world_object.h"

namespace {

// Writes the copy as a world record (less its last `cut` bytes) and reads it
// back through the factory.
WorldObjectResult RoundTrip(int32_t x, int32_t y, const DuplicatorFields &copy, size_t cut = 0)
{
    static WorldWriter out;
    static DataStream stream;
    out.bytes.clear();
    WriteDuplicator(out, 251, ObjectHeaderAt(ObjectDuplicator, x, y), copy);
    out.bytes.resize(out.bytes.size() - cut);
    out.Open(stream, 251);
    return CreateWorldObject(&stream, 251);
}

void Free(WorldObject *object)
{
    if (object) {
        object->Release();
        delete object;
    }
}

} // namespace

TEST(Duplicators, RecordTakesUpItsIndexUnlessFlaggedAndRefusesOneBeyondTheTable)
{
    TestWorld scene;
    scene.MakeHolders(2);
    MakeBoxHolder(scene.Holder(0), "box", HolderStatic);
    MakeBoxHolder(scene.Holder(1), "sign", HolderStatic);

    struct Case {
        const char *name;
        uint32_t flags;
        uint16_t index;
        int error;
        uint16_t duplicator;
        uint32_t flagsAfter;
    } cases[] = {
        {"flag bit 3: index not taken, flags as read", 0xABCD0028u, 1, WorldObjectOk, NoDuplicator, 0xABCD0028u},
        {"index taken: bit 3 and bits 16..31 cleared", 0x00050020u, 1, WorldObjectOk, 1, 0x0020u},
        {"65535 alone is none", 0x40u, NoDuplicator, WorldObjectOk, NoDuplicator, 0x40u},
        {"index at the table's count", 0u, 2, WorldObjectBadRecord, 0, 0},
        {"index far beyond the table", 0u, 65534, WorldObjectBadRecord, 0, 0},
    };
    for (const Case &c : cases) {
        DuplicatorFields copy;
        copy.flags = c.flags;
        copy.duplicator = c.index;
        copy.heading = 1.25f;
        copy.height = 2.5f;
        copy.number = 7;
        copy.markerWidth = 3;
        const WorldObjectResult result = RoundTrip(Fix(3.0f), Fix(-4.0f), copy);
        ASSERT_EQ(result.error, c.error) << c.name;
        if (c.error != WorldObjectOk) {
            continue;
        }
        auto *read = static_cast<DuplicatorObject *>(result.object);
        EXPECT_EQ(read->duplicator, c.duplicator) << c.name;
        EXPECT_EQ(read->flags, c.flagsAfter) << c.name;
        EXPECT_EQ(read->positionX, Fix(3.0f));
        EXPECT_EQ(read->positionY, Fix(-4.0f));
        EXPECT_FLOAT_EQ(read->heading, 1.25f);
        EXPECT_FLOAT_EQ(read->height, 2.5f);
        EXPECT_EQ(read->number, 7);
        EXPECT_EQ(read->markerWidth, 3);
        Free(read);
    }

    // Any cut of the record is refused.
    for (size_t cut = 1; cut <= DuplicatorRecordSize; ++cut) {
        const WorldObjectResult result = RoundTrip(0, 0, DuplicatorFields{}, cut);
        EXPECT_NE(result.error, WorldObjectOk) << cut;
        Free(result.object);
    }
}

TEST(Duplicators, DetailLevelsFollowTheHolder)
{
    TestWorld scene;
    scene.MakeHolders(4);
    // Cones whose profile reaches 0.5 m from its middle height (0.4 m).
    MakeConeHolder(scene.Holder(0), HolderStatic, 4, 0.3f, 0.8f);
    MakeConeHolder(scene.Holder(1), HolderStatic, 20, 0.3f, 0.8f);
    // Boxes of three levels at 100, 200 and 300 m: one small, one far over 64 m.
    MakeBoxHolder(scene.Holder(2), "small", HolderStatic, 0.3f, 0.6f, 3);
    MakeBoxHolder(scene.Holder(3), "hall", HolderStatic, 80.0f, 40.0f, 3);

    const int32_t r = Fix(0.5f);
    struct Level {
        int segments;
        int32_t distance;
    };
    struct Case {
        const char *name;
        int holder;
        int levelCount;
        Level levels[3];
    } cases[] = {
        {"lathe of 4 segments", 0, 2, {{5, 32 * r}, {3, 256 * r}}},
        {"lathe of 20 segments", 1, 3, {{20, 32 * r}, {10, 128 * r}, {5, 256 * r}}},
        // Radius about 0.52 m: 200 m is beyond 256 R and is cut there.
        {"small 3D object", 2, 3, {{0, Fix(100.0f)}, {0, 0}, {0, 0}}},
        {"3D object beyond 64 m", 3, 3, {{0, Fix(100.0f)}, {0, Fix(200.0f)}, {0, Fix(16384.0f)}}},
    };
    for (const Case &c : cases) {
        DuplicatorObject *copy = scene.Place(c.holder, 10.0f, 20.0f);
        ASSERT_EQ(copy->levelCount, c.levelCount) << c.name;
        for (int i = 0; i < c.levelCount; ++i) {
            if (scene.Holder(c.holder).kind == HolderLathe) {
                EXPECT_EQ(copy->levels[i].segments, c.levels[i].segments) << c.name << " level " << i;
            }
            if (c.levels[i].distance != 0) {
                EXPECT_EQ(copy->levels[i].maxDistance, c.levels[i].distance) << c.name << " level " << i;
            }
        }
        EXPECT_EQ(copy->distanceFlag, scene.Holder(c.holder).kind == HolderObject3D ? 1 : 0) << c.name;
        // Every level ends by 256 x the bounding radius (capped at 64 m), the
        // last one exactly there.
        const int32_t capped = copy->radius < Fix(64.0f) ? copy->radius : Fix(64.0f);
        for (int i = 0; i < c.levelCount; ++i) {
            EXPECT_LE(copy->levels[i].maxDistance, capped * 256) << c.name << " level " << i;
        }
        EXPECT_EQ(copy->levels[c.levelCount - 1].maxDistance, capped * 256) << c.name;
        EXPECT_EQ(copy->minX, copy->maxX);
        EXPECT_EQ(copy->minX, Fix(10.0f));
    }
    EXPECT_EQ(scene.Holder(0).lathe->segments, 5);
    EXPECT_GT(scene.world->objects[3]->radius, Fix(64.0f));
}

TEST(Duplicators, PlacementScalesAndRaisesTheCentre)
{
    TestWorld scene;
    scene.MakeHolders(1);
    MakeConeHolder(scene.Holder(0), HolderStatic, 8, 0.3f, 0.8f);
    scene.Holder(0).scale = 2.0f;
    auto *copy = scene.Add(new DuplicatorObject(Fix(5.0f), Fix(6.0f)));
    copy->height = 1.5f;
    copy->pitch = 3.14159265f;   // upside down: the centre goes below the base
    copy->AssignDuplicator(0);
    copy->Prepare();
    EXPECT_NEAR(copy->radius / 65536.0, 1.0, 1e-4);
    EXPECT_NEAR(copy->centreX / 65536.0, 5.0, 1e-3);
    EXPECT_NEAR(copy->centreY / 65536.0, 6.0, 1e-3);
    EXPECT_NEAR(copy->centreZ / 65536.0, 1.5 - 0.8, 1e-3);

    // Without a duplicator the copy is a point at the ground.
    copy->ClearDuplicator();
    EXPECT_EQ(copy->radius, 0);
    EXPECT_EQ(copy->centreZ, 0);
}

TEST(Duplicators, MovableHoldersGetBodiesAndFailuresNameTheObject)
{
    TestWorld scene;
    scene.MakeHolders(6);
    MakeBoxHolder(scene.Holder(0), "crate", HolderMovable);
    MakeBoxHolder(scene.Holder(1), "barrel", HolderMovableDynamic);
    MakeConeHolder(scene.Holder(2), HolderMovable);
    MakeBoxHolder(scene.Holder(3), "wall", HolderStatic);
    MakeBoxHolder(scene.Holder(4), "flat", HolderMovable);
    scene.Holder(4).object->triangleCount = 0;   // nothing to collide with
    MakeBoxHolder(scene.Holder(5), "ghost", HolderMovable);
    scene.Holder(5).density = 0.0f;               // no mass

    struct Case {
        int holder;
        bool body;
        int dynamic;
        const char *line;
    } cases[] = {
        {0, true, 0, nullptr},
        {1, true, 1, nullptr},
        {2, true, 0, nullptr},
        {3, false, 0, nullptr},
        {4, false, 0, "flat : No physics - No points in lowest LOD"},
        {5, false, 0, "ghost : No physics - No usable mass"},
    };
    for (const Case &c : cases) {
        PrintedLines().clear();
        DuplicatorObject *copy = scene.Place(c.holder, 12.0f, -3.0f, 0.5f);
        copy->height = 0.25f;
        copy->CreateBody();
        ASSERT_EQ(copy->body != nullptr, c.body) << c.holder;
        if (c.line) {
            ASSERT_EQ(PrintedLines().size(), 1u) << c.holder;
            EXPECT_EQ(PrintedLines()[0], c.line);
        } else {
            EXPECT_TRUE(PrintedLines().empty()) << c.holder;
        }
        if (!c.body) {
            continue;
        }
        const RigidBody &body = *copy->body;
        EXPECT_EQ(body.dynamic, c.dynamic) << c.holder;
        EXPECT_EQ(body.moving, 0);
        EXPECT_EQ(body.owner, copy);
        EXPECT_GT(body.mass, 0.0f);
        EXPECT_FLOAT_EQ(body.stiffness, 20000.0f);
        EXPECT_FLOAT_EQ(body.friction, 0.8f);
        EXPECT_FLOAT_EQ(body.damping, 100.0f);
        EXPECT_EQ(body.position.x, Fix(12.0f));
        EXPECT_EQ(body.position.y, Fix(-3.0f));
        EXPECT_EQ(body.position.z, Fix(0.25f));
        // Turned by the heading about z.
        EXPECT_NEAR(body.orientation[0], std::cos(0.5f), 1e-5);
        EXPECT_NEAR(body.orientation[3], std::sin(0.5f), 1e-5);
        EXPECT_FLOAT_EQ(body.orientation[8], 1.0f);
    }
}

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "core/fixed_math.h"
#include "render/model_node.h"
#include "render/object_file.h"
#include "tests/world/world_scene.h"
#include "world/panel_object.h"
#include "world/track_colours.h"

namespace {

// A 3D object for holders, freed with the fixture.
struct Box {
    Object3D object;
    explicit Box(int levels = 2)
    {
        InitObject3D(&object);
        BuildBoxObject(object, "gantry", 4.0f, 0.5f, 6.0f, levels, 3);
        SetObjectSurface(object, 0, 1, "l_red1", 255, 20, 20);
        SetObjectSurface(object, 0, 2, "l_green", 20, 255, 20);
    }
    ~Box() { FreeObject3D(&object); }
};

HolderFields GantryFields(const Object3D &object)
{
    HolderFields fields;
    fields.kind = HolderObject3D;
    fields.flags1 = 0x11;
    fields.flags2 = HolderUnsortedAlpha | HolderExtraFloats;
    fields.flags3 = 0x33;
    fields.scale = 1.5f;
    fields.stiffness = 1000.0f;
    fields.friction = 0.5f;
    fields.damping = 20.0f;
    fields.density = 3.0f;
    fields.movable = HolderStatic;
    fields.placeable = 1;
    fields.pitPlace = 0;
    fields.spare = 9;
    fields.object = &object;
    return fields;
}

HolderFields ConeFields()
{
    HolderFields fields;
    fields.kind = HolderLathe;
    fields.movable = HolderMovable;
    fields.pitPlace = 1;
    fields.lathe.name = "cone";
    fields.lathe.segments = 8;
    fields.lathe.points = {{0.0f, 0.7f}, {0.15f, 0.0f}, {0.2f, 0.0f}};
    // The second link names one point twice: the long link form.
    fields.lathe.links = {{4, 1, 1, 0, 0, 1}, {5, 1, 0, 0, 2, 2}};
    return fields;
}

// Reads one holder from the writer's bytes, then checks that the record was
// consumed exactly (a marker byte follows it).
int ReadBack(WorldWriter &out, ObjectHolder &holder, bool &exact)
{
    out.U8(0xA5);
    DataStream stream;
    out.Open(stream, 251);
    const int result = holder.Read(&stream, 251);
    exact = stream.ReadU8() == 0xA5 && stream.Remaining() == 0;
    return result;
}

} // namespace

TEST(ObjectHolder, WrittenHoldersReadBackWhole)
{
    BuildTrigTables();
    Box box;
    {
        WorldWriter out;
        WriteObjectHolder(out, GantryFields(box.object));
        ObjectHolder holder;
        bool exact = false;
        ASSERT_EQ(ReadBack(out, holder, exact), HolderReadOk);
        EXPECT_TRUE(exact) << "seven floats read, five kept";
        EXPECT_EQ(holder.kind, HolderObject3D);
        EXPECT_EQ(holder.flags1, 0x11);
        EXPECT_EQ(holder.flags2, HolderUnsortedAlpha | HolderExtraFloats);
        EXPECT_EQ(holder.flags3, 0x33);
        EXPECT_FLOAT_EQ(holder.scale, 1.5f);
        EXPECT_FLOAT_EQ(holder.stiffness, 1000.0f);
        EXPECT_FLOAT_EQ(holder.friction, 0.5f);
        EXPECT_FLOAT_EQ(holder.damping, 20.0f);
        EXPECT_FLOAT_EQ(holder.density, 3.0f);
        EXPECT_EQ(holder.placeable, 1);
        EXPECT_EQ(holder.spare, 9);
        const Object3D *object = holder.GetObject();
        ASSERT_NE(object, nullptr);
        EXPECT_STREQ(holder.GetName(), "gantry");
        EXPECT_EQ(object->lodCount, 2);
        EXPECT_EQ(object->pointCount, 8);
        EXPECT_EQ(object->triangleCount, 24);
        EXPECT_STREQ(reinterpret_cast<const char *>(object->surfaces.cells[1].bytes + 4), "l_red1");
        EXPECT_STREQ(reinterpret_cast<const char *>(object->surfaces.cells[2].bytes + 4), "l_green");
        holder.Free();
        EXPECT_EQ(holder.object, nullptr);
    }
    {
        WorldWriter out;
        WriteObjectHolder(out, ConeFields());
        ObjectHolder holder;
        bool exact = false;
        ASSERT_EQ(ReadBack(out, holder, exact), HolderReadOk);
        EXPECT_TRUE(exact);
        EXPECT_EQ(holder.GetObject(), nullptr);
        ASSERT_NE(holder.lathe, nullptr);
        EXPECT_STREQ(holder.GetName(), "cone");
        EXPECT_EQ(holder.movable, HolderMovable);
        EXPECT_EQ(holder.pitPlace, 1);
        EXPECT_EQ(holder.lathe->segments, 8);
        ASSERT_EQ(holder.lathe->count, 3u);
        EXPECT_FLOAT_EQ(holder.lathe->pairs[1].a, 0.15f);
        ASSERT_EQ(holder.lathe->linkCount, 2u);
        EXPECT_EQ(holder.lathe->links[1].surface, 5);
        EXPECT_EQ(holder.lathe->links[1].curveA, 2);
        EXPECT_EQ(holder.lathe->links[1].curveB, 2);
        holder.Free();
    }
}

// The model of a kind-0 holder is level 0 of the root at the holder's scale;
// freeing it (and then the holder) leaves nothing, and a lathe holder gets
// an empty node until the world's graphics phase builds it.
TEST(ObjectHolder, BuildModelScalesLevelZeroAndFreesIt)
{
    BuildTrigTables();
    Box box;
    WorldWriter out;
    WriteObjectHolder(out, GantryFields(box.object));
    ObjectHolder holder;
    bool exact = false;
    ASSERT_EQ(ReadBack(out, holder, exact), HolderReadOk);
    holder.BuildModel();
    ASSERT_NE(holder.model, nullptr);
    const ModelNode &node = *holder.model;
    EXPECT_EQ(node.childCount, 0);
    ASSERT_GT(node.triangleCount, 0);
    int levelZero = 0;
    for (int t = 0; t < holder.object->triangleCount; t++)
        levelZero += holder.object->triangles[t].lod == 0;
    EXPECT_EQ(node.triangleCount, levelZero);
    // Every vertex is an object point times 1.5 (98304 in 16.16).
    for (int v = 0; v < node.vertexCount; v++) {
        bool found = false;
        for (int p = 0; p < holder.object->pointCount && !found; p++) {
            const ObjectPoint &point = holder.object->points[p];
            found = node.vertices[v].position[0] == static_cast<int32_t>(int64_t{point.x} * 98304 >> 16) &&
                    node.vertices[v].position[1] == static_cast<int32_t>(int64_t{point.y} * 98304 >> 16) &&
                    node.vertices[v].position[2] == static_cast<int32_t>(int64_t{point.z} * 98304 >> 16);
        }
        EXPECT_TRUE(found) << "vertex " << v;
    }
    // Built again, the first model is freed, not leaked.
    holder.BuildModel();
    holder.FreeModel();
    EXPECT_EQ(holder.model, nullptr);
    holder.BuildModel();
    holder.Free();
    EXPECT_EQ(holder.model, nullptr);

    WorldWriter coneOut;
    WriteObjectHolder(coneOut, ConeFields());
    ObjectHolder cone;
    ASSERT_EQ(ReadBack(coneOut, cone, exact), HolderReadOk);
    EXPECT_EQ(cone.GetObject(), nullptr);
    EXPECT_EQ(cone.GetLatheObject(), cone.lathe);
    cone.BuildModel();
    ASSERT_NE(cone.model, nullptr);
    EXPECT_EQ(cone.model->triangleCount, 0);
    cone.Free();
    EXPECT_EQ(cone.model, nullptr);
}

TEST(ObjectHolder, DamagedRecordsAreRefusedAndHoldNothing)
{
    BuildTrigTables();
    struct Case {
        const char *name;
        std::function<void(Object3D &, HolderFields &)> damage;
        int error;
    } cases[] = {
        {"kind 2", [](Object3D &, HolderFields &f) { f.kind = 2; }, HolderBadKind},
        {"no detail level", [](Object3D &o, HolderFields &) { o.lodCount = 0; }, HolderBadObject},
        {"five detail levels", [](Object3D &o, HolderFields &) { o.lodCount = 5; }, HolderBadObject},
        {"corner beyond the points", [](Object3D &o, HolderFields &) { o.triangles[3].corners[1] = 8; },
         HolderBadObject},
        {"lathe link beyond the profile",
         [](Object3D &, HolderFields &f) {
             f = ConeFields();
             f.lathe.links[0].curveB = 3;
         },
         HolderBadObject},
    };
    for (const Case &c : cases) {
        Box box;
        HolderFields fields = GantryFields(box.object);
        c.damage(box.object, fields);
        WorldWriter out;
        WriteObjectHolder(out, fields);
        ObjectHolder holder;
        bool exact = false;
        EXPECT_EQ(ReadBack(out, holder, exact), c.error) << c.name;
        EXPECT_EQ(holder.object, nullptr) << c.name;
        EXPECT_EQ(holder.lathe, nullptr) << c.name;
        box.object.lodCount = 2;
    }

    // Every cut of either kind of record, counts then reaching past the end.
    Box box;
    for (const HolderFields &fields : {GantryFields(box.object), ConeFields()}) {
        WorldWriter whole;
        WriteObjectHolder(whole, fields);
        for (size_t length = 0; length < whole.bytes.size(); ++length) {
            WorldWriter out;
            out.bytes.assign(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(length));
            DataStream stream;
            out.Open(stream, 251);
            ObjectHolder holder;
            EXPECT_NE(holder.Read(&stream, 251), HolderReadOk) << fields.kind << " cut at " << length;
            EXPECT_EQ(holder.object, nullptr);
            EXPECT_EQ(holder.lathe, nullptr);
        }
    }
}

TEST(ObjectHolder, MarkUsedCountsPanelsAndLatheLinks)
{
    TestWorld scene;
    ColourSet &set = scene.world->colours;
    set.count = 6;
    set.records = new TrackColour[6]();
    set.records[0].flags = ColourUsed;   // cleared: nothing names it
    scene.MakeHolders(2);
    MakeConeHolder(scene.Holder(0), HolderMovable);
    scene.Holder(0).lathe->links[0].surface = 3;
    MakeBoxHolder(scene.Holder(1), "box", HolderStatic);   // 3D objects name no track colour
    auto *panel = scene.Add(new PanelObject(0, 0));
    panel->surface = 5;
    auto *stray = scene.Add(new PanelObject(0, 0));
    stray->surface = 40;   // beyond the set: ignored

    set.MarkUsed(scene.world->objects, scene.world->objectCount, scene.world->duplicators,
                 scene.world->duplicatorCount);
    for (int i = 0; i < set.count; ++i) {
        EXPECT_EQ((set.records[i].flags & ColourUsed) != 0, i == 3 || i == 5) << i;
    }
}

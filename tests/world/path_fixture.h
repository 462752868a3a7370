#pragma once

// A current world with one configuration whose path is read from writer
// fields, road strips under chosen points, and the message lines the world
// printed.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "tools/world_path_writer.h"
#include "tools/world_writer.h"
#include "world/panel_object.h"
#include "world/path.h"
#include "world/solid_object.h"
#include "world/world.h"
#include "world/world_messages.h"
#include "world/world_object.h"

inline int32_t Metres(float metres)
{
    return static_cast<int32_t>(metres * 65536.0f);
}

inline std::vector<std::string> &WorldLines()
{
    static std::vector<std::string> lines;
    return lines;
}

// Reads a path record written from the fields; 0 or the reader's error.
inline int ReadPathFields(Path &path, const PathFields &fields)
{
    WorldWriter out;
    WritePath(out, fields);
    DataStream stream;
    out.Open(stream, 251);
    return path.Read(&stream, 251);
}

class PathWorld {
public:
    PathWorld()
    {
        BuildTrigTables();
        world = WorldCreate();
        CurrentWorld = world;
        world->configs = new WorldConfig[1];
        world->configCount = 1;
        world->config = 1;
        // Surface 0 is road, surface 1 grass.
        world->colours.records = new TrackColour[2]();
        world->colours.count = 2;
        world->colours.records[0].surfaceKind = 0;
        world->colours.records[1].surfaceKind = 2;
        WorldLines().clear();
        SetWorldMessagePrinter([](const char *text, int) { WorldLines().push_back(text); });
    }
    ~PathWorld()
    {
        SetWorldMessagePrinter(nullptr);
        WorldDestroy(world);
        CurrentWorld = nullptr;
    }
    PathWorld(const PathWorld &) = delete;
    PathWorld &operator=(const PathWorld &) = delete;

    Path &path() { return world->configs[0].path; }

    // Reads the path into configuration 1 and selects it.
    void LoadPath(const PathFields &fields)
    {
        ASSERT_EQ(ReadPathFields(path(), fields), 0);
        world->SelectCurrentPath();
    }

    // A square road strip of side `size` metres centred on (x, y) at height
    // 0; returns its solid, with the timing value given.
    SolidObject *AddStrip(float x, float y, float size, int surface, int timingValue)
    {
        WorldWriter out;
        RoadStrip strip;
        strip.startX = Metres(x);
        strip.startY = Metres(y - size / 2);
        strip.endX = Metres(x);
        strip.endY = Metres(y + size / 2);
        strip.width = Metres(size);
        strip.surface = static_cast<uint16_t>(surface);
        strip.firstIndex = world->objectCount;
        WriteRoadStrip(out, 251, strip);
        DataStream stream;
        out.Open(stream, 251);
        const int first = world->objectCount;
        for (int i = 0; i < 3; ++i) {
            const WorldObjectResult result = CreateWorldObject(&stream, 251);
            EXPECT_EQ(result.error, WorldObjectOk);
            if (result.error != WorldObjectOk) {
                return nullptr;
            }
            world->objects[world->objectCount++] = result.object;
        }
        auto *solid = static_cast<SolidObject *>(world->objects[first + 2]);
        EXPECT_EQ(solid->ResolvePanels(world->objects, world->objectCount, world->colours.count), 0);
        for (int i = first; i < first + 3; ++i) {
            world->objects[i]->Prepare();
        }
        solid->checkpoint = static_cast<uint8_t>(timingValue);
        return solid;
    }

    // The loader's order after the objects: start objects (bounds and
    // grid), map squares, lap timing.
    void Finish()
    {
        world->SetUpStartObjects();
        world->BuildMapSquares();
        SetUpLapTiming(&path());
    }

    World *world;
};

// Nodes along x (heading -90 degrees: direction (1, 0)) at 10 m spacing from
// x0, with road half width 4 m.
inline PathFields StraightPath(int count, uint32_t flags, float x0 = -60.0f)
{
    PathFields fields;
    fields.flags = flags;
    for (int i = 0; i < count; ++i) {
        PathNodeFields node = PathNodeAt(Metres(x0 + 10.0f * static_cast<float>(i)), 0, 0.0f, 4.0f);
        node.direction[0] = 1.0f;
        node.direction[1] = 0.0f;
        fields.nodes.push_back(node);
    }
    return fields;
}

#pragma once

// A current world for one test: a 16 x 16 grid of square cells, objects
// added by hand, duplicator holders made in memory (a box 3D object or a
// lathe cone), and placed copies of them.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/fixed_math.h"
#include "core/text_utils.h"
#include "render/object_file.h"
#include "tools/world_object_writer.h"
#include "vehicle/solid_link.h"
#include "world/duplicator_object.h"
#include "world/lathe_object.h"
#include "world/object_holder.h"
#include "world/world.h"
#include "world/world_messages.h"

inline int32_t Fix(float metres)
{
    return static_cast<int32_t>(std::lround(metres * 65536.0f));
}

// The texts that the world printed as message lines while the scene lived.
inline std::vector<std::string> &PrintedLines()
{
    static std::vector<std::string> lines;
    return lines;
}

class TestWorld {
public:
    explicit TestWorld(float originMetres = -80.0f, float cellMetres = 10.0f)
    {
        BuildTrigTables();
        world = WorldCreate();
        CurrentWorld = world;
        world->gridOrigin[0] = world->gridOrigin[1] = Fix(originMetres);
        world->cellSize[0] = world->cellSize[1] = Fix(cellMetres);
        world->gridEnd[0] = world->gridEnd[1] = Fix(originMetres + 16.0f * cellMetres);
        PrintedLines().clear();
        SetWorldMessagePrinter([](const char *text, int) { PrintedLines().push_back(text); });
    }
    ~TestWorld()
    {
        WorldDestroy(world);
        CurrentWorld = nullptr;
        SetWorldMessagePrinter(nullptr);
    }
    TestWorld(const TestWorld &) = delete;
    TestWorld &operator=(const TestWorld &) = delete;

    template <typename T> T *Add(T *object)
    {
        world->objects[world->objectCount++] = object;
        return object;
    }

    // Room for n holders, all empty.
    void MakeHolders(int n)
    {
        world->duplicators = new ObjectHolder[n];
        world->duplicatorCount = n;
    }
    ObjectHolder &Holder(int index) { return world->duplicators[index]; }

    // A copy of holder `index` at (x, y) metres, prepared.
    DuplicatorObject *Place(int index, float x, float y, float heading = 0.0f)
    {
        auto *copy = Add(new DuplicatorObject(Fix(x), Fix(y)));
        copy->heading = heading;
        copy->AssignDuplicator(static_cast<uint16_t>(index));
        copy->Prepare();
        return copy;
    }

    World *world;
};

// A holder of a box 3D object (half widths and height in metres).
inline void MakeBoxHolder(ObjectHolder &holder, const char *name, uint8_t movable, float half = 0.3f,
                          float height = 0.6f, int levels = 1)
{
    holder.Free();
    holder.kind = HolderObject3D;
    holder.object = new Object3D;
    InitObject3D(holder.object);
    BuildBoxObject(*holder.object, name, half, half, height, levels, 1);
    holder.movable = movable;
    holder.scale = 1.0f;
    holder.stiffness = 20000.0f;
    holder.friction = 0.8f;
    holder.damping = 100.0f;
    holder.density = 5.0f;
}

// A holder of a lathe cone: apex at `height`, base radius `base` (metres),
// one colliding link of surface 0.
inline void MakeConeHolder(ObjectHolder &holder, uint8_t movable, int segments = 8, float base = 0.15f,
                           float height = 0.7f)
{
    holder.Free();
    holder.kind = HolderLathe;
    holder.lathe = new ObjectRecordList;
    ObjectRecordList &lathe = *holder.lathe;
    CopyString(lathe.name, "cone", 16);
    lathe.segments = segments;
    lathe.count = 2;
    lathe.pairs = new FloatPair[2]{{0.0f, height}, {base, 0.0f}};
    lathe.linkCount = 1;
    lathe.links = new SolidLink[1]{{0, 1, 1, 0, 0, 1}};
    holder.movable = movable;
    holder.scale = 1.0f;
    holder.stiffness = 20000.0f;
    holder.friction = 0.8f;
    holder.damping = 100.0f;
    holder.density = 5.0f;
}


#pragma once

// A 10 m x 10 m road strip for world tests and benchmarks: two panels and the
// solid lofted between them, x -5..5 around centreX and y y0..y0 + 10, at
// `height` at y0 and `farHeight` at y0 + 10 (flat when left out), appended to
// the world's objects and prepared. The world needs a colour set of at least
// one record. Null when the solid could not be made.

#include <cmath>
#include <cstdint>

#include "core/data_stream.h"
#include "tests/world/world_bytes.h"
#include "world/panel_object.h"
#include "world/solid_object.h"
#include "world/world.h"
#include "world/world_object.h"

inline SolidObject *AddRoadStrip(World *world, float centreX, float y0, float height, float farHeight)
{
    auto fix = [](float metres) { return static_cast<int32_t>(std::lround(metres * 65536.0f)); };
    auto panel = [&](float y, float heading, float lateralA, float lateralB, float h) {
        auto *p = new PanelObject(fix(centreX), fix(y));
        p->heading = heading;
        p->vertexCount = 2;
        p->vertices = new PanelVertex[3]();
        p->vertices[0].height = p->vertices[1].height = fix(h);
        p->vertices[0].lateral = fix(lateralA);
        p->vertices[1].lateral = fix(lateralB);
        p->Prepare();
        world->objects[world->objectCount++] = p;
    };
    const int first = world->objectCount;
    panel(y0, 0.0f, -5.0f, 5.0f, height);
    panel(y0 + 10.0f, 3.14159265f, 5.0f, -5.0f, farHeight);

    WorldBytes bytes;
    bytes.U8(ObjectSolid).U8(0).U8(0).U8(0);
    bytes.U16(SolidCollides).U16(0).U16(1).U16(1).U16(first).U16(first + 1);
    bytes.U8(0).U8(0).U8(2).U8(1);
    for (uint8_t vertex = 0; vertex < 2; vertex++) {
        bytes.U8(1).U8(0).U8(vertex).U8(vertex).F32(0.0f).F32(0.0f).F32(0.0f).F32(0.0f);
    }
    bytes.U16(0).U8(1).U8(1).U16(0).U8(0).U8(1);
    bytes.F32(3.0f).F32(1.0f);
    DataStream stream;
    bytes.Open(stream, 251);
    const WorldObjectResult result = CreateWorldObject(&stream, 251);
    if (result.error != WorldObjectOk) {
        return nullptr;
    }
    auto *solid = static_cast<SolidObject *>(result.object);
    world->objects[world->objectCount++] = solid;
    if (solid->ResolvePanels(world->objects, world->objectCount, world->colours.count) != SolidResolveOk) {
        return nullptr;
    }
    solid->Prepare();
    return solid;
}

inline SolidObject *AddRoadStrip(World *world, float centreX, float y0, float height)
{
    return AddRoadStrip(world, centreX, y0, height, height);
}

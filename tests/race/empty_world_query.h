#pragma once

#include "vehicle/rigid_body.h"
#include "vehicle/world_query.h"

// An empty track: nothing in any square, no movable objects.
struct EmptyWorld : WorldQuery {
    bool loaded = false;
    bool IsLoaded() const override { return loaded; }
    float GetGravity() const override { return -9.81f; }
    void GetWind(float out[3]) const override { out[0] = out[1] = out[2] = 0.0f; }
    int GetGridRange(int &, int &, int &, int &, int32_t, int32_t, int32_t) const override { return 0; }
    WorldObjectList GetSolidList(int, int) const override { return {0, nullptr}; }
    WorldObjectList GetRadiusList(int, int) const override { return {0, nullptr}; }
    const ObjectGridNode *GetGridSquare(int, int) const override { return nullptr; }
    void GetPosition(const WorldObject *, int32_t &x, int32_t &y) const override { x = y = 0; }
    WorldObjectBounds GetBounds(const WorldObject *) const override { return {0, 0, 0, 0}; }
    uint8_t GetReachRadius(const WorldObject *) const override { return 0; }
    int IsPointInside(WorldObject *, int32_t, int32_t, int32_t) const override { return 0; }
    int Contact(WorldObject *, const FixVector &, const FixVector &, ContactProbe &, uint32_t *, int32_t *,
                int32_t *) const override { return 0; }
    int SolidContactQuery(const FixVector &, const FixVector &, ContactProbe &) const override { return 0; }
    int32_t ProbeSolidBelow(int32_t, int32_t, int32_t, int) const override { return 0; }
    int GetSurfaceKind(const TrackColour *) const override { return 0; }
    int GetSurfaceFlagBit0(const TrackColour *) const override { return 0; }
    bool IsStartOverride() const override { return false; }
    int GetMovableCount() const override { return 0; }
    DuplicatorObject *GetMovableObject(int) const override { return nullptr; }
    void GetHomePosition(const DuplicatorObject *, int32_t &x, int32_t &y) const override { x = y = 0; }
    uint8_t GetKnocked(const DuplicatorObject *) const override { return 0; }
    void SetKnocked(DuplicatorObject *, uint8_t) override {}
    uint8_t GetFrozen(const DuplicatorObject *) const override { return 0; }
    void SetFrozen(DuplicatorObject *, uint8_t) override {}
    RigidBody *GetBody(const DuplicatorObject *) const override { return nullptr; }
    void CreateBody(DuplicatorObject *) override {}
    void FreeBody(DuplicatorObject *) override {}
    void GridAddObject(DuplicatorObject *) override {}
    void GridRemoveObject(DuplicatorObject *) override {}
};

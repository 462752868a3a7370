#pragma once

#include <cstdint>

#include "core/colour.h"
#include "core/fixed_math.h"
#include "vehicle/contact_probe.h"

// The questions that bodies and the physics world ask of the loaded track.
//
// The vehicle library never includes world code: the world implements this
// interface and registers itself with SetWorldQuery while it exists, and the
// vehicle tests register a double of their own. The method names are the
// world's own operation names, so the world answers them without adapters.
//
// World records appear here only as opaque pointers: the vehicle library
// passes them back to the interface and never looks inside them.
class WorldObject;
class DuplicatorObject;

// One node of an object-grid square's list (the world's pool record): a null
// object marks a free node, which readers skip.
struct ObjectGridNode {
    ObjectGridNode *next;
    DuplicatorObject *object;
};

// A map square's solid list or radius list.
struct WorldObjectList {
    int count;
    WorldObject *const *objects;   // null when count is 0
};

// An object's bounds in 16.16: the grid and the contact query test these
// before they ask the object itself.
struct WorldObjectBounds {
    int32_t minX, maxX, minY, maxY;
};

// The object grid and the map squares are 16 x 16 squares, row by row.
constexpr int WorldGridSize = 16;

class WorldQuery {
public:
    virtual ~WorldQuery() = default;

    // Whether a track is loaded (the world's load has finished).
    virtual bool IsLoaded() const = 0;
    // Gravity along z in m/s^2 (negative: down).
    virtual float GetGravity() const = 0;
    // Wind velocity in m/s, world frame.
    virtual void GetWind(float out[3]) const = 0;

    // The square range of the circle (x, y, r), all 16.16: columns i0..i1 and
    // rows j0..j1, clamped to the grid. 0 when the circle lies wholly outside.
    virtual int GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const = 0;

    // Map square (i, j): its solid objects and its objects with a reach radius.
    virtual WorldObjectList GetSolidList(int i, int j) const = 0;
    virtual WorldObjectList GetRadiusList(int i, int j) const = 0;

    // Object-grid square (i, j): the head of its list of movable objects, null
    // when empty.
    virtual const ObjectGridNode *GetGridSquare(int i, int j) const = 0;

    // A placed object: its ground position (16.16), its bounds, and its reach
    // radius in units of 655/65536 m (0 = none).
    virtual void GetPosition(const WorldObject *object, int32_t &x, int32_t &y) const = 0;
    virtual WorldObjectBounds GetBounds(const WorldObject *object) const = 0;
    virtual uint8_t GetReachRadius(const WorldObject *object) const = 0;
    // Non-zero when (x, y) lies within the object's footprint widened by margin.
    virtual int IsPointInside(WorldObject *object, int32_t x, int32_t y, int32_t margin) const = 0;
    // The probe segment (endPoint - segment .. endPoint) against the object's
    // surface. The bump pointers are the caller's bump state, or all null.
    // Non-zero when the probe's record was improved.
    virtual int Contact(WorldObject *object, const FixVector &endPoint, const FixVector &segment,
                        ContactProbe &probe, uint32_t *bumpKind, int32_t *bumpWeight,
                        int32_t *bumpHeight) const = 0;

    // The solid surfaces crossed by point - ray .. point; the record keeps the
    // crossing farthest from the point. 1 when something was hit.
    virtual int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const = 0;
    // Height (16.16) of the solid surface below (x, y, z), or 0. With deep set
    // the whole height range is searched.
    virtual int32_t ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep) const = 0;

    // A surface's kind (0..16, the column of the grip and surface tables) and
    // bit 0 of its flags.
    virtual int GetSurfaceKind(const TrackColour *surface) const = 0;
    virtual int GetSurfaceFlagBit0(const TrackColour *surface) const = 0;
    // A surface's lit colour (red, green, blue, flags), the colour of the dust
    // a sliding wheel throws up from it. A world that cannot answer gives
    // black.
    virtual Colour GetSurfaceLitColour(const TrackColour *surface) const
    {
        (void)surface;
        return {0, 0, 0, 0};
    }

    // Whether the current layout defines its own start (single-car starts).
    virtual bool IsStartOverride() const = 0;

    // Race questions. A world that cannot answer one keeps the default: no
    // timing lines, nothing changed, lights out (green or idle), no zones.
    // The number of split lines of the current layout (or of the world).
    virtual int GetCheckpointCount() const { return 0; }
    // The byte that makes the path knowledge be written back at the next AI
    // reset.
    virtual uint8_t GetKnowledgeChanged() const { return 0; }
    virtual void SetKnowledgeChanged(uint8_t changed) { (void)changed; }
    // 0 armed, 1..3 that many red lamps lit, 4 green or idle.
    virtual int GetStartLightState() const { return 4; }
    // Whether the current layout has speed-limit zones (a pit lane).
    virtual bool HasSpeedLimitZones() const { return false; }

    // The world's array of movable objects, in array order.
    virtual int GetMovableCount() const = 0;
    virtual DuplicatorObject *GetMovableObject(int index) const = 0;
    // The position where the object was placed (16.16 ground point).
    virtual void GetHomePosition(const DuplicatorObject *object, int32_t &x, int32_t &y) const = 0;
    virtual uint8_t GetKnocked(const DuplicatorObject *object) const = 0;
    virtual void SetKnocked(DuplicatorObject *object, uint8_t knocked) = 0;
    virtual uint8_t GetFrozen(const DuplicatorObject *object) const = 0;
    virtual void SetFrozen(DuplicatorObject *object, uint8_t frozen) = 0;
    // The object's physics body, or null.
    virtual RigidBody *GetBody(const DuplicatorObject *object) const = 0;
    // A fresh body at the object's home position, at rest; FreeBody frees it
    // and clears the pointer.
    virtual void CreateBody(DuplicatorObject *object) = 0;
    virtual void FreeBody(DuplicatorObject *object) = 0;
    // Enter the object into, or take it out of, the object-grid squares that
    // its body covers.
    virtual void GridAddObject(DuplicatorObject *object) = 0;
    virtual void GridRemoveObject(DuplicatorObject *object) = 0;
};

// The world in use, or null. The world registers itself while it exists.
void SetWorldQuery(WorldQuery *query);
WorldQuery *CurrentWorldQuery();
// The world in use when its load has finished, else null.
WorldQuery *LoadedWorldQuery();

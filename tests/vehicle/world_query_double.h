#pragma once

#include <cstdint>

#include "vehicle/world_query.h"

class RigidBody;

// Gives `body` a box hull of 8 corner points and 12 faces (counter-clockwise
// seen from outside), centred on the body origin, with the given half sizes in
// metres. Any old hull is freed.
void BuildBoxHull(RigidBody &body, float halfX, float halfY, float halfZ);

// A world for the vehicle tests: a flat ground plane at a settable height,
// covered by one solid that every map square of the 16 x 16 grid lists,
// surface kind 0, settable gravity and wind, an optional vertical wall (a
// second solid in every square), optional round obstacles (reach radius
// only) and movable test objects whose bodies are box hulls. It registers
// itself as the current world query while it exists.
//
// World records are the double's own: the WorldObject, DuplicatorObject and
// TrackColour pointers it hands out are opaque handles to them.
class WorldQueryDouble : public WorldQuery {
public:
    // The grid of 16 x 16 squares of cellSize (16.16 metres) is centred on
    // the origin: -80 m .. +80 m with the default 10 m squares. Long runs
    // take larger squares.
    static constexpr int32_t DefaultCellSize = 10 * 65536;
    static constexpr int MaxObstacles = 32;
    static constexpr int MaxMovables = 100;

    explicit WorldQueryDouble(int32_t cellSize = DefaultCellSize);
    ~WorldQueryDouble() override;
    WorldQueryDouble(const WorldQueryDouble &) = delete;
    WorldQueryDouble &operator=(const WorldQueryDouble &) = delete;

    const int32_t CellSize;
    const int32_t GridOrigin;

    // Settings; change them freely between ticks.
    bool loaded = true;
    float gravity = -9.81f;
    float wind[3] = {0.0f, 0.0f, 0.0f};
    int32_t groundHeight = 0;      // 16.16
    bool startOverride = false;
    int checkpointCount = 0;
    uint8_t knowledgeChanged = 0;
    int startLightState = 4;
    bool speedLimitZones = false;
    void SetGroundSurface(int kind, int flagBit0);

    // A vertical wall: the plane x = wallX (16.16), solid on the side that
    // facing (+1 or -1) points away from; its face normal is (facing, 0, 0).
    // It is listed as a second solid in every map square once set.
    WorldObject *SetWall(int32_t wallX, int facing, int kind = 0, int flagBit0 = 0);

    // A surface record of the given kind (0..16) and flag bit 0, for probes
    // that a test fills by hand.
    static const TrackColour *Surface(int kind, int flagBit0);

    // A round obstacle (reach radius in units of 655/65536 m) at (x, y), 16.16.
    WorldObject *AddObstacle(int32_t x, int32_t y, uint8_t reachRadius);

    // A movable object at home (x, y), 16.16, resting on the ground: its body
    // is a box of the given half sizes with the given contact values, shell
    // density and `dynamic` flag, created at once and entered into the
    // object grid. Null when the table is full.
    DuplicatorObject *AddMovable(int32_t x, int32_t y, float halfX, float halfY, float halfZ, uint8_t dynamic = 1);
    float movableStiffness = 20000.0f;
    float movableFriction = 0.7f;
    float movableDamping = 200.0f;
    float movableDensity = 5.0f;   // kg per square metre of hull

    // Whether the object is in the object grid now.
    bool IsInGrid(const DuplicatorObject *object) const;

    // Calls made through the interface, for tests of the owner rules.
    int gridAddCount = 0;
    int gridRemoveCount = 0;
    int createBodyCount = 0;
    int freeBodyCount = 0;
    // Grid calls that did not fit the object's state: adding an object that
    // is in the grid, removing one that is not, or removing one whose body
    // now covers other squares than when it was added (the world looks for
    // it only in the squares its body covers).
    int gridFaults = 0;

    // WorldQuery.
    bool IsLoaded() const override;
    float GetGravity() const override;
    void GetWind(float out[3]) const override;
    int GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const override;
    WorldObjectList GetSolidList(int i, int j) const override;
    WorldObjectList GetRadiusList(int i, int j) const override;
    const ObjectGridNode *GetGridSquare(int i, int j) const override;
    void GetPosition(const WorldObject *object, int32_t &x, int32_t &y) const override;
    WorldObjectBounds GetBounds(const WorldObject *object) const override;
    uint8_t GetReachRadius(const WorldObject *object) const override;
    int IsPointInside(WorldObject *object, int32_t x, int32_t y, int32_t margin) const override;
    int Contact(WorldObject *object, const FixVector &endPoint, const FixVector &segment, ContactProbe &probe,
                uint32_t *bumpKind, int32_t *bumpWeight, int32_t *bumpHeight) const override;
    int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const override;
    int32_t ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep) const override;
    int GetSurfaceKind(const TrackColour *surface) const override;
    int GetSurfaceFlagBit0(const TrackColour *surface) const override;
    // (90 + 10 x kind, 80, 40), flags 0: the kinds tell their colours apart.
    Colour GetSurfaceLitColour(const TrackColour *surface) const override;
    bool IsStartOverride() const override;
    int GetCheckpointCount() const override;
    uint8_t GetKnowledgeChanged() const override;
    void SetKnowledgeChanged(uint8_t changed) override;
    int GetStartLightState() const override;
    bool HasSpeedLimitZones() const override;
    int GetMovableCount() const override;
    DuplicatorObject *GetMovableObject(int index) const override;
    void GetHomePosition(const DuplicatorObject *object, int32_t &x, int32_t &y) const override;
    uint8_t GetKnocked(const DuplicatorObject *object) const override;
    void SetKnocked(DuplicatorObject *object, uint8_t knocked) override;
    uint8_t GetFrozen(const DuplicatorObject *object) const override;
    void SetFrozen(DuplicatorObject *object, uint8_t frozen) override;
    RigidBody *GetBody(const DuplicatorObject *object) const override;
    void CreateBody(DuplicatorObject *object) override;
    void FreeBody(DuplicatorObject *object) override;
    void GridAddObject(DuplicatorObject *object) override;
    void GridRemoveObject(DuplicatorObject *object) override;

private:
    struct TestObject {
        int32_t x, y;
        WorldObjectBounds bounds;
        uint8_t reachRadius;
        bool solid;
        int wallFacing;   // 0 the ground plane; +1 or -1 the wall's normal along x
    };
    struct TestMovable {
        int32_t homeX, homeY;
        float half[3];
        uint8_t dynamic;
        uint8_t knocked;
        uint8_t frozen;
        bool inGrid;
        int gridRange[5];   // squares taken when added: valid, i0, i1, j0, j1
        RigidBody *body;
    };
    static constexpr int SquareCount = WorldGridSize * WorldGridSize;
    static constexpr int GridPoolSize = 4096;

    TestObject solid_ = {};
    TestObject wall_ = {};
    WorldObject *solidHandles_[2] = {};   // the ground, then the wall
    int solidCount_ = 1;
    const TrackColour *groundSurface_ = nullptr;
    const TrackColour *wallSurface_ = nullptr;
    TestObject obstacles_[MaxObstacles] = {};
    int obstacleCount_ = 0;
    WorldObject *radiusLists_[SquareCount][MaxObstacles] = {};
    int radiusCounts_[SquareCount] = {};
    TestMovable movables_[MaxMovables] = {};
    int movableCount_ = 0;
    ObjectGridNode gridPool_[GridPoolSize] = {};
    int gridCursor_ = 0;
    ObjectGridNode *gridHeads_[SquareCount] = {};

    static TestMovable &Movable(DuplicatorObject *object);
    static const TestMovable &Movable(const DuplicatorObject *object);
    int BodyGridRange(const TestMovable &movable, int &i0, int &i1, int &j0, int &j1) const;
};

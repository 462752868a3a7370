#include "world_query_double.h"

#include <cstring>

#include "vehicle/fix_convert.h"
#include "vehicle/rigid_body.h"

namespace {

struct TestSurface {
    int kind;
    int flagBit0;
};

// One record per surface kind and flag bit 0.
const TestSurface surfaces[17][2] = {
    {{0, 0}, {0, 1}},   {{1, 0}, {1, 1}},   {{2, 0}, {2, 1}},   {{3, 0}, {3, 1}},   {{4, 0}, {4, 1}},
    {{5, 0}, {5, 1}},   {{6, 0}, {6, 1}},   {{7, 0}, {7, 1}},   {{8, 0}, {8, 1}},   {{9, 0}, {9, 1}},
    {{10, 0}, {10, 1}}, {{11, 0}, {11, 1}}, {{12, 0}, {12, 1}}, {{13, 0}, {13, 1}}, {{14, 0}, {14, 1}},
    {{15, 0}, {15, 1}}, {{16, 0}, {16, 1}},
};

const TestSurface &SurfaceRecord(const TrackColour *surface) {
    return *reinterpret_cast<const TestSurface *>(surface);
}

}  // namespace

void BuildBoxHull(RigidBody &body, float halfX, float halfY, float halfZ) {
    body.FreeGeometry();
    body.pointCount = 8;
    body.points = new CollisionPoint[8];
    for (int i = 0; i < 8; ++i) {
        CollisionPoint &point = body.points[i];
        point.local[0] = (i & 1) ? halfX : -halfX;
        point.local[1] = (i & 2) ? halfY : -halfY;
        point.local[2] = (i & 4) ? halfZ : -halfZ;
        point.Clear();
    }
    // Corner i has +x when bit 0 is set, +y for bit 1, +z for bit 2.
    struct BoxFace {
        int corners[3];
        float normal[3];
    };
    static const BoxFace boxFaces[12] = {
        {{0, 2, 3}, {0.0f, 0.0f, -1.0f}}, {{0, 3, 1}, {0.0f, 0.0f, -1.0f}},
        {{4, 5, 7}, {0.0f, 0.0f, 1.0f}},  {{4, 7, 6}, {0.0f, 0.0f, 1.0f}},
        {{0, 1, 5}, {0.0f, -1.0f, 0.0f}}, {{0, 5, 4}, {0.0f, -1.0f, 0.0f}},
        {{2, 6, 7}, {0.0f, 1.0f, 0.0f}},  {{2, 7, 3}, {0.0f, 1.0f, 0.0f}},
        {{0, 4, 6}, {-1.0f, 0.0f, 0.0f}}, {{0, 6, 2}, {-1.0f, 0.0f, 0.0f}},
        {{1, 3, 7}, {1.0f, 0.0f, 0.0f}},  {{1, 7, 5}, {1.0f, 0.0f, 0.0f}},
    };
    body.faceCount = 12;
    body.faces = new CollisionFace[12];
    for (int f = 0; f < 12; ++f) {
        CollisionFace &face = body.faces[f];
        for (int k = 0; k < 3; ++k) {
            face.corners[k] = &body.points[boxFaces[f].corners[k]];
            face.localNormal[k] = boxFaces[f].normal[k];
            face.worldNormal[k] = boxFaces[f].normal[k];
        }
    }
}

WorldQueryDouble::WorldQueryDouble(int32_t cellSize) : CellSize(cellSize), GridOrigin(-(WorldGridSize / 2) * cellSize) {
    const int32_t end = GridOrigin + WorldGridSize * CellSize;
    solid_.x = 0;
    solid_.y = 0;
    solid_.bounds = {GridOrigin, end, GridOrigin, end};
    solid_.solid = true;
    solidHandles_[0] = reinterpret_cast<WorldObject *>(&solid_);
    groundSurface_ = Surface(0, 0);
    SetWorldQuery(this);
}

WorldQueryDouble::~WorldQueryDouble() {
    for (int m = 0; m < movableCount_; ++m) {
        if (movables_[m].body != nullptr) {
            movables_[m].body->FreeGeometry();
            delete movables_[m].body;
        }
    }
    if (CurrentWorldQuery() == this)
        SetWorldQuery(nullptr);
}

void WorldQueryDouble::SetGroundSurface(int kind, int flagBit0) {
    groundSurface_ = Surface(kind, flagBit0);
}

WorldObject *WorldQueryDouble::SetWall(int32_t wallX, int facing, int kind, int flagBit0) {
    const int32_t end = GridOrigin + WorldGridSize * CellSize;
    wall_.x = wallX;
    wall_.y = 0;
    wall_.bounds = {GridOrigin, end, GridOrigin, end};
    wall_.solid = true;
    wall_.wallFacing = facing < 0 ? -1 : 1;
    wallSurface_ = Surface(kind, flagBit0);
    solidHandles_[1] = reinterpret_cast<WorldObject *>(&wall_);
    solidCount_ = 2;
    return solidHandles_[1];
}

const TrackColour *WorldQueryDouble::Surface(int kind, int flagBit0) {
    if (kind < 0 || kind > 16)
        kind = 0;
    return reinterpret_cast<const TrackColour *>(&surfaces[kind][flagBit0 ? 1 : 0]);
}

WorldObject *WorldQueryDouble::AddObstacle(int32_t x, int32_t y, uint8_t reachRadius) {
    if (obstacleCount_ == MaxObstacles)
        return nullptr;
    TestObject &obstacle = obstacles_[obstacleCount_++];
    obstacle.x = x;
    obstacle.y = y;
    obstacle.bounds = {x, x, y, y};
    obstacle.reachRadius = reachRadius;
    obstacle.solid = false;
    WorldObject *handle = reinterpret_cast<WorldObject *>(&obstacle);
    // Listed in every square that the square of side 2 x reach touches.
    int i0, i1, j0, j1;
    if (GetGridRange(i0, i1, j0, j1, x, y, reachRadius * 655)) {
        for (int j = j0; j <= j1; ++j) {
            for (int i = i0; i <= i1; ++i) {
                const int square = j * WorldGridSize + i;
                radiusLists_[square][radiusCounts_[square]++] = handle;
            }
        }
    }
    return handle;
}

DuplicatorObject *WorldQueryDouble::AddMovable(int32_t x, int32_t y, float halfX, float halfY, float halfZ,
                                               uint8_t dynamic) {
    if (movableCount_ == MaxMovables)
        return nullptr;
    TestMovable &movable = movables_[movableCount_++];
    movable = {};
    movable.homeX = x;
    movable.homeY = y;
    movable.half[0] = halfX;
    movable.half[1] = halfY;
    movable.half[2] = halfZ;
    movable.dynamic = dynamic;
    DuplicatorObject *object = reinterpret_cast<DuplicatorObject *>(&movable);
    CreateBody(object);
    GridAddObject(object);
    return object;
}

bool WorldQueryDouble::IsInGrid(const DuplicatorObject *object) const {
    return Movable(object).inGrid;
}

WorldQueryDouble::TestMovable &WorldQueryDouble::Movable(DuplicatorObject *object) {
    return *reinterpret_cast<TestMovable *>(object);
}

const WorldQueryDouble::TestMovable &WorldQueryDouble::Movable(const DuplicatorObject *object) {
    return *reinterpret_cast<const TestMovable *>(object);
}

bool WorldQueryDouble::IsLoaded() const {
    return loaded;
}

float WorldQueryDouble::GetGravity() const {
    return gravity;
}

void WorldQueryDouble::GetWind(float out[3]) const {
    out[0] = wind[0];
    out[1] = wind[1];
    out[2] = wind[2];
}

int WorldQueryDouble::GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const {
    // Signed divisions truncated toward zero, in 64 bits so that no sum wraps.
    const int64_t ia = (static_cast<int64_t>(x) - r - GridOrigin) / CellSize;
    const int64_t ib = (static_cast<int64_t>(x) - GridOrigin + r) / CellSize;
    const int64_t ja = (static_cast<int64_t>(y) - GridOrigin - r) / CellSize;
    const int64_t jb = (static_cast<int64_t>(y) - GridOrigin + r) / CellSize;
    if (ia >= WorldGridSize || ib < 0 || ja >= WorldGridSize || jb < 0)
        return 0;
    i0 = ia < 0 ? 0 : static_cast<int>(ia);
    j0 = ja < 0 ? 0 : static_cast<int>(ja);
    i1 = ib > WorldGridSize - 1 ? WorldGridSize - 1 : static_cast<int>(ib);
    j1 = jb > WorldGridSize - 1 ? WorldGridSize - 1 : static_cast<int>(jb);
    return 1;
}

WorldObjectList WorldQueryDouble::GetSolidList(int i, int j) const {
    if (i < 0 || i >= WorldGridSize || j < 0 || j >= WorldGridSize)
        return {0, nullptr};
    return {solidCount_, solidHandles_};
}

WorldObjectList WorldQueryDouble::GetRadiusList(int i, int j) const {
    if (i < 0 || i >= WorldGridSize || j < 0 || j >= WorldGridSize)
        return {0, nullptr};
    const int square = j * WorldGridSize + i;
    return {radiusCounts_[square], radiusCounts_[square] ? radiusLists_[square] : nullptr};
}

const ObjectGridNode *WorldQueryDouble::GetGridSquare(int i, int j) const {
    if (i < 0 || i >= WorldGridSize || j < 0 || j >= WorldGridSize)
        return nullptr;
    return gridHeads_[j * WorldGridSize + i];
}

void WorldQueryDouble::GetPosition(const WorldObject *object, int32_t &x, int32_t &y) const {
    const TestObject &o = *reinterpret_cast<const TestObject *>(object);
    x = o.x;
    y = o.y;
}

WorldObjectBounds WorldQueryDouble::GetBounds(const WorldObject *object) const {
    return reinterpret_cast<const TestObject *>(object)->bounds;
}

uint8_t WorldQueryDouble::GetReachRadius(const WorldObject *object) const {
    return reinterpret_cast<const TestObject *>(object)->reachRadius;
}

int WorldQueryDouble::IsPointInside(WorldObject *object, int32_t x, int32_t y, int32_t margin) const {
    const TestObject &o = *reinterpret_cast<const TestObject *>(object);
    if (!o.solid)
        return 0;
    const int64_t m = margin;
    return x > o.bounds.minX - m && x < o.bounds.maxX + m && y > o.bounds.minY - m && y < o.bounds.maxY + m;
}

// The ground plane: a hit when the segment crosses the plane from above to
// strictly below it, with the same 16.16 fraction rule as the bodies' own
// probes. The wall: the same rule across the plane x = wallX, entering from
// the side its normal points to.
int WorldQueryDouble::Contact(WorldObject *object, const FixVector &endPoint, const FixVector &segment,
                              ContactProbe &probe, uint32_t *, int32_t *, int32_t *) const {
    const TestObject &o = *reinterpret_cast<const TestObject *>(object);
    if (!o.solid)
        return 0;
    if (o.wallFacing != 0) {
        // Depth of the end point inside the wall, and the segment's length
        // against the normal.
        const int64_t depth = (static_cast<int64_t>(o.x) - endPoint.x) * o.wallFacing;
        const int64_t across = -static_cast<int64_t>(segment.x) * o.wallFacing;
        if (!(across > 64 && depth > 0 && depth < across))
            return 0;
        const int64_t t = depth * 65536 / across;
        if (t <= probe.fraction)
            return 0;
        probe.hitPoint.x = o.x;
        probe.hitPoint.y = static_cast<int32_t>(endPoint.y - ((t * segment.y) >> 16));
        probe.hitPoint.z = static_cast<int32_t>(endPoint.z - ((t * segment.z) >> 16));
        probe.normal[0] = static_cast<float>(o.wallFacing);
        probe.normal[1] = 0.0f;
        probe.normal[2] = 0.0f;
        probe.surface = wallSurface_;
        probe.otherBody = nullptr;
        probe.fraction = static_cast<int32_t>(t);
        return 1;
    }
    const int64_t below = static_cast<int64_t>(endPoint.z) - groundHeight;
    if (!(segment.z < -64 && below < 0 && below > segment.z))
        return 0;
    const int64_t t = below * 65536 / segment.z;
    if (t <= probe.fraction)
        return 0;
    probe.hitPoint.x = static_cast<int32_t>(endPoint.x - ((t * segment.x) >> 16));
    probe.hitPoint.y = static_cast<int32_t>(endPoint.y - ((t * segment.y) >> 16));
    probe.hitPoint.z = groundHeight;
    probe.normal[0] = 0.0f;
    probe.normal[1] = 0.0f;
    probe.normal[2] = 1.0f;
    probe.surface = groundSurface_;
    probe.otherBody = nullptr;
    probe.fraction = static_cast<int32_t>(t);
    return 1;
}

int WorldQueryDouble::SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const {
    record.fraction = 0;
    if (!loaded)
        return 0;
    const int32_t end = GridOrigin + WorldGridSize * CellSize;
    if (point.x < GridOrigin || point.x >= end || point.y < GridOrigin || point.y >= end)
        return 0;
    const WorldObjectBounds &b = solid_.bounds;
    if (b.minX < point.x && point.x < b.maxX && b.minY < point.y && point.y < b.maxY)
        Contact(solidHandles_[0], point, ray, record, nullptr, nullptr, nullptr);
    return record.fraction != 0;
}

int32_t WorldQueryDouble::ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep) const {
    ContactProbe record;
    record.Clear();
    FixVector point, ray;
    if (deep) {
        point = {x, y, -20 * 65536};
        ray = {0, 0, -80 * 65536};
    } else {
        point = {x, y, z - 2 * 65536};
        ray = {0, 0, -4 * 65536};
    }
    return SolidContactQuery(point, ray, record) ? record.hitPoint.z : 0;
}

int WorldQueryDouble::GetSurfaceKind(const TrackColour *surface) const {
    return surface != nullptr ? SurfaceRecord(surface).kind : 0;
}

int WorldQueryDouble::GetSurfaceFlagBit0(const TrackColour *surface) const {
    return surface != nullptr ? SurfaceRecord(surface).flagBit0 : 0;
}

Colour WorldQueryDouble::GetSurfaceLitColour(const TrackColour *surface) const {
    if (surface == nullptr)
        return {0, 0, 0, 0};
    return {static_cast<uint8_t>(90 + 10 * SurfaceRecord(surface).kind), 80, 40, 0};
}

bool WorldQueryDouble::IsStartOverride() const {
    return startOverride;
}

int WorldQueryDouble::GetCheckpointCount() const {
    return checkpointCount;
}

uint8_t WorldQueryDouble::GetKnowledgeChanged() const {
    return knowledgeChanged;
}

void WorldQueryDouble::SetKnowledgeChanged(uint8_t changed) {
    knowledgeChanged = changed;
}

int WorldQueryDouble::GetStartLightState() const {
    return startLightState;
}

bool WorldQueryDouble::HasSpeedLimitZones() const {
    return speedLimitZones;
}

int WorldQueryDouble::GetMovableCount() const {
    return movableCount_;
}

DuplicatorObject *WorldQueryDouble::GetMovableObject(int index) const {
    if (index < 0 || index >= movableCount_)
        return nullptr;
    return reinterpret_cast<DuplicatorObject *>(const_cast<TestMovable *>(&movables_[index]));
}

void WorldQueryDouble::GetHomePosition(const DuplicatorObject *object, int32_t &x, int32_t &y) const {
    x = Movable(object).homeX;
    y = Movable(object).homeY;
}

uint8_t WorldQueryDouble::GetKnocked(const DuplicatorObject *object) const {
    return Movable(object).knocked;
}

void WorldQueryDouble::SetKnocked(DuplicatorObject *object, uint8_t knocked) {
    Movable(object).knocked = knocked;
}

uint8_t WorldQueryDouble::GetFrozen(const DuplicatorObject *object) const {
    return Movable(object).frozen;
}

void WorldQueryDouble::SetFrozen(DuplicatorObject *object, uint8_t frozen) {
    Movable(object).frozen = frozen;
}

RigidBody *WorldQueryDouble::GetBody(const DuplicatorObject *object) const {
    return Movable(object).body;
}

// A fresh box body at the object's home, standing on the ground, at rest.
void WorldQueryDouble::CreateBody(DuplicatorObject *object) {
    TestMovable &movable = Movable(object);
    ++createBodyCount;
    if (movable.body != nullptr)
        FreeBody(object);
    RigidBody *body = new RigidBody(movable.dynamic, 0, object);
    BuildBoxHull(*body, movable.half[0], movable.half[1], movable.half[2]);
    body->stiffness = movableStiffness;
    body->friction = movableFriction;
    body->damping = movableDamping;
    body->ComputeBounds();
    body->ComputeMassFromPoints(movableDensity);
    static const float identity[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(body->orientation, identity, sizeof identity);
    std::memcpy(body->predictedOrientation, identity, sizeof identity);
    body->position = {movable.homeX, movable.homeY, groundHeight + MetresToFix(movable.half[2])};
    body->predictedPosition = body->position;
    body->ResetState();
    movable.body = body;
}

void WorldQueryDouble::FreeBody(DuplicatorObject *object) {
    TestMovable &movable = Movable(object);
    ++freeBodyCount;
    if (movable.body == nullptr)
        return;
    movable.body->FreeGeometry();
    delete movable.body;
    movable.body = nullptr;
}

int WorldQueryDouble::BodyGridRange(const TestMovable &movable, int &i0, int &i1, int &j0, int &j1) const {
    if (movable.body == nullptr)
        return 0;
    const RigidBody &body = *movable.body;
    return GetGridRange(i0, i1, j0, j1, body.position.x, body.position.y, MetresToFix(body.radius));
}

void WorldQueryDouble::GridAddObject(DuplicatorObject *object) {
    TestMovable &movable = Movable(object);
    ++gridAddCount;
    if (movable.inGrid) {
        ++gridFaults;
        return;
    }
    movable.inGrid = true;
    int i0 = 0, i1 = 0, j0 = 0, j1 = 0;
    const int valid = BodyGridRange(movable, i0, i1, j0, j1);
    movable.gridRange[0] = valid;
    movable.gridRange[1] = i0;
    movable.gridRange[2] = i1;
    movable.gridRange[3] = j0;
    movable.gridRange[4] = j1;
    if (!valid)
        return;
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            int tries = 0;
            while (gridPool_[gridCursor_].object != nullptr && tries++ < GridPoolSize)
                gridCursor_ = (gridCursor_ + 1) % GridPoolSize;
            ObjectGridNode &node = gridPool_[gridCursor_];
            ObjectGridNode *&head = gridHeads_[j * WorldGridSize + i];
            node.object = object;
            node.next = head;
            head = &node;
        }
    }
}

// Unlinks the object from every square, and counts a fault when its body
// now covers other squares than those it was entered into.
void WorldQueryDouble::GridRemoveObject(DuplicatorObject *object) {
    TestMovable &movable = Movable(object);
    ++gridRemoveCount;
    if (!movable.inGrid) {
        ++gridFaults;
        return;
    }
    int range[5] = {0, 0, 0, 0, 0};
    range[0] = BodyGridRange(movable, range[1], range[2], range[3], range[4]);
    for (int k = 0; k < 5; ++k) {
        if (range[k] != movable.gridRange[k]) {
            ++gridFaults;
            break;
        }
    }
    for (ObjectGridNode *&head : gridHeads_) {
        for (ObjectGridNode **link = &head; *link != nullptr;) {
            if ((*link)->object == object) {
                (*link)->object = nullptr;
                *link = (*link)->next;
            } else {
                link = &(*link)->next;
            }
        }
    }
    movable.inGrid = false;
}

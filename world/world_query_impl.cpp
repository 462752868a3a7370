// The loaded world behind the vehicle library's world query: every question
// is answered by the world operation of the same name on CurrentWorld. The
// forwarder is registered by WorldCreate and answers "nothing loaded" while
// CurrentWorld is null or still loading.
#include "vehicle/rigid_body.h"
#include "vehicle/world_query.h"
#include "world/duplicator_object.h"
#include "world/layout.h"
#include "world/map_squares.h"
#include "world/track_colours.h"
#include "world/track_knowledge.h"
#include "world/world.h"
#include "world/world_object.h"

namespace {

constexpr int LastSurfaceKind = 16;

WorldObjectList SquareList(const MapSquare &square, bool solid)
{
    if (solid) {
        return {square.solidCount, square.solidList};
    }
    return {square.radiusCount, square.radiusList};
}

bool InGrid(int i, int j)
{
    return i >= 0 && i < WorldGridSize && j >= 0 && j < WorldGridSize;
}

class LoadedWorld final : public WorldQuery {
public:
    bool IsLoaded() const override { return CurrentWorld && !WorldIsLoading(CurrentWorld); }
    float GetGravity() const override { return CurrentWorld ? CurrentWorld->gravity : 0.0f; }
    void GetWind(float out[3]) const override
    {
        for (int k = 0; k < 3; ++k) {
            out[k] = CurrentWorld ? CurrentWorld->wind.velocity[k] : 0.0f;
        }
    }

    int GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const override
    {
        return CurrentWorld ? CurrentWorld->GetGridRange(i0, i1, j0, j1, x, y, r) : 0;
    }

    WorldObjectList GetSolidList(int i, int j) const override
    {
        if (!CurrentWorld || !InGrid(i, j)) {
            return {0, nullptr};
        }
        return SquareList(CurrentWorld->mapSquares[j * WorldGridSize + i], true);
    }
    WorldObjectList GetRadiusList(int i, int j) const override
    {
        if (!CurrentWorld || !InGrid(i, j)) {
            return {0, nullptr};
        }
        return SquareList(CurrentWorld->mapSquares[j * WorldGridSize + i], false);
    }
    const ObjectGridNode *GetGridSquare(int i, int j) const override
    {
        if (!CurrentWorld || !InGrid(i, j)) {
            return nullptr;
        }
        return CurrentWorld->objectGrid[j * WorldGridSize + i];
    }

    void GetPosition(const WorldObject *object, int32_t &x, int32_t &y) const override
    {
        x = object->positionX;
        y = object->positionY;
    }
    WorldObjectBounds GetBounds(const WorldObject *object) const override
    {
        return {object->minX, object->maxX, object->minY, object->maxY};
    }
    uint8_t GetReachRadius(const WorldObject *object) const override { return object->reachRadius; }
    int IsPointInside(WorldObject *object, int32_t x, int32_t y, int32_t margin) const override
    {
        return object->IsPointInside(x, y, margin);
    }
    int Contact(WorldObject *object, const FixVector &endPoint, const FixVector &segment, ContactProbe &probe,
                uint32_t *bumpKind, int32_t *bumpWeight, int32_t *bumpHeight) const override
    {
        return object->Contact(endPoint, segment, probe, bumpKind, bumpWeight, bumpHeight);
    }

    int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record) const override
    {
        return ::SolidContactQuery(point, ray, record);
    }
    int32_t ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep) const override
    {
        return ::ProbeSolidBelow(x, y, z, deep);
    }

    int GetSurfaceKind(const TrackColour *surface) const override
    {
        if (!surface) {
            return 0;
        }
        return surface->surfaceKind > LastSurfaceKind ? LastSurfaceKind : surface->surfaceKind;
    }
    int GetSurfaceFlagBit0(const TrackColour *surface) const override { return surface ? surface->flags & 1 : 0; }
    Colour GetSurfaceLitColour(const TrackColour *surface) const override
    {
        return surface ? surface->lit : Colour{0, 0, 0, 0};
    }

    bool IsStartOverride() const override { return CurrentWorld && LayoutRouteLines.startOverride != 0; }
    int GetCheckpointCount() const override { return CurrentWorld ? CurrentWorld->GetCheckpointCount() : 0; }
    uint8_t GetKnowledgeChanged() const override { return CurrentWorld ? CurrentWorld->knowledgeChanged : 0; }
    void SetKnowledgeChanged(uint8_t changed) override
    {
        if (CurrentWorld) {
            CurrentWorld->knowledgeChanged = changed;
        }
    }
    int GetStartLightState() const override { return CurrentWorld ? CurrentWorld->startLightState : 4; }
    bool HasSpeedLimitZones() const override { return CurrentWorld && CurrentWorld->speedZoneCount > 0; }

    int GetMovableCount() const override { return CurrentWorld ? CurrentWorld->movableObjectCount : 0; }
    DuplicatorObject *GetMovableObject(int index) const override
    {
        if (!CurrentWorld || index < 0 || index >= CurrentWorld->movableObjectCount) {
            return nullptr;
        }
        return CurrentWorld->movableObjects[index];
    }
    void GetHomePosition(const DuplicatorObject *object, int32_t &x, int32_t &y) const override
    {
        x = object->positionX;
        y = object->positionY;
    }
    uint8_t GetKnocked(const DuplicatorObject *object) const override { return object->knocked; }
    void SetKnocked(DuplicatorObject *object, uint8_t knocked) override { object->knocked = knocked; }
    uint8_t GetFrozen(const DuplicatorObject *object) const override { return object->frozen; }
    void SetFrozen(DuplicatorObject *object, uint8_t frozen) override { object->frozen = frozen; }
    RigidBody *GetBody(const DuplicatorObject *object) const override { return object->body; }
    void CreateBody(DuplicatorObject *object) override { object->CreateBody(); }
    void FreeBody(DuplicatorObject *object) override { object->FreeBody(); }
    void GridAddObject(DuplicatorObject *object) override
    {
        if (CurrentWorld) {
            CurrentWorld->GridAddObject(object);
        }
    }
    void GridRemoveObject(DuplicatorObject *object) override
    {
        if (CurrentWorld) {
            CurrentWorld->GridRemoveObject(object);
        }
    }
};

LoadedWorld loadedWorld;
ResetAiDriversHook resetAiDriversHook = nullptr;

} // namespace

void RegisterWorldQuery()
{
    SetWorldQuery(&loadedWorld);
}

void UnregisterWorldQuery()
{
    if (CurrentWorldQuery() == &loadedWorld) {
        SetWorldQuery(nullptr);
    }
}

void SetResetAiDriversHook(ResetAiDriversHook hook)
{
    resetAiDriversHook = hook;
}

void ResetAiDrivers()
{
    if (resetAiDriversHook) {
        resetAiDriversHook();
    }
    if (CurrentWorld && CurrentWorld->knowledgeChanged) {
        WriteTrackKnowledge(CurrentWorld);
    }
}

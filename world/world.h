#pragma once

#include <cstdint>

#include "core/data_stream.h"
#include "vehicle/world_query.h"
#include "world/map_square.h"
#include "world/start_lamp.h"
#include "world/track_colours.h"

class WorldObject;
class DuplicatorObject;
class StartGridObject;
class ZoneObject;
struct WorldConfig;
struct LightScheme;
struct Path;
struct ObjectHolder;
struct Material;
struct RenderObject;

// Fixed capacities of the world record.
constexpr int MaxWorldObjects = 16384;
constexpr int MaxLayoutObjects = 512;
constexpr int MaxPositionObjects = 32;      // start positions, pit positions, pit places
constexpr int MaxLampObjects = 16;
constexpr int MaxSpeedZones = 8;
constexpr int MaxCameraZones = 16;
constexpr int MaxWorldMeshes = 128;
constexpr int MaxCameraPoints = 256;
constexpr int MaxCameraTriangles = 256;
constexpr int MapSquareCount = WorldGridSize * WorldGridSize;
constexpr int BumpMapSize = 256 * 256;
constexpr int BumpCurveSize = 256;
constexpr int PreloadNameLength = 24;

// Load states: 0 loaded or empty, 1..15 the file stages, 16 the graphics phase.
constexpr int LoadStateGraphics = 16;

struct CameraPoint {
    int32_t x, y;   // 16.16
};

// A floor triangle of the camera zones: corner indices into the camera points.
struct CameraTriangle {
    uint32_t corner[3];
    uint32_t camera;
    float floorHeight;   // metres
};

// The wind as the start and weather code steps it.
struct WindState {
    float baseDirection;    // radians
    float direction;
    float directionRate;
    float baseSpeed;        // m/s
    float baseSpeedRoot;
    float speed;
    float speedRate;
    float velocity[3];      // m/s, z always 0
};

// The loaded track: everything read from its world file and computed from it
// for the selected configuration. At most one exists (CurrentWorld); it is
// large, so it lives on the heap (WorldCreate).
class World {
public:
    char trackName[32] = {};
    int32_t loadState = 0;
    int32_t stepIndex = 0;                 // position inside a time-sliced stage
    int32_t fileVersion = 0;
    uint32_t buildGraphics = 0;
    uint32_t makeEnvironmentTexture = 0;
    DataStream worldStream;
    DataStream lightStream;                // file null when the world has no light file
    char progressText[64] = {};
    char shortName[4] = {};                // the site's two-letter name
    uint8_t failed = 0;
    uint8_t oldColourFlags = 0;            // the world flags lacked bit 3
    int32_t meshDetailLevel = 0;
    int32_t graphicsState = 0;
    int32_t meshBuildCursor = 0;
    int32_t noDuplicators = 0;
    int32_t detailPassDone = 0;
    int32_t preloadNameCount = 0;
    char (*preloadNames)[PreloadNameLength] = nullptr;   // owned
    float gravity = 0.0f;                  // m/s^2 along z
    int32_t config = 0;                    // 1-based; 0 none
    int32_t reversed = 0;
    int32_t configCount = 0;
    WorldConfig *configs = nullptr;        // owned
    uint32_t worldFlags = 0;
    ColourSet colours;
    int32_t timingLineCount = 0;
    float crowdDensity = 0.0f;
    int32_t worldCentre[3] = {};
    int32_t worldExtent = 0;
    uint8_t knowledgeChanged = 0;
    Material *skyTextures[4] = {};
    float lightFraction = 0.0f;
    StartGridObject *startGrid = nullptr;
    int32_t startPositionCount = 0;
    DuplicatorObject *startPositions[MaxPositionObjects] = {};
    int32_t pitPositionCount = 0;
    DuplicatorObject *pitPositions[MaxPositionObjects] = {};
    int32_t pitPlaceCount = 0;
    DuplicatorObject *pitPlaces[MaxPositionObjects] = {};
    float startOrientation[9] = {};        // rows first
    int32_t lightSchemeIndex = 0;
    int32_t lightSchemeCount = 0;
    LightScheme *lightSchemes = nullptr;   // owned
    uint32_t startLightClock = 0;          // ms
    StartLamp startLamps[4] = {};
    int32_t lampDuplicator = 0;            // -1 none yet, -2 refused
    int32_t lampObjectCount = 0;
    DuplicatorObject *lampObjects[MaxLampObjects] = {};
    uint32_t nextLightEvent = 0;           // ms
    uint32_t redDelay = 0;                 // ms
    int32_t startLightState = 0;           // 0 armed, 1..3 red lamps lit, 4 green or idle
    int32_t speedZoneCentre[2] = {};
    float speedZoneReach = 0.0f;           // m^2
    int32_t speedZoneCount = 0;
    ZoneObject *speedZones[MaxSpeedZones] = {};
    int32_t cameraZoneCount = 0;
    ZoneObject *cameraZones[MaxCameraZones] = {};
    WindState wind = {};
    Path *currentPath = nullptr;
    Path *pathWithNodes = nullptr;
    Path *closedKnowledgePath = nullptr;
    Path *knowledgePath = nullptr;
    int32_t worldMeshCount = 0;
    RenderObject *worldMeshes[MaxWorldMeshes] = {};
    int32_t cameraPointCount = 0;
    int32_t cameraTriangleCount = 0;
    CameraPoint cameraPoints[MaxCameraPoints] = {};
    CameraTriangle cameraTriangles[MaxCameraTriangles] = {};
    int32_t layoutObjectCount = 0;
    int32_t objectCount = 0;               // the layout objects are the last ones
    WorldObject *objects[MaxWorldObjects] = {};   // owned
    int32_t movableObjectCount = 0;
    DuplicatorObject **movableObjects = nullptr;  // owned array
    int32_t duplicatorCount = 0;
    ObjectHolder *duplicators = nullptr;          // owned
    int32_t gridOrigin[2] = {};
    int32_t gridEnd[2] = {};
    int32_t cellSize[2] = {};
    MapSquare mapSquares[MapSquareCount] = {};
    WorldObject **mapSquareLists = nullptr;       // owned; every square's lists
    ObjectGridNode *objectGrid[MapSquareCount] = {};
    int32_t objectGridCursor = 0;
    int32_t objectGridCapacity = 0;
    ObjectGridNode *objectGridPool = nullptr;     // owned
    uint32_t bumpSeed = 0;
    int32_t bumpCount = 0;
    int32_t bumpRadius = 0;
    int8_t bumpMap[BumpMapSize] = {};
    int8_t bumpCurve[BumpCurveSize] = {};
    // The three posed figures join here with the figure records.

    // Empties the world so that it can be opened again. Harmless when
    // already empty.
    void Close();
    void SetProgressText(const char *text);
    // "%s %d%%".
    void SetProgressPercent(const char *text, int percent);
    int GetCheckpointCount() const;
    // 1 when the selected configuration counts as a rallycross track (its
    // knowledge path has less than 70 % of its nodes on road).
    int IsConfigValueLow() const;
    // Fills the bump map (256 x 256 heights -32..32 from the bump seed, count
    // and radius) and the 256-entry bump curve that solid surfaces read.
    void BuildBumpMap();
};

// The one world, or null while no track is loaded.
extern World *CurrentWorld;

// A fresh empty world on the heap with its defaults.
World *WorldCreate();
// Closes the world and its open files and frees it; CurrentWorld becomes null
// when it was this one.
void WorldDestroy(World *world);
// True in the file stages (load states 1..15); a null world is not loading.
bool WorldIsLoading(const World *world);

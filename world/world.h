#pragma once

#include <cstdint>

#include "core/data_stream.h"
#include "vehicle/world_query.h"
#include "world/human_system.h"
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
class PathFollower;
struct ObjectHolder;
struct Material;
struct RenderObject;
struct StartRaceView;

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
constexpr int WorldFigureCount = 3;

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
    char problemText[96] = {};             // the warning of a failed load, empty otherwise
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
    DriverFigure figures[WorldFigureCount];   // the marshal figures of the layout circles

    // Empties the world so that it can be opened again. Harmless when
    // already empty.
    void Close();
    // Creates the figures beside the track: crowds (with the crowd density),
    // then figure objects, each in object order, then the three marshal
    // figures. Runs its SharedRandom steps with or without a human system.
    void CreateFigures();
    // Crowds and figure objects free their figures; the three are freed.
    void ReleaseFigures();
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

    // Map squares: per square the solids and the objects with a reach radius
    // of the selected configuration (touching bounds count).
    void BuildMapSquares();
    // The squares (columns i0..i1, rows j0..j1) of the circle (x, y, r), all
    // 16.16, clamped to the grid; 0 when the circle lies wholly outside.
    int GetGridRange(int &i0, int &i1, int &j0, int &j1, int32_t x, int32_t y, int32_t r) const;
    // GetGridRange for the object's physics body; 0 without a body.
    int GetBodyGridRange(int &i0, int &i1, int &j0, int &j1, const DuplicatorObject *object) const;

    // The object grid of movable objects (built while a game session runs).
    void BuildObjectGrid();
    void GridAddObject(DuplicatorObject *object);
    void GridRemoveObject(DuplicatorObject *object);
    void TakeGridNode(int i, int j, DuplicatorObject *object);
    void ReleaseGridNode(int i, int j, DuplicatorObject *object);
    void FreeObjectGrid();
    // FreeObjectGrid, the physics world cleared, the grid built again and
    // the race cars added back.
    void RebuildObjectGrid();
    // Frees every duplicator holder's model.
    void ReleaseDuplicatorMeshes();

    // The four current-path pointers from the selected configuration's path.
    void SelectCurrentPath();
    // Files the start objects, zones, lamps and bounds of the selected
    // configuration, and the grid origin and cell size from the bounds.
    void SetUpStartObjects();
    // A start lamp, start position or pit position object joins its list.
    void BindStartLamp(DuplicatorObject *object);
    // The smallest speed limit of the speed zones; 255 without any.
    int GetLowestSpeedLimit() const;
    // The first speed zone, or camera zone, holding the ground point (16.16);
    // null when none does.
    ZoneObject *FindSpeedLimitZone(int32_t x, int32_t y) const;
    ZoneObject *FindCameraZone(int32_t x, int32_t y) const;
    // The camera of the highest camera triangle under the position (16.16),
    // or -1.
    int FindCameraTriangle(const int32_t position[3]) const;
    // Reads the camera points and triangles block of the world file. 0, or
    // non-zero when a count exceeds 256 or the bytes left, or a triangle
    // names a missing point (nothing is kept then).
    int ReadCameraGeometry(DataStream *stream);

    // Configurations (world_config.cpp). Each does nothing harmful on a
    // world without configurations.
    // Lamps and colours reset, timing lines counted, objects prepared (all,
    // or only those without a lit mesh) and start objects set up.
    void RebuildConfigData(int all);
    // Every start lamp off and unbound, then the colours initialised.
    void ResetLampsAndColours();
    // The timing line count: the largest checkpoint number (1..4) among the
    // solids of the selected configuration.
    void CountCheckpoints();
    void PrepareObjects(int all);
    // The site table's name of the selected configuration, else the file's.
    const char *GetConfigName() const;
    // The selected configuration's name from the world file, else "unknown".
    const char *GetFileConfigName() const;

    // Light schemes (light_scheme.cpp).
    // "<weather> <time of day>" of the scheme, 32 zero bytes for no scheme.
    void FormatLightSchemeName(char out[32], int index) const;
    // The selected scheme's sun, sky light, sun direction, lit ground
    // colour, shadow heading and length and fog colour into the current
    // view, then the view's hemisphere light levels.
    void ApplyLightScheme(int makeEnvironmentTexture);

    // Visibility list upkeep for layout objects, on every configuration's
    // path. With resetDrivers set, ResetAiDrivers runs first so that no
    // follower keeps planes of the old lists.
    void AddObjectToPathLists(int objectIndex, int resetDrivers);
    void RemoveObjectFromPathLists(int objectIndex, int resetDrivers);
    // Exchanges indices a and b in every base and delta list.
    void RenumberObjectInPathLists(int a, int b);
    // Takes the object out of the path lists, frees it and moves the last
    // object into its place (renumbered in the lists). The caller adjusts
    // the layout object count.
    void RemoveObject(int objectIndex, int resetDrivers);

    // Start lights and wind (race null: no race, as at load time).
    // Clears the red delay and the light clock, arms the lights for the race
    // (or shows green without one) and zeroes the wind; offline with a race,
    // draws the wind and the red delay.
    void ResetStartLightsAndWind(const StartRaceView *race);
    // One 0.01 s tick: the wind walk, then the next lamp when it is due.
    void StepStartLightsAndWind(const StartRaceView *race);
    // The green: lights idle, reds off, green on, race timing started.
    void StartLightsGo(const StartRaceView *race);
    // Writes the lamp's (0..3) on or off colour into its bound colour words.
    void SetLampState(int lamp, int on);
    void AllLampsOff();
    void ClearLampBindings();
    // Redraws the lamp objects with their changed colours (drawing programs only).
    void RefreshLamps();
    // Draws the extra wait before the green from SharedRandom when the race needs one.
    void RandomiseRedDelay(const StartRaceView *race);
    // Sets the wind's base and current speed (m/s) and direction (radians).
    void SetWindBase(float speed, float direction);
};

// FreeObjectGrid and the physics world cleared, then every layout object
// and circle removed and the layout route reset.
void ClearObjectGrid(World *world);

// Resets every car's path follower and AI driver through the hook the race
// code registers (nothing without one), then writes the path knowledge when
// it was changed.
using ResetAiDriversHook = void (*)();
void SetResetAiDriversHook(ResetAiDriversHook hook);
void ResetAiDrivers();

// Registers the forwarding world query: from then on bodies and the physics
// world ask CurrentWorld (nothing loaded while it is null or loading).
// WorldCreate calls it; WorldDestroy of the current world takes it back
// (UnregisterWorldQuery, which leaves any other registered query alone).
void RegisterWorldQuery();
void UnregisterWorldQuery();

// The site whose pit-position objects keep their own heading (flag bit 9)
// instead of standing 30 degrees off the path.
extern const char OwnHeadingPitSite[3];

// Start places of the race: the grid's slots (at most 32), else the
// start-position objects clamped to 1..32.
int NumStartPositions(const World *world);
// Position (16.16, z 0 for position objects) and heading of start slot
// `slot`; the origin and heading 0 for a slot without a place. pitStart is
// passed on only; the layout's own start joins with the layouts.
void GetStartPosition(const World *world, int32_t position[3], float &heading, int slot, int pitStart,
                      int ignoreLayoutStart, int32_t *secondPosition);
// The pit-position object of the slot, else the start position. With a
// follower (the car's) on a knowledge path its position is made sure of
// (unless skipSearch) and the car stands 30 degrees off the path heading,
// nose toward the path, unless the object keeps its own heading. *searched
// (when given) is set when the follower was searched.
void GetPitStartPosition(const World *world, int32_t position[3], float &heading, int slot,
                         PathFollower *follower, int skipSearch, int *searched);

// The one world, or null while no track is loaded.
extern World *CurrentWorld;

// A fresh empty world on the heap with its defaults.
World *WorldCreate();
// Closes the world and its open files and frees it; CurrentWorld becomes null
// when it was this one.
void WorldDestroy(World *world);
// True in the file stages (load states 1..15); a null world is not loading.
bool WorldIsLoading(const World *world);

#pragma once

// Layouts: the objects a user places on a loaded track on top of its own
// (copies of placeable duplicators, a start point, timing lines and circles),
// the route the timing objects give, and the services that layout code
// reaches above the world library.
//
// Layout objects are the last layoutObjectCount entries of the world's
// objects; circles live in LayoutCircles. Every change travels as a packet
// (world/layout_packets.h) so that all programs hold the same objects in the
// same order.

#include <cstdint>

#include "core/data_stream.h"
#include "core/fixed_math.h"

class DuplicatorObject;
class World;
struct MenuPage;

// One placed object, the same 8 bytes in files and packets (little-endian).
struct LayoutRecord {
    int16_t x;           // position x >> 12 (1/16 m)
    int16_t y;
    int8_t height;       // round(height x 65536) >> 14, low byte (1/4 m)
    uint8_t flags;       // 0 object; timing 0x80 + width x 4 + index; circle: bit 7 restricted,
                         // bits 2-5 radius (m), bits 0-1 figure number
    uint8_t duplicator;  // duplicator index; 0 timing object; 255 circle
    uint8_t heading;     // heading byte; a checkpoint circle's order number
};
static_assert(sizeof(LayoutRecord) == 8, "a layout record is stored as 8 bytes");

constexpr int LayoutRecordSize = 8;
constexpr int MaxLayoutCircles = 96;
constexpr uint8_t LayoutCircleIndex = 255;
constexpr uint8_t LayoutTimingFlag = 0x80;
constexpr uint8_t LayoutRestrictedFlag = 0x80;
constexpr int LayoutNameSize = 32;

void LayoutRecordToBytes(const LayoutRecord &record, uint8_t out[LayoutRecordSize]);
LayoutRecord LayoutRecordFromBytes(const uint8_t bytes[LayoutRecordSize]);
// Equal in every byte but the height (the remove packet's match).
bool LayoutRecordsMatch(const LayoutRecord &a, const LayoutRecord &b);

// The circles with their transforms (16.16; the matrix is set for
// restricted areas only).
struct LayoutCircleSet {
    int32_t count;
    LayoutRecord records[MaxLayoutCircles];
    FixTransform transforms[MaxLayoutCircles];
};

// A timing line of the layout, 8 i32: point, direction (-sin h, cos h) and
// the line's own direction (cos h, sin h) in 16.16, half-width (width << 16).
struct LayoutRouteLine {
    int32_t point[3];
    int32_t direction[2];
    int32_t along[2];
    int32_t halfWidth;
};

struct LayoutRoute {
    LayoutRouteLine lines[4];
    int32_t timingLineCount;    // 0 none, else the highest index + 1
    float startHeading;         // the start override
    int32_t startPosition[3];
    int32_t startOverride;      // 1 when the layout has its own start point
};

extern LayoutCircleSet LayoutCircles;
extern LayoutRoute LayoutRouteLines;
extern char LayoutName[LayoutNameSize];
extern int LayoutLoaded;          // the layout was loaded or saved (as LayoutName)
extern int LayoutLaps;            // the file's lap count, at least 1
extern int LayoutScaling;         // records of an old file of the rescaled site
extern DataStream LayoutStream;   // open while the host sends a layout
extern int LayoutRecordsToSend;
// Set by the race session while it places a car that joins a running race.
extern int JoiningCarPlacement;

// What layout code needs from the subsystems above the world. Null members:
// no network (packets go to the local hand-off), connection 0 is the local
// one, no sound, no InSim, no race session, no lesson.
struct LayoutServices {
    // Game packets: appended to the outgoing batch; the batch sent.
    void (*queueGamePacket)(const uint8_t *bytes, int length);
    void (*flushGameBatch)();
    int (*ownConnectionIndex)();
    void (*clearTrackLoadedFlags)();
    void (*setHostLayoutState)(int state);
    // Packets of the local hand-off that are not layout packets
    // (MP_RACE_LENGTH, MP_TRACK_LOADED).
    void (*handleOtherGamePacket)(const uint8_t *bytes, int length, int connection);
    void (*playInterfaceSound)(int sound);
    void (*inSimSendTiny)(int subtype);
    void (*inSimSendLayoutInfo)();
    // The race setup's lap setting.
    int (*getRaceLapSetting)();
    void (*setRaceLapSetting)(int laps);
    // Qualifying minutes of the race setup and the race object's qualifying byte.
    void (*clearQualifying)();
    void (*clearRaceStartFlag)();
    void (*clearRaceResults)();
    int (*lessonActive)();
    // A running lesson supplies a finish of its own.
    int (*lessonOwnFinish)();
};
void SetLayoutServices(const LayoutServices &services);
const LayoutServices &GetLayoutServices();
int OwnConnection();

// Records and objects.
LayoutRecord PackLayoutRecord(const DuplicatorObject &object);
// Position (16.16), height (m), heading and the two tilts of the record, put
// on the ground unless the program is a dedicated host without graphics.
// 0 when no ground was found under it.
int UnpackLayoutRecord(const LayoutRecord &record, int32_t position[3], float &height, float &heading,
                       float &tilt1, float &tilt2);
// Position with z = height + 1/8 m, and the heading; no ground search.
void UnpackLayoutRecordPosition(const LayoutRecord &record, int32_t position[3], float &heading);

// Adds a record as a layout object or circle: 1 when it became one.
// needsGrid and startAdded are set (never cleared) when the object is movable
// or a start point.
int AddLayoutObject(const LayoutRecord &record, int report, int rebuildRoute, int *needsGrid, int *startAdded,
                    int connection);
// 1 when the object's body touches that of a placeable movable object of the
// selected configuration.
int LayoutObjectIntersects(DuplicatorObject *object);
// Removes the first layout object, or circle, matching the record (not the
// height). 1 when one was removed.
int RemoveLayoutObject(const LayoutRecord &record);
// ClearObjectGrid of the current world: every layout object and circle
// removed, the route reset.
void RemoveAllLayoutObjects();
// The layout part of ClearObjectGrid: the layout objects removed from the
// end of the world's objects, the circles dropped, the route reset.
void ClearLayoutObjects(World *world);

// Route.
int GetRouteIndex(const DuplicatorObject &object);
int LayoutHasRouteIndex(int routeIndex);
int LayoutHasStartPoint();
int CountLayoutCheckCircles();
void ResetLayoutRoute();
void BuildLayoutRoute(int report);

// Files (layout_file.cpp). Names are "<track code>_<layout name>".
extern const char LayoutFileId[7];
constexpr int LayoutFileVersion = 251;
constexpr int LayoutOldestVersion = 246;
// The site whose layouts of old files (flags bit 0 clear) are rescaled.
extern const char RescaledLayoutSite[3];
constexpr float LayoutRescale = 0.927f;

// "data\<lytdir>\<name>.lyt".
void MakeLayoutPath(char *out, int size, const char *name);
// "data\<lytdir>\<track code>_*.lyt".
void MakeLayoutFileName(char *out, int size);
// 1 when a layout was opened and its clear queued (records left to send in
// LayoutRecordsToSend); 0 when missing, refused or without a world.
int OpenLayoutFile(const char *name);
int SaveLayoutFile(const char *name, MenuPage *page);
int CreateEmptyLayoutFile(const char *path);
// The body of the current layout: duplicator order puts, for each placeable
// duplicator in index order, its objects first; then the other layout
// objects in object order, then the circles. Laps from the race setup.
void WriteLayoutRecords(DataStream *stream, int duplicatorOrder);
// A body of the given records: count, laps, flags, records.
void WriteLayoutBody(DataStream *stream, const LayoutRecord *records, int count, int laps, int flags);
// 1, or 0 when the count exceeds the records (nothing added then).
int ReadLayoutBody(DataStream *stream, int version, int takeLaps, int add, const char *path);
void ReadLayoutRecord(DataStream *stream, LayoutRecord &record);
int LoadTrainingLayout(const char *name);
void ClearLayoutName();

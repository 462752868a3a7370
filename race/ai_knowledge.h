#pragma once

#include <cstddef>
#include <cstdint>

class CarObject;
struct CarSetup;
struct DataStream;
struct Path;
struct PathNode;

// What a computer driver knows of one node of the track: where its line
// runs, how the ground lies there and how fast the car can go.
struct KnowledgeNode {
    float offset;          // lateral offset of the line from the path centre, metres (positive right)
    float maxSpeed;        // m/s
    float curvature;       // signed horizontal curvature of the line, 1/m
    float vertCurvature;   // vertical curvature (crest negative), 1/m
    float frontGrip;
    float rearGrip;
    float bank;            // lateral component of the surface normal against the line
    float gradient;        // minus the normal's component along the line
    float bankFactor;      // 1 +- |bank| when the bank leans into / out of the curve
    float distance;        // horizontal distance to the next node's line point, metres
    float surfaceValue;    // the surface's loose-ground drag value
    uint8_t surfaceLow;    // surface under the wheel track towards the left edge
    uint8_t surfaceHigh;   // towards the right edge
    uint8_t surface;       // the one on the inside of the curve
    uint8_t surfaceFlag;   // 1 on loose ground
    uint8_t brakeLevel;    // 0..255
    uint8_t throttleLevel; // 0..255
    uint8_t reserved[2];
    int32_t linePoint[3];  // 16.16, z = ground + 2048
    float dir[3];          // unit direction of the line, z = 0
    float normal[3];       // surface normal
};

// One piece of the line: a cubic in the horizontal plane from startNode to
// endNode (forwards, wrapping), evaluated in 16.16.
struct KnowledgeRange {
    uint16_t tag;
    uint8_t startStiffness;
    uint8_t endStiffness;
    uint32_t startNode;
    uint32_t endNode;
    float angle;           // radians: the line's direction at endNode against the path's
    float endOffset;       // metres
    int32_t x[4];          // c0..c3, 16.16
    int32_t y[4];
};

// Bytes of one range record in a knowledge file.
constexpr int KnowledgeRangeFileSize = 24;
// The only version read.
constexpr int KnowledgeFileVersion = 5;

// A driver's knowledge of a configuration for a car: the line from a
// knowledge file, the node table built from it over the current path, and
// the car's capability figures. Owns its tables; Clear frees them.
struct AiKnowledge {
    CarObject *car = nullptr;
    float maxBrakeDecel = 0.0f;
    float frontDownforce = 0.0f;
    float rearDownforce = 0.0f;
    float frontRoll = 0.0f;
    float rearRoll = 0.0f;
    uint8_t settings[4] = {};   // 0 and 1: set-up bytes 8 and 9 the line was made for
    uint16_t settingsWord = 0;  // the set-up's 16-bit value at offset 34
    uint16_t settingsWord2 = 0;
    float fuelPerLap = 0.0f;    // litres
    float fileValue = 0.0f;
    float lapTime = 0.0f;       // seconds
    float tankSize = 0.0f;      // litres
    uint32_t nodeCount = 0;
    KnowledgeNode *nodes = nullptr;
    uint32_t rangeCount = 0;
    KnowledgeRange *ranges = nullptr;

    // Frees both tables and zeroes the block.
    void Clear();
    // Destroys the block's own temporary car.
    void FreeCar();
    // Reads a knowledge file expecting `expectedNodes` nodes: 1, or 0 for a
    // missing or damaged file, another version, or another node count
    // ("Wrong number of nodes" is printed for the last).
    int Load(const char *fileName, int expectedNodes);
    // The fields after the header. 0 when the node count differs (result
    // code in *wrongCount when given) or the ranges do not fit the file or
    // the node table.
    int Parse(DataStream *stream, int version, int expectedNodes, int *wrongCount = nullptr);
    // A zeroed node table of `count` records.
    void AllocNodes(int count);

    // The node table over path p for a car of half width w (metres): 1, or 0
    // when the line leaves the road.
    int Build(const Path &path, float halfWidth);
    void SetRangeEnd(int rangeIndex, const Path &path, float halfWidth);
    int PlaceNodes(const PathNode *pathNodes, int closed, float halfWidth, int first, int last);
    void ComputeNodeGeometry(int closed, float halfWidth, int first, int last);
    // A node record between a and b at fraction t, moved onto the arc of
    // their curvatures when arc is set.
    static void InterpolateNodes(KnowledgeNode &out, const KnowledgeNode &a, const KnowledgeNode &b, float t,
                                 int arc);

    // --- Capability and speed profile ---
    // Car mass plus the wheels' rotational inertia over radius squared, kg.
    float EffectiveMass() const;
    // Axle capacities (m/s^2) at a node for grip factor f and speed squared
    // v2; a is the longitudinal load transfer towards the rear. The
    // two-wheel-drive forms also give the share of the drive the driven
    // axle can use (r: the rear's share of the weight).
    float LateralGrip(const KnowledgeNode &node, float f, float v2) const;
    float RearLateralGrip(const KnowledgeNode &node, float f, float v2) const;
    float RearDriveGrip(const KnowledgeNode &node, float f, float v2, float a, float r, float *ratio) const;
    float FrontDriveGrip(const KnowledgeNode &node, float f, float v2, float a, float r, float *ratio) const;
    float AllDriveGrip(const KnowledgeNode &node, float f, float v2, float a) const;
    float BrakeGrip(const KnowledgeNode &node, float f, float v2, float a) const;
    float MaxBrakingDecel(const KnowledgeNode &node, float f, float v2) const;
    float MaxDriveAccel(const KnowledgeNode &node, float f, float v2, float r, float front, float available) const;
    float CorneringDrag(int full, const KnowledgeNode &node, float v2, float r) const;
    // maxSpeed, grips and pedal levels of every node. full: the display's
    // fuller car model; endNode >= 0 closes an open profile at endTable's
    // speed there (pit-lane lines, which also keep the speed limits).
    void ComputeSpeedProfile(int full, float f, int endNode, int closed, const KnowledgeNode *endTable);

    // The set-up's wings (bytes 8 and 9) and final drive (offset 34) take
    // the line's settings; MatchSettings is 1 when they already have them.
    void CopySettings(CarSetup *setup) const;
    int MatchSettings(const CarSetup &setup) const;
};

// The capability figures of k from its car (k.car must be set).
void EstimateCarCapability(AiKnowledge &k);

// One range record of a file, reserved bytes skipped.
void ReadKnowledgeRange(DataStream *stream, KnowledgeRange *range);

// "data\knw\<track code>_<car code>.knw" of the current track.
void MakeKnowledgeFileName(char *out, size_t size, const char *carCode);
// The car's three-letter code (carCode, 4 bytes) and its knowledge file
// name. A car not in the car table prints the car-not-found message and
// gives 0.
int MakeKnowledgeFileNameForCar(char *out, size_t size, char *carCode, const char *carName);

// Draws the line from node `first` forwards (wrapping) to node `last` as a
// ribbon half a metre wide in the world batch, coloured by the pedal levels:
// red braking, green driving, yellow coasting. Nothing without graphics.
void DrawAiKnowledge(const AiKnowledge &knowledge, int first, int last);

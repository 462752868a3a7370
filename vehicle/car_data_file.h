#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_rods.h"
#include "vehicle/car_setup.h"
#include "vehicle/engine_record.h"
#include "vehicle/rim_data.h"

struct DataStream;
struct Object3D;

// The car data file, data\veh\<code>.veh: everything one car model is made
// of. This is the one writer of its bytes; the car loader (LoadCarData) is
// the reader. The layout is in docs/car_data_file.md.

constexpr const char *CarDataFileId = "KZVVEH";
constexpr int CarDataFileVersion = 252;   // the version written; loaders read 248..252

// Limits the loader holds the data to.
constexpr int MaxCarPartNames = 16;
constexpr int MaxDashboardBytes = 144;
constexpr int MaxCarWheels = 4;
constexpr int CarMaterialCount = 8;

// Car data flags (dataFlags) that the loader itself reads.
constexpr uint32_t CarFlagUnknownFamily = 0x1;      // set by the loader
constexpr uint32_t CarFlagNoMirror = 0x2;
constexpr uint32_t CarFlagRearSeats = 0x400;        // rear seat position in the file
constexpr uint32_t CarFlagExtraFloat = 0x4000;      // one more float in the file
constexpr uint32_t CarFlagTankSize = 0x80000;       // tank size in the file
constexpr uint32_t CarFlagSecondWord = 0x80000000u; // dataFlags2 in the file
// dataFlags2.
constexpr uint32_t CarFlag2MaterialsConverted = 1u << 24;

// One part-name record: up to 11 characters and a zero, then the mask of
// the body object's parts that this choice shows (bit n: part n).
struct CarPartName {
    char name[12];
    uint32_t mask;
};
static_assert(sizeof(CarPartName) == 16, "a part name is stored as 16 bytes");

// Writes one object record (and its children) of the 3D object format; the
// object file writer of the tools is one.
using ObjectRecordWriter = void (*)(const Object3D &object, DataStream &stream, int isRoot);

// Every field of the car data, in file order. Counts are the sizes of the
// vectors. Fields marked "not used" are read and dropped by the loader.
struct CarDataFile {
    uint32_t flags = 0;                 // dataFlags; CarFlagSecondWord writes flags2
    uint32_t flags2 = 0;
    int32_t vehicleClass = 0;           // 0..11
    int32_t gearboxKind = 1;            // 1..5
    uint8_t drivenAxles = 1;            // bit 0 rear, bit 1 front
    uint8_t unusedBytes[3] = {};        // not used
    uint32_t unusedWord = 0;            // not used
    EngineFigures engine = {};          // written as the version-14 record
    std::vector<NamedSetup> setups;     // entry 0 is the default set-up
    std::vector<CarColours> colours;    // entry 0 is the default colours
    uint32_t unusedWord2 = 0;           // not used
    std::vector<CarPartName> partNames; // at most 16
    float enginePosition[3] = {0.0f, 1.5f, 0.0f};
    float driverSeat[3] = {};
    float rearSeat[3] = {};             // written only with CarFlagRearSeats
    float tankPosition[3] = {0.0f, -1.5f, 0.0f};
    float furtherMass[4] = {};          // position and mass
    float spareWheel[4] = {0.0f, -2.0f, 0.0f, 0.0f};
    float drawingValues[3] = {6.2831855f, 0.0f, 0.7853982f};
    float extraFloat = 0.0f;            // written only with CarFlagExtraFloat
    float tankSize = 0.0f;              // litres; written only with CarFlagTankSize
    float shiftFloats[3] = {};          // replaced on loading by the gearbox kind's times
    uint32_t aidFlags = 0;              // bit 0 traction control fitted
    uint32_t aidWords[2] = {};          // written only when aidFlags is nonzero; not used
    uint8_t modelVariant = 0;
    uint8_t dataBytes[2] = {};          // the two bytes after the dashboard length
    std::vector<uint8_t> dashboard;     // at most 144 bytes (its length is a byte)
    uint32_t unusedWords[2] = {};       // not used
    char shortName[4] = {};             // three letters and a zero
    uint8_t setupRanges[8] = {};        // four pairs of lowest and highest values
    // A header-only load stops here.
    uint32_t gearCount = 7;             // reverse, neutral and the forward gears
    float reverseRatio = 0.0f;
    char animationName[8] = {};
    uint8_t materialColours[CarMaterialCount][4] = {};  // red, green, blue, fourth
    char familyCode[4] = {};            // two letters, zero padded
    std::vector<CarRodEnd> rodEnds;
    std::vector<CarRodLink> rodLinks;
    struct Wheel {
        float restPosition[3];
    };
    std::vector<Wheel> wheels;          // at most 4
    RimDataFields axles[2] = {};        // rear, front: the 64-byte axle records
    uint8_t rimBytes[4] = {2, 0, 0, 0}; // byte 0 the rim repeat count (2..22)
    // The rim object: written with writeRimObject when both are given, else
    // an empty object record is written.
    const Object3D *rimObject = nullptr;
    ObjectRecordWriter writeRimObject = nullptr;
    // The car curve.
    std::vector<FloatPair> curvePoints;
    uint16_t curveMaterialWidth = 0;    // material cells: width x height
    uint16_t curveMaterialHeight = 0;
    std::vector<GridCell> curveMaterials;
    uint8_t curveExtraCounts[3] = {};
    std::vector<CurveSegment> curveSegments;  // at most 255; written as four i16
    // The four aerodynamic surfaces in `wings` order: lift coefficient, drag
    // coefficient, base drag.
    float aero[4][3] = {};
};

// Writes every field after the file header. Returns 1, or 0 when the data
// cannot be stored in the format (a dashboard longer than 255 bytes, more
// than 255 curve segments, material cells that do not match their size) or
// a write failed.
int WriteCarDataFile(DataStream *stream, const CarDataFile &data);
// Creates the file at path (header "KZVVEH", version 252), writes the data and
// closes it. Returns 1, or 0 when the file could not be created, the data
// cannot be stored, or a write or the close failed.
int SaveCarDataFile(const char *path, const CarDataFile &data);

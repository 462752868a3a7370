#include "vehicle/car_data_loader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/player_file.h"
#include "render/object_file.h"
#include "vehicle/car_class.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_object.h"
#include "vehicle/race_hooks.h"
#include "vehicle/setup_file.h"
#include "vehicle/world_query.h"

char CurrentCarName[4] = {};
const char *CarDataLoadError = nullptr;

namespace {

// Load refusals.
constexpr const char *BadClassError = "Bad vehicle class";
constexpr const char *BadGearboxError = "Bad gearbox kind";
constexpr const char *NoSetupsError = "No set-ups in car data";
constexpr const char *BadSetupError = "Could not read set-up";
constexpr const char *ZeroPressureError = "Zero tyre pressure in set-up";
constexpr const char *NoColoursError = "No colour configs in car data";
constexpr const char *BadPartNamesError = "Bad part name count";
constexpr const char *BadDashboardError = "Bad dashboard length";
constexpr const char *BadFloatError = "Bad number in car data";
constexpr const char *BadGearCountError = "Bad gear count";
constexpr const char *BadRodsError = "Bad rods";
constexpr const char *BadWheelCountError = "Bad wheel count";
constexpr const char *BadAxleError = "Bad axle record";
constexpr const char *BadRimObjectError = "Bad rim object";
constexpr const char *BadCurveError = "Bad car curve";
constexpr const char *BadAeroError = "Bad aerodynamic surface";
constexpr const char *TruncatedError = "Car data ends early";
constexpr const char *BadHeaderError = "Not car data";

constexpr int NamedSetupMinimumSize = 16 + 64;   // a name and the shortest record form
constexpr int ColourRecordSize = 48;
constexpr int WheelRecordSize = 12;
constexpr int CurrentDataVersion = 252;          // older data gets the conversions below
constexpr int MaxGearPositions = 9;
constexpr int MinGearPositions = 3;
constexpr int MaxSuspensionType = 5;

int Refuse(const char *reason) {
    CarDataLoadError = reason;
    VehiclePrintWarning(reason);
    return 0;
}

// Reads n floats; false when any is not finite (later steps divide by them
// or take their roots).
bool ReadFiniteFloats(DataStream *stream, float *out, int n) {
    bool finite = true;
    for (int i = 0; i < n; i++) {
        out[i] = stream->ReadFloat();
        finite = finite && std::isfinite(out[i]);
    }
    return finite;
}

int FamilyIndex(const char *familyCode) {
    for (int i = 0; i < 4; i++) {
        if (std::strncmp(familyCode, BuiltInFamilyCodes[i], 4) == 0)
            return i;
    }
    return -1;
}

void ReplacePair(int32_t &a, int32_t &b, int32_t fromA, int32_t fromB, int32_t toA, int32_t toB) {
    if (a == fromA && b == fromB) {
        a = toA;
        b = toB;
    }
}

// The adjustment of the body's kind-10 children for the families that need
// it: pitch and roll become 1280, and two positions move.
void AdjustBodyChildren(Object3D *body) {
    for (int i = 0; i < body->childCount; i++) {
        Object3D &child = body->children[i];
        if (child.kind != 10)
            continue;
        child.pitch = 1280;
        child.roll = 1280;
        ReplacePair(child.x, child.y, 8700, 60749, 11780, 60740);
        ReplacePair(child.y, child.z, 16641, 70125, 25000, 70000);
    }
}

// Old data kept its material colours brighter.
void ConvertMaterialColours(CarObject *car) {
    car->dataFlags2 |= CarFlag2MaterialsConverted;
    for (int i = 0; i < CarMaterialCount; i++) {
        uint8_t *c = car->materials[i].colour;
        c[3] = 0;
        if (i == 1 || i == 5 || i == 6)
            continue;
        int largest = c[0];
        if (c[1] > largest)
            largest = c[1];
        if (c[2] > largest)
            largest = c[2];
        if (largest > 180) {
            for (int k = 0; k < 3; k++)
                c[k] = static_cast<uint8_t>(c[k] * 180 / largest);
        }
    }
    for (int k = 0; k < 3; k++)
        car->materials[2].colour[k] = static_cast<uint8_t>(car->materials[0].colour[k] * 2 / 3);
    const uint8_t red[4] = {240, 40, 20, 0};
    std::memcpy(car->materials[5].colour, red, 4);
}

bool AxleValid(const RimData &axle) {
    const float values[] = {axle.tyreWidth,    axle.aspect,          axle.rimRadius,      axle.rimWidth,
                            axle.travelReference, axle.inclination,  axle.trackWidth,     axle.armBaseAngle,
                            axle.hubOffset,    axle.pivotHeight,     axle.probeStartOffset, axle.firstArmLength,
                            axle.secondArmLength, axle.uprightLength};
    for (float value : values) {
        if (!std::isfinite(value))
            return false;
    }
    if (!(axle.tyreWidth > 0.0f && axle.aspect > 0.0f && axle.rimRadius > 0.0f && axle.rimWidth > 0.0f))
        return false;
    if (axle.suspensionType > MaxSuspensionType)
        return false;
    if (axle.suspensionType == 3 || axle.suspensionType == 4) {
        if (!(axle.firstArmLength > 0.0f && axle.uprightLength > 0.0f))
            return false;
        if (axle.suspensionType == 4 && !(axle.secondArmLength > 0.0f))
            return false;
    }
    return true;
}

void ScaleObjectX(Object3D *object, float factor) {
    for (int i = 0; i < object->pointCount; i++) {
        ObjectPoint &point = object->points[i];
        point.x = static_cast<int32_t>(std::lrint(static_cast<float>(point.x) * factor));
    }
    for (int i = 0; i < object->childCount; i++)
        ScaleObjectX(&object->children[i], factor);
}

// Axle records and rim objects of data before version 252 carry no
// description bytes and a narrower rim seat.
void FixOldAxles(CarObject *car) {
    for (RimData &axle : car->axles) {
        axle.seatInset = 5;
        axle.darkening = 6;
        axle.style[1] = 2;
    }
    if (car->axles[0].aspect < 0.355f) {
        for (RimData &axle : car->axles) {
            axle.style[3] = 1;
            axle.style[1] = 4;
        }
    }
    const float r = car->axles[1].rimWidth * 0.5f;
    ScaleObjectX(&car->rimObject, (r + 0.005f) / r);
}

// Fields 1 to 31: identity, engine, set-ups, colours, part names, positions,
// dashboard, short name and set-up ranges.
int ReadHeaderPart(CarObject *car, DataStream *stream, int version) {
    car->dataFlags = stream->ReadU32();
    car->dataFlags2 = car->dataFlags & CarFlagSecondWord ? stream->ReadU32() : 0;
    const int32_t vehicleClass = static_cast<int32_t>(stream->ReadU32());
    if (vehicleClass < 0 || vehicleClass >= CarClassCount)
        return Refuse(BadClassError);
    car->vehicleClass = vehicleClass;
    const int32_t gearboxKind = static_cast<int32_t>(stream->ReadU32());
    if (gearboxKind < 1 || gearboxKind > 5)
        return Refuse(BadGearboxError);
    car->gearboxKind = gearboxKind;
    car->drivenAxles = static_cast<uint8_t>(stream->ReadU8());
    uint8_t unused[3];
    stream->ReadBytes(unused, 3);
    stream->ReadU32();
    if (const char *error = ReadCarEngineRecord(car->engine, *stream))
        return Refuse(error);
    if (car->engine.turboLagFactor == 0.0f)
        car->engine.turboLagFactor = CarClassTable[vehicleClass].engineDefault;

    // The set-up and colour choices take entry 0 when an index is out of
    // range, so both tables need at least one entry.
    const uint32_t setupCount = stream->ReadU32();
    if (setupCount == 0)
        return Refuse(NoSetupsError);
    if (static_cast<int64_t>(setupCount) * NamedSetupMinimumSize > stream->Remaining())
        return Refuse(TruncatedError);
    delete[] car->setupTable;
    car->setup = nullptr;
    car->setupTable = new NamedSetup[setupCount]();
    car->setupCount = static_cast<int32_t>(setupCount);
    for (uint32_t i = 0; i < setupCount; i++) {
        if (!ReadNamedSetup(&car->setupTable[i], stream, version) || stream->overrun)
            return Refuse(BadSetupError);
        // A zero pressure gives a tyre without stiffness.
        for (const CarSetupAxle &axle : car->setupTable[i].setup.axles) {
            if (axle.pressureLeft == 0 || axle.pressureRight == 0)
                return Refuse(ZeroPressureError);
        }
    }

    const uint32_t colourCount = stream->ReadU32();
    if (colourCount == 0)
        return Refuse(NoColoursError);
    if (static_cast<int64_t>(colourCount) * ColourRecordSize > stream->Remaining())
        return Refuse(TruncatedError);
    delete[] car->colourTable;
    car->colours = nullptr;
    car->colourTable = new CarColours[colourCount]();
    car->colourCount = static_cast<int32_t>(colourCount);
    for (uint32_t i = 0; i < colourCount; i++)
        ReadColourRecord(&car->colourTable[i], stream, version);

    stream->ReadU32();
    const int32_t partNameCount = static_cast<int32_t>(stream->ReadU32());
    if (partNameCount < 0 || partNameCount > MaxCarPartNames)
        return Refuse(BadPartNamesError);
    std::memset(car->partNames, 0, sizeof(car->partNames));
    for (int i = 0; i < partNameCount; i++) {
        stream->ReadBytes(car->partNames[i].name, sizeof(car->partNames[i].name));
        car->partNames[i].name[sizeof(car->partNames[i].name) - 1] = 0;
        car->partNames[i].mask = stream->ReadU32();
    }
    car->partNameCount = partNameCount > 0 ? partNameCount : 1;

    bool finite = ReadFiniteFloats(stream, car->enginePosition, 3);
    finite = ReadFiniteFloats(stream, car->driverSeat, 3) && finite;
    if (car->dataFlags & CarFlagRearSeats)
        finite = ReadFiniteFloats(stream, car->rearSeat, 3) && finite;
    else
        car->rearSeat[0] = car->rearSeat[1] = car->rearSeat[2] = 0.0f;
    finite = ReadFiniteFloats(stream, car->storedTankPosition, 3) && finite;
    finite = ReadFiniteFloats(stream, car->furtherMass, 4) && finite;
    finite = ReadFiniteFloats(stream, car->spareWheel, 4) && finite;
    finite = ReadFiniteFloats(stream, car->drawingValues, 3) && finite;
    if (car->dataFlags & CarFlagExtraFloat)
        finite = ReadFiniteFloats(stream, &car->extraFloat, 1) && finite;
    if (car->dataFlags & CarFlagTankSize)
        finite = ReadFiniteFloats(stream, &car->tankSize, 1) && finite;
    finite = ReadFiniteFloats(stream, car->shiftTimes, 3) && finite;
    if (!finite)
        return Refuse(BadFloatError);
    car->aidFlags = stream->ReadU32();
    if (car->aidFlags != 0) {
        stream->ReadU32();
        stream->ReadU32();
    }
    car->modelVariant = static_cast<uint8_t>(stream->ReadU8());
    const int dashboardLength = stream->ReadU8();
    car->dataBytes[0] = static_cast<uint8_t>(stream->ReadU8());
    car->dataBytes[1] = static_cast<uint8_t>(stream->ReadU8());
    if (dashboardLength < 0 || dashboardLength > MaxDashboardBytes)
        return Refuse(BadDashboardError);
    car->dashboardLength = static_cast<uint8_t>(dashboardLength);
    std::memset(car->dashboard, 0, sizeof(car->dashboard));
    if (dashboardLength > 0)
        stream->ReadBytes(car->dashboard, dashboardLength);
    stream->ReadU32();
    stream->ReadU32();

    // A driver near the centre line leaves no room to mirror the car.
    if (std::fabs(car->driverSeat[0]) < 0.2f || (car->dataFlags & CarFlagNoMirror))
        car->mirrored = 0;
    std::memcpy(car->tankPosition, car->storedTankPosition, sizeof(car->tankPosition));
    if (car->mirrored)
        car->tankPosition[0] = -car->tankPosition[0];

    stream->ReadBytes(car->shortName, 4);
    car->shortName[3] = 0;
    stream->ReadBytes(car->setupRanges, 8);
    if (stream->overrun)
        return Refuse(TruncatedError);
    return 1;
}

void ChooseSetupAndColours(CarObject *car, const CarLoadArguments &args) {
    if (args.setupIndex == -1 && args.setupIn != nullptr) {
        car->setupIndex = -1;
        car->setup = args.setupIn;
    } else {
        car->setupIndex = args.setupIndex;
        if (car->setupIndex < 0 || car->setupIndex >= car->setupCount) {
            car->setupIndex = 0;
            VehiclePrintWarning(UsingDefaultSettings);
        }
        car->setup = &car->setupTable[car->setupIndex].setup;
    }
    car->skinTime = args.skinTime;

    if (args.colourIndex == -1 && args.coloursIn != nullptr) {
        car->colourIndex = -1;
        car->colours = args.coloursIn;
    } else {
        car->colourIndex = args.colourIndex;
        if (car->colourIndex < 0 || car->colourIndex >= car->colourCount) {
            car->colourIndex = 0;
            VehiclePrintWarning(UsingDefaultColours);
        }
        car->colours = &car->colourTable[car->colourIndex];
    }
}

// Each wheel is zero-filled before it is read.
static_assert(std::is_trivially_copyable_v<CarWheel>, "a wheel record is zero-filled as bytes");

int ReadWheels(CarObject *car, DataStream *stream) {
    const uint32_t count = stream->ReadU32();
    // Every per-wheel record of the program holds four wheels.
    if (count > static_cast<uint32_t>(MaxCarWheels))
        return Refuse(BadWheelCountError);
    if (static_cast<int64_t>(count) * WheelRecordSize > stream->Remaining())
        return Refuse(TruncatedError);
    delete[] car->wheels;
    car->wheels = nullptr;
    car->wheelCount = 0;
    if (count == 0)
        return 1;
    car->wheels = new CarWheel[count];
    car->wheelCount = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < count; i++) {
        std::memset(static_cast<void *>(&car->wheels[i]), 0, sizeof(CarWheel));
        car->wheels[i].ReadRestPosition(*stream);
        for (float value : car->wheels[i].restPosition) {
            if (!std::isfinite(value))
                return Refuse(BadFloatError);
        }
    }
    return 1;
}

// Fields 32 to 45 and the steps between them.
int ReadFullPart(CarObject *car, DataStream *stream, int version, const CarLoadArguments &args) {
    LoadCarEngineSound(car);
    std::memcpy(CurrentCarName, car->shortName, sizeof(CurrentCarName));

    const int32_t gearCount = static_cast<int32_t>(stream->ReadU32());
    if (gearCount < MinGearPositions || gearCount > MaxGearPositions)
        return Refuse(BadGearCountError);
    car->gearCount = gearCount;
    if (!ReadFiniteFloats(stream, &car->gearRatios[0], 1))
        return Refuse(BadFloatError);
    stream->ReadBytes(car->animationName, 8);
    car->SetShiftTimes();
    car->clockWords[0] = 0;
    car->clockWords[1] = 0;
    for (CarMaterial &material : car->materials)
        stream->ReadBytes(material.colour, 4);
    if (version < CurrentDataVersion && !(car->dataFlags2 & CarFlag2MaterialsConverted))
        ConvertMaterialColours(car);

    ChooseSetupAndColours(car, args);

    stream->ReadBytes(car->familyCode, 4);
    car->familyCode[3] = 0;
    if (stream->overrun)
        return Refuse(TruncatedError);
    const int family = FamilyIndex(car->familyCode);
    if (family < 0)
        car->dataFlags |= CarFlagUnknownFamily;
    Object3D *body = GetBodyValueByCode(car->familyCode);
    car->bodyObject = body;
    if (body != nullptr && family != 0 && family != 2)
        AdjustBodyChildren(body);
    car->LoadModelAndSkin(body);

    if (!car->ReadRods(stream))
        return Refuse(stream->overrun ? TruncatedError : BadRodsError);
    if (!ReadWheels(car, stream))
        return 0;
    for (RimData &axle : car->axles) {
        if (stream->Remaining() < RimRecordSize)
            return Refuse(TruncatedError);
        axle.Read(*stream, version);
        if (!AxleValid(axle))
            return Refuse(BadAxleError);
    }
    // The tyre shape of each axle, with the tyre type of the set-up in use.
    for (int i = 0; i < 2; i++) {
        RimData &axle = car->axles[i];
        axle.tyreType = car->setup->axles[i].tyreType;
        if (!ComputeTyreProfile(axle, axle.hubOffset, car->vehicleClass == 0 ? 1 : 0))
            return Refuse(BadAxleError);
    }
    stream->ReadBytes(car->rimBytes, 4);
    // The repeat count picks a table row and the number of rim copies.
    car->rimBytes[0] = static_cast<uint8_t>(RimRepeatCount(car->rimBytes[0]));
    FreeObject3D(&car->rimObject);
    InitObject3D(&car->rimObject);
    if (!ReadObject3D(&car->rimObject, stream, version, 1, 2, 0, CurrentCarName))
        return Refuse(BadRimObjectError);
    if (version < CurrentDataVersion && car->axles[0].seatInset == 0)
        FixOldAxles(car);

    car->curve->Free();
    if (!car->curve->Read(stream, version))
        return Refuse(BadCurveError);
    for (AeroSurface &surface : car->wings) {
        float values[3];
        if (!ReadFiniteFloats(stream, values, 3))
            return Refuse(BadAeroError);
        surface.liftCoefficient = values[0];
        surface.dragCoefficient = values[1];
        surface.baseDrag = values[2];
    }
    if (stream->overrun)
        return Refuse(TruncatedError);
    // The car's drag limit divides by the fixed body surface's drag.
    if (!(car->wings[3].dragCoefficient > 0.0f))
        return Refuse(BadAeroError);

    car->SetUpModel(0);
    car->Reset(0, 0, 1);
    return 1;
}

}  // namespace

int LoadCarData(CarObject *car, DataStream *stream, int version, const CarLoadArguments &args) {
    CarDataLoadError = nullptr;
    if (!args.headerOnly) {
        std::memcpy(car->plateText, args.plateText, sizeof(car->plateText));
        car->ReleasePlate();
        if (CarServices.getNumberPlate != nullptr)
            car->plateSlot = CarServices.getNumberPlate(car->plateText);
        car->mirrored = args.options & 1;
        car->animationIndex = args.animationIndex;
    }
    if (!ReadHeaderPart(car, stream, version))
        return 0;
    if (args.headerOnly)
        return 1;
    return ReadFullPart(car, stream, version, args);
}

int LoadCarDataImage(CarObject *car, const void *image, size_t length, const CarLoadArguments &args) {
    const size_t idLength = std::strlen(CarDataFileId);
    if (image == nullptr || length < idLength + 2 || std::memcmp(image, CarDataFileId, idLength) != 0)
        return Refuse(BadHeaderError);
    DataStream stream;
    int version = 0;
    stream.OpenMemory(image, length, &version);
    if (version < OldestCarDataVersion || version > CarDataFileVersion)
        return Refuse(BadHeaderError);
    return LoadCarData(car, &stream, version, args);
}

int LoadCarDataFile(CarObject *car, const char *code, const CarLoadArguments &args) {
    char path[64];
    std::snprintf(path, sizeof(path), "data\\veh\\%s.veh", code != nullptr ? code : "");
    DataStream stream;
    int version = 0;
    if (const char *error = stream.OpenRead(nullptr, path, CarDataFileId, &version, CarDataFileVersion, 0))
        return Refuse(error);
    int loaded = 0;
    if (version < OldestCarDataVersion)
        Refuse(BadHeaderError);
    else
        loaded = LoadCarData(car, &stream, version, args);
    stream.Close();
    return loaded;
}

CarObject *CreateCarFromFile(const char *code) {
    CarObject *car = new CarObject;
    CarLoadArguments args;
    args.animationIndex = 0;
    args.headerOnly = 1;
    WorldQuery *world = CurrentWorldQuery();
    SetWorldQuery(nullptr);
    const int loaded = LoadCarDataFile(car, code, args);
    SetWorldQuery(world);
    if (!loaded) {
        delete car;
        return nullptr;
    }
    return car;
}

void LoadCarEngineSound(CarObject *car) {
    if (CarServices.readEngineFile == nullptr)
        return;
    char path[80];
    PlayerCarRecord *record = GetCarRecordByCode(car->shortName);
    if (record != nullptr && record->engineSound[0] != 0) {
        char name[sizeof(record->engineSound) + 1];
        std::memcpy(name, record->engineSound, sizeof(record->engineSound));
        name[sizeof(record->engineSound)] = 0;
        std::snprintf(path, sizeof(path), "data\\engine\\%s.eng", name);
        if (CarServices.readEngineFile(car, path, name))
            return;
        // A sound that cannot be read is forgotten.
        std::memset(record->engineSound, 0, sizeof(record->engineSound));
    }
    std::snprintf(path, sizeof(path), "data\\engine\\%s_default.eng", car->shortName);
    CarServices.readEngineFile(car, path, "");
}

void LoadDriverAnimations(CarObject *car) {
    if (CarServices.humanFiguresLoaded == nullptr || !CarServices.humanFiguresLoaded()) {
        car->FreeDriverClips();
        return;
    }
    if (car->steeringClip == nullptr && car->animationIndex >= 0) {
        const int sets = CarServices.animationSetCount != nullptr ? CarServices.animationSetCount() : 0;
        if (car->animationIndex >= sets)
            car->animationIndex = 0;
        LoadDriverClip(car, car->animationIndex, "steer", 1);
    }
    if (car->setup == nullptr)
        return;
    const uint8_t passengers = car->setup->passengers;
    const float seatX = std::fabs(car->driverSeat[0]);
    const bool frontSeat = (car->dataFlags & 0x100) && seatX >= 0.2f;
    const bool rearSeats = (car->dataFlags & CarFlagRearSeats) != 0;
    struct Seat {
        bool present;
        float x, y, z;
    };
    const Seat seats[CarPassengerSeats] = {
        {frontSeat && (passengers & 3) != 0, -car->driverSeat[0], car->driverSeat[1], car->driverSeat[2]},
        {rearSeats && (passengers & 12) != 0, -car->rearSeat[0], car->rearSeat[1], car->rearSeat[2]},
        {rearSeats && (passengers & 48) != 0 && seatX >= 0.35f, 0.0f, car->rearSeat[1], car->rearSeat[2]},
        {rearSeats && passengers > 63, car->rearSeat[0], car->rearSeat[1], car->rearSeat[2]},
    };
    for (int i = 0; i < CarPassengerSeats; i++) {
        if (!seats[i].present || car->passengerClips[i] != nullptr)
            continue;
        const int invertedLowerBit = ((passengers >> (2 * i)) & 1) ^ 1;
        const int set = CarServices.passengerAnimationSet != nullptr
                            ? CarServices.passengerAnimationSet(invertedLowerBit)
                            : 0;
        car->passengerSeats[i][0] = seats[i].x;
        car->passengerSeats[i][1] = seats[i].y;
        car->passengerSeats[i][2] = seats[i].z;
        car->passengerClips[i] = LoadDriverClip(car, set, "sit", 0);
    }
}

DriverClip *LoadDriverClip(CarObject *car, int set, const char *name, int steering) {
    if (CarServices.loadDriverClip == nullptr)
        return nullptr;
    DriverClip *clip = CarServices.loadDriverClip(car, set, name, steering);
    return steering ? nullptr : clip;
}

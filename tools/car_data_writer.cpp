#include "tools/car_data_writer.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/car_table.h"
#include "core/text_utils.h"
#include "tools/car_params.h"
#include "vehicle/car_data_file.h"

namespace {

void FillAxle(const CarAxleParams &a, RimDataFields *rim)
{
    *rim = RimDataFields{};
    rim->tyreWidth = a.tyreWidth;
    rim->aspect = a.aspect;
    rim->rimRadius = a.rimRadius;
    rim->rimWidth = a.rimWidth;
    std::memcpy(rim->style, a.style, sizeof(rim->style));
    rim->travelReference = a.travelReference;
    rim->inclination = a.inclination;
    rim->seatInset = a.seatInset;
    rim->darkening = a.darkening;
    rim->suspensionType = a.suspensionType;
    rim->secondArmAngle = a.secondArmAngle;
    rim->trackWidth = a.trackWidth;
    rim->armBaseAngle = a.armBaseAngle;
    rim->hubOffset = a.hubOffset;
    rim->pivotHeight = a.pivotHeight;
    rim->probeStartOffset = a.probeStartOffset;
    rim->firstArmLength = a.firstArmLength;
    rim->secondArmLength = a.secondArmLength;
    rim->uprightLength = a.uprightLength;
}

// The rim profile: the rim's face from one flange to the other, as (x across
// the wheel, radius) points joined by three segments of one material.
void FillCurve(const CarAxleParams &front, CarDataFile *data)
{
    const float half = front.rimWidth * 0.5f;
    const float r = front.rimRadius;
    data->curvePoints = {{-half, r}, {-half + 0.01f, r - 0.03f}, {half - 0.01f, r - 0.03f}, {half, r}};
    data->curveSegments = {{0, 1, 0, 0}, {1, 2, 0, 0}, {2, 3, 0, 0}};
    data->curveMaterialWidth = 1;
    data->curveMaterialHeight = 1;
    GridCell cell{};
    cell.bytes[0] = cell.bytes[1] = cell.bytes[2] = 200;
    std::memcpy(cell.bytes + 4, "rim", 3);
    data->curveMaterials = {cell};
}

}  // namespace

void FillEngineFigures(const CarEngineParams &engine, EngineFigures *figures)
{
    EngineFigures &e = *figures;
    e.flags = EngineFlagFiguresMarker | EngineFlagVersionMarker;
    if (engine.turbo) {
        e.flags |= EngineFlagTurbo;
    }
    if (engine.secondV8Order) {
        e.flags |= EngineFlagSecondV8Order;
    }
    e.displacement = engine.displacement;
    e.cylinders = engine.cylinders;
    e.layout = engine.layout;
    e.boostReference = engine.maxBoost;
    // Figures 2..7: turbo lag factor, maxSpeed, peak speed, width and torque
    // factors, torque limit.
    e.figures[0] = engine.turboLagFactor;
    e.figures[1] = engine.maxSpeed;
    e.figures[2] = engine.peakSpeedFactor;
    e.figures[3] = engine.widthFactor;
    e.figures[4] = engine.torqueFactor;
    e.figures[5] = engine.torqueLimit;
}

int BuildCarDataFile(int car, CarDataFile *data)
{
    CarParams p;
    if (!BuildCarParams(car, &p)) {
        return 0;
    }
    CarDataFile &d = *data;
    d = CarDataFile{};
    d.flags = p.dataFlags;
    d.vehicleClass = p.vehicleClass;
    d.gearboxKind = p.gearboxKind;
    d.drivenAxles = p.drivenAxles;

    FillEngineFigures(p.engine, &d.engine);

    d.setups.assign(p.setups, p.setups + p.setupCount);
    d.colours.assign(p.colours, p.colours + p.colourCount);
    CarPartName part{};
    CopyString(part.name, p.partName, sizeof(part.name));
    part.mask = p.partMask;
    d.partNames = {part};

    std::memcpy(d.enginePosition, p.enginePosition, sizeof(d.enginePosition));
    std::memcpy(d.driverSeat, p.driverSeat, sizeof(d.driverSeat));
    std::memcpy(d.tankPosition, p.tankPosition, sizeof(d.tankPosition));
    std::memcpy(d.furtherMass, p.furtherMass, sizeof(d.furtherMass));
    // No spare wheel is carried (flag 0x4 clear): the record stays as the
    // format's default.
    d.tankSize = p.tankSize;

    CopyString(d.shortName, CarTable[car].code, sizeof(d.shortName));
    std::memcpy(d.setupRanges, p.setupRanges, sizeof(d.setupRanges));

    d.gearCount = static_cast<uint32_t>(p.gearCount);
    d.reverseRatio = p.reverseRatio;
    CopyString(d.animationName, p.animationName, sizeof(d.animationName));
    std::memcpy(d.materialColours, p.materialColours, sizeof(d.materialColours));
    CopyString(d.familyCode, CarTable[car].bodyCode, sizeof(d.familyCode));
    d.rodEnds.assign(p.rodEnds, p.rodEnds + p.rodEndCount);
    d.rodLinks.assign(p.rodLinks, p.rodLinks + p.rodLinkCount);
    for (const float(&wheel)[3] : p.wheels) {
        d.wheels.push_back({{wheel[0], wheel[1], wheel[2]}});
    }
    FillAxle(p.axles[0], &d.axles[0]);
    FillAxle(p.axles[1], &d.axles[1]);
    d.rimBytes[0] = p.rimRepeatCount;
    FillCurve(p.axles[1], &d);
    std::memcpy(d.aero, p.aero, sizeof(d.aero));
    return 1;
}

const char *WriteCarDataFiles(const char *runFolder)
{
    const std::filesystem::path folder = std::filesystem::path(runFolder) / "data" / "veh";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create the data/veh folder";
    }
    for (int car = 0; car < CarModelCount; ++car) {
        CarDataFile data;
        BuildCarDataFile(car, &data);
        const std::string path = (folder / (std::string(CarTable[car].code) + ".veh")).string();
        if (!SaveCarDataFile(path.c_str(), data)) {
            return "cannot write a car data file";
        }
    }
    return nullptr;
}

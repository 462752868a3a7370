#include "vehicle/car_object.h"

#include <cmath>
#include <cstring>

#include "core/data_stream.h"
#include "render/render_object.h"
#include "vehicle/car_curve.h"
#include "vehicle/car_race_services.h"
#include "vehicle/collision_hull.h"
#include "vehicle/fix_convert.h"

CarObjectServices CarServices = {};

namespace {

template <typename T, size_t N>
void Zero(T (&array)[N]) {
    std::memset(array, 0, sizeof(array));
}

void SetVector(float *v, float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

}  // namespace

// A body that collides with objects, built empty: no data, no wheels, no
// model; 1200 kg until the mass model runs.
CarObject::CarObject() : RigidBody(1, 0, nullptr) {
    // The members with constructors of their own: the engine, the inputs,
    // the projector (built by its constructor) and the axle records (zero
    // filled by theirs).
    engine.Clear();
    Zero(inputs);
    inputs[0] = 32768;
    inputs[14] = 255;

    Zero(wrongWayNotice);
    wrongWayNotice[0] = 'D';
    dataFlags = 0;
    dataFlags2 = 0;
    vehicleClass = 0;
    Zero(familyCode);
    Zero(shortName);
    largestPartCount = 0;
    Zero(stepWords);
    isRemote = 0;
    Zero(plateText);

    // Zeroed working state, and the three factors that start at 1.
    Zero(dryInertia);
    Zero(workingInertia);
    Zero(passCentres);
    Zero(passMasses);
    Zero(dryCentreOfMass);
    dryMass = 0.0f;
    Zero(massValues);
    Zero(smoothedForce);
    airSpeed = 0.0f;
    Zero(crankAxis);
    enginePower = 0.0f;
    Zero(airDirection);
    Zero(wake);
    Zero(wakeVelocity);
    dragTotal = 0.0f;
    Zero(driverPose);
    progressFloat = 0.0f;
    Zero(fuelWork);
    fuel = 0.0f;
    Zero(tankHalfSize);
    tankSize = 0.0f;
    engineMass = 0.0f;
    tankShellMass = 0.0f;
    rodMass = 0.0f;
    Zero(otherMasses);
    std::memset(materials, 0, sizeof(materials));
    Zero(modelWords);
    odometer = 0;
    fuelUsed = 0;
    fuelUsedLastTick = 0;
    damageCount = 0;
    std::memset(damageRecords, 0, sizeof(damageRecords));
    unitFactors[0] = 1.0f;
    unitFactors[1] = 1.0f;
    unitFactors[2] = 1.0f;
    resetFactors[0] = 1.0f;
    resetFactors[1] = 1.0f;

    ClearSteeringState();
    lastStopTick = 0;
    networkTick = 0;
    stepCount = 0;
    lastPositionTick = 0;
    mass = 1200.0f;

    drivenAxles = 3;
    previewCar = 0;
    customEngineSound = 0;
    statisticSent = 0;
    driveEfficiency = 0.0f;
    rearDriveFactor = 0.0f;
    frontDriveFactor = 0.0f;
    gear = 1;
    requestedGear = 1;
    shiftByte = 0;
    headlight = 0;
    brakeLamp = 0;
    reverseLamp = 0;
    auxLamp = 0;
    indicator = 0;
    dashLights = 0;
    cycleCounter = 0;
    ClearSetupWords();
    rodCount = 0;
    rods = nullptr;
    rodLinkCount = 0;
    rodLinks = nullptr;
    setupCount = 0;
    setupTable = nullptr;
    setupIndex = 0;
    setup = nullptr;
    Zero(packetWords);
    Zero(setupWords2);
    colourCount = 0;
    colourTable = nullptr;
    skinTime = 0;
    colourIndex = 0;
    colours = nullptr;
    std::memset(&pitSetup, 0, sizeof(pitSetup));
    partNameCount = 1;
    std::memset(partNames, 0, sizeof(partNames));

    InitObject3D(&rimObject);
    Zero(rimBytes);
    curve = new CarCurve;
    stiffness = 0.0f;
    friction = 0.5f;
    damping = 0.0f;

    inertiaScale = 1.0f;
    gearboxKind = 0;
    gearCount = 7;
    Zero(gearRatios);
    wheelCount = 0;
    wheels = nullptr;
    wheelbase = 0.0f;
    Zero(axlePositions);
    savedPoints = nullptr;
    ClearGeometry();

    Zero(aidWork);
    aidFlags = 0;
    Zero(shiftTimes);
    engine.SetDefaults();
    SetVector(enginePosition, 0.0f, 1.5f, 0.0f);
    SetVector(driverSeat, 0.0f, 0.0f, 0.0f);
    SetVector(rearSeat, 0.0f, 0.0f, 0.0f);
    SetVector(storedTankPosition, 0.0f, -1.5f, 0.0f);
    SetVector(tankPosition, 0.0f, -1.5f, 0.0f);
    Zero(furtherMass);
    spareWheel[0] = 0.0f;
    spareWheel[1] = -2.0f;
    spareWheel[2] = 0.0f;
    spareWheel[3] = 0.0f;
    SetVector(drawingValues, 6.2831855f, 0.0f, 0.7853982f);
    extraFloat = 0.0f;
    bodyObject = nullptr;
    modelVariant = 0;
    dashboardLength = 0;
    Zero(dataBytes);
    Zero(dashboard);
    Zero(setupRanges);
    Zero(animationName);
    std::memset(wings, 0, sizeof(wings));

    ResetRaceState();
    standstillCount = 0;
    lastInputActivity = 0;

    for (int i = 0; i < CarLodCount; i++) {
        modelNodes[i] = CarServices.createModelNode != nullptr ? CarServices.createModelNode() : nullptr;
        savedVertices[i] = nullptr;
        savedPartVectors[i] = nullptr;
    }
    steeringClip = nullptr;
    animationIndex = -1;
    rawSteeringClip = nullptr;
    for (int i = 0; i < CarPassengerSeats; i++) {
        passengerClips[i] = nullptr;
        SetVector(passengerSeats[i], 0.0f, 0.0f, 0.0f);
    }
    hullPointCount = 0;
    hullResult = nullptr;
    ClearStatusText();
    nameWord = 0;
    Zero(nameTextState);
    Zero(displayValues);
    Zero(displayBytes);

    pathFollower = CarServices.createPathFollower != nullptr ? CarServices.createPathFollower(this) : nullptr;
    plateSlot = -1;
    ClearSkinTextures();

    // Members that the construction order above leaves to their users.
    Zero(progress);
    progressWord = 0;
    penaltyCounter = 0;
    wrongWayCount = 0;
    Zero(lapFuel);
    playerInfoWord = 0;
    Zero(playerInfo);
    Zero(clockWords);
    speed = 0.0f;
    Zero(sprungCentre);
    Zero(angularVelocity);
    Zero(acceleration);
    Zero(gForce);
    for (MotionProfile &profile : smoothPosition)
        profile.Clear();
    turnRadius = 0.0f;
    turnDirection = 0.0f;
    wheelLoadTotal = 0;
    for (int i = 0; i < 6; i++) {
        wheelParts[i] = nullptr;
        wheelParts5[i] = nullptr;
    }
    mirrored = 0;
    autoCut = 0;
    autoBlip = 0;
    autoGears = 0;
    autoClutch = 0;
    brakeHelp = 0;
}

CarObject::~CarObject() {
    FreeSavedMeshes();
    // The nodes go first: deleting one destroys its geometry, and the skin
    // release then has only the render objects left to give back.
    for (ModelNode *&node : modelNodes) {
        if (node != nullptr && CarServices.deleteModelNode != nullptr)
            CarServices.deleteModelNode(node);
        node = nullptr;
    }
    ReleaseSkins();
    ReleaseWheelMeshes();
    ReleasePlate();
    FinishCarDataRecording(this);
    engine.FreeWaves(false);

    delete[] savedPoints;
    savedPoints = nullptr;
    FreeGeometry();
    FreeObject3D(&rimObject);
    delete curve;
    curve = nullptr;

    FreeRods();
    if (pathFollower != nullptr && CarServices.deletePathFollower != nullptr)
        CarServices.deletePathFollower(pathFollower);
    pathFollower = nullptr;
    FreeDriverClips();
    delete[] wheels;
    wheels = nullptr;
    delete[] setupTable;
    setupTable = nullptr;
    delete[] colourTable;
    colourTable = nullptr;
    // The axle records free their meshes as they are destroyed; the engine
    // keeps no waves of its own.
}

int CarObject::GetType() const {
    return 1;
}

// The car's own step does not exist yet: the car stays where it is.
int32_t CarObject::InputActivity() const {
    int32_t sum = inputs[0] + inputs[1] + inputs[2] + inputs[11] + inputs[12];
    if (inputs[3] != 0 || inputs[4] != 0 || inputs[9] != 0 || inputs[10] != 0)
        sum += 1024;
    return sum;
}

// Nothing of the car is drawn yet.
void CarObject::ResetDrawState() {
}

void CarObject::AddTouchedObject(WorldObject *object) {
    (void)object;
}

int CarObject::IsSlowEnough() const {
    return pitWorkStep == 0 && speed < 2.0f ? 1 : 0;
}

int CarObject::IsNormalState() const {
    return vehicleClass == 4 || vehicleClass == 10 || vehicleClass == 11 ? 0 : 1;
}

int CarObject::StopMotion() {
    announcePending = 1;
    speed = 0.0f;
    for (int k = 0; k < 3; k++) {
        velocity[k] = 0.0f;
        angularMomentum[k] = 0.0f;
    }
    return 0;
}

void CarObject::SetFuelPercent(uint8_t percent) {
    const float share = static_cast<float>(percent) * 0.01f;
    fuel = (share < 1.0f ? share : 1.0f) * tankSize;
}

void CarObject::ClearPenaltyState() {
    penaltyCounter = 0;
    Zero(wrongWayNotice);
}

void CarObject::SetPlayerInfo(const uint8_t info[16], uint32_t word) {
    playerInfoWord = word;
    std::memcpy(playerInfo, info, sizeof(playerInfo));
}

void CarObject::SetAnimationIndex(int32_t index) {
    animationIndex = index;
    FreeDriverClips();
}

void CarObject::ClearStatusText() {
    statusCodePage = 0;
    Zero(statusText);
    Zero(nameData);
}

void CarObject::SetShiftTimes() {
    float time;
    switch (gearboxKind) {
    case 1:
        time = 0.2f;
        break;
    case 2:
    case 3:
    case 4:
        time = 0.1f;
        break;
    case 5:
        time = 0.05f;
        break;
    default:
        return;
    }
    shiftTimes[0] = time;
    shiftTimes[1] = time;
    shiftTimes[2] = time;
}

int CarObject::ReadRods(DataStream *stream) {
    FreeRods();
    const uint32_t endCount = stream->ReadU32();
    if (static_cast<int64_t>(endCount) * RodEndFileSize > stream->Remaining())
        return 0;
    if (endCount > 0)
        rods = new CarRodEnd[endCount];
    rodCount = static_cast<int32_t>(endCount);
    bool valid = true;
    for (uint32_t i = 0; i < endCount; i++) {
        CarRodEnd &end = rods[i];
        end.x = static_cast<int32_t>(stream->ReadU32());
        end.y = static_cast<int32_t>(stream->ReadU32());
        end.z = static_cast<int32_t>(stream->ReadU32());
        end.radius = stream->ReadFloat();
        end.flags = static_cast<uint16_t>(stream->ReadU16());
        end.kind = static_cast<uint8_t>(stream->ReadU8());
        end.spare = static_cast<uint8_t>(stream->ReadU8());
        valid = valid && std::isfinite(end.radius);
        for (const int32_t c : {end.x, end.y, end.z})
            valid = valid && c >= -MaxRodEndCoordinate && c <= MaxRodEndCoordinate;
    }

    const uint32_t linkCount = stream->ReadU32();
    if (!valid || stream->overrun || static_cast<int64_t>(linkCount) * RodLinkFileSize > stream->Remaining()) {
        FreeRods();
        return 0;
    }
    if (linkCount > 0)
        rodLinks = new CarRodLink[linkCount];
    int32_t kept = 0;
    for (uint32_t i = 0; i < linkCount; i++) {
        CarRodLink link;
        link.ends[0] = static_cast<int16_t>(stream->ReadU16());
        link.ends[1] = static_cast<int16_t>(stream->ReadU16());
        link.density = stream->ReadFloat();
        stream->ReadU32();
        stream->ReadU32();
        link.flags = stream->ReadU32();
        link.work[0] = 0.0f;
        link.work[1] = 0.0f;
        link.work[2] = 0.0f;
        // A link between two wheel-side points joins nothing of the chassis.
        if (link.ends[0] < 0 && link.ends[1] < 0)
            continue;
        // The end indices become array subscripts of the rods and wheel points.
        for (int16_t end : link.ends) {
            if (end >= rodCount || end < MinRodLinkEnd)
                valid = false;
        }
        if (!std::isfinite(link.density))
            valid = false;
        if (link.flags & RodLinkKeepDensity) {
            link.work[1] = link.density;
            link.density = 0.0f;
        } else if (link.density < MinRodLinkDensity) {
            link.density = MinRodLinkDensity;
        } else if (link.density > MaxRodLinkDensity) {
            link.density = MaxRodLinkDensity;
        }
        rodLinks[kept++] = link;
    }
    rodLinkCount = kept;
    if (!valid || stream->overrun) {
        FreeRods();
        return 0;
    }
    return 1;
}

void CarObject::FreeRods() {
    delete[] rods;
    rods = nullptr;
    rodCount = 0;
    delete[] rodLinks;
    rodLinks = nullptr;
    rodLinkCount = 0;
}

void CarObject::FreeDriverClips() {
    DriverClip **clips[] = {&steeringClip, &rawSteeringClip, &passengerClips[0], &passengerClips[1],
                            &passengerClips[2], &passengerClips[3]};
    for (DriverClip **clip : clips) {
        if (*clip != nullptr && CarServices.freeDriverClip != nullptr)
            CarServices.freeDriverClip(*clip);
        *clip = nullptr;
    }
}

// LoadModelAndSkin: car_model.cpp.

void CarObject::ClearSteeringState() {
    Zero(steering);
}

void CarObject::ClearSetupWords() {
    Zero(setupWords);
}

void CarObject::ClearSkinTextures() {
    skinTextureCount = 0;
    Zero(skinTextureIds);
    Zero(skinTextures);
    for (CarMaterial &material : materials)
        material.texture = 0;
}

void CarObject::FreeSavedMeshes() {
    for (int i = 0; i < CarLodCount; i++) {
        delete[] savedVertices[i];
        savedVertices[i] = nullptr;
        delete[] savedPartVectors[i];
        savedPartVectors[i] = nullptr;
    }
}

void CarObject::ReleaseWheelMeshes() {
    axles[0].FreeMeshes();
    axles[1].FreeMeshes();
    for (RenderObject *&mesh : wheelMeshes)
        DeleteRenderObject(&mesh);
    // Built again on demand (after a device loss the render parts are made anew).
    renderPartsBuilt = 0;
}

void CarObject::ReleasePlate() {
    if (plateSlot == -1)
        return;
    if (CarServices.releaseNumberPlate != nullptr)
        CarServices.releaseNumberPlate(plateSlot);
    plateSlot = -1;
}

int IsCarResting(uint16_t startRequest, float speed, float engineSpeed, int32_t inputActivity,
                 int32_t lastInputActivity) {
    if (startRequest != 0)
        return 0;
    // Exactly +0.0: -0.0 compares equal to 0.0 but has another bit pattern.
    uint32_t speedBits, engineBits;
    std::memcpy(&speedBits, &speed, 4);
    std::memcpy(&engineBits, &engineSpeed, 4);
    if (speedBits != 0 || engineBits != 0)
        return 0;
    const int64_t change = static_cast<int64_t>(inputActivity) - lastInputActivity;
    return change > -512 && change < 512 ? 1 : 0;
}

int ApplySlipstream(const FixVector &followerPosition, AeroSurface wings[4], const FixVector &leaderPosition,
                    const float airDirection[3], const float wake[3], const float wakeVelocity[3],
                    float dragTotal) {
    if (!(std::fabs(airDirection[2]) < 0.5f))
        return 0;
    const float d[3] = {
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.x) - static_cast<uint32_t>(leaderPosition.x))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.y) - static_cast<uint32_t>(leaderPosition.y))),
        FixToMetres(static_cast<int32_t>(static_cast<uint32_t>(followerPosition.z) - static_cast<uint32_t>(leaderPosition.z))),
    };
    const float along = d[0] * airDirection[0] + d[1] * airDirection[1] + d[2] * airDirection[2];
    const float across = std::fabs(d[0] * airDirection[1] - d[1] * airDirection[0]);
    const float halfWidth = wake[0];
    const float reachAlong = wake[1];
    const float reachAgainst = wake[2];
    if (!(reachAgainst < along && along < reachAlong && across < halfWidth))
        return 0;
    const float reach = along > 0.0f ? reachAlong : reachAgainst;
    const float a = along / reach;
    const float b = across / halfWidth;
    const float q = a * a + b * b;
    if (!(q < 1.0f))
        return 0;
    for (int i = 0; i < 4; i++) {
        AeroSurface &surface = wings[i];
        if ((surface.flags & 1) == 0)
            continue;
        const float f = (1.0f - q) * dragTotal * surface.wakeGain;
        for (int k = 0; k < 3; k++)
            surface.wakeInflow[k] += f * wakeVelocity[k];
    }
    return 1;
}

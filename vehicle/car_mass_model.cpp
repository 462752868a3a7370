// The car's mass model: mass, centre of mass and inertia tensor built from
// boxes and rods (suspension rods, engine, tank shell, seats, occupants, a
// further mass, the spare wheel, hubs and wheels).

#include <cmath>
#include <cstring>

#include "core/fixed_math.h"
#include "core/float_math.h"
#include "vehicle/car_class.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"

namespace {

constexpr float ThirdPower = 0.333333f;
constexpr uint32_t FlagSpareWheel = 0x4;
constexpr uint32_t FlagEngineAcross = 0x40;
constexpr float OccupantMass = 70.0f;

// Element kinds, for drawing the elements only.
enum MassKind : uint32_t { KindRod = 1, KindEngine, KindTank, KindSeat, KindPerson, KindFurther, KindSpare, KindHub, KindWheel };

MassElement Element(float mass, float x, float y, float z, float hx, float hy, float hz, uint32_t kind) {
    return MassElement{mass, {x, y, z}, {hx, hy, hz}, kind};
}

// The point-mass terms of m at c about the origin.
void AddPointMass(float inertia[9], float m, const float c[3]) {
    inertia[0] += m * (c[1] * c[1] + c[2] * c[2]);
    inertia[4] += m * (c[0] * c[0] + c[2] * c[2]);
    inertia[8] += m * (c[0] * c[0] + c[1] * c[1]);
    inertia[1] -= m * c[0] * c[1];
    inertia[3] -= m * c[0] * c[1];
    inertia[2] -= m * c[0] * c[2];
    inertia[6] -= m * c[0] * c[2];
    inertia[5] -= m * c[1] * c[2];
    inertia[7] -= m * c[1] * c[2];
}

CarRodEnd Mirrored(const CarRodEnd &end) {
    CarRodEnd m = end;
    m.x = -end.x;
    return m;
}

}  // namespace

void ShiftInertiaToCentre(const float aboutOrigin[9], float m, const float c[3], float out[9]) {
    std::memcpy(out, aboutOrigin, 9 * sizeof(float));
    out[0] -= m * (c[1] * c[1] + c[2] * c[2]);
    out[4] -= m * (c[0] * c[0] + c[2] * c[2]);
    out[8] -= m * (c[0] * c[0] + c[1] * c[1]);
    out[1] += m * c[0] * c[1];
    out[3] += m * c[0] * c[1];
    out[2] += m * c[0] * c[2];
    out[6] += m * c[0] * c[2];
    out[5] += m * c[1] * c[2];
    out[7] += m * c[1] * c[2];
}

int InvertInertia(const float in[9], float out[9]) {
    const float c00 = in[4] * in[8] - in[5] * in[7];
    const float c01 = in[5] * in[6] - in[3] * in[8];
    const float c02 = in[3] * in[7] - in[4] * in[6];
    const float det = in[0] * c00 + in[1] * c01 + in[2] * c02;
    if (!(det > 0.0f) || !std::isfinite(det))
        return 0;
    const float r = 1.0f / det;
    out[0] = c00 * r;
    out[1] = (in[2] * in[7] - in[1] * in[8]) * r;
    out[2] = (in[1] * in[5] - in[2] * in[4]) * r;
    out[3] = c01 * r;
    out[4] = (in[0] * in[8] - in[2] * in[6]) * r;
    out[5] = (in[2] * in[3] - in[0] * in[5]) * r;
    out[6] = c02 * r;
    out[7] = (in[1] * in[6] - in[0] * in[7]) * r;
    out[8] = (in[0] * in[4] - in[1] * in[3]) * r;
    return 1;
}

void CarObject::AddMassBox(const MassElement &element, int pass) {
    const float m = element.mass;
    const float *c = element.centre;
    if (pass == 1) {
        mass += m;
        for (int k = 0; k < 3; k++)
            firstMoment[k] += m * c[k];
        return;
    }
    const float a = element.halfSize[0];
    const float b = element.halfSize[1];
    const float h = element.halfSize[2];
    inertia[0] += m / 3.0f * (b * b + h * h);
    inertia[4] += m / 3.0f * (a * a + h * h);
    inertia[8] += m / 3.0f * (a * a + b * b);
    AddPointMass(inertia, m, c);
}

void CarObject::AddRod(const CarRodEnd &a, const CarRodEnd &b, CarRodLink &link, int pass) {
    const float mid[3] = {FixToMetres(static_cast<int32_t>((static_cast<int64_t>(a.x) + b.x) / 2)),
                          FixToMetres(static_cast<int32_t>((static_cast<int64_t>(a.y) + b.y) / 2)),
                          FixToMetres(static_cast<int32_t>((static_cast<int64_t>(a.z) + b.z) / 2))};
    if (pass == 1) {
        const int32_t length = CalcLength3D(b.x - a.x, b.y - a.y, b.z - a.z);
        const float m = static_cast<float>(length) * link.density / 65536.0f;
        link.work[2] = m;
        rodMass += m;
        mass += m;
        for (int k = 0; k < 3; k++)
            firstMoment[k] += m * mid[k];
        return;
    }
    const float m = link.work[2];
    const float h[3] = {static_cast<float>(b.x - a.x) / 131072.0f, static_cast<float>(b.y - a.y) / 131072.0f,
                        static_cast<float>(b.z - a.z) / 131072.0f};
    const float f = m / 3.0f;
    // A thin rod: m/3 (|h|^2 I - h h^T) about its middle.
    inertia[0] += f * (h[1] * h[1] + h[2] * h[2]);
    inertia[4] += f * (h[0] * h[0] + h[2] * h[2]);
    inertia[8] += f * (h[0] * h[0] + h[1] * h[1]);
    inertia[1] -= f * h[0] * h[1];
    inertia[3] -= f * h[0] * h[1];
    inertia[2] -= f * h[0] * h[2];
    inertia[6] -= f * h[0] * h[2];
    inertia[5] -= f * h[1] * h[2];
    inertia[7] -= f * h[1] * h[2];
    AddPointMass(inertia, m, mid);
}

void CarObject::AddSeat(float x, float y, float z, float width, int pass) {
    const float u = width / 0.2f;
    AddMassBox(Element(5.0f * u, x, y + 0.05f, z + 0.5f, width, 0.05f, 0.3f, KindSeat), pass);
    AddMassBox(Element(10.0f * u, x, y + 0.3f, z + 0.1f, width, 0.3f, 0.1f, KindSeat), pass);
    if (pass == 1)
        seatMass += 15.0f * u;
}

void CarObject::AddPerson(float x, float y, float z, int pass) {
    AddMassBox(Element(35.0f, x, y + 0.2f, z + 0.65f, 0.15f, 0.1f, 0.25f, KindPerson), pass);
    AddMassBox(Element(35.0f, x, y + 0.5f, z + 0.3f, 0.15f, 0.4f, 0.1f, KindPerson), pass);
    if (pass == 1)
        occupantMass += OccupantMass;
}

void CarObject::BuildMassModel(int pass) {
    const CarClassInfo &k = CarClassTable[vehicleClass >= 0 && vehicleClass < CarClassCount ? vehicleClass : 0];
    const float sign = mirrored ? -1.0f : 1.0f;

    // 1.
    if (pass == 1) {
        mass = 0.0f;
        rodMass = 0.0f;
        occupantMass = 0.0f;
        seatMass = 0.0f;
        bodyMass = 0.0f;
        firstMoment[0] = firstMoment[1] = firstMoment[2] = 0.0f;
    } else {
        std::memset(inertia, 0, sizeof(inertia));
    }
    wheelMassTotal = 0.0f;
    hubMassTotal = 0.0f;

    // 2. Rods: each link on both sides of the car, or once across it.
    for (int i = 0; i < rodLinkCount; i++) {
        CarRodLink &link = rodLinks[i];
        const int e0 = link.ends[0];
        const int e1 = link.ends[1];
        if (e0 < 0 || e1 < 0 || e0 >= rodCount || e1 >= rodCount)
            continue;
        if (e0 == e1) {
            AddRod(rods[e0], Mirrored(rods[e0]), link, pass);
        } else {
            AddRod(rods[e0], rods[e1], link, pass);
            AddRod(Mirrored(rods[e0]), Mirrored(rods[e1]), link, pass);
        }
    }

    // 3. Engine block.
    engineMass = engine.GetScaledValue();
    float block[3];
    engine.GetPartSizes(block, (dataFlags & FlagEngineAcross) ? 1 : 0);
    AddMassBox(Element(engineMass, enginePosition[0] * sign, enginePosition[1], enginePosition[2], block[0], block[1],
                       block[2], KindEngine),
               pass);

    // 4. Tank shell, sized by the data or by the engine.
    tankShellMass = 0.3f * engineMass;
    if (dataFlags & CarFlagTankSize) {
        const float s = FloatPow(tankSize * 0.002f, ThirdPower) * 0.5f;
        tankHalfSize[0] = s;
        tankHalfSize[1] = s;
        tankHalfSize[2] = 0.5f * s;
    } else {
        const float e = (block[0] + block[1] + block[2]) * k.tankSizeFactor * 0.33f;
        tankHalfSize[0] = 1.1f * e;
        tankHalfSize[1] = 0.7f * e;
        tankHalfSize[2] = 0.5f * e;
        tankSize = 8000.0f * tankHalfSize[0] * tankHalfSize[1] * tankHalfSize[2];
    }
    tankPosition[0] = storedTankPosition[0] * sign;
    tankPosition[1] = storedTankPosition[1];
    tankPosition[2] = storedTankPosition[2];
    AddMassBox(Element(tankShellMass, tankPosition[0], tankPosition[1], tankPosition[2], tankHalfSize[0],
                       tankHalfSize[1], tankHalfSize[2], KindTank),
               pass);

    // 5. Seats.
    int frontSeat = 0;
    int rearSeats = 0;
    GetSeatFlags(&frontSeat, &rearSeats);
    const float seatX = driverSeat[0] * sign;
    const float seatOffset = std::fabs(driverSeat[0]);
    AddSeat(seatX, driverSeat[1], driverSeat[2], 0.2f, pass);
    if (frontSeat)
        AddSeat(-seatX, driverSeat[1], driverSeat[2], 0.2f, pass);
    if (rearSeats)
        AddSeat(0.0f, rearSeat[1], rearSeat[2], 0.2f + seatOffset, pass);

    // 6. Further mass: a cube whose side grows with the cube root of its mass.
    const float further = furtherMass[3];
    const float half = 0.5f * FloatPow(0.0004f * further, ThirdPower);
    AddMassBox(Element(further, furtherMass[0] * sign, furtherMass[1], furtherMass[2], half, half, half, KindFurther),
               pass);

    // 7. Spare wheel, the size of the first wheel's tyre.
    if ((dataFlags & FlagSpareWheel) && wheelCount > 0) {
        const CarWheel &first = wheels[0];
        const RimData &axle = axles[first.axleIndex];
        AddMassBox(Element(first.unsprungMass, spareWheel[0], spareWheel[1], spareWheel[2], axle.rimWidth * 0.5f,
                           axle.outerRadius, axle.outerRadius, KindSpare),
                   pass);
    }

    // 8. Hubs. The box grows with the spring rate the wheel has when the
    // model is built; the set-up application clears the rates first, so it
    // is flat.
    const float hub = k.hubMassFactor * engineMass;
    for (int i = 0; i < wheelCount; i++) {
        const CarWheel &wheel = wheels[i];
        const RimData &axle = axles[wheel.axleIndex];
        const float v = wheel.springRate * 5e-7f;
        hubMassTotal += hub;
        AddMassBox(Element(hub, wheel.lateralPosition - (axle.rimWidth * 0.5f + v) * wheel.side, wheel.position[1],
                           wheel.baseHeight, v, v, 0.2f, KindHub),
                   pass);
    }

    // 9.
    if (pass == 1)
        bodyMass = mass;

    // 10. Driver and passengers.
    if (animationIndex != -1)
        AddPerson(seatX, driverSeat[1], driverSeat[2], pass);
    const uint8_t passengers = setup != nullptr ? setup->passengers : 0;
    struct Seat {
        bool present;
        float x, y, z;
    };
    const Seat seats[CarPassengerSeats] = {
        {(passengers & 0x03) != 0 && frontSeat, -seatX, driverSeat[1], driverSeat[2]},
        {(passengers & 0x0C) != 0 && rearSeats, -seatOffset, rearSeat[1], rearSeat[2]},
        {(passengers & 0x30) != 0 && rearSeats && seatOffset >= 0.35f, 0.0f, rearSeat[1], rearSeat[2]},
        {(passengers & 0xC0) != 0 && rearSeats, seatOffset, rearSeat[1], rearSeat[2]},
    };
    for (int i = 0; i < CarPassengerSeats; i++) {
        if (!seats[i].present)
            continue;
        AddPerson(seats[i].x, seats[i].y, seats[i].z, pass);
        passengerSeats[i][0] = seats[i].x;
        passengerSeats[i][1] = seats[i].y;
        passengerSeats[i][2] = seats[i].z;
    }

    // 11. The sprung part with its occupants.
    if (pass == 1) {
        for (int c = 0; c < 3; c++)
            sprungCentre[c] = firstMoment[c] / mass;
        passMasses[0] = mass;
        passMasses[1] = mass;
        std::memcpy(passCentres[0], sprungCentre, sizeof(passCentres[0]));
        std::memcpy(passCentres[1], sprungCentre, sizeof(passCentres[1]));
    }

    // 12. Wheels.
    for (int i = 0; i < wheelCount; i++) {
        const CarWheel &wheel = wheels[i];
        const RimData &axle = axles[wheel.axleIndex];
        wheelMassTotal += wheel.unsprungMass;
        AddMassBox(Element(wheel.unsprungMass, wheel.lateralPosition, wheel.position[1], wheel.baseHeight,
                           axle.rimWidth * 0.5f, axle.outerRadius, axle.outerRadius, KindWheel),
                   pass);
    }

    if (pass == 1) {
        // 13.
        bodyMass += wheelMassTotal;
        for (int c = 0; c < 3; c++)
            centreOfMass[c] = firstMoment[c] / mass;
        std::memcpy(dryCentreOfMass, centreOfMass, sizeof(dryCentreOfMass));
        dryMass = mass;
        std::memcpy(storedDryCentre, centreOfMass, sizeof(storedDryCentre));
        storedDryMass = mass;
        return;
    }

    // 14. Both copies about the origin, then about the centre of mass.
    std::memcpy(dryInertia, inertia, sizeof(dryInertia));
    std::memcpy(workingInertia, inertia, sizeof(workingInertia));
    ShiftInertiaToCentre(dryInertia, mass, centreOfMass, inertia);
    InvertInertia(inertia, inverseInertia);
}

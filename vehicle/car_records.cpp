// Reset requests ("P" packets) and the condition and race-state records a
// car exchanges with other programs.
#include "vehicle/car_records.h"

#include <cmath>
#include <cstring>

#include "core/colour.h"
#include "core/translation_table.h"
#include "core/fixed_math.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/race_hooks.h"

namespace {

constexpr float Pi = 3.14159265f;
// The interface sound of an information message (the info beep).
constexpr int InfoInterfaceSound = 2;

// Cars at most this many nodes behind a reset point, at racing speed, would
// come upon the reset car.
constexpr int YellowFlagNodes = 30;
// A car closer than this to the reset point gives no approach direction.
constexpr float ApproachMinDistance = 0.1f;
constexpr float ApproachSeconds = 4.0f;
// Extra room kept from a recently reset car's reset point.
constexpr float ResetPointMargin = 1.0f;

// Shares of the damage limits: travel damage up to 0.03 x tyre radius, arm
// damage up to a third of the arm, toe up to pi / 8.
constexpr float TravelDamageShare = 0.03f;
constexpr float ArmDamageShare = 0.333f;
constexpr float ToeLimit = Pi / 8.0f;

// Tyre model constants of the heats set from a record's levels.
constexpr float NewTread = 0.03f;         // tread thickness / tyre radius
constexpr float WornFraction = 0.3f;      // tread left at level 0
constexpr float MaxDirt = 0.16f;
constexpr float RubberHeat = 2000.0f;
constexpr float RubberDensity = 910.0f;
constexpr float AirHeat = 1005.0f;
constexpr float SidewallDepth = 0.015f;   // sidewall thickness / tyre radius
constexpr float RimDensity = 2700.0f;

// The temperature (K) of a display level: 20 C to 200 C over 0..63.
float LevelTemperature(uint32_t level) {
    return 293.15f + 180.0f * static_cast<float>(level) / 63.0f;
}

float TyreRadius(const CarObject &car, const CarWheel &wheel) {
    return car.axles[wheel.axleIndex != 0 ? 1 : 0].outerRadius;
}

// The set-up toe of a wheel's axle (radians).
float SetupToe(const CarSetup &setup, const CarWheel &wheel) {
    return static_cast<float>(setup.axles[wheel.axleIndex != 0 ? 1 : 0].toe - 9) * Pi * 0.005f / 9.0f;
}

// Plan distance (m) between two 16.16 points, and the vector a -> b.
float PlanDistance(const int32_t a[2], const int32_t b[2], float *dx, float *dy) {
    *dx = static_cast<float>(static_cast<int64_t>(b[0]) - a[0]) * (1.0f / 65536.0f);
    *dy = static_cast<float>(static_cast<int64_t>(b[1]) - a[1]) * (1.0f / 65536.0f);
    return std::sqrt(*dx * *dx + *dy * *dy);
}

// One arm's damage byte: written as a share of a third of the arm, applied
// back as a length.
uint8_t PackArm(float damage, uint8_t state, float length) {
    return state != 0 ? DisplayByte(damage * 255.0f / (ArmDamageShare * length)) : 0;
}

void ApplyArm(uint8_t byte, float &damage, uint8_t &state, float length) {
    if (byte == 0) {
        if (state != 0) {
            damage = 0.0f;
            state = 0;
        }
        return;
    }
    damage = ArmDamageShare * length * static_cast<float>(byte) / 255.0f;
    state = byte == 255 ? 3 : 1;
}

void ApplyWheelRecord(const CarObject &car, CarWheel &wheel, const ConditionWheelRecord &in) {
    const RimData &axle = car.axles[wheel.axleIndex != 0 ? 1 : 0];
    const float r = TyreRadius(car, wheel);

    // Suspension travel: 0 mends it, 255 breaks it.
    if (in.travelDamage == 0) {
        if (wheel.springState != 0 && (wheel.springState != 3 || car.setup != nullptr)) {
            if (wheel.springState == 3) {
                const CarSetupAxle &s = car.setup->axles[wheel.axleIndex != 0 ? 1 : 0];
                wheel.springRate = s.springStiffness;
                wheel.bumpDamping = s.bumpDamping;
                wheel.reboundDamping = s.reboundDamping;
            }
            wheel.travelDamage = 0.0f;
            wheel.springState = 0;
        }
    } else {
        wheel.travelDamage = TravelDamageShare * r * static_cast<float>(in.travelDamage) / 255.0f;
        if (in.travelDamage == 255) {
            if (wheel.springState != 3)
                wheel.BreakSuspension();
        } else {
            wheel.springState = 1;
        }
    }

    ApplyArm(in.upperArmDamage, wheel.upperArmDamage, wheel.upperArmState, axle.secondArmLength);
    ApplyArm(in.lowerArmDamage, wheel.lowerArmDamage, wheel.lowerArmState, axle.firstArmLength);

    if (in.toe == 0) {
        if (wheel.toeState != 0 && car.setup != nullptr) {
            wheel.toe = SetupToe(*car.setup, wheel);
            wheel.toeState = 0;
        }
    } else {
        wheel.toe = static_cast<float>(in.toe) * ToeLimit / 127.0f;
        wheel.toeState = (in.toe == 127 || in.toe == -127) ? 3 : 1;
    }

    wheel.flat = static_cast<uint8_t>(in.heatWord >> 31);

    // Tread wear and dirt (segment 0 carries the section values).
    TreadSegment &segment = wheel.tread[0];
    const float t0 = NewTread * r;
    for (int k = 0; k < 3; k++) {
        const uint8_t level = static_cast<uint8_t>((in.treadWord >> (24 - 3 * k)) & 7u);
        if (level == wheel.treadBytes[k])
            continue;
        wheel.treadBytes[k] = level;
        TreadSection &section = segment.sections[k];
        const float thickness = t0 * WornFraction + (t0 - t0 * WornFraction) * static_cast<float>(level) / 7.0f;
        if (section.thickness > 0.0f)
            section.bulkHeat *= thickness / section.thickness;
        section.thickness = thickness;
    }
    const uint8_t dirt = static_cast<uint8_t>((in.treadWord >> 27) & 7u);
    if (dirt != wheel.dirtByte) {
        wheel.dirtByte = dirt;
        segment.dirt = static_cast<float>(dirt) * MaxDirt / 7.0f;
    }

    // Temperatures: a level one step from the stored one is noise.
    const uint32_t levels[7] = {
        (in.heatWord >> 18) & 63u, (in.heatWord >> 12) & 63u, (in.heatWord >> 6) & 63u, in.heatWord & 63u,
        (in.treadWord >> 12) & 63u, (in.treadWord >> 6) & 63u, in.treadWord & 63u,
    };
    for (int k = 0; k < 7; k++) {
        const int difference = static_cast<int>(levels[k]) - wheel.temperatureBytes[k];
        if (difference >= -1 && difference <= 1)
            continue;
        wheel.temperatureBytes[k] = static_cast<uint8_t>(levels[k]);
        const float T = LevelTemperature(levels[k]);
        if (k < 3) {
            TreadSection &section = segment.sections[k];
            section.bulkHeat = axle.treadSectionArea * section.thickness * RubberHeat * RubberDensity * T;
        } else if (k == 3) {
            wheel.airHeat = wheel.airMass * AirHeat * T;
        } else if (k < 6) {
            segment.sidewallHeat[k - 4] = r * SidewallDepth * axle.sidewallArea * RubberHeat * RubberDensity * T;
        } else {
            wheel.rimHeat = axle.rimVolume * 1000.0f * RimDensity * T;
        }
    }
}

// Appends text to out (of size room, already holding used bytes).
void Append(char *out, size_t room, size_t &used, const char *text) {
    while (*text != '\0' && used + 1 < room)
        out[used++] = *text++;
    out[used] = '\0';
}

}  // namespace

void CarObject::FillPositionPacket(uint8_t packet[24], const PlayerSlot *slot) const {
    PositionPacket p;
    std::memcpy(&p, packet, sizeof(p));
    p.playerId = slot != nullptr && RaceServices.playerId != nullptr ? RaceServices.playerId(slot) : 0;
    p.offRoad = AnyWheelInState4or8() ? 1 : 0;
    p.adjusted = 0;
    p.node = RaceCarPathNode(this);
    p.lateralOffset = progress[1];
    p.position[0] = position.x;
    p.position[1] = position.y;
    p.position[2] = position.z;
    std::memcpy(packet, &p, sizeof(p));
}

int CarObject::CheckPositionPacket(uint8_t packet[24], const PlayerSlot *ownSlot) const {
    PositionPacket p;
    std::memcpy(&p, packet, sizeof(p));

    // A node outside the path, or an offset that is not a number, cannot be
    // placed.
    const int n = RacePathNodeCount();
    if (p.node < 0 || p.node >= n || !std::isfinite(p.lateralOffset))
        return ResetOffPath;
    PathSection section;
    if (!RacePathSection(p.node, 0.5f, &section))
        return ResetOffPath;

    // Off the road (or its wheels off it when sent): onto the cross-section,
    // inside the drivable area by the half width.
    const float m = std::fabs(minX) > std::fabs(maxX) ? std::fabs(minX) : std::fabs(maxX);
    float d = p.lateralOffset;
    if (p.offRoad != 0 || d < section.leftEdge + m || d > section.rightEdge - m) {
        const float low = section.outerLeft + m;
        const float high = section.outerRight - m;
        if (d < low)
            d = low;
        if (d > high)
            d = high;
        p.adjusted = 1;
        p.position[0] = WrapAdd(section.position[0], RoundToInt(d * section.direction[1] * 65536.0f));
        p.position[1] = WrapSub(section.position[1], RoundToInt(d * section.direction[0] * 65536.0f));
        p.position[2] = section.position[2];
        std::memcpy(packet, &p, sizeof(p));
    }

    // Every other car: room around it, around its reset point, and the cars
    // coming up behind at racing speed.
    const bool closed = RacePathIsClosed() != 0;
    int result = ResetFree;
    const int slots = RaceSlotCount();
    for (int slot = 0; slot < slots; slot++) {
        const CarObject *other = RaceSlotCar(slot);
        if (other == nullptr || other == this)
            continue;
        if (ownSlot != nullptr && RaceServices.slotRecord != nullptr && RaceServices.slotRecord(slot) == ownSlot)
            continue;
        const int32_t from[2] = {other->position.x, other->position.y};
        float dx;
        float dy;
        const float dist = PlanDistance(from, p.position, &dx, &dy);
        const float r = radius + other->radius;
        float approach = 0.0f;
        if (dist > ApproachMinDistance)
            approach = ApproachSeconds * (other->velocity[0] * dx + other->velocity[1] * dy) / dist;
        if (approach < 0.0f)
            approach = 0.0f;
        if (dist < r + approach) {
            result = ResetHitsCar;
        } else if (other->recentlyReset != 0) {
            const int32_t resetPoint[2] = {other->resetPosition.x, other->resetPosition.y};
            if (PlanDistance(resetPoint, p.position, &dx, &dy) < r + ResetPointMargin)
                result = ResetHitsResetCar;
        }
        if (closed && other->speed > other->progress[0]) {
            const int otherNode = RaceCarPathNode(other);
            if (otherNode >= 0 && otherNode < n) {
                const int behind = ((p.node - otherNode) % n + n) % n;
                if (behind >= 1 && behind <= YellowFlagNodes)
                    result = ResetYellowFlag;
            }
        }
    }
    return result;
}

void ShowCarMessage(int reason) {
    TextId reasonText = Text_3g_too_dang;
    if (reason == ResetHitsCar)
        reasonText = Text_3g_could_ha;
    else if (reason == ResetHitsResetCar)
        reasonText = Text_3g_could_hr;
    else if (reason == ResetYellowFlag)
        reasonText = Text_3g_would_ye;
    // The translated frame holds one "%s"; any other text in it is copied as
    // it stands, so no translation can act as a format.
    const char *frame = Tx(Text_3g_cant_res);
    const char *mark = std::strstr(frame, "%s");
    char line[160];
    size_t used = 0;
    line[0] = '\0';
    if (mark == nullptr) {
        Append(line, sizeof(line), used, frame);
    } else {
        char head[160];
        const size_t headLength = static_cast<size_t>(mark - frame) < sizeof(head) - 1
                                      ? static_cast<size_t>(mark - frame)
                                      : sizeof(head) - 1;
        std::memcpy(head, frame, headLength);
        head[headLength] = '\0';
        Append(line, sizeof(line), used, head);
        Append(line, sizeof(line), used, Tx(reasonText));
        Append(line, sizeof(line), used, mark + 2);
    }
    RacePrintMessage(line, ColourLightGrey);
    RacePlayInterfaceSound(InfoInterfaceSound);
}

void CarObject::PackConditionRecord(uint8_t record[56], uint8_t id) const {
    ConditionRecord out;
    std::memset(&out, 0, sizeof(out));
    out.kind = ConditionRecordKind;
    out.id = id;
    out.engineWear[0] = DisplayByte(engine.condition * 255.0f);
    out.engineWear[1] = DisplayByte(engine.clutchHeat * 255.0f);
    out.fuel = DisplayByte(fuel / tankSize * 255.0f);
    const int count = wheelCount < ConditionRecordWheels ? wheelCount : ConditionRecordWheels;
    for (int i = 0; i < count; i++) {
        const CarWheel &wheel = wheels[i];
        const RimData &axle = axles[wheel.axleIndex != 0 ? 1 : 0];
        ConditionWheelRecord &w = out.wheels[i];
        if (wheel.springState != 0)
            w.travelDamage = DisplayByte(wheel.travelDamage * 255.0f / (TravelDamageShare * TyreRadius(*this, wheel)));
        w.upperArmDamage = PackArm(wheel.upperArmDamage, wheel.upperArmState, axle.secondArmLength);
        w.lowerArmDamage = PackArm(wheel.lowerArmDamage, wheel.lowerArmState, axle.firstArmLength);
        if (wheel.toeState != 0) {
            int32_t toe = RoundToInt(wheel.toe * 127.0f / ToeLimit);
            toe = toe < -127 ? -127 : (toe > 127 ? 127 : toe);  // not a number reads INT32_MIN
            w.toe = static_cast<int8_t>(toe);
        }
        const uint8_t *t = wheel.temperatureBytes;
        w.heatWord = (t[0] & 63u) << 18 | (t[1] & 63u) << 12 | (t[2] & 63u) << 6 | (t[3] & 63u);
        if (wheel.flat != 0)
            w.heatWord |= 1u << 31;
        w.treadWord = (wheel.dirtByte & 7u) << 27 | (wheel.treadBytes[0] & 7u) << 24 |
                      (wheel.treadBytes[1] & 7u) << 21 | (wheel.treadBytes[2] & 7u) << 18 | (t[4] & 63u) << 12 |
                      (t[5] & 63u) << 6 | (t[6] & 63u);
    }
    std::memcpy(record, &out, sizeof(out));
}

int CarObject::ApplyConditionRecord(const uint8_t record[56]) {
    ConditionRecord in;
    std::memcpy(&in, record, sizeof(in));
    if (in.kind != ConditionRecordKind)
        return 0;
    engine.condition = static_cast<float>(in.engineWear[0]) / 255.0f;
    engine.clutchHeat = static_cast<float>(in.engineWear[1]) / 255.0f;
    fuel = static_cast<float>(in.fuel) * tankSize / 255.0f;
    UpdateMassProperties();
    const int count = wheelCount < ConditionRecordWheels ? wheelCount : ConditionRecordWheels;
    for (int i = 0; i < count; i++)
        ApplyWheelRecord(*this, wheels[i], in.wheels[i]);
    return 1;
}

uint32_t CarObject::ApplyRaceStateRecord(const uint8_t record[16]) {
    RaceStateRecord in;
    std::memcpy(&in, record, sizeof(in));
    if (in.penalty > MaxRecordPenalty)
        return lapStartTick;
    resultRecorded = in.resultRecorded;
    penalty = in.penalty;
    startByte = in.startByte;
    secondCount = in.secondCount;
    confirmedLaps = in.confirmedLaps;
    takeOverIds[0] = in.takeOverIds[0];
    takeOverIds[1] = in.takeOverIds[1];
    raceTimeWord = in.raceTimeWord;
    startOffset = in.startOffset;
    lapStartTick = static_cast<uint32_t>(startOffset) + 100u * RaceStartCountdown();
    return lapStartTick;
}

int CarObject::AnyWheelInState4or8() const {
    for (int i = 0; i < wheelCount; i++)
        if (wheels[i].surfaceType == 4 || wheels[i].surfaceType == 8)
            return 1;
    return 0;
}

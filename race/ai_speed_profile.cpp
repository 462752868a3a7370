#include <algorithm>
#include <cmath>

#include "race/ai_knowledge.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "vehicle/car_wheel.h"
#include "vehicle/fix_convert.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_grip.h"
#include "vehicle/tyre_type_table.h"
#include "world/world.h"

// The car figures the AI reads, and where they come from, are listed in
// docs/ai_speed_profile.md.

namespace {

constexpr float Gravity = 9.81f;
constexpr float GlobalTyreFactor = 1.15f;
constexpr float LooseTyreFactor = 0.95f;
constexpr float LoadScale = 960000.06f;
constexpr float LoadOffset = 700000.0f;

// Height of the centre of mass above the tyres' contact, metres.
float CentreHeight(const CarObject &car)
{
    if (car.wheelCount <= 0) {
        return 0.0f;
    }
    float ground = 0.0f;
    for (int i = 0; i < car.wheelCount; ++i) {
        ground += car.wheels[i].restPosition[2] - car.wheels[i].radius;
    }
    return car.centreOfMass[2] - ground / static_cast<float>(car.wheelCount);
}

// Half the mean distance between the wheels of an axle, metres.
float HalfTrack(const CarObject &car)
{
    float sum = 0.0f;
    int count = 0;
    for (int i = 0; i < car.wheelCount; ++i) {
        if (car.wheels[i].side != 0.0f) {
            sum += std::fabs(car.wheels[i].restPosition[0]);
            ++count;
        }
    }
    return count ? sum / static_cast<float>(count) : 1.0f;
}

// The rear axle's share of the weight.
float RearShare(const CarObject &car)
{
    return car.wheelbase != 0.0f ? (car.axlePositions[1] - car.centreOfMass[1]) / car.wheelbase : 0.5f;
}

const CarWheel *AxleWheel(const CarObject &car, int axle, float side)
{
    for (int i = 0; i < car.wheelCount; ++i) {
        if (static_cast<int>(car.wheels[i].axleIndex) == axle && car.wheels[i].side == side) {
            return &car.wheels[i];
        }
    }
    return nullptr;
}

float SurfaceScale(int surface)
{
    if (surface == 1 || surface == 16) {
        return 0.92f;
    }
    if (surface == 14) {
        return 0.96f;
    }
    return surface == 15 ? 0.84f : 1.0f;
}

// Fraction of the tread worn away: 0 new, 1 gone.
float TreadWear(const CarWheel &wheel)
{
    const float fresh = 0.03f * wheel.radius;
    if (!(fresh > 0.0f)) {
        return 0.0f;
    }
    float sum = 0.0f;
    for (const TreadSegment &segment : wheel.tread) {
        sum += segment.sections[1].thickness;
    }
    return std::clamp(1.0f - sum / 16.0f / fresh, 0.0f, 1.0f);
}

}  // namespace

float AiKnowledge::EffectiveMass() const
{
    float total = car->mass;
    for (int i = 0; i < car->wheelCount; ++i) {
        const CarWheel &wheel = car->wheels[i];
        if (wheel.radius > 0.0f) {
            total += wheel.inertia / (wheel.radius * wheel.radius);
        }
    }
    return total;
}

void EstimateCarCapability(AiKnowledge &k)
{
    const CarObject &car = *k.car;
    k.tankSize = car.tankSize;
    const float mass = k.EffectiveMass();
    float brake = 0.0f;
    for (int i = 0; i < car.wheelCount; ++i) {
        if (car.wheels[i].radius > 0.0f) {
            brake += car.wheels[i].brakeShare / car.wheels[i].radius;
        }
    }
    k.maxBrakeDecel = mass > 0.0f ? brake / mass : 0.0f;
    float rear = 0.0f;
    float front = 0.0f;
    car.WheelLoadShares(&rear, &front);
    const float r = RearShare(car);
    k.rearDownforce = r * car.mass > 0.0f ? rear / (r * car.mass) : 0.0f;
    k.frontDownforce = (1.0f - r) * car.mass > 0.0f ? front / ((1.0f - r) * car.mass) : 0.0f;
    k.rearRoll = 0.0f;
    k.frontRoll = 0.0f;
    if (car.setup) {
        car.RollStiffness(&k.rearRoll, &k.frontRoll);
    }
}

namespace {

float Capacity(float k, float grip, const KnowledgeNode &node, float v2, float a)
{
    return std::max(1.0f, ((k + node.vertCurvature) * v2 + Gravity + a) * grip);
}

}  // namespace

float AiKnowledge::LateralGrip(const KnowledgeNode &node, float f, float v2) const
{
    const float rear = Capacity(rearDownforce, node.rearGrip, node, v2, 0.0f);
    const float front = Capacity(frontDownforce, node.frontGrip, node, v2, 0.0f);
    return std::min(rear, front) * node.bankFactor * f;
}

float AiKnowledge::RearLateralGrip(const KnowledgeNode &node, float f, float v2) const
{
    return Capacity(rearDownforce, node.rearGrip, node, v2, 0.0f) * node.bankFactor * f;
}

float AiKnowledge::RearDriveGrip(const KnowledgeNode &node, float f, float v2, float a, float r, float *ratio) const
{
    const float rear = Capacity(rearDownforce, node.rearGrip, node, v2, a);
    const float front = Capacity(frontDownforce, node.frontGrip, node, v2, -a);
    *ratio = rear * r / (front * (1.0f - r) + rear * r);
    return rear * node.bankFactor * f;
}

float AiKnowledge::FrontDriveGrip(const KnowledgeNode &node, float f, float v2, float a, float r, float *ratio) const
{
    const float front = Capacity(frontDownforce, node.frontGrip, node, v2, -a);
    const float rear = Capacity(rearDownforce, node.rearGrip, node, v2, a);
    *ratio = front * (1.0f - r) / (rear * r + front * (1.0f - r));
    return front * node.bankFactor * f;
}

float AiKnowledge::AllDriveGrip(const KnowledgeNode &node, float f, float v2, float a) const
{
    const float rear = Capacity(rearDownforce, node.rearGrip, node, v2, a);
    const float front = Capacity(frontDownforce, node.frontGrip, node, v2, -a);
    return std::min(rear, front) * node.bankFactor * f;
}

float AiKnowledge::BrakeGrip(const KnowledgeNode &node, float f, float v2, float a) const
{
    const float rear = Capacity(rearDownforce, node.rearGrip, node, v2, -a);
    const float front = Capacity(frontDownforce, node.frontGrip, node, v2, a);
    return std::min(rear, front) * node.bankFactor * f;
}

float AiKnowledge::MaxBrakingDecel(const KnowledgeNode &node, float f, float v2) const
{
    const float height = CentreHeight(*car);
    const float lateral = std::fabs(node.curvature) * v2;
    const float transfer = std::min(1.0f, lateral * height / (HalfTrack(*car) * Gravity));
    const float surface = node.surfaceFlag ? 1.0f : GlobalTyreFactor / LooseTyreFactor;
    const float rolls = rearRoll + frontRoll;
    const float share = rolls > 0.0f ? 2.0f * frontRoll / rolls : 1.0f;
    float capacity = BrakeGrip(node, f, v2, 0.0f);
    if (lateral >= capacity) {
        return 0.0f;
    }
    const float e = (1.0f - share * transfer) * surface;
    float ratio = lateral / capacity;
    float b = capacity * std::sqrt(1.0f - ratio * ratio) * e;
    for (int pass = 0; pass < 5; ++pass) {
        b = std::min(b, maxBrakeDecel);
        const float a = car->wheelbase != 0.0f ? b * height / car->wheelbase : 0.0f;
        capacity = BrakeGrip(node, f, v2, a);
        if (lateral >= capacity) {
            return 0.0f;
        }
        ratio = lateral / capacity;
        b = capacity * std::sqrt(1.0f - ratio * ratio) * e;
    }
    return std::min(b, f * maxBrakeDecel);
}

float AiKnowledge::MaxDriveAccel(const KnowledgeNode &node, float f, float v2, float r, float, float available) const
{
    const float height = CentreHeight(*car);
    const float lateral = std::fabs(node.curvature) * v2;
    const float transfer = std::min(1.0f, lateral * height / (HalfTrack(*car) * Gravity));
    const float surface = node.surfaceFlag ? 1.0f : GlobalTyreFactor / LooseTyreFactor;
    const float rolls = rearRoll + frontRoll;
    const int layout = car->drivenAxles & 3;
    float q = 1.0f;
    float lock = 0.0f;
    const CarSetup *setup = car->setup;
    if (layout == 1) {
        q = rolls > 0.0f ? 2.0f * rearRoll / rolls : 1.0f;
        if (setup && setup->axles[0].diffType == 3) {
            lock = setup->axles[0].lockPower * 0.01f;
        }
    } else if (layout == 2) {
        q = rolls > 0.0f ? 2.0f * frontRoll / rolls : 1.0f;
        if (setup && setup->axles[1].diffType == 3) {
            lock = setup->axles[1].lockPower * 0.01f;
        }
    }
    auto capacityAt = [&](float a, float *ratio) {
        if (layout == 1) {
            return RearDriveGrip(node, f, v2, a, r, ratio);
        }
        if (layout == 2) {
            return FrontDriveGrip(node, f, v2, a, r, ratio);
        }
        *ratio = 1.0f;
        return AllDriveGrip(node, f, v2, a);
    };
    if (layout != 1 && layout != 2) {
        q = 1.0f;
    }
    float ratio = 1.0f;
    float capacity = capacityAt(0.0f, &ratio);
    if (lateral >= capacity) {
        return 0.0f;
    }
    q *= transfer;
    auto accelFor = [&]() {
        const float part = lateral / capacity;
        const float full = std::sqrt(1.0f - part * part) * capacity * ratio * surface;
        float acc = (1.0f - q) * full;
        if (lock > 0.0f) {
            acc = std::min(full, acc * (1.0f + 0.5f * lock));
        }
        return acc;
    };
    float acc = accelFor();
    for (int pass = 0; pass < 5; ++pass) {
        acc = std::min(acc, available);
        const float a = car->wheelbase != 0.0f ? acc * height / car->wheelbase : 0.0f;
        capacity = capacityAt(a, &ratio);
        if (lateral >= capacity) {
            return 0.0f;
        }
        acc = accelFor();
    }
    return std::min(acc, available);
}

float AiKnowledge::CorneringDrag(int full, const KnowledgeNode &node, float v2, float r) const
{
    const float side = node.curvature > 0.0f ? 1.0f : -1.0f;
    const CarWheel *left = AxleWheel(*car, 0, -1.0f);
    const CarWheel *right = AxleWheel(*car, 0, 1.0f);
    if (!left || !right || !car->setup) {
        return 0.0f;
    }
    const CarWheel &wheel = side > 0.0f ? *right : *left;
    const float lateral = std::fabs(node.curvature) * v2;
    const float transfer = std::min(1.0f, lateral * CentreHeight(*car) / (HalfTrack(*car) * Gravity));
    const float rolls = rearRoll + frontRoll;
    const float q = ((rolls > 0.0f ? 2.0f * rearRoll / rolls : 1.0f) * transfer + 1.0f) * 0.5f;
    const CarSetupAxle &axle = car->setup->axles[0];
    const float stiffness = full ? static_cast<float>(side > 0.0f ? axle.pressureRight : axle.pressureLeft) * 1000.0f
                                 : wheel.pressure;
    const float capacity = RearLateralGrip(node, 1.0f, v2);
    const float grip = capacity * car->mass;
    const float tyre = TyreTypeTable[axle.tyreType < TyreTypeCount ? axle.tyreType : 0].factor;
    const float below = 1.8f * tyre * stiffness * wheel.radius;
    if (!(below > 0.0f) || !(capacity > 0.0f)) {
        return 0.0f;
    }
    const int surface = node.surface < SurfaceKindCount ? node.surface : 0;
    return std::sqrt(grip * q * r / below) * SurfaceTable[surface].capability * 0.35f * (lateral / capacity) *
           lateral;
}

void AiKnowledge::ComputeSpeedProfile(int full, float f, int endNode, int closed, const KnowledgeNode *endTable)
{
    const int count = static_cast<int>(nodeCount);
    if (!car || count <= 0 || !nodes) {
        return;
    }
    const CarObject &c = *car;
    const float topSpeed = c.topSpeedEstimate;
    const float topSquared = topSpeed * topSpeed;
    const World *world = CurrentWorld;
    const float limit = world ? (static_cast<float>(world->GetLowestSpeedLimit()) - 1.0f) * 0.2777778f : 0.0f;

    // Pass 1: grips and cornering speeds.
    float grips[2][2] = {};   // axle, side (0: -1, 1: +1)
    int slowest = 0;
    for (int i = 0; i < count; ++i) {
        KnowledgeNode &node = nodes[i];
        node.brakeLevel = 0;
        node.throttleLevel = 0;
        if (i == 0 || node.surface != nodes[i - 1].surface) {
            const int surface = node.surface < SurfaceKindCount ? node.surface : 0;
            const bool loose = SurfaceTable[surface].loose != 0;
            for (int w = 0; w < c.wheelCount; ++w) {
                const CarWheel &wheel = c.wheels[w];
                const int axle = wheel.axleIndex ? 1 : 0;
                const int type = c.setup ? c.setup->axles[axle].tyreType : 0;
                const float base =
                    TyreSurfaceGrip[type < TyreTypeCount ? type : 0][surface] * SurfaceScale(surface);
                float grip;
                if (full) {
                    grip = base * LoadScale / (wheel.pressureSetting + LoadOffset);
                } else {
                    const float optimal = 273.15f + TyreTypeTable[type < TyreTypeCount ? type : 0].optimalTemperature;
                    float sum = 0.0f;
                    for (int zone = 0; zone < 3; ++zone) {
                        const float kelvin = 293.15f + static_cast<float>(wheel.temperatureBytes[zone]) * (180.0f / 63.0f);
                        const float x = (kelvin - optimal) / 60.0f;
                        sum += (0.5f / (x * x + 1.0f) + 0.5f) * base;
                    }
                    grip = sum * (loose ? 1.0f : 1.0f - TreadWear(wheel)) * 0.333f * LoadScale /
                           (wheel.pressure + LoadOffset);
                }
                if (!loose) {
                    grip *= LooseTyreFactor;
                }
                if (wheel.side <= 0.0f) {
                    grips[axle][0] = grip;
                }
                if (wheel.side >= 0.0f) {
                    grips[axle][1] = grip;
                }
            }
        }
        const int side = node.curvature > 0.0f ? 1 : 0;
        node.rearGrip = grips[0][side];
        node.frontGrip = grips[1][side];
        const float k = std::fabs(node.curvature);
        const float lateral = LateralGrip(node, f, 0.0f);
        if (!(topSquared > 0.0f) || lateral / topSquared >= k) {
            node.maxSpeed = topSpeed;
        } else {
            float v2 = lateral / k;
            bool top = false;
            for (int pass = 0; pass < 8; ++pass) {
                v2 = LateralGrip(node, f, v2) / k;
                if (v2 >= topSquared) {
                    top = true;
                    break;
                }
            }
            node.maxSpeed = top ? topSpeed : std::sqrt(v2);
        }
        if (endNode >= 0 && world && world->FindSpeedLimitZone(node.linePoint[0], node.linePoint[1])) {
            node.maxSpeed = std::min(node.maxSpeed, limit);
            if (i > 0) {
                nodes[i - 1].maxSpeed = std::min(nodes[i - 1].maxSpeed, limit);
            }
        }
        if (node.maxSpeed < nodes[slowest].maxSpeed) {
            slowest = i;
        }
    }

    // Ends and start.
    int start = 0;
    if (closed) {
        start = slowest;
    } else if (endNode < 0) {
        nodes[0].maxSpeed = 1.0f;
        nodes[count - 1].maxSpeed = 1.0f;
    } else if (endTable) {
        nodes[count - 1].maxSpeed = endTable[endNode].maxSpeed;
    }

    // Rolling coefficients per axle.
    const float rearShare = RearShare(c);
    float rolling[2] = {};
    for (int axle = 0; axle < 2; ++axle) {
        const CarWheel *one = AxleWheel(c, axle, -1.0f);
        const CarWheel *two = AxleWheel(c, axle, 1.0f);
        if (!one || !two || !c.setup) {
            continue;
        }
        const CarSetupAxle &setupAxle = c.setup->axles[axle];
        const TyreTypeInfo &tyre = TyreTypeTable[setupAxle.tyreType < TyreTypeCount ? setupAxle.tyreType : 0];
        const float radius = one->radius;
        const float u = tyre.heating;
        const float value = 0.03f * radius * tyre.factor * u * 260.0f * 3.0f + 2.0f * 0.015f * radius * u * 280.0f;
        const float below = full ? static_cast<float>(setupAxle.pressureLeft + setupAxle.pressureRight) * 500.0f * radius
                                 : (one->pressure + two->pressure) * 0.5f * radius;
        rolling[axle] = below > 0.0f ? value / below : 0.0f;
    }
    const float mass = EffectiveMass();
    const float drag = mass > 0.0f ? c.dragTotal / mass : 0.0f;
    const float launch = c.engine.LaunchSpeed();
    const float engine = c.driveEfficiency != 0.0f ? c.engine.Friction(launch) * launch / c.driveEfficiency : 0.0f;
    auto loss = [&](const KnowledgeNode &node, float v, float dt) {
        const float v2 = v * v;
        const float roll = std::max(0.0f, (rearDownforce + node.vertCurvature) * v2 + Gravity) *
                               (rolling[0] + node.surfaceValue) * rearShare +
                           std::max(0.0f, (frontDownforce + node.vertCurvature) * v2 + Gravity) *
                               (rolling[1] + node.surfaceValue) * (1.0f - rearShare);
        return (v2 * drag + node.gradient * Gravity + CorneringDrag(full, node, v2, rearShare) + roll) * dt;
    };
    const int steps = closed ? count : count - 1;

    // Pass 2: braking, backwards.
    {
        int i = closed ? start : count - 1;
        bool lowered = false;
        for (int step = 0; step < steps || (closed && lowered); ++step) {
            const int b = i > 0 ? i - 1 : count - 1;
            KnowledgeNode &here = nodes[i];
            KnowledgeNode &before = nodes[b];
            lowered = false;
            const float v = here.maxSpeed;
            if (v < before.maxSpeed && v > 0.0f && before.distance > 0.0f) {
                const float d = MaxBrakingDecel(here, f, v * v);
                const float dt = before.distance / v;
                const float lost = loss(here, v, dt);
                const float vmax = dt * d + v + lost;
                float level;
                if (vmax < before.maxSpeed) {
                    before.maxSpeed = vmax;
                    level = maxBrakeDecel > 0.0f ? d / maxBrakeDecel : 0.0f;
                    lowered = true;
                } else {
                    const float x = before.maxSpeed - (engine / v / mass * dt + v + lost);
                    level = x > 0.0f && maxBrakeDecel > 0.0f ? std::min(1.0f, (x / dt) / maxBrakeDecel) : 0.0f;
                }
                before.brakeLevel = DisplayByte(level * 255.0f);
            }
            i = b;
        }
    }

    // Pass 3: driving, forwards (full model only).
    if (full) {
        const float power = c.driveEfficiency * c.engine.maxPower;
        int i = closed ? start : 0;
        bool lowered = false;
        for (int step = 0; step < steps || (closed && lowered); ++step) {
            const int n = i + 1 < count ? i + 1 : 0;
            KnowledgeNode &here = nodes[i];
            KnowledgeNode &next = nodes[n];
            lowered = false;
            const float v = here.maxSpeed;
            if (v > 0.0f && here.distance > 0.0f && mass > 0.0f) {
                const float available = power / v / mass;
                const float a = MaxDriveAccel(here, f, v * v, rearShare, 1.0f - rearShare, available);
                const float dt = here.distance / v;
                const float lost = loss(here, v, dt);
                const float vmax = dt * a + v - lost;
                float level;
                if (vmax < next.maxSpeed) {
                    next.maxSpeed = vmax;
                    level = available > 0.0f ? a / available : 0.0f;
                    lowered = true;
                } else {
                    const float x = next.maxSpeed - (engine / v / mass * dt + v + lost);
                    level = x > 0.0f && available > 0.0f ? std::min(1.0f, (x / dt) / available) : 0.0f;
                }
                if (level != 0.0f) {
                    here.brakeLevel = 0;
                    here.throttleLevel = DisplayByte(level * 255.0f);
                }
            }
            i = n;
        }
    }
}

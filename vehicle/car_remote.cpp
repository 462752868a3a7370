// Remote cars and stand-alone previews. A car driven on another program
// arrives here as state records; between records it is dead-reckoned, and a
// record that comes late is caught up by stepping the car forward. A preview
// car outside the physics world is stepped from the real time instead.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/fixed_math.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "vehicle/fix_convert.h"
#include "vehicle/physics_world.h"
#include "vehicle/race_hooks.h"
#include "vehicle/vector3.h"
#include "vehicle/world_query.h"

namespace {

constexpr float TickSeconds = 0.01f;
constexpr float DefaultGravity = -9.81f;
// Ticks after a position reset during which records are not applied.
constexpr int32_t ResetSettleTicks = 100;
// A record older than this many ticks times the car out.
constexpr int32_t StaleRecordTicks = 100;
// Ticks without a record after which a remote car times out.
constexpr int32_t RemoteTimeOutTicks = 150;
// 0.01 s of motion in 16.16 units.
constexpr float TickFixScale = 655.36f;
// A record within 1/16 m of the car, with both speeds at most 0.1 m/s,
// leaves the car where it is.
constexpr int64_t SamePlaceFix = 0x1000;
constexpr float SamePlaceSpeed = 0.1f;
// A sender stops its own car beyond this speed; faster records are broken.
constexpr float MaxRecordSpeed = 200.0f;
// No car body turns faster than this (rad/s, about 16 turns a second); a
// record whose angular momentum gives a faster spin is broken. Unbounded, a
// huge spin turns the extrapolated car's orientation to values that are not
// numbers.
constexpr float MaxRecordAngularSpeed = 100.0f;
// Below this an axis or the cross product of the axes gives no pose.
constexpr float MinAxisLength = 1.0e-3f;
// Packed 10-bit direction fields: the field in the top bits of a signed
// 32-bit value, divided by this.
constexpr float PackedDirectionScale = 2143289344.0f;
constexpr uint32_t PackedFieldMask = 0xFFC00000u;
// Word scales: 1000 pi rad/s and the turbo's 15707.96 rad/s.
constexpr float ThousandPi = 3141.5927f;
constexpr float TurboWordRange = 15707.96f;
constexpr float InverseWordRange = 1.5259022e-05f;  // 1 / 65535
// The collision decision of the speed-up option.
constexpr float NearCarRange = 60.0f;
constexpr float NearCarGap = 4.0f;
// The one-step decision: the viewed car's neighbourhood (horizontal metres)
// and the car-sound places that keep full simulation.
constexpr float ViewedCarRange = 120.0f;
constexpr int SoundPlacesSimulated = 5;
// Preview stepping: the most backlog kept, and the milliseconds of a tick.
constexpr uint32_t StandaloneBacklogMs = 100;
constexpr uint32_t TickMs = 10;
// Scale of the tread model while a car is remote: segment 0 stands for all.
constexpr float TreadSegments = 16.0f;
// The road margin within which a car becoming local keeps its path node.
constexpr float PathNodeMargin = 20.0f;
constexpr uint32_t PitLimiterFitted = 1u << 30;

float UnpackDirectionField(uint32_t packed, int shift) {
    const uint32_t top = (packed << shift) & PackedFieldMask;
    return static_cast<float>(static_cast<int32_t>(top)) / PackedDirectionScale;
}

void UnpackDirection(uint32_t packed, float magnitude, float out[3]) {
    out[0] = UnpackDirectionField(packed, 0) * magnitude;
    out[1] = UnpackDirectionField(packed, 10) * magnitude;
    out[2] = UnpackDirectionField(packed, 20) * magnitude;
}

bool IsFinite3(const float v[3]) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

float Length3(const float v[3]) {
    return std::sqrt(Dot3(v, v));
}

int64_t FixDelta(int32_t a, int32_t b) {
    return static_cast<int64_t>(a) - static_cast<int64_t>(b);
}

float FixDistance(const FixVector &a, const FixVector &b, bool horizontal) {
    const float d[3] = {static_cast<float>(FixDelta(a.x, b.x)) * (1.0f / 65536.0f),
                        static_cast<float>(FixDelta(a.y, b.y)) * (1.0f / 65536.0f),
                        horizontal ? 0.0f : static_cast<float>(FixDelta(a.z, b.z)) * (1.0f / 65536.0f)};
    return Length3(d);
}

float WorldGravity() {
    const WorldQuery *world = LoadedWorldQuery();
    return world != nullptr ? world->GetGravity() : DefaultGravity;
}

// The pose, motion and angular velocity a record describes, worked out
// before anything of the car changes: a record that gives no sound pose is
// refused whole.
struct RecordMotion {
    float orientation[9];
    float velocity[3];
    float angularMomentum[3];
    float angularVelocity[3];
};

bool DecodeRecordMotion(const CarStateRecord &r, const float inverseInertia[9], RecordMotion &m) {
    if (!std::isfinite(r.speed) || !std::isfinite(r.angularMomentum) || std::fabs(r.speed) > MaxRecordSpeed)
        return false;
    const float yRaw[3] = {static_cast<float>(r.yAxis[0]) / 32767.0f, static_cast<float>(r.yAxis[1]) / 32767.0f,
                           static_cast<float>(r.yAxis[2]) / 32767.0f};
    const float x0[3] = {static_cast<float>(r.xAxis[0]) / 32767.0f, static_cast<float>(r.xAxis[1]) / 32767.0f,
                         static_cast<float>(r.xAxis[2]) / 32767.0f};
    const float ly = Length3(yRaw);
    if (!(ly >= MinAxisLength))
        return false;
    const float y[3] = {yRaw[0] / ly, yRaw[1] / ly, yRaw[2] / ly};
    float zRaw[3];
    Cross3(x0, y, zRaw);
    const float lz = Length3(zRaw);
    if (!(lz >= MinAxisLength))
        return false;
    const float z[3] = {zRaw[0] / lz, zRaw[1] / lz, zRaw[2] / lz};
    float x[3];
    Cross3(y, z, x);
    for (int k = 0; k < 3; k++) {
        m.orientation[3 * k] = x[k];
        m.orientation[3 * k + 1] = y[k];
        m.orientation[3 * k + 2] = z[k];
    }
    UnpackDirection(r.velocityDirection, r.speed, m.velocity);
    UnpackDirection(r.angularMomentumDirection, r.angularMomentum, m.angularMomentum);
    float local[3];
    MatTVec3(m.orientation, m.angularMomentum, local);
    float spin[3];
    MatVec3(inverseInertia, local, spin);
    MatVec3(m.orientation, spin, m.angularVelocity);
    // A finite but huge angular momentum could still overflow here; the
    // comparison also refuses a spin that is not a number.
    return IsFinite3(m.velocity) && IsFinite3(m.angularMomentum) && IsFinite3(m.angularVelocity) &&
           Length3(m.angularVelocity) <= MaxRecordAngularSpeed;
}

}  // namespace

void CarObject::BecomeRemote() {
    if (isRemote != 0)
        return;
    isRemote = 1;
    for (RimData &axle : axles) {
        axle.treadSectionArea *= TreadSegments;
        axle.sidewallArea *= TreadSegments;
    }
    for (int i = 0; i < wheelCount; i++)
        wheels[i].CollapseTreadSegments();
    pitWorkStep = 0;
    pitLaneState = 4;
    speedLimit = 0;
    tcOff = static_cast<uint8_t>(InitialTcOff());
    remoteHeld = 1;
}

void CarObject::BecomeLocal() {
    if (isRemote == 0)
        return;
    isRemote = 0;
    active = 1;
    singleStep = 0;
    for (RimData &axle : axles) {
        axle.treadSectionArea *= 1.0f / TreadSegments;
        axle.sidewallArea *= 1.0f / TreadSegments;
    }
    for (int i = 0; i < wheelCount; i++)
        wheels[i].ExpandTreadSegments();
    if (stopped != 0) {
        pitWorkStep = 1;
        pitLaneState = 4;
    }
    if ((dataFlags & PitLimiterFitted) != 0) {
        const int limit = RaceLowestSpeedLimit();
        speedLimit = static_cast<uint8_t>(limit < 0 ? 0 : (limit > 255 ? 255 : limit));
    }
    tcOff = static_cast<uint8_t>(InitialTcOff());
    remoteHeld = 0;

    // The path node is kept while the car is still near it; otherwise the
    // follower searches afresh.
    if (pathFollower == nullptr)
        return;
    PathNodePlace a{};
    PathNodePlace b{};
    if (CarServices.pathFollowerPlace != nullptr && CarServices.pathFollowerPlace(pathFollower, 0, &a) != 0 &&
        CarServices.pathFollowerPlace(pathFollower, 1, &b) != 0) {
        const float pa[2] = {static_cast<float>(FixDelta(position.x, a.position[0])) * (1.0f / 65536.0f),
                             static_cast<float>(FixDelta(position.y, a.position[1])) * (1.0f / 65536.0f)};
        const float pb[2] = {static_cast<float>(FixDelta(position.x, b.position[0])) * (1.0f / 65536.0f),
                             static_cast<float>(FixDelta(position.y, b.position[1])) * (1.0f / 65536.0f)};
        const float ahead = pb[0] * b.direction[0] + pb[1] * b.direction[1];
        const float behind = pa[0] * a.direction[0] + pa[1] * a.direction[1];
        const float lateral = pa[0] * a.direction[1] - pa[1] * a.direction[0];
        const bool keep = ahead <= PathNodeMargin && behind >= -PathNodeMargin &&
                          lateral >= a.leftEdge - PathNodeMargin && lateral <= a.rightEdge + PathNodeMargin;
        if (!keep && CarServices.resetPathFollower != nullptr)
            CarServices.resetPathFollower(pathFollower);
    }
    PathNodePlace now{};
    const bool hasNode =
        CarServices.pathFollowerPlace != nullptr && CarServices.pathFollowerPlace(pathFollower, 0, &now) != 0;
    if (!hasNode && CarServices.findPathPosition != nullptr) {
        const int32_t point[3] = {position.x, position.y, position.z};
        CarServices.findPathPosition(pathFollower, point);
    }
}

void CarObject::ApplyRemoteState(const CarStateRecord *r, uint32_t tick) {
    // Only a remote car follows records: what the local view decides here
    // differs between programs and must never reach a car simulated here.
    if (r == nullptr || isRemote == 0)
        return;
    // A record that would give a broken pose or a gear the car lacks is
    // ignored whole: the car keeps its previous state.
    const uint8_t gearPosition = r->gearByte & 15;
    if (gearPosition >= gearCount || gearPosition >= CarGearPositions)
        return;
    RecordMotion motion;
    if (!DecodeRecordMotion(*r, inverseInertia, motion))
        return;

    // 1. Nothing more while the car settles after a position reset.
    remoteStateTick = stepCount;
    if (static_cast<int32_t>(stepCount - lastPositionTick) < ResetSettleTicks)
        return;

    // 2. Signed: a record stamped after the car's count is not old.
    const int32_t age = static_cast<int32_t>(stepCount - tick);
    const bool dedicated = DedicatedMode != DedicatedNone;
    if (age > StaleRecordTicks) {
        remotePhase = 1;
        remoteAge = static_cast<float>(age) * 0.01f;
        active = 0;
        remoteWake = 0;
    } else {
        // 3. Whether the car collides here.
        remotePhase = 0;
        RemoteCarView view;
        RaceGetRemoteCarView(this, &view);
        if (view.catchingUp != 0) {
            active = 0;
            remoteWake = 0;
        } else if (!dedicated && MpSpeedupOpt != 0) {
            bool collide = false;
            if (remoteWake != 0) {
                remoteWake = 0;
                collide = true;
            } else if (view.freeView != 0) {
                collide = view.drawn != 0 || view.replaySeeking != 0;
            } else if (view.viewMode == 1 || view.viewMode == 2) {
                collide = true;
            } else {
                const int slots = RaceSlotCount();
                for (int s = 0; s < slots && !collide; s++) {
                    const CarObject *other = RaceSlotCar(s);
                    if (other == nullptr || other == this || other->isRemote != 0)
                        continue;
                    const float distance = FixDistance(other->position, position, false);
                    if (!(distance < NearCarRange))
                        continue;
                    const float gap = distance - other->radius - radius;
                    // gap / (both speeds) below 1 s, without dividing by 0.
                    collide = gap < NearCarGap || gap < other->speed + speed;
                }
            }
            active = collide ? 1 : 0;
        } else {
            active = 1;
        }

        // 4. Whether it is simulated in one step per tick.
        if (view.catchingUp != 0) {
            singleStep = 1;
        } else if (dedicated) {
            singleStep = 0;
        } else if (view.freeView == 0) {
            if (view.viewedCar == nullptr || view.viewedCar == this) {
                singleStep = 0;
            } else {
                const bool near =
                    FixDistance(view.viewedCar->position, position, true) <= ViewedCarRange && view.nearest != 0;
                singleStep = near ? 0 : 1;
            }
        } else {
            const bool heard = view.soundIndex >= 0 && view.soundIndex < SoundPlacesSimulated;
            singleStep = view.nearest != 0 || heard ? 0 : 1;
        }
        if (singleStep == 0)
            active = 1;
    }

    // 5. Controls and state.
    gear = gearPosition;
    requestedGear = gearPosition;
    indicator = static_cast<uint8_t>((r->gearByte >> 4) & 3);
    if ((r->gearByte & 0x40) != 0)
        remoteLatch = 1;
    remoteHeld = static_cast<uint8_t>(r->gearByte >> 7);
    if (remoteHeld != 0) {
        stopTick = stepCount;
        lastInputTick = stepCount;
        standstillCount = 0;
    }
    inputs[15] = static_cast<uint16_t>(r->inputByte & 7);
    tcOff = static_cast<uint8_t>(r->inputByte >> 7);
    announcePending = static_cast<uint8_t>(r->stateByte & 1);
    headlight = static_cast<uint8_t>((r->stateByte >> 1) & 1);
    if ((r->stateByte & 8) != 0) {
        const int limit = RaceLowestSpeedLimit();
        speedLimit = static_cast<uint8_t>(limit < 0 ? 0 : (limit > 255 ? 255 : limit));
    } else {
        speedLimit = 0;
    }
    inputs[11] = static_cast<uint16_t>(((r->stateByte >> 4) & 3) * 65535 / 3);
    inputs[12] = static_cast<uint16_t>(((r->stateByte >> 6) & 3) * 65535 / 3);
    inputs[0] = r->steering;
    inputs[1] = static_cast<uint16_t>(r->throttle * 65535 / 255);
    inputs[2] = static_cast<uint16_t>(r->brake * 65535 / 255);
    const bool running = (r->stateByte & 4) != 0;
    if (running != (engine.running != 0)) {
        if (running)
            engine.Start();
        else
            engine.Stop();
    }

    // 6. Steering for drawing; a dedicated host draws nothing.
    if (!dedicated) {
        const float a = SteerAngleFromInput(r->steering);
        if (moving != 0 && a != steerTarget) {
            steerPrev = a;
            steerNext = a;
            steerAngle = a;
            wheelSteerAngle = a;
            steerRate = 0.0f;
        }
    } else {
        steerTarget = 0.0f;
        steerPrev = 0.0f;
        steerNext = 0.0f;
        steerAngle = 0.0f;
        wheelSteerAngle = 0.0f;
        steerRate = 0.0f;
    }

    // 7. Engine and turbo speeds.
    engine.speed = static_cast<float>(r->engineSpeed) * ThousandPi * InverseWordRange;
    engine.turboSpeed = static_cast<float>(r->turboSpeed) * TurboWordRange * InverseWordRange;

    // 8. The full apply, unless the record leaves a standing car in place.
    const bool moved = std::llabs(FixDelta(r->position[0], position.x)) > SamePlaceFix ||
                       std::llabs(FixDelta(r->position[1], position.y)) > SamePlaceFix ||
                       std::llabs(FixDelta(r->position[2], position.z)) > SamePlaceFix ||
                       std::fabs(r->speed) > SamePlaceSpeed || speed > SamePlaceSpeed;
    if (moved) {
        for (int k = 0; k < 9; k++)
            orientation[k] = motion.orientation[k];
        position = {r->position[0], r->position[1], r->position[2]};
        speed = r->speed;
        Copy3(velocity, motion.velocity);
        Copy3(angularMomentum, motion.angularMomentum);
        Copy3(angularVelocity, motion.angularVelocity);
        const int count = wheelCount < 4 ? wheelCount : 4;
        for (int i = 0; i < count; i++) {
            CarWheel &wheel = wheels[i];
            wheel.angularVelocity = static_cast<float>(r->wheelSpeeds[i]) * ThousandPi / 32767.0f;
            wheel.compression = static_cast<float>(r->compression[i]) * wheel.maxTravel / 255.0f;
            wheel.UpdateSuspensionGeometry(axles[wheel.axleIndex != 0 ? 1 : 0]);
            wheel.compressionSpeed = 0.0f;
            wheel.tyreDeflection = 0.0f;
            wheel.longDeflection = 0.0f;
            wheel.latDeflection = 0.0f;
            Zero3(wheel.deflection);
            wheel.inContact = 0;
            wheel.sideInContact = 0;
        }
    }

    // 9.
    lastRemoteRecord = *r;

    // 10. Bring the car forward from the record's tick to the present.
    if (age < 1) {
        remoteAge = 0.0f;
    } else {
        remoteAge = static_cast<float>(age) * 0.01f;
        if (moved) {
            if (!dedicated) {
                if (active == 0 && remotePhase != 1) {
                    const float ahead = static_cast<float>(age) * 0.01f * 65536.0f;
                    position.x = WrapAdd(position.x, RoundToInt(ahead * velocity[0]));
                    position.y = WrapAdd(position.y, RoundToInt(ahead * velocity[1]));
                    position.z = WrapAdd(position.z, RoundToInt(ahead * velocity[2]));
                } else if (active != 0) {
                    const float gravity = WorldGravity();
                    Zero3(force);
                    Zero3(torque);
                    ExtrapolatingRemoteCar = 1;
                    for (int32_t n = 0; n < age; n++) {
                        PreStep(TickSeconds);
                        Collide(TickSeconds, 0);
                        Step(TickSeconds, gravity);
                    }
                    ExtrapolatingRemoteCar = 0;
                }
            } else if (active != 0) {
                for (int32_t n = 0; n < age; n++)
                    RemoteTick();
            }
        }
    }

    // 11. The first record places the path follower and the smoothing.
    if (remoteStarted == 0) {
        if (pathFollower != nullptr && CarServices.findPathPosition != nullptr) {
            if (CarServices.resetPathFollower != nullptr)
                CarServices.resetPathFollower(pathFollower);
            const int32_t point[3] = {position.x, position.y, position.z};
            CarServices.findPathPosition(pathFollower, point);
        }
        remoteStarted = 1;
        smoothPosition[0].Init(FixToMetres(position.x), velocity[0]);
        smoothPosition[1].Init(FixToMetres(position.y), velocity[1]);
        smoothPosition[2].Init(FixToMetres(position.z) + dryCentreOfMass[2], velocity[2]);
    }
}

void CarObject::RemoteTick() {
    if (isRemote == 0)
        return;
    const int32_t age = static_cast<int32_t>(stepCount - remoteStateTick);
    if (age > RemoteTimeOutTicks) {
        remotePhase = 1;
        active = 0;
        remoteAge = static_cast<float>(age) * 0.01f;
    }
    if (active != 0) {
        position.x = WrapAdd(position.x, RoundToInt(velocity[0] * TickFixScale));
        position.y = WrapAdd(position.y, RoundToInt(velocity[1] * TickFixScale));
        position.z = WrapAdd(position.z, RoundToInt(velocity[2] * TickFixScale));
        predictedPosition = position;
        CheckStopped();
    }
}

void CarObject::StepStandalone() {
    if (WindowInactive != 0)
        return;
    if (GameClockStep > 0)
        standaloneClock += static_cast<uint32_t>(GameClockStep);
    // At most 100 ms of backlog. While the clock is below 100 ms the bound
    // is 0: the unsigned difference would wrap and stop the car for good.
    const uint32_t bound = standaloneClock >= StandaloneBacklogMs ? standaloneClock - StandaloneBacklogMs : 0;
    if (standaloneDone < bound)
        standaloneDone = bound;
    const float gravity = WorldGravity();
    while (standaloneDone < standaloneClock) {
        PreStep(TickSeconds);
        Collide(TickSeconds, 0);
        Step(TickSeconds, gravity);
        standaloneDone += TickMs;
        stepCount++;
    }
}

// The driving modes of the computer driver: following the racing line at
// the speed of its profile, with traction control, steering and gears.

#include <cmath>
#include <cstdint>

#include "core/float_math.h"
#include "race/ai_driver.h"
#include "race/game_state.h"
#include "race/path_range.h"
#include "race/race_object.h"
#include "race/race_packets.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "world/path.h"
#include "world/world.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float Gravity = 9.81f;
constexpr int HandbrakeWord = 12;
constexpr int LimiterWord = 16;
// A path on which drivers neither race each other nor pull off the road.
constexpr uint32_t PathNoTraffic = 2;

float Clamp(float v, float lo, float hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

float Metres(int64_t fix)
{
    return static_cast<float>(fix) / 65536.0f;
}

// The signed plan distance of p (16.16) in front of a path node's plane.
float PlaneDistance(const PathNode &node, const int32_t p[3])
{
    return Metres(static_cast<int64_t>(p[0]) - node.position[0]) * node.direction[0] +
           Metres(static_cast<int64_t>(p[1]) - node.position[1]) * node.direction[1];
}

// The same against a knowledge node's line point and direction.
float LinePlaneDistance(const KnowledgeNode &node, const int32_t p[3])
{
    return Metres(static_cast<int64_t>(p[0]) - node.linePoint[0]) * node.dir[0] +
           Metres(static_cast<int64_t>(p[1]) - node.linePoint[1]) * node.dir[1];
}

// Whether a range holds a node (forwards from its start, wrapping).
bool RangeHolds(const KnowledgeRange &range, const Path &path, int node)
{
    const int count = path.nodeCount;
    return (node - static_cast<int>(range.startNode) + count) % count < PathRangeLength(range, path);
}

// v turned about the unit axis a by angle t (Rodrigues).
void RotateAbout(float out[3], const float v[3], const float a[3], float t)
{
    const float c = FloatCos(t);
    const float s = FloatSin(t);
    const float d = a[0] * v[0] + a[1] * v[1] + a[2] * v[2];
    const float cross[3] = {a[1] * v[2] - a[2] * v[1], a[2] * v[0] - a[0] * v[2], a[0] * v[1] - a[1] * v[0]};
    for (int i = 0; i < 3; ++i) {
        out[i] = v[i] * c + cross[i] * s + a[i] * d * (1.0f - c);
    }
}

float SafeAsin(float x)
{
    return x >= -1.0f && x <= 1.0f ? FloatAsin(x) : 0.0f;
}

}  // namespace

void AiDriver::StepTraffic()
{
    // With no other car to pass or avoid: while racing the driver returns
    // to its line, 0.01 m per tick, from wherever it started (its grid slot
    // or a pit exit); in the other modes the target stays.
    if (mode == AiRacing) {
        lateralTarget = 0.0f;
    }
    constexpr float Step = 0.01f;
    if (lateral < lateralTarget) {
        lateral = std::fmin(lateralTarget, lateral + Step);
    } else if (lateral > lateralTarget) {
        lateral = std::fmax(lateralTarget, lateral - Step);
    }
}

void AiDriver::SteerToPitBox(const float predicted[3], float targetOut[3], float *errorOut)
{
    // Until the pit-box approach is built the driver follows its pit line.
    (void)predicted;
    (void)targetOut;
    (void)errorOut;
}

void AiDriver::StepDriving(float dt)
{
    CarObject &c = *car;
    const World *world = CurrentWorld;
    const Path *path = world ? world->currentPath : nullptr;
    // 1.
    if (!path || path->nodeCount < 2 || line.nodeCount != static_cast<uint32_t>(path->nodeCount) ||
        follower.node < 0 || follower.node >= path->nodeCount) {
        SetMode(AiStopped);
        return;
    }
    const int count = path->nodeCount;
    const int closed = (path->flags & PathClosedLoop) != 0;
    const int resetAllowed = IsCarResetAllowed();

    // 2. Every 128 race ticks: the limiter and the stuck test.
    if ((AiRaceTick() & 127u) == 0) {
        if (c.pitLaneState == 0 && c.speedLimit != 0) {
            c.inputs[LimiterWord] = 1;
        }
        const int32_t p[2] = {c.position.x, c.position.y};
        if (c.pitWorkStep == 0 && CheckStuck(p)) {
            if (c.pathFollower && c.pathFollower->node >= 0 && c.pathFollower->node < count) {
                follower.node = c.pathFollower->node;
            }
            if (c.orientation[8] < 0.5f || c.gearboxKind == 2) {
                if (resetAllowed) {
                    SendPositionPacket(c, 0);
                    return;
                }
                SetMode(AiStopped);
            } else {
                if (c.engine.running) {
                    BeginReversing();
                }
                return;
            }
        }
    }

    // 3. A forward gear.
    if (mode != AiStopped) {
        if (c.requestedGear < 2) {
            if (c.gearboxKind == 2) {
                ShiftDown();
            } else {
                ShiftUp();
            }
            return;
        }
        if (c.gear < 2) {
            return;
        }
    }

    // 4. Traffic.
    heldUp = 0;
    laneBlocked = 0;
    trafficThrottle = 0.0f;
    trafficSpeedCap = 200.0f;
    if (!onPitLine && (path->flags & PathNoTraffic) == 0) {
        StepTraffic();
    }
    // 5.
    c.inputs[HandbrakeWord] = 0;
    throttle = 0.0f;

    // 6. The predicted point.
    int32_t predicted[3];
    const int32_t position[3] = {c.position.x, c.position.y, c.position.z};
    for (int i = 0; i < 3; ++i) {
        predicted[i] = position[i] + static_cast<int32_t>(std::lround(c.velocity[i] * lookAhead * 65536.0f));
    }

    // 7. Node advance.
    int node = follower.node;
    auto nextOf = [&](int n) { return n + 1 < count ? n + 1 : 0; };
    if (mode != AiStopped) {
        if (PlaneDistance(path->nodes[nextOf(node)], predicted) > 0.0f) {
            const int advanced = node + 1;
            if (!closed && advanced >= count - 1) {
                SetMode(AiStopped);
                return;
            }
            node = advanced < count ? advanced : 0;
            follower.node = node;
            if (pitPlan != 0 && node == pitEntryNode && !onPitLine && hasPitLine) {
                onPitLine = 1;
                pitNode = 0;
                EstimateCarCapability(pitLine);
                pitLine.ComputeSpeedProfile(0, CheckCarCondition() * LevelFactor() * 0.8f, pitExitNode, 0,
                                            line.nodes);
                if (pitPlan == 2 || pitPlan == 3) {
                    pitApproachStage = 1;
                    const RaceObject *race = RaceObjectPtr;
                    int place = 0;
                    if (race != nullptr) {
                        for (int i = 0; i < race->slotCount; ++i) {
                            if (race->slots[i].ai == this) {
                                place = i;
                            }
                        }
                        if (race->resultCount != 0) {
                            for (int i = 0; i < race->orderCount; ++i) {
                                if (race->runningOrder[i] == place) {
                                    place = i;
                                    break;
                                }
                            }
                        }
                    }
                    const int boxes = world->pitPlaceCount;
                    pitBox = static_cast<uint8_t>(boxes > 0 ? place % boxes : 0);
                }
            }
            if (line.rangeCount > 1) {
                const uint32_t nextRange = (rangeIndex + 1u) % line.rangeCount;
                if (RangeHolds(line.ranges[nextRange], *path, node)) {
                    rangeIndex = static_cast<uint8_t>(nextRange);
                    RecomputeLineProfile();
                }
            }
            // One node per tick at most.
            if (PlaneDistance(path->nodes[nextOf(node)], predicted) > 0.0f) {
                return;
            }
        } else if (PlaneDistance(path->nodes[node], predicted) < 0.0f) {
            if (node == 0) {
                if (!closed) {
                    SetMode(AiStopped);
                    return;
                }
                node = count - 1;
            } else {
                node -= 1;
            }
            follower.node = node;
        }
    }

    // 8. The line record at the predicted point.
    const int next = nextOf(node);
    const float s0 = PlaneDistance(path->nodes[node], predicted);
    const float s1 = PlaneDistance(path->nodes[next], predicted);
    float t = s0 - s1 > 0.001f ? s0 / (s0 - s1) : 0.0f;
    t = Clamp(t, 0.0f, 1.0f);
    KnowledgeNode k;
    AiKnowledge::InterpolateNodes(k, line.nodes[node], line.nodes[next], t, 1);

    // 9. The direction of travel.
    float travel[2];
    if (c.speed >= 0.001f) {
        travel[0] = c.velocity[0] / c.speed;
        travel[1] = c.velocity[1] / c.speed;
    } else {
        travel[0] = c.orientation[1];
        travel[1] = c.orientation[4];
    }

    // 10. The pit line.
    if (onPitLine && pitLine.nodes && pitLine.nodeCount > 0) {
        const KnowledgeNode &here = pitLine.nodes[pitNode < pitLine.nodeCount ? pitNode : pitLine.nodeCount - 1];
        if (LinePlaneDistance(here, predicted) > 0.0f) {
            ++pitNode;
        }
        if (pitNode >= pitLine.nodeCount) {
            if (pitPlan != 4) {
                pitPlan = 0;
            }
            onPitLine = 0;
            pitNode = 0;
            lateral = lateralTarget = 0.0f;
        } else {
            const KnowledgeNode &b = pitLine.nodes[pitNode];
            k = b;
            if (pitNode > 0) {
                const KnowledgeNode &a = pitLine.nodes[pitNode - 1];
                const float sa = LinePlaneDistance(a, predicted);
                const float sb = LinePlaneDistance(b, predicted);
                if (sa >= 0.0f && sb <= 0.0f) {
                    const float u = sa - sb > 0.001f ? Clamp(sa / (sa - sb), 0.0f, 1.0f) : 0.0f;
                    AiKnowledge::InterpolateNodes(k, a, b, u, 1);
                }
            }
        }
    }

    // 11.
    float target = std::fmin(k.maxSpeed, trafficSpeedCap);

    // 12. Mode rules.
    int careful = 0;
    const int inPitLane = c.pitLaneState != 0;
    if (mode == AiRacing || mode == AiToPitBox) {
        if (!c.engine.running) {
            SetMode(AiPullingOff);
        } else {
            if (inPitLane) {
                careful = 1;
            }
            if (mode == AiToPitBox) {
                if (onPitLine || RaceKind != 2) {
                    careful = 1;
                }
                if (countdown != 0 && --countdown == 0) {
                    SetMode(AiPullingOff);
                }
            }
        }
    } else if (mode == AiPullingOff) {
        if (c.speed < 0.1f) {
            SetMode(AiStopped);
        }
        careful = 1;
    }
    if (mode == AiStopped) {
        careful = 1;
    }

    // 13. Pit speed.
    if (pitSpeedLimit < target) {
        if (inPitLane) {
            target = pitSpeedLimit;
        }
        if (careful) {
            target = std::fmax(0.667f * target, pitSpeedLimit);
        }
    }

    // 14.
    if (c.pathFollower == nullptr || c.pathFollower->node < 0 || mode == AiStopped) {
        throttle = brake = steer = 0.0f;
        return;
    }

    // 15.
    PedalsSteeringAndGears(dt, k, predicted, travel, target, careful);
}

void AiDriver::PedalsSteeringAndGears(float dt, const KnowledgeNode &k, const int32_t predicted[3],
                                      const float travel[2], float target, int careful)
{
    CarObject &c = *car;
    const Path &path = *CurrentWorld->currentPath;
    const int count = path.nodeCount;
    const float factor = LevelFactor();
    const float v = c.speed;
    const float vsq = v * v;
    const float mass = line.EffectiveMass();
    const float massInv = mass > 0.0f ? 1.0f / mass : 0.0f;
    // 1. Weight shares.
    const float r = c.wheelbase != 0.0f ? (c.axlePositions[1] - c.centreOfMass[1]) / c.wheelbase : 0.5f;

    // 2. The change of speed wanted over the look-ahead.
    float dV = (target - v) + line.CorneringDrag(0, k, vsq, r) * lookAhead + k.gradient * lookAhead * Gravity +
               c.dragTotal * lookAhead * vsq * massInv;

    const float lowReference = c.engine.HeldSpeed();
    const float highReference = c.engine.LaunchSpeed();
    const float w = c.engine.speed;
    if (dV <= 0.0f || mode == AiPullingOff) {
        // 3. Braking.
        const float ve = std::fmin(v, k.maxSpeed);
        float a;
        if (mode == AiPullingOff && (path.flags & PathNoTraffic) == 0 && v >= 0.1f && dV >= 0.0f) {
            const float stopping = (v / 3.0f) * v * 0.5f;
            int j = follower.node;
            float sum = 0.0f;
            for (int n = 0; n < count && sum < stopping; ++n) {
                sum += line.nodes[j].distance;
                j = j + 1 < count ? j + 1 : 0;
            }
            const PathNode &edge = path.nodes[j];
            if (!pullOffSideSet) {
                const float offset = line.nodes[j].offset;
                pullOffSide = std::fabs(offset - edge.leftEdge) < std::fabs(edge.rightEdge - offset) ? 1 : 0;
                pullOffSideSet = 1;
            }
            // The edge as an offset from the racing line there.
            lateralTarget = (pullOffSide ? edge.rightEdge : edge.leftEdge) - line.nodes[j].offset;
            lateral += (lateralTarget - lateral) * dt / (v / 3.0f);
            a = 3.0f;
        } else {
            if (mode == AiPullingOff) {
                if (dV < 0.0f) {
                    pullOffSideSet = 0;
                }
                if ((path.flags & PathNoTraffic) != 0 || v < 0.1f) {
                    dV = -v;
                }
            }
            a = line.MaxBrakingDecel(k, factor, ve * ve);
            a = std::fmin(a, -dV / lookAhead);
        }
        brake = line.maxBrakeDecel > 0.0f ? std::fmin(1.0f, a / line.maxBrakeDecel) : 1.0f;
    } else {
        // 4. Driving.
        brake = 0.0f;
        if (v < 5.0f && w < lowReference) {
            throttle = 1.0f;
        } else {
            const float torque = c.engine.Torque(w);
            const float friction = c.engine.Friction(w);
            const float force = (friction + (c.engine.boost + 1.0f) * torque) * c.driveEfficiency * w / std::fmax(v, 1.0f);
            const float available = force * massInv;
            const float grip = line.MaxDriveAccel(k, factor, vsq, r, 1.0f - r, available);
            if (grip <= 0.0f) {
                throttle = 0.0f;
            } else if (force < 1.0f) {
                throttle = 1.0f;
            } else {
                const float a = std::fmin(grip, dV / lookAhead);
                const float idle = torque > 1.0f ? std::fabs(friction / torque) : 0.0f;
                throttle = std::fmin(1.0f, (1.0f - idle) * a / available + idle);
            }
            // Traction control per driven axle.
            for (int axle = 0; axle < 2; ++axle) {
                if ((c.drivenAxles & (1u << axle)) == 0) {
                    continue;
                }
                int grounded = 0;
                int spinning = 1;
                int sliding = 0;
                for (int i = 0; i < c.wheelCount; ++i) {
                    const CarWheel &wheel = c.wheels[i];
                    if (static_cast<int>(wheel.axleIndex) != axle || wheel.inContact == 0) {
                        continue;
                    }
                    ++grounded;
                    const float peak = wheel.peakSlip;
                    float threshold;
                    if (v >= 5.0f) {
                        const float across = peak > 0.0f ? (travel[0] * k.dir[1] - travel[1] * k.dir[0]) / peak : 0.0f;
                        threshold = 2.0f / (across * across + 1.0f) * peak;
                    } else if (w > highReference) {
                        threshold = peak;
                    } else if (w >= 0.5f * lowReference) {
                        const float along = 1.0f - std::fmax(0.0f, travel[0] * k.dir[0] + travel[1] * k.dir[1]);
                        if (along <= 0.001f) {
                            spinning = 0;
                            continue;
                        }
                        const float *om = c.angularVelocity;
                        const float spin = om[0] * om[0] + om[1] * om[1] + om[2] * om[2];
                        threshold = (1.0f + 0.001f / ((4.0f * spin + 1.0f) * along * along)) * peak;
                    } else {
                        spinning = 0;
                        continue;
                    }
                    if (wheel.slip < threshold) {
                        spinning = 0;
                    }
                    if (wheel.slipShown > 0.0f) {
                        sliding = 1;
                    }
                }
                if (grounded > 0 && spinning && (v < 5.0f || sliding)) {
                    throttle = 0.0f;
                }
            }
        }
    }

    // 5. Steering.
    const float right[3] = {c.orientation[0], c.orientation[3], c.orientation[6]};
    const float forward[3] = {c.orientation[1], c.orientation[4], c.orientation[7]};
    float error;
    if (!onPitLine) {
        targetDir[0] = k.dir[0];
        targetDir[1] = k.dir[1];
        targetDir[2] = k.dir[2];
        error = Metres(static_cast<int64_t>(predicted[0]) - k.linePoint[0]) * k.dir[1] -
                Metres(static_cast<int64_t>(predicted[1]) - k.linePoint[1]) * k.dir[0] - lateral;
    } else {
        targetDir[0] = k.dir[0];
        targetDir[1] = k.dir[1];
        targetDir[2] = k.dir[2];
        error = Metres(static_cast<int64_t>(predicted[0]) - k.linePoint[0]) * k.dir[1] -
                Metres(static_cast<int64_t>(predicted[1]) - k.linePoint[1]) * k.dir[0];
        const float point[3] = {Metres(predicted[0]), Metres(predicted[1]), Metres(predicted[2])};
        SteerToPitBox(point, targetDir, &error);
    }
    const float heading = travel[0] * k.dir[1] - travel[1] * k.dir[0];
    const float yaw = c.UpwardComponent();
    const float arm = c.axlePositions[1] - c.centreOfMass[1];
    float u[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = c.velocity[i] - yaw * arm * right[i];
    }
    const float u2 = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
    if (u2 < 0.01f) {
        steer = 0.0f;
        return;
    }
    const float uLength = std::sqrt(u2);
    // The angle from the forward axis to the front axle's travel, measured
    // as the predicted drift below: the steering angle (left positive) that
    // points the front wheels along their travel.
    const float drift = SafeAsin((forward[0] * u[1] - forward[1] * u[0]) / uLength);
    float frontPeak = 0.0f;
    float rearPeak = 0.0f;
    for (int i = 0; i < c.wheelCount; ++i) {
        const CarWheel &wheel = c.wheels[i];
        if (wheel.axleIndex == 1) {
            frontPeak = std::fmax(frontPeak, wheel.peakSlip);
        } else if (wheel.axleIndex == 0) {
            rearPeak = std::fmax(rearPeak, wheel.peakSlip);
        }
    }
    const float half = FloatAtan(frontPeak);
    const float low = drift - half;
    const float high = drift + half;
    float turned[3] = {forward[0], forward[1], forward[2]};
    const float *om = c.angularVelocity;
    const float spin = std::sqrt(om[0] * om[0] + om[1] * om[1] + om[2] * om[2]);
    const float angle = spin * lookAhead;
    if (angle > 1e-05f) {
        const float axis[3] = {om[0] / spin, om[1] / spin, om[2] / spin};
        RotateAbout(turned, forward, axis, angle);
    }
    const float predictedDrift = SafeAsin(turned[0] * travel[1] - turned[1] * travel[0]);
    const float along = travel[0] * targetDir[0] + travel[1] * targetDir[1];
    const float offsetTerm = along * error * 0.1f;
    const float headingTerm = heading * 1.0f;
    const float lateralGrip = line.LateralGrip(k, 1.0f, vsq);
    const float use = lateralGrip > 0.0f ? vsq * k.curvature / lateralGrip : 0.0f;
    const float turn = use * rearPeak;
    const float ct = FloatCos(turn);
    const float st = FloatSin(turn);
    const float bent[2] = {targetDir[0] * ct - targetDir[1] * st, targetDir[0] * st + targetDir[1] * ct};
    const float curveTerm = -(bent[0] * right[0] + bent[1] * right[1]) * std::fabs(use) * 1.0f;
    const float lock = c.setup ? static_cast<float>(c.setup->maxLock) * Pi / 180.0f : 0.0f;
    if (lock <= 0.0f) {
        steer = 0.0f;
    } else if (c.wheelCount == 2) {
        steer = Clamp(-(Clamp(headingTerm + offsetTerm, -0.05f, 0.05f) / lock), -1.0f, 1.0f);
    } else {
        float sum = curveTerm + headingTerm + offsetTerm + predictedDrift;
        if (sum < low) {
            if (sum < 1.5f * low && v > 5.0f) {
                throttle = 0.0f;
            }
            sum = low;
        } else if (sum > high) {
            if (sum > 1.5f * high && v > 5.0f) {
                throttle = 0.0f;
            }
            sum = high;
        }
        steer = Clamp(-(sum / lock), -1.0f, 1.0f);
    }

    // 6. Gears.
    float judged = std::fmax(c.engine.speed, c.EngineSpeedForRoadSpeed());
    if (careful) {
        judged *= 1.5f;
    }
    const int choice = c.ChooseAutoGear(judged);
    if (choice == 1) {
        ShiftDown();
    } else if (choice == 2) {
        ShiftUp();
    }
}

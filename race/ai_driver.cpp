#include "race/ai_driver.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/float_math.h"
#include "core/shell_globals.h"
#include "race/path_range.h"
#include "race/race_length.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "vehicle/car_object.h"
#include "vehicle/car_setup.h"
#include "world/path.h"
#include "world/world.h"

const float AiLevelFactors[5] = {0.6f, 0.7f, 0.8f, 0.9f, 1.0f};

namespace {

constexpr float Pi = 3.14159265f;
constexpr int SteerWord = 0;
constexpr int ThrottleWord = 1;
constexpr int BrakeWord = 2;
constexpr int ShiftUpWord = 3;
constexpr int ShiftDownWord = 4;
constexpr int IgnitionWord = 5;
constexpr int HandbrakeWord = 12;

// The stuck test's reach: 0.125 m in 16.16.
constexpr int64_t StuckReach = 8192;

float Clamp(float v, float lo, float hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// A demand of 0..1 into a 16-bit word; anything not a number holds 0.
uint16_t PedalWord(float value)
{
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return 65535;
    }
    return static_cast<uint16_t>(std::lround(value * 65535.0f));
}

}  // namespace

uint32_t AiRaceTick()
{
    return RaceObjectPtr != nullptr ? RaceObjectPtr->tick : 0;
}

AiDriver::AiDriver(CarObject *driven, int skill)
{
    // Every field zero, then the car and the level.
    mode = 0;
    modeState = 0;
    config = 0;
    reversed = 0;
    throttle = steer = brake = 0.0f;
    std::memset(targetDir, 0, sizeof targetDir);
    std::memset(stuckHistory, 0, sizeof stuckHistory);
    lookAhead = 0.0f;
    hasPitLine = onPitLine = pitPlan = shiftHold = shiftTargetGear = waitForRevs = 0;
    pitBox = rangeIndex = pullOffSideSet = pullOffSide = pitApproachStage = 0;
    pitLap = 0;
    std::memset(boxTarget, 0, sizeof boxTarget);
    std::memset(boxDir, 0, sizeof boxDir);
    pitNode = 0;
    pitEntryNode = pitExitNode = 0;
    countdown = 0;
    steerRate = turnRadius = rearAxleDistance = pitSpeedLimit = 0.0f;
    lateralTarget = lateral = 0.0f;
    heldUp = laneBlocked = 0;
    trafficThrottle = trafficSpeedCap = 0.0f;
    slotCursor = 0;
    std::memset(toOther, 0, sizeof toOther);
    otherDistance = 0.0f;
    std::memset(carWatch, 0, sizeof carWatch);
    car = driven;
    level = static_cast<uint8_t>(skill < 0 ? 0 : (skill > 4 ? 4 : skill));
}

AiDriver::~AiDriver()
{
    pitLine.Clear();
    line.Clear();
}

float AiDriver::LevelFactor() const
{
    return AiLevelFactors[level < 5 ? level : 4];
}

void AiDriver::SetMode(uint32_t newMode)
{
    mode = newMode;
    modeState = 0;
    pullOffSideSet = 0;
    pullOffSide = 0;
}

void AiDriver::Stop()
{
    pitLine.Clear();
    line.Clear();
    hasPitLine = 0;
    onPitLine = 0;
    SetMode(AiStopped);
}

void AiDriver::Reset(int startKind)
{
    SetMode(startKind != 0 ? AiChoosing : AiWaiting);
    follower.Reset();
    rangeIndex = 0;
    pitApproachStage = 0;
    pitLap = 0;
    throttle = steer = brake = 0.0f;
    targetDir[0] = targetDir[1] = targetDir[2] = 0.0f;
    lookAhead = 0.1f;
    onPitLine = 0;
    pitPlan = 0;
    pitNode = 0;
    shiftHold = 0;
    shiftTargetGear = 0;
    waitForRevs = 0;
    if (car) {
        car->inputs[ShiftUpWord] = 0;
        car->inputs[ShiftDownWord] = 0;
    }
    if (startKind == 0) {
        countdown = 0;
    } else if (startKind == 1) {
        countdown = StepFrameRandom() / 20 + 100;
    } else {
        countdown = 100;
    }
    ClearStuckHistory();
    lateralTarget = lateral = 0.0f;
    std::memset(carWatch, 0, sizeof carWatch);
    const float mass = car && car->mass > 0.0f ? car->mass : 1500.0f;
    steerRate = std::sqrt(1500.0f / mass) * 0.8f * Pi;
}

void AiDriver::ClearStuckHistory()
{
    for (int i = 0; i < 4; ++i) {
        stuckHistory[i][0] = static_cast<int32_t>(i * StuckReach);
        stuckHistory[i][1] = 0;
    }
}

int AiDriver::CheckStuck(const int32_t position[2])
{
    for (int i = 0; i < 3; ++i) {
        stuckHistory[i][0] = stuckHistory[i + 1][0];
        stuckHistory[i][1] = stuckHistory[i + 1][1];
    }
    stuckHistory[3][0] = position[0];
    stuckHistory[3][1] = position[1];
    for (int i = 0; i < 3; ++i) {
        const double dx = static_cast<double>(static_cast<int64_t>(stuckHistory[i][0]) - position[0]);
        const double dy = static_cast<double>(static_cast<int64_t>(stuckHistory[i][1]) - position[1]);
        if (std::llround(std::sqrt(dx * dx + dy * dy)) >= StuckReach) {
            return 0;
        }
    }
    ClearStuckHistory();
    return 1;
}

float AiDriver::DistanceSquaredToNode(const KnowledgeNode &node) const
{
    const float dx = static_cast<float>(static_cast<int64_t>(car->position.x) - node.linePoint[0]) / 65536.0f;
    const float dy = static_cast<float>(static_cast<int64_t>(car->position.y) - node.linePoint[1]) / 65536.0f;
    return dx * dx + dy * dy;
}

int AiDriver::ShiftBusy() const
{
    return car->requestedGear != car->gear || car->upLatch != 0 || car->downLatch != 0;
}

void AiDriver::ShiftUp()
{
    if (shiftHold != 0 || ShiftBusy()) {
        return;
    }
    car->inputs[ShiftUpWord] = 1;
    shiftHold = 100;
    if (car->gear > 1) {
        waitForRevs = 1;
    }
    shiftTargetGear = static_cast<uint8_t>(car->gear + 1);
}

void AiDriver::ShiftDown()
{
    if (shiftHold != 0 || ShiftBusy()) {
        return;
    }
    car->inputs[ShiftDownWord] = 1;
    shiftHold = 20;
}

void AiDriver::BeginReversing()
{
    SetMode(AiReversing);
    steer = throttle = lateral = 0.0f;
    if (car->gear > 0) {
        ShiftDown();
    }
}

void AiDriver::EndReversing()
{
    SetMode(AiRacing);
    steer = throttle = lateral = 0.0f;
    if (car->gear < 2) {
        ShiftUp();
    }
}

float AiDriver::CheckCarCondition()
{
    return 1.0f;
}

void AiDriver::RecomputeLineProfile()
{
    const World *world = CurrentWorld;
    const Path *path = world ? world->currentPath : nullptr;
    if (!path || !line.nodes || !line.car) {
        return;
    }
    EstimateCarCapability(line);
    line.ComputeSpeedProfile(0, LevelFactor() * CheckCarCondition(), -1, (path->flags & PathClosedLoop) != 0,
                             nullptr);
}

int AiDriver::LoadKnowledge()
{
    line.Clear();
    pitLine.Clear();
    const World *world = CurrentWorld;
    const Path *path = world ? world->currentPath : nullptr;
    if (!path || path->nodeCount <= 0) {
        return 0;
    }
    config = static_cast<uint32_t>(world->config);
    reversed = static_cast<uint32_t>(world->reversed);
    hasPitLine = 0;

    char code[4] = {};
    std::memcpy(code, car->shortName, 3);
    char fileName[64];
    MakeKnowledgeFileName(fileName, sizeof fileName, code);
    if (!line.Load(fileName, path->nodeCount)) {
        char text[128];
        std::snprintf(text, sizeof text, "%s %s", "Could not load AI path info :", fileName);
        RacePrint(text, RaceMessageWarning);
        return 0;
    }
    // A line that no longer fits the road is refused; the file stays: the
    // program never writes knowledge files, so it could not be made again.
    if (!line.Build(*path, car->halfWidth)) {
        line.Clear();
        RacePrint("AI path info must be regenerated", RaceMessageWarning);
        return 0;
    }
    const int closed = (path->flags & PathClosedLoop) != 0;
    bool pitLane = false;
    for (int i = 0; i < path->secondNodeCount && !pitLane; ++i) {
        pitLane = (path->secondNodes[i].flags & 8) != 0;
    }
    if (pitLane) {
        hasPitLine = static_cast<uint8_t>(BuildKnowledge());
        if (!hasPitLine) {
            pitLine.Clear();
        }
    }
    line.car = car;
    EstimateCarCapability(line);
    line.ComputeSpeedProfile(0, LevelFactor(), -1, closed, nullptr);
    if (hasPitLine) {
        pitLine.car = car;
        EstimateCarCapability(pitLine);
        pitLine.ComputeSpeedProfile(0, 0.8f * LevelFactor(), pitExitNode, 0, line.nodes);
    }
    const float lock = car->setup ? static_cast<float>(car->setup->maxLock) * Pi / 180.0f : 0.0f;
    const float sine = FloatSin(lock);
    turnRadius = sine > 0.0f ? car->wheelbase / sine : 0.0f;
    rearAxleDistance = std::fabs(car->axlePositions[0]);
    pitSpeedLimit = static_cast<float>(world->GetLowestSpeedLimit() - 1) * 0.2777778f;
    return 1;
}

void AiDriver::Step(float dt, int)
{
    // 1. The car waits for the reset packet to place it.
    if (car == nullptr || car->announcePending != 0) {
        return;
    }
    // 2. The first step after a reset places the driver.
    if (mode != AiStopped && follower.node == -1) {
        const World *world = CurrentWorld;
        const Path *path = world ? world->currentPath : nullptr;
        if (!path) {
            follower.lost = 1;
            Stop();
            return;
        }
        int loadedNow = 0;
        if (static_cast<uint32_t>(world->config) != config || static_cast<uint32_t>(world->reversed) != reversed ||
            static_cast<uint32_t>(path->nodeCount) != line.nodeCount) {
            if (!LoadKnowledge()) {
                Stop();
                return;
            }
            loadedNow = 1;
        }
        const int32_t point[3] = {car->position.x, car->position.y, car->position.z};
        if (follower.EnsurePosition(point) || follower.node < 0 || follower.node >= path->nodeCount) {
            Stop();
            return;
        }
        const int node = follower.node;
        const int count = path->nodeCount;
        int found = 0;
        for (uint32_t i = 0; i < line.rangeCount; ++i) {
            const KnowledgeRange &range = line.ranges[i];
            const int length = PathRangeLength(range, *path);
            if ((node - static_cast<int>(range.startNode) + count) % count < length) {
                rangeIndex = static_cast<uint8_t>(i);
                found = 1;
            }
        }
        if (found && !loadedNow) {
            RecomputeLineProfile();
        }
        const KnowledgeNode &k = line.nodes[node];
        const float x = static_cast<float>(static_cast<int64_t>(car->position.x) - k.linePoint[0]) / 65536.0f;
        const float y = static_cast<float>(static_cast<int64_t>(car->position.y) - k.linePoint[1]) / 65536.0f;
        lateral = lateralTarget = x * k.dir[1] - y * k.dir[0];
    }
    // 3. A held shift is let go.
    if (shiftHold != 0) {
        if (--shiftHold == 0) {
            car->inputs[ShiftUpWord] = 0;
            car->inputs[ShiftDownWord] = 0;
            waitForRevs = 0;
        }
    }
    // 4.
    switch (mode) {
    case AiWaiting:
        StepWaiting();
        break;
    case AiChoosing:
        StepChoosing();
        break;
    case AiRacing:
    case AiToPitBox:
    case AiPullingOff:
        StepDriving(dt);
        break;
    case AiReversing:
        StepReversing();
        break;
    case AiStopped:
        StepStopping();
        break;
    default:
        break;
    }
    // 5.
    OutputControls(dt);
}

void AiDriver::StepWaiting()
{
    car->inputs[HandbrakeWord] = 65535;
    const World *world = CurrentWorld;
    const int lights = world ? world->startLightState : 0;
    float w = 0.0f;
    if (lights >= 3) {
        w = car->engine.LaunchSpeed();
    } else if (lights >= 1) {
        w = car->engine.HeldSpeed();
    }
    throttle = 0.0f;
    if (lights >= 1) {
        const float torque = car->engine.Torque(w);
        if (torque > 1.0f) {
            throttle = std::fabs(car->engine.Friction(w) / torque);
        }
    }
    if (countdown != 0) {
        if (--countdown == 0) {
            SetMode(AiRacing);
        }
    } else if (IsTimedOrLappedRace() && lights == 4) {
        const uint32_t x = StepFrameRandom();
        countdown = ((x >> 8) + 100) / 10;
    }
}

void AiDriver::StepChoosing()
{
    if (countdown != 0) {
        --countdown;
    }
    if (countdown != 0) {
        return;
    }
    SetMode(AiRacing);
    if (hasPitLine && pitLine.nodes) {
        onPitLine = 1;
        uint32_t best = 0;
        float bestDistance = 0.0f;
        for (uint32_t i = 0; i < pitLine.nodeCount; ++i) {
            const float d = DistanceSquaredToNode(pitLine.nodes[i]);
            if (i == 0 || d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        pitNode = best;
    }
}

void AiDriver::StepReversing()
{
    CarObject &c = *car;
    // 1.
    if (follower.node < 0) {
        EndReversing();
        return;
    }
    // 2.
    if (c.gear != 0) {
        ShiftDown();
        return;
    }
    // 3.
    const uint32_t tick = AiRaceTick();
    if ((tick & 127u) == 0) {
        const int32_t p[2] = {c.position.x, c.position.y};
        if (CheckStuck(p)) {
            EndReversing();
            return;
        }
        const float fx = c.orientation[1];
        const float fy = c.orientation[4];
        const float dot = fx * targetDir[0] + fy * targetDir[1];
        if (dot > 0.01f) {
            const float lengths = std::sqrt(fx * fx + fy * fy) *
                                  std::sqrt(targetDir[0] * targetDir[0] + targetDir[1] * targetDir[1] +
                                            targetDir[2] * targetDir[2]);
            if (lengths > 0.0f && dot / lengths > 0.5f) {
                modeState = 1;
            }
        }
    }
    // 4.
    if (modeState == 1) {
        brake = 1.0f;
        throttle = 0.0f;
    } else {
        brake = 0.0f;
        throttle = 0.5f;
    }
    // 5.
    if (c.speed < 0.5f) {
        steer = 0.0f;
        if (modeState == 1) {
            EndReversing();
        }
        return;
    }
    const float v = std::sqrt(c.velocity[0] * c.velocity[0] + c.velocity[1] * c.velocity[1] +
                              c.velocity[2] * c.velocity[2]);
    if (v <= 0.0f) {
        steer = 0.0f;
        return;
    }
    const float side = (c.velocity[0] / v) * targetDir[1] - (c.velocity[1] / v) * targetDir[0];
    const float lock = c.setup ? static_cast<float>(c.setup->maxLock) * Pi / 180.0f : 0.0f;
    steer = lock > 0.0f ? Clamp(side * 1.0f / -lock, -1.0f, 1.0f) : 0.0f;
}

void AiDriver::StepStopping()
{
    CarObject &c = *car;
    if (c.gearboxKind == 2) {
        if (c.speed < 2.0f) {
            if (c.gear == 2) {
                ShiftUp();
            } else if (c.gear >= 3) {
                ShiftDown();
            }
        }
    } else if (c.speed < 5.0f) {
        if (c.gear == 0) {
            ShiftUp();
        } else if (c.gear >= 2) {
            ShiftDown();
        }
    }
    throttle = 0.0f;
    if (c.speed < 0.1f) {
        brake = 0.0f;
        c.inputs[HandbrakeWord] = 65535;
        if (c.engine.running) {
            c.inputs[IgnitionWord] = 1;
        }
    } else if (line.nodeCount != 0 && line.maxBrakeDecel > 0.0f) {
        brake = std::fmin(1.0f, 5.0f / line.maxBrakeDecel);
    } else {
        brake = 1.0f;
    }
}

void AiDriver::OutputControls(float dt)
{
    CarObject &c = *car;
    // 1. A shift up in progress cuts the throttle.
    if (shiftHold != 0 && c.inputs[ShiftUpWord] != 0) {
        if (c.gearboxKind == 1 && waitForRevs) {
            if (c.EngineSpeedForRoadSpeed() >= c.engine.speed) {
                waitForRevs = 0;
            } else {
                throttle = 0.0f;
            }
        } else if ((c.gearboxKind == 2 || c.gearboxKind == 3) && c.gear != shiftTargetGear) {
            throttle = 0.0f;
        }
    }
    // 2. Throttle and brake never together, each at most 10 per second.
    const float step = 10.0f * dt;
    if (c.inputs[BrakeWord] == 0) {
        const float now = static_cast<float>(c.inputs[ThrottleWord]) / 65535.0f;
        const float want = Clamp(throttle, 0.0f, 1.0f);
        c.inputs[ThrottleWord] = PedalWord(Clamp(want, now - step, now + step));
    }
    if (c.inputs[ThrottleWord] == 0) {
        const float now = static_cast<float>(c.inputs[BrakeWord]) / 65535.0f;
        const float want = Clamp(brake, 0.0f, 1.0f);
        c.inputs[BrakeWord] = PedalWord(Clamp(want, now - step, now + step));
    }
    // 3. Steering at most steerRate per second.
    const float now = (static_cast<float>(c.inputs[SteerWord]) - 32768.0f) / 32767.0f;
    const float want = steer == steer ? Clamp(steer, -1.0f, 1.0f) : 0.0f;
    const float rate = dt * steerRate;
    const float value = Clamp(Clamp(want, now - rate, now + rate), -1.0f, 1.0f);
    c.inputs[SteerWord] = static_cast<uint16_t>(std::lround(value * 32767.0f) + 32768);
}

int IsCarResetAllowed()
{
    return (HostRuleFlags & 128u) != 0;
}

namespace {

// The car's knowledge file on the current configuration, read into k.
int LoadCarFile(AiKnowledge &knowledge, const char *carName)
{
    const World *world = CurrentWorld;
    if (!world || !world->currentPath) {
        return 0;
    }
    char fileName[64];
    char code[4];
    if (!MakeKnowledgeFileNameForCar(fileName, sizeof fileName, code, carName)) {
        return 0;
    }
    return knowledge.Load(fileName, world->currentPath->nodeCount);
}

}  // namespace

int LoadAiKnowledgeForCar(const char *carName)
{
    AiKnowledge knowledge;
    const int loaded = LoadCarFile(knowledge, carName);
    knowledge.Clear();
    return loaded;
}

int CopyAiSettingsForCar(const char *carName, CarSetup *setup)
{
    AiKnowledge knowledge;
    const int loaded = LoadCarFile(knowledge, carName);
    if (loaded) {
        knowledge.CopySettings(setup);
    }
    knowledge.Clear();
    return loaded;
}

int EstimateLapFuel(const char *, int)
{
    return 100;
}

#include "tools/knowledge_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/car_table.h"
#include "core/data_stream.h"
#include "core/fixed_math.h"
#include "core/float_math.h"
#include "race/ai_knowledge.h"
#include "render/object_file.h"
#include "tools/body_objects.h"
#include "tools/default_track.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/fix_convert.h"
#include "vehicle/tyre_curves.h"
#include "world/path.h"
#include "world/track_code.h"
#include "world/track_sites.h"
#include "world/world.h"
#include "world/world_config.h"
#include "world/world_loader.h"
#include "world/world_messages.h"

namespace {

constexpr int RangeNodes = 5;
constexpr int RelaxPasses = 400;
constexpr float FuelMargin = 1.1f;
constexpr float FuelPerJoule = 3.3333333e-08f * 1.75f;   // litres per joule of combustion work

struct Drive {
    int config;
    int reversed;
};
constexpr Drive Drives[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}};

void DropMessage(const char *, int) {}

// The least-curvature line: each node's point is pulled half-way towards
// the middle of its neighbours, along its cross-section, many times, kept
// 1.5 m + half width inside the road edges.
std::vector<float> RelaxLine(const Path &path, float halfWidth)
{
    const int count = path.nodeCount;
    const bool closed = (path.flags & PathClosedLoop) != 0;
    std::vector<float> offsets(count, 0.0f);
    const float margin = 1.5f + halfWidth;
    for (int pass = 0; pass < RelaxPasses; ++pass) {
        for (int i = 0; i < count; ++i) {
            if (!closed && (i == 0 || i == count - 1)) {
                continue;
            }
            const int a = (i + count - 1) % count;
            const int b = (i + 1) % count;
            float point[3][2];
            const int index[3] = {a, i, b};
            for (int k = 0; k < 3; ++k) {
                const PathNode &n = path.nodes[index[k]];
                point[k][0] = FixToMetres(n.position[0] - path.nodes[i].position[0]) + n.direction[1] * offsets[index[k]];
                point[k][1] = FixToMetres(n.position[1] - path.nodes[i].position[1]) - n.direction[0] * offsets[index[k]];
            }
            const PathNode &p = path.nodes[i];
            const float mx = (point[0][0] + point[2][0]) * 0.5f - point[1][0];
            const float my = (point[0][1] + point[2][1]) * 0.5f - point[1][1];
            float offset = offsets[i] + 0.5f * (mx * p.direction[1] - my * p.direction[0]);
            const float low = p.leftEdge + margin;
            const float high = p.rightEdge - margin;
            offset = offset < low ? low : (offset > high ? high : offset);
            offsets[i] = low > high ? 0.5f * (p.leftEdge + p.rightEdge) : offset;
        }
    }
    return offsets;
}

// The angle of the line's direction at node i against the path's.
float LineAngle(const Path &path, const std::vector<float> &offsets, int i)
{
    const int count = path.nodeCount;
    const bool closed = (path.flags & PathClosedLoop) != 0;
    const int a = closed ? (i + count - 1) % count : (i > 0 ? i - 1 : i);
    const int b = closed ? (i + 1) % count : (i + 1 < count ? i + 1 : i);
    const PathNode &na = path.nodes[a];
    const PathNode &nb = path.nodes[b];
    const float dx = FixToMetres(nb.position[0] - na.position[0]) + nb.direction[1] * offsets[b] - na.direction[1] * offsets[a];
    const float dy = FixToMetres(nb.position[1] - na.position[1]) - nb.direction[0] * offsets[b] + na.direction[0] * offsets[a];
    const float *d = path.nodes[i].direction;
    return FloatAtan2(d[0] * dy - d[1] * dx, d[0] * dx + d[1] * dy);
}

struct KnowledgeRecord {
    uint8_t settings[2];
    uint16_t settingsWord;
    float fuelPerLap;
    float lapTime;
    float tankSize;
    std::vector<KnowledgeRange> ranges;
};

const char *WriteRecord(const char *path, int nodeCount, const KnowledgeRecord &record)
{
    DataStream stream;
    if (const char *error = stream.OpenWrite(nullptr, path, "KZVKNW", KnowledgeFileVersion)) {
        return error;
    }
    stream.WriteU8(record.settings[0]);
    stream.WriteU8(record.settings[1]);
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU16(record.settingsWord);
    stream.WriteU16(0);
    auto writeFloat = [&](float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        stream.WriteU32(bits);
    };
    writeFloat(record.fuelPerLap);
    writeFloat(0.0f);
    writeFloat(record.lapTime);
    writeFloat(record.tankSize);
    stream.WriteU16(nodeCount);
    stream.WriteU16(static_cast<int>(record.ranges.size()));
    for (const KnowledgeRange &r : record.ranges) {
        stream.WriteU16(r.tag);
        stream.WriteU16(0);
        stream.WriteU8(r.startStiffness);
        stream.WriteU8(r.endStiffness);
        stream.WriteU16(0);
        stream.WriteU32(r.startNode);
        stream.WriteU32(r.endNode);
        writeFloat(r.angle);
        writeFloat(r.endOffset);
    }
    return stream.Close() ? "a knowledge file could not be written" : nullptr;
}

// The program's own check of a written file: it loads for the path, its
// line builds and both profiles come out finite.
const char *CheckFile(const char *path, const Path &track, CarObject *car)
{
    AiKnowledge k;
    const char *error = nullptr;
    if (!k.Load(path, track.nodeCount)) {
        error = "a knowledge file does not load";
    } else if (!k.Build(track, car->halfWidth)) {
        error = "a knowledge file's line leaves the road";
    } else {
        k.car = car;
        EstimateCarCapability(k);
        for (int full = 0; full < 2 && !error; ++full) {
            k.ComputeSpeedProfile(full, 1.0f, -1, (track.flags & PathClosedLoop) != 0, nullptr);
            for (uint32_t i = 0; i < k.nodeCount; ++i) {
                if (!std::isfinite(k.nodes[i].maxSpeed) || !(k.nodes[i].maxSpeed > 0.0f)) {
                    error = "a knowledge file's speed profile is not finite";
                    break;
                }
            }
        }
        k.car = nullptr;
    }
    k.Clear();
    return error;
}

const char *MakeCarFile(const Path &path, const char *trackCode, int carIndex)
{
    CarObject car;
    CarLoadArguments args;
    if (LoadCarDataFile(&car, CarTable[carIndex].code, args) != 1 || !car.setup) {
        return "a generated car did not load";
    }
    const int count = path.nodeCount;
    const bool closed = (path.flags & PathClosedLoop) != 0;
    const std::vector<float> offsets = RelaxLine(path, car.halfWidth);

    KnowledgeRecord record = {};
    record.settings[0] = car.setup->rearWing;
    record.settings[1] = car.setup->frontWing;
    record.settingsWord = car.setup->finalDrive;
    record.tankSize = car.tankSize;
    const int last = closed ? count : count - 1;
    for (int start = 0; start < last; start += RangeNodes) {
        int end = start + RangeNodes;
        if (end >= last) {
            end = closed ? 0 : count - 1;
        }
        KnowledgeRange r = {};
        r.startNode = static_cast<uint32_t>(start);
        r.endNode = static_cast<uint32_t>(end);
        r.angle = LineAngle(path, offsets, end);
        r.endOffset = offsets[end];
        record.ranges.push_back(r);
    }
    // An open line starts at its first node: its offset comes from a range
    // ending there only on a closed line, so the first node keeps 0.

    // Lap time and fuel from the display model's profile of the line.
    AiKnowledge k;
    k.rangeCount = static_cast<uint32_t>(record.ranges.size());
    k.ranges = static_cast<KnowledgeRange *>(std::calloc(record.ranges.size(), sizeof(KnowledgeRange)));
    for (size_t i = 0; i < record.ranges.size(); ++i) {
        k.ranges[i] = record.ranges[i];
    }
    if (!k.Build(path, car.halfWidth)) {
        k.Clear();
        return "a generated line leaves the road";
    }
    k.car = &car;
    EstimateCarCapability(k);
    k.ComputeSpeedProfile(1, 1.0f, -1, closed, nullptr);
    double time = 0.0;
    double fuel = 0.0;
    const float power = car.engine.maxPower;
    for (int i = 0; i < (closed ? count : count - 1); ++i) {
        const KnowledgeNode &n = k.nodes[i];
        const float dt = n.distance / n.maxSpeed;
        time += dt;
        float throttle = static_cast<float>(n.throttleLevel) / 255.0f;
        if (n.brakeLevel == 0 && car.driveEfficiency > 0.0f && power > 0.0f) {
            const float hold = car.dragTotal * n.maxSpeed * n.maxSpeed * n.maxSpeed / (car.driveEfficiency * power);
            throttle = std::max(throttle, std::min(1.0f, hold));
        }
        fuel += static_cast<double>(dt * throttle * power * FuelPerJoule);
    }
    k.car = nullptr;
    k.Clear();
    record.lapTime = static_cast<float>(time);
    record.fuelPerLap = static_cast<float>(fuel) * FuelMargin;

    const std::string name = std::string("data/knw/") + trackCode + "_" + CarTable[carIndex].code + ".knw";
    if (const char *error = WriteRecord(name.c_str(), count, record)) {
        return error;
    }
    return CheckFile(name.c_str(), path, &car);
}

}  // namespace

const char *WriteKnowledgeFilesForPath(const Path &path, const char *trackCode)
{
    std::error_code error;
    std::filesystem::create_directories("data/knw", error);
    for (int car = 0; car < CarModelCount; ++car) {
        if (const char *result = MakeCarFile(path, trackCode, car)) {
            return result;
        }
    }
    return nullptr;
}

const char *WriteKnowledgeFiles(const char *runFolder)
{
    const std::filesystem::path home = std::filesystem::current_path();
    std::error_code error;
    std::filesystem::current_path(runFolder, error);
    if (error) {
        return "the run folder could not be entered";
    }
    std::filesystem::create_directories("data/knw", error);
    BuildTrigTables();
    BuildTyreCurves();
    SetWorldMessagePrinter(DropMessage);
    static Object3D bodies[BodyCodeCount];
    Object3D *savedBodies[BodyCodeCount];
    for (int i = 0; i < BodyCodeCount; ++i) {
        savedBodies[i] = BodyObjects[i];
    }
    const char *result = nullptr;
    for (int i = 0; i < BodyCodeCount && !result; ++i) {
        InitObject3D(&bodies[i]);
        const std::string path = std::string("data/veh/") + BodyCodes[i] + ".vob";
        if (ReadObjectFile(&bodies[i], nullptr, path.c_str(), 0, nullptr) != 1) {
            result = "a body object could not be read";
        }
        BodyObjects[i] = &bodies[i];
    }
    World *saved = CurrentWorld;
    World *world = nullptr;
    if (!result) {
        const TrackSite &row = SiteTable[DefaultTrackSite];
        world = WorldCreate();
        if (!WorldOpen(world, row.name, row.code, 0, 0, 1, 0, 0)) {
            result = "the default site did not open";
        } else {
            int steps = 0;
            while (!WorldLoadStep(world) && ++steps < 1000000) {
            }
            CurrentWorld = world;
            for (const Drive &drive : Drives) {
                SelectConfig(world, drive.config, drive.reversed);
                if (!world->currentPath || world->config != drive.config) {
                    result = "a configuration of the default site could not be selected";
                    break;
                }
                char code[16];
                FormatTrackCode(code, sizeof code, row.name, drive.config, drive.reversed);
                for (int car = 0; car < CarModelCount && !result; ++car) {
                    result = MakeCarFile(*world->currentPath, code, car);
                }
                if (result) {
                    break;
                }
            }
        }
    }
    CurrentWorld = saved;
    if (world) {
        WorldDestroy(world);
    }
    for (int i = 0; i < BodyCodeCount; ++i) {
        BodyObjects[i] = savedBodies[i];
        FreeObject3D(&bodies[i]);
    }
    SetWorldMessagePrinter(nullptr);
    std::filesystem::current_path(home, error);
    return result;
}

#include "world/track_knowledge.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/data_stream.h"
#include "world/path.h"
#include "world/track_code.h"
#include "world/world.h"
#include "world/world_messages.h"

namespace {

constexpr int PairsPerNode = 3;
constexpr int BytesPerNode = PairsPerNode * 8;
constexpr float DefaultOffsets[PairsPerNode] = {-1.0f, 0.0f, 1.0f};

Path *KnowledgePath(const World *world)
{
    return world && world->config != 0 ? world->closedKnowledgePath : nullptr;
}

void SetDefaults(Path *path)
{
    for (int i = 0; i < path->nodeCount; ++i) {
        for (int k = 0; k < PairsPerNode; ++k) {
            path->nodes[i].lines[k].offset = DefaultOffsets[k];
            path->nodes[i].lines[k].weight = 0.0f;
        }
    }
}

// 1 when the file gave every node its values.
int ReadFile(const char *name, Path *path)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, name, TrackKnowledgeId, &version, TrackKnowledgeVersion, 0)) {
        return 0;
    }
    int done = 0;
    const uint32_t count = stream.ReadU32();
    if (stream.overrun) {
        // Too short to say anything: as if missing.
    } else if (count != static_cast<uint32_t>(path->nodeCount)) {
        WorldPrintMessage("Path info changed", ColourLightGrey);
    } else if (stream.Remaining() >= static_cast<int64_t>(count) * BytesPerNode) {
        // A line beyond the node's lateral bound, or a weight that is not
        // a number, spoils the file: the caller then puts the defaults back.
        done = 1;
        for (int i = 0; i < path->nodeCount && done; ++i) {
            for (int k = 0; k < PairsPerNode; ++k) {
                DrivingLine &line = path->nodes[i].lines[k];
                line.offset = stream.ReadFloat();
                line.weight = stream.ReadFloat();
                if (!IsSoundPathLateral(line.offset) || !std::isfinite(line.weight)) {
                    done = 0;
                }
            }
        }
    }
    stream.Close();
    return done;
}

} // namespace

void MakeTrackKnowledgeFileName(const World *world, char *path, int size)
{
    char code[16];
    FormatTrackCode(code, sizeof code, world->shortName, world->config, world->reversed);
    snprintf(path, static_cast<size_t>(size), "data\\knw\\%s.trs", code);
}

void ReadTrackKnowledge(World *world)
{
    Path *path = KnowledgePath(world);
    if (!path) {
        return;
    }
    char name[64];
    MakeTrackKnowledgeFileName(world, name, sizeof name);
    if (!ReadFile(name, path)) {
        SetDefaults(path);
    }
}

void WriteTrackKnowledge(const World *world)
{
    const Path *path = KnowledgePath(world);
    if (!path) {
        return;
    }
    char name[64];
    MakeTrackKnowledgeFileName(world, name, sizeof name);
    DataStream stream;
    if (stream.OpenWrite(nullptr, name, TrackKnowledgeId, TrackKnowledgeVersion)) {
        WorldPrintMessage(name, ColourSalmon);
        return;
    }
    stream.WriteU32(static_cast<uint32_t>(path->nodeCount));
    for (int i = 0; i < path->nodeCount; ++i) {
        for (int k = 0; k < PairsPerNode; ++k) {
            const DrivingLine &line = path->nodes[i].lines[k];
            uint32_t bits;
            static_assert(sizeof bits == sizeof line.offset);
            std::memcpy(&bits, &line.offset, sizeof bits);
            stream.WriteU32(bits);
            std::memcpy(&bits, &line.weight, sizeof bits);
            stream.WriteU32(bits);
        }
    }
    // A write that failed is reported like a file that could not be made.
    if (stream.Close() != 0) {
        WorldPrintMessage(name, ColourSalmon);
    }
}

#pragma once

// Whole track files for the loader tests: a world file (and its light file)
// assembled from the record writers and written under data/wld of the
// test's scratch folder.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/test_files.h"
#include "tools/world_path_writer.h"
#include "tools/world_writer.h"
#include "world/track_colours.h"
#include "world/world_file.h"

// A light scheme's stored fields.
struct SchemeFixture {
    uint8_t extraNames = 0;
    uint8_t timeOfDay = 3;
    uint8_t weather = 0;
    Colour ambient = {100, 120, 140, 0};
    Colour sun = {250, 200, 100, 0};
    float sunIntensity = 1.0f;
    float ambientIntensity = 0.5f;
    float sunHeading = 0.5f;       // radians
    float sunElevation = 0.7f;
    float lightRatio = 0.8f;
    float fogEnd = 900.0f;
};

struct ConfigFixture {
    std::string name;
    PathFields path;
    uint16_t factor1 = 24, factor2 = 6;
};

// A straight north-running path of `nodes` nodes 5 m apart from (x, 0).
inline PathFields StraightPath(int nodes, uint32_t flags, float xMetres = 0.0f, int schemes = 1)
{
    PathFields path;
    path.flags = flags;
    for (int i = 0; i < nodes; ++i) {
        // Far nodes of an oversized path wrap round; only their count matters.
        const int32_t y = static_cast<int32_t>(static_cast<uint32_t>(i) * 5u * 65536u);
        path.nodes.push_back(PathNodeAt(static_cast<int32_t>(xMetres * 65536.0f), y, 0.0f, 5.0f));
    }
    path.lightMaps.resize(static_cast<size_t>(schemes));
    return path;
}

struct WorldFixture {
    int version = WorldFileVersion;
    int configCountByte = -1;      // -1: the number of configs
    int configFlags = 0;
    int hasLightFile = 0;
    int fourthByte = 0;
    std::vector<ConfigFixture> configs = {{"Main", StraightPath(4, 0)}};
    int colourCount = 1;
    std::vector<uint8_t> surfaceKinds;   // of the first colour records; the rest are kind 0
    float a = 0.0f, b = 0.0f;
    std::vector<SchemeFixture> schemes = {SchemeFixture{}};
    uint32_t objectCount = 0;
    int litObjects = 0;            // objects with lighting records (solids)
    std::function<void(WorldWriter &)> writeHolders;
    std::function<void(WorldWriter &, int version)> writeObjects;
    std::vector<CameraPoint> cameraPoints;
    std::vector<CameraTriangleFields> cameraTriangles;
    uint32_t worldFlags = WorldFlagNewColours;
    float crowdDensity = 0.25f;

    // The world file's bytes after its header; with the light file's bytes
    // (after its header) in light when it is given.
    std::vector<uint8_t> Bytes(std::vector<uint8_t> *light = nullptr) const
    {
        WorldWriter out;
        WorldWriter lightOut;
        const bool split = hasLightFile == 1;
        WorldWriter &records = split ? lightOut : out;
        for (int i = 0; i < WorldHeaderSpareWords; ++i) {
            out.U32(0);
        }
        out.U8(configCountByte >= 0 ? configCountByte : static_cast<int>(configs.size()));
        out.U8(configFlags).U8(hasLightFile).U8(fourthByte);
        for (const ConfigFixture &config : configs) {
            char name[LongConfigNameLength] = {};
            snprintf(name, sizeof name, "%s", config.name.c_str());
            out.Bytes(name, (configFlags & WorldLongConfigNames) ? LongConfigNameLength : ShortConfigNameLength);
            WritePath(records, config.path);
            out.U16(config.factor1).U16(config.factor2);
        }
        out.U32(worldFlags);
        std::vector<TrackColour> colours(static_cast<size_t>(colourCount));
        Colour palette = {90, 90, 90, 0};
        for (int i = 0; i < colourCount; ++i) {
            snprintf(colours[i].name, sizeof colours[i].name, "c%d", i);
            colours[i].paletteCount = 1;
            colours[i].palette = &palette;
            if (i < static_cast<int>(surfaceKinds.size())) {
                colours[i].surfaceKind = surfaceKinds[i];
            }
        }
        WriteColourSet(out, colours.data(), colourCount, 1);
        for (TrackColour &colour : colours) {
            colour.palette = nullptr;   // the writer's records own nothing
        }
        out.F32(a).F32(b);
        if (writeHolders) {
            writeHolders(out);   // the count and the holders
        } else {
            out.U32(0);
        }
        out.U32(0);
        out.U32(static_cast<uint32_t>(schemes.size()));
        for (const SchemeFixture &s : schemes) {
            out.U8(s.extraNames).U8(s.timeOfDay).U8(s.weather).U8(0);
            if (s.extraNames) {
                out.Bytes(std::vector<uint8_t>(12).data(), 12);
            }
            out.Name("sky");
            if (s.extraNames) {
                out.Bytes(std::vector<uint8_t>(16).data(), 16);
            }
            out.Rgba(s.ambient).U32(0).Rgba(s.sun).F32(s.sunIntensity).F32(s.ambientIntensity).U32(0);
            out.F32(s.sunHeading).F32(s.sunElevation).F32(s.lightRatio).F32(s.fogEnd).U32(0);
            out.Rgba({10, 20, 30, 0});
        }
        out.U32(objectCount);
        if (writeObjects) {
            writeObjects(out, version);
        }
        WriteCameraGeometry(out, cameraPoints, cameraTriangles);
        for (int i = 0; i < 4; ++i) {
            out.Rgba({static_cast<uint8_t>(10 * i), 0, 0, 0});
        }
        out.U32(0).U32(0).F32(crowdDensity);
        for (size_t s = 0; s < schemes.size(); ++s) {
            for (int i = 0; i < litObjects; ++i) {
                WriteLighting(records, LightingFields{});
            }
        }
        if (light) {
            *light = lightOut.bytes;
        }
        return out.bytes;
    }

    static std::vector<uint8_t> WithHeader(const char *id, int version, const std::vector<uint8_t> &body)
    {
        std::vector<uint8_t> file(id, id + 6);
        file.push_back(static_cast<uint8_t>(version >> 8));
        file.push_back(static_cast<uint8_t>(version));
        file.insert(file.end(), body.begin(), body.end());
        return file;
    }

    // Writes data/wld/<track>.wld and, when the world has one and
    // withLightFile is set, data/wld/<shortName>.lgh.
    void Write(const std::string &track, const std::string &shortName, bool withLightFile = true) const
    {
        PlatformMakeDirectory("data");
        PlatformMakeDirectory("data/wld");
        std::vector<uint8_t> light;
        WriteFileBytes("data/wld/" + track + ".wld", WithHeader(WorldFileId, version, Bytes(&light)));
        const std::string lightPath = "data/wld/" + shortName + ".lgh";
        std::remove(lightPath.c_str());
        if (hasLightFile == 1 && withLightFile) {
            WriteFileBytes(lightPath, WithHeader(LightFileId, LightFileVersion, light));
        }
    }
};

#pragma once

#include <cstdint>

// File-level facts of a track's files, shared by the loader and the tools
// that write tracks.
//
// A track is its world file "data\wld\<track name>.wld" plus, when the
// world's header says so, a light file "data\wld\<short name>.lgh" holding
// the configurations' paths and the lit objects' lighting records. World
// files of version 250 may also have one path file per configuration,
// "data\pth\<short name><n>.pth" (n = 1-based configuration number).

// Ids and versions of the data-file headers.
constexpr const char *WorldFileId = "QZWORL";
constexpr const char *LightFileId = "QZLGHT";
constexpr const char *PathFileId = "QZPATH";
constexpr int WorldFileVersion = 251;        // written, and the highest read
constexpr int OldestWorldFileVersion = 250;  // older worlds are "Obsolete track"
constexpr int LightFileVersion = 251;
constexpr int PathFileVersion = 251;
constexpr int OldestPathFileVersion = 250;

// File name patterns in the program's own path form (backslashes).
constexpr const char *WorldFilePattern = "data\\wld\\%s.wld";   // track name
constexpr const char *LightFilePattern = "data\\wld\\%s.lgh";   // short name
constexpr const char *PathFilePattern = "data\\pth\\%s%d.pth";  // short name, config

// The world file after its header: 12 unused u32, then four header bytes.
constexpr int WorldHeaderSpareWords = 12;
// Byte 0: configuration count, 1..MaxWorldConfigs (0 is refused).
constexpr int MaxWorldConfigs = 15;
// Byte 1: configuration flags; only WorldLongConfigNames may be set.
constexpr uint8_t WorldLongConfigNames = 1;   // names are 32 bytes, else 16
constexpr int ShortConfigNameLength = 16;
constexpr int LongConfigNameLength = 32;
// Byte 2: 1 when the paths and lighting records are in the light file,
// 0 when they are in the world file itself.
// Byte 3: always 0.

// World flags (stage 2): bit 3 marks the current colour flags.
constexpr uint32_t WorldFlagNewColours = 8;

// Limits the loader checks counts against (beyond them a file is refused).
constexpr int MaxWorldLightSchemes = 64;
constexpr int MaxWorldDuplicators = 65536;

// Order of the world file's blocks, each written by the matching writer:
//  1. the four header bytes; per configuration its name, its path record
//     (in the light file when byte 2 is 1) and two u16 light-map factors;
//  2. u32 world flags, the colour set;
//  3. f32 a, f32 b (the light fraction, b x 100 / a percent), u32 holder
//     count and the holders;
//  4. u32 spare, u32 light scheme count and the schemes, u32 object count;
//  5. the objects, the camera block, four start-lamp colours, two spare u32,
//     f32 crowd density;
//  6. per light scheme, per lit-mesh object, its lighting record (in the
//     light file when byte 2 is 1).

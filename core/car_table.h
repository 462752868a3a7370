#pragma once

// The program's fixed set of 20 car models and 13 car bodies. A car's row
// index (0..19) is its index everywhere: bit i of every cars mask stands for
// car i. Several cars share one body.

struct Object3D;

constexpr int CarModelCount = 20;
constexpr int BodyCodeCount = 13;

struct CarModelInfo {
    const char *name;      // full model name, unique, compared without regard to case
    const char *code;      // three-letter code, unique, compared without regard to case
    unsigned char controlType;  // 1..5: which set of the player's control options applies
    unsigned char aiRallycross; // 1 when computer drivers may drive it on rallycross tracks
    const char *bodyCode;  // the two-letter code of its body
};

extern const CarModelInfo CarTable[CarModelCount];
extern const char *const BodyCodes[BodyCodeCount];

// The loaded body object of each body code, in the order of BodyCodes;
// filled at start-up.
extern Object3D *BodyObjects[BodyCodeCount];

// Cars masks of the named car groups.
constexpr unsigned AllCarsMask = 0xfffff;
constexpr unsigned RoadCarsMask = 0x77f;
constexpr unsigned RaceCarsMask = 0xff800;
constexpr unsigned TurboCarsMask = 0x1c;
constexpr unsigned LightRearCarsMask = 0x640;
constexpr unsigned GtCarsMask = 0x38000;

int FindCarByName(const char *name);
int FindCarByCode(const char *code);
const char *GetCarCodeByName(const char *name);
int GetCarControlTypeByName(const char *name);
int CanAiDriveOnRallycross(const char *name);
Object3D *GetBodyValueByCode(const char *bodyCode);

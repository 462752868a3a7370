#include "core/car_table.h"

#include <cstring>

#include "core/text_utils.h"

// The rows are the project's own car models; docs/cars.md describes them.
const CarModelInfo CarTable[CarModelCount] = {
    {"Zento Hatch", "ZHA", 1, 1, "ZH"},
    {"Zento Hatch RS", "ZHR", 1, 1, "ZH"},
    {"Kestrel Turbo", "KST", 1, 1, "KT"},
    {"Vexa Coupe T", "VXT", 1, 0, "VX"},
    {"Marlo GT Turbo", "MGT", 1, 0, "MR"},
    {"Fennec Sport", "FNS", 1, 1, "FN"},
    {"Orla Roadster", "ORL", 1, 0, "OR"},
    {"Quill Buggy", "QBG", 5, 1, "QB"},
    {"Bravan V8", "BRV", 1, 0, "BV"},
    {"Lira Sport", "LRS", 1, 0, "LS"},
    {"Lira Sport R", "LSR", 2, 0, "LS"},
    {"Formula Nova", "FNV", 3, 0, "FM"},
    {"Formula Arden", "FAR", 3, 0, "FM"},
    {"Formula Cirro", "FCR", 3, 0, "FM"},
    {"Brisa Prototype", "BPR", 2, 0, "BP"},
    {"Zento GT", "ZGT", 4, 0, "GT"},
    {"Kestrel GT", "KGT", 4, 0, "GT"},
    {"Marlo GT", "MRG", 4, 0, "GT"},
    {"Sable Racer", "SBR", 2, 0, "SR"},
    {"Sable Racer XR", "SBX", 2, 0, "SR"},
};

const char *const BodyCodes[BodyCodeCount] = {
    "ZH", "KT", "VX", "MR", "FN", "OR", "QB", "BV", "LS", "FM", "BP", "GT", "SR",
};

Object3D *BodyObjects[BodyCodeCount];

int FindCarByName(const char *name)
{
    if (!name) {
        return -1;
    }
    for (int i = 0; i < CarModelCount; ++i) {
        if (EqualsNoCase(CarTable[i].name, name)) {
            return i;
        }
    }
    return -1;
}

int FindCarByCode(const char *code)
{
    if (!code) {
        return -1;
    }
    for (int i = 0; i < CarModelCount; ++i) {
        if (EqualsNoCase(CarTable[i].code, code)) {
            return i;
        }
    }
    return -1;
}

const char *GetCarCodeByName(const char *name)
{
    const int car = FindCarByName(name);
    return car < 0 ? nullptr : CarTable[car].code;
}

int GetCarControlTypeByName(const char *name)
{
    const int car = FindCarByName(name);
    return car < 0 ? 0 : CarTable[car].controlType;
}

int CanAiDriveOnRallycross(const char *name)
{
    const int car = FindCarByName(name);
    return car < 0 ? 0 : CarTable[car].aiRallycross;
}

// The body code comparison is exact: body codes come from car data files,
// never from the user.
Object3D *GetBodyValueByCode(const char *bodyCode)
{
    if (!bodyCode) {
        return nullptr;
    }
    for (int i = 0; i < BodyCodeCount; ++i) {
        if (std::strcmp(BodyCodes[i], bodyCode) == 0) {
            return BodyObjects[i];
        }
    }
    return nullptr;
}

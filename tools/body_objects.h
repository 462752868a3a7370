#pragma once

#include <cstdint>

struct Object3D;

// Kinds of the body's child objects: empty markers of where each of the car's
// aerodynamic surfaces acts (wings only on bodies that have them).
constexpr uint8_t BodyChildRearWing = 6;
constexpr uint8_t BodyChildFrontWing = 7;
constexpr uint8_t BodyChildUndertray = 8;
constexpr uint8_t BodyChildBody = 9;

// What the car data of a body's cars must fit: metres in the car frame
// (origin on the centre line half-way between the axles, on the ground).
struct BodyLayout {
    float wheelbase;
    float wheelRadius;     // the tyre radius the arches are cut for
    float tyreWidth;
    float halfWidth;       // of the shell, without mirrors or wings
    float length;          // of the shell, without lamps and wings
    float rearOverhang;    // from the rear axle to the shell's end
    bool openWheels;       // no arches: the wheels stand outside the shell
    bool hasRearWing;
    bool hasFrontWing;
    float rearWing[2];     // (y, z) of the wing's marker, 0 without a wing
    float frontWing[2];
};

// The car body objects of the default data set: one low-polygon body per body
// code, in the order of BodyCodes, written as data/veh/<code>.vob.

// Builds the body of body code `bodyIndex` (0..BodyCodeCount-1) into an
// initialised object (freed with FreeObject3D). Returns 1, or 0 for an index
// outside the table.
int BuildBodyObject(int bodyIndex, Object3D *object);

// The layout of body `bodyIndex`. Returns 1, or 0 for an index outside the
// table.
int GetBodyLayout(int bodyIndex, BodyLayout *layout);

// Writes every body object under the run folder. Returns null, or the text of
// what went wrong.
const char *WriteBodyObjects(const char *runFolder);

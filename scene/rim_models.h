#pragma once

#include <cstdint>

#include "vehicle/rim_data.h"

class CarCurve;
struct ModelNode;
struct Object3D;

// Rim and tyre cross-sections and the rim node turned from them. The car
// computes the tyre sizes first (ComputeTyreProfile); BuildRimProfile then
// fills the axle record's rings and faces, and BuildRimNode / BuildTyreMesh
// turn the rim faces (9 on) about the axle into a model node.

// Darkening of the ring colours while a profile is built: rim colours grow
// darker towards the wheel's inner side.
struct RingDarkening {
    int on;
    float halfWidth;   // the rim edge's half width
    float scale;       // option byte 1 x 0.1
    float base;        // 1 - scale
    int variant;       // 0 or the car's second darkening style
};

// Fills one ring: offset, radius, zero normal, v, kind, links and the colour
// (darkened while darkening is on; see rim_models.cpp).
void SetProfileRing(ProfileRing *ring, const RingDarkening &darkening, float offset, float radius,
                    const uint8_t colour[4], float v, int kind, int linkA, int linkB);

// Computes every ring and face of the axle's cross-section from its sizes
// (ComputeTyreProfile must have run) and the rim curve (null: no curve
// records). roundCrown for vehicle class 0, plainV for class 10,
// darkVariant nonzero for the car's second darkening style. Returns 1; 0
// when the shape is refused (no tyre sizes, a curve that would pass 64
// rings or 32 faces, a curve whose rim edge points coincide, or a face
// whose two rings coincide): the profile is then left empty.
int BuildRimProfile(RimData &rim, const CarCurve *curve, int roundCrown, int plainV, int darkVariant);

// Turns the rim faces (9 on) of the profile n times about the axle into
// the node's vertices and triangles (the node's old geometry is freed; no
// material list is made). Texture coordinates follow the wheel object's
// first mapping, its ranges times scale. Vertex surfaces point at the
// rings' colour records, so the RimData must outlive the node. Returns 1,
// or 0 (the node left empty) for a null node, n below 3, a rim face that
// reaches a ring that is not a rim surface, more than 65536 vertices, or
// memory that ran out.
int BuildRimNode(const RimData &rim, ModelNode *node, int n, const Object3D *wheelObject, float scale);

// The axle's tyre node as the car draws it: BuildRimNode and one material
// list (ModelListTextureOnly) holding every vertex and triangle, whose
// material and texture name are those of the wheel object's first material.
// The node's radius is the axle's bounding radius. Returns what
// BuildRimNode returned (the node then has no list).
int BuildTyreMesh(ModelNode *node, int n, const Object3D *wheelObject, const RimData &rim, float scale);

// The car's call: profile (BuildRimProfile) for the axle; 1 when built.
int BuildRimMeshes(RimData *rim, const CarCurve *curve, int roundCrown, int plainV, int darkVariant);

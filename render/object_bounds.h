#pragma once

#include <cstdint>

#include "core/fixed_math.h"

struct Object3D;

// The bounding sphere of the object's own triangles (not its children): over
// every point a triangle uses, and its mirrored twin (x negated) where it has
// one, the centre is the middle of the box and the radius half its diagonal,
// both 16.16. An object without triangles gives the zero centre and radius 0.
void ComputeObjectBoundingSphere(const Object3D *object, FixVector &centre, int32_t &radius);

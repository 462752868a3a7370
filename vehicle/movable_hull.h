#pragma once

#include <cstdint>

class FloatPairTable;
class RigidBody;
struct SolidLink;

// Builds the collision hull of a movable track object shaped as a lathe
// object: the profile's (radius, height) points turned into six rings of
// collision points, and every colliding link into the triangles between
// neighbouring rings. Returns the message suffix the caller prints after the
// object's name: ": OK", or the reason the object gets no physics
// (": No Physics - Unusable surface found", ": No physics - More than 42
// triangles", ": No physics - No triangles", ": No physics - More than 24
// points"). A refusal leaves the body as it was; the caller frees it.
//
// Face normals follow the link direction: see docs/collision_hulls.md for the
// rule the lathe data must keep so that they point out of the body.
const char *BuildMovableObjectHull(const FloatPairTable &profile, const SolidLink *links, uint32_t linkCount,
                                   RigidBody &body, float scale);

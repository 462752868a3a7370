#pragma once

struct Material;
struct RenderObject;

// Fills the eight-step sine, cosine and normal tables of the simple wheel and
// tube meshes; once at start-up.
void InitOctagonTables();

// The running number of the next simple wheel mesh ("WHL%d", from 0 for the
// run).
extern int WheelMeshCounter;

// The simple eight-sided mesh of a wheel: a render object "WHL%d" with one
// part of `material` (null is allowed) and one item of 17 vertices (the
// centre, then the two tread edges at +/- half the tyre width for each of
// the eight angles) and 32 triangles, built into buffers. Sizes in metres;
// a size that is not finite counts as 0.
RenderObject *BuildWheelOctagonMesh(float tyreWidth, float radius, Material *material);

#include "scene/wheel_octagons.h"

#include <cmath>
#include <cstdio>

#include "render/render_object.h"

namespace {

constexpr int OctagonSteps = 8;
constexpr uint32_t OpaqueBlack = 0xFF000000u;

float OctagonCos[OctagonSteps];
float OctagonSin[OctagonSteps];
bool OctagonTablesReady = false;

float FiniteOrZero(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

}  // namespace

int WheelMeshCounter = 0;

void InitOctagonTables()
{
    // Angles 0, -2 pi / 8, -4 pi / 8, ...: the wheel turns forward.
    for (int k = 0; k < OctagonSteps; k++) {
        const double a = -static_cast<double>(k) * 2.0 * 3.14159265358979323846 / OctagonSteps;
        OctagonCos[k] = static_cast<float>(std::cos(a));
        OctagonSin[k] = static_cast<float>(std::sin(a));
    }
    OctagonTablesReady = true;
}

RenderObject *BuildWheelOctagonMesh(float tyreWidth, float radius, Material *material)
{
    if (!OctagonTablesReady)
        InitOctagonTables();
    const float h = FiniteOrZero(tyreWidth) / 2.0f;
    const float r = FiniteOrZero(radius);

    char name[RenderObjectNameSize];
    std::snprintf(name, sizeof(name), "WHL%d", WheelMeshCounter++);
    RenderObject *object = CreateRenderObject(name);
    if (object == nullptr)
        return nullptr;
    object->InitParts(1, 1);
    object->SetPartMaterial(0, material);
    object->ClearParts();
    RenderPart &part = object->parts[0];

    PartVertex centre = {};
    centre.diffuse = OpaqueBlack;
    part.AddVertex(centre);
    for (int k = 0; k < OctagonSteps; k++) {
        PartVertex v = {};
        v.y = r * OctagonCos[k];
        v.z = r * OctagonSin[k];
        v.x = -h;
        part.AddVertex(v);
        v.x = h;
        part.AddVertex(v);
    }
    for (int k = 0; k < OctagonSteps; k++) {
        const uint16_t i = static_cast<uint16_t>(2 * k + 1);
        const uint16_t j = static_cast<uint16_t>(k + 1 < OctagonSteps ? i + 2 : 1);
        part.AddTriangle(static_cast<uint16_t>(i + 1), i, static_cast<uint16_t>(j + 1));
        part.AddTriangle(static_cast<uint16_t>(j + 1), i, j);
        part.AddTriangle(j, i, 0);
        part.AddTriangle(static_cast<uint16_t>(i + 1), static_cast<uint16_t>(j + 1), 0);
    }
    object->FinishParts();
    object->Build(0);
    return object;
}

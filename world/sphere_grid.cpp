#include "world/sphere_grid.h"

#include <cmath>

#include "core/float_math.h"
#include "world/scenery_maths.h"

SphereGrid TreeSphereGrid;

namespace {

constexpr float Pi = 3.14159265358979f;
constexpr float FixOne = 65536.0f;
constexpr float StepSeconds = 0.01f;
constexpr float Spring = 2.0f;
constexpr float Damping = 0.5f;
constexpr float Exposure = 0.003f;
constexpr int MaxSwaySteps = 4;

} // namespace

void BuildSphereGrid()
{
    for (int r = 0; r < SphereGridRings; ++r) {
        const float polar = static_cast<float>(r) * Pi / 15.0f;
        for (int c = 0; c < SphereGridColumns; ++c) {
            const float azimuth = static_cast<float>(c) * 2.0f * Pi / 24.0f;
            SphereGridEntry &e = TreeSphereGrid.At(r, c);
            const float sinPolar = FloatSin(polar);
            e.rest = {RoundToFix(FloatCos(azimuth) * sinPolar * FixOne), RoundToFix(FloatSin(azimuth) * sinPolar * FixOne),
                      RoundToFix(FloatCos(polar) * FixOne)};
            e.current = e.rest;
            e.unit = e.rest;
            e.velocity[0] = e.velocity[1] = e.velocity[2] = 0.0f;
        }
    }
}

void SwaySphereGrid(int clockStepMs, const float wind[3])
{
    int steps = clockStepMs / 10;
    steps = steps < 1 ? 1 : (steps > MaxSwaySteps ? MaxSwaySteps : steps);
    for (int s = 0; s < steps; ++s) {
        for (SphereGridEntry &e : TreeSphereGrid.entries) {
            const float d[3] = {static_cast<float>(e.rest.x - e.current.x) / FixOne,
                                static_cast<float>(e.rest.y - e.current.y) / FixOne,
                                static_cast<float>(e.rest.z - e.current.z) / FixOne};
            const float ux = static_cast<float>(e.unit.x) / FixOne;
            const float uy = static_cast<float>(e.unit.y) / FixOne;
            const float exposure = std::fabs(uy * wind[0] + ux * wind[1]) * Exposure;
            for (int k = 0; k < 3; ++k) {
                e.velocity[k] += StepSeconds * (Spring * d[k] + exposure * wind[k] - Damping * e.velocity[k]);
            }
            e.current.x += RoundToFix(StepSeconds * e.velocity[0] * FixOne);
            e.current.y += RoundToFix(StepSeconds * e.velocity[1] * FixOne);
            e.current.z += RoundToFix(StepSeconds * e.velocity[2] * FixOne);
            NormaliseFixVectorOrUp(e.current, e.unit);
        }
    }
}

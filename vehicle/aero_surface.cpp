#include "vehicle/aero_surface.h"

#include "core/float_math.h"

void AeroSurface::Empty() {
    flags = 0;
    angle = 0.0f;
    wakeGain = 0.0f;
    position[0] = 0.0f;
    position[1] = 0.0f;
    position[2] = 0.0f;
    lift = liftCoefficient;
    drag = dragCoefficient;
}

void AeroSurface::Place(float x, float y, float z) {
    if (liftCoefficient == 0.0f)
        return;
    flags |= 1;
    position[0] = x;
    position[1] = y;
    position[2] = z;
    lift = liftCoefficient;
    drag = dragCoefficient;
}

void AeroSurface::PlaceAngled(float x, float y, float z, int angleDegrees) {
    if (liftCoefficient == 0.0f)
        return;
    Place(x, y, z);
    // A flat plate: lift grows with sin 2a, drag with 1 - cos 2a; both keep a
    // small share at zero angle.
    angle = static_cast<float>(angleDegrees) * 3.14159265f * 0.0055555557f;
    const float twice = 2.0f * angle;
    lift = (FloatSin(twice) * 1.03923f + 0.1f) * liftCoefficient;
    drag = ((1.0f - FloatCos(twice)) * 1.8f + 0.1f) * dragCoefficient;
}

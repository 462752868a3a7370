#pragma once

#include <cstdint>

// One aerodynamic surface of a car (four per car: two wings, two fixed
// surfaces). Coefficients include air density and area.
struct AeroSurface {
    uint8_t flags;          // bit 0 in use; bits 1, 2 the up-axis force goes to the wheels
    float angle;            // wing angle (rad)
    float liftCoefficient;
    float dragCoefficient;
    float baseDrag;         // drag factor with air from the side or behind
    float lift;
    float drag;
    float wakeGain;         // how much of a leading car's wake the surface feels
    float position[3];      // car coordinates (m)
    float force[3];         // world frame (N)
    float verticalForce[3]; // world frame (N)
    float wakeInflow[3];    // air velocity at the surface this tick (m/s)

    // Not in use: flags, angle, wake gain and position 0; lift and drag back
    // to the coefficients.
    void Empty();
    // Puts the surface in use at (x, y, z) in car coordinates, with lift and
    // drag the coefficients. A surface without lift coefficient stays unused.
    void Place(float x, float y, float z);
    // As Place, for a wing set at angleDegrees: lift and drag follow the angle.
    void PlaceAngled(float x, float y, float z, int angleDegrees);
};

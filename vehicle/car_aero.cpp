// The aerodynamic pass of the car's tick: the force of each of the four
// surfaces from the car's motion through the air at the surface, and their
// sums, held constant over the tick's sub-steps.
#include <cmath>

#include "core/float_math.h"
#include "vehicle/car_object.h"
#include "vehicle/vector3.h"

namespace {

// Least squared air speed (m^2/s^2) that gives a surface any force.
constexpr float LeastSquaredAirSpeed = 0.001f;
// Below this length the lift direction is undefined: the air moves along
// the car's side axis.
constexpr float LeastLiftCross = 1e-6f;
constexpr float HalfPi = 1.5707964f;

}  // namespace

void CarObject::StepAerodynamics(float forceSum[3], float torqueSum[3]) {
    const float *o = orientation;
    const float X[3] = {o[0], o[3], o[6]};
    const float Y[3] = {o[1], o[4], o[7]};
    const float Z[3] = {o[2], o[5], o[8]};
    for (int k = 0; k < 3; k++) {
        forceSum[k] = 0.0f;
        torqueSum[k] = 0.0f;
    }

    for (int i = 0; i < 4; i++) {
        AeroSurface &s = wings[i];
        if ((s.flags & 1) == 0)
            continue;
        const bool toWheels = (s.flags & 6) != 0;
        const float a[3] = {velocity[0] - s.wakeInflow[0], velocity[1] - s.wakeInflow[1],
                            velocity[2] - s.wakeInflow[2]};
        const float q = Dot3(a, a);
        if (q <= LeastSquaredAirSpeed) {
            for (int k = 0; k < 3; k++) {
                s.force[k] = 0.0f;
                if (toWheels)
                    s.verticalForce[k] = 0.0f;
            }
            if (i == 3)
                airSpeed = 0.0f;
            continue;
        }
        const float length = std::sqrt(q);
        const float d[3] = {a[0] / length, a[1] / length, a[2] / length};
        if (i == 3)
            airSpeed = length;

        const float c = Dot3(d, Y);
        const float e = c > 0.0f ? c * c : 0.0f;

        // Lift acts across the airflow and the car's side axis. With the air
        // along the side axis that direction does not exist: no lift then,
        // only drag (a unit of the zero vector would put NaN in the body).
        float L[3];
        Cross3(X, d, L);
        const float crossLength = std::sqrt(Dot3(L, L));
        float theta = 0.0f;
        if (crossLength < LeastLiftCross) {
            L[0] = L[1] = L[2] = 0.0f;
        } else {
            for (float &v : L)
                v /= crossLength;
            const float sine = Dot3(L, Y);
            if (sine >= 1.0f)
                theta = HalfPi;
            else if (sine <= -1.0f)
                theta = -HalfPi;
            else
                theta = FloatAsin(sine);
        }

        float cl;
        float cd;
        if (i < 2) {
            const float alpha = 2.0f * (s.angle - theta);
            cl = (FloatSin(alpha) * 1.03923f + 0.1f) * s.liftCoefficient;
            cd = ((1.0f - FloatCos(alpha)) * 1.8f + 0.1f) * s.dragCoefficient;
        } else {
            cl = s.lift;
            cd = s.drag;
        }

        const float lift = cl * e * q;
        const float drag = -((cd - s.baseDrag) * e + s.baseDrag) * q;
        for (int k = 0; k < 3; k++)
            s.force[k] = drag * d[k] + lift * L[k];

        if (toWheels) {
            const float v = Dot3(Z, s.force);
            for (int k = 0; k < 3; k++) {
                s.verticalForce[k] = v * Z[k];
                s.force[k] -= s.verticalForce[k];
            }
        }

        float r[3];
        for (int k = 0; k < 3; k++)
            r[k] = o[3 * k] * s.position[0] + o[3 * k + 1] * s.position[1] + o[3 * k + 2] * s.position[2];
        float turn[3];
        Cross3(r, s.force, turn);
        for (int k = 0; k < 3; k++) {
            forceSum[k] += s.force[k];
            torqueSum[k] += turn[k];
        }
    }
}

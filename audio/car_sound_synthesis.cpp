#include "audio/car_sound_synthesis.h"

#include <cmath>

#include "audio/car_sound_mixer.h"
#include "audio/engine_synthesis.h"
#include "vehicle/car_class.h"
#include "vehicle/car_object.h"

namespace {

constexpr float SpeedOfSound = 330.0f;
constexpr float InversePi = 0.31830988f;

// A quotient whose divisor is not above 0, or which is not finite, is 0: an
// engine not set up must not feed infinities into the resonators.
float SafeRatio(float a, float b)
{
    if (!(b > 0.0f)) {
        return 0.0f;
    }
    const float q = a / b;
    return std::isfinite(q) ? q : 0.0f;
}

}  // namespace

CarPlacement PlaceCarSound(const CarObject &car, int inside, int mode, int notMixed)
{
    CarPlacement p = {notMixed != 0 ? 0.0f : 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    if (inside != 0 || mode == 3) {
        return p;
    }
    // World differences reach 2^31: form them and their square in double.
    const double dx = static_cast<double>(car.position.x) - Listener.position.x;
    const double dy = static_cast<double>(car.position.y) - Listener.position.y;
    const double dz = static_cast<double>(car.position.z) - Listener.position.z;
    const int32_t *m = Listener.orientation.m;
    const double ux = (m[0] * dx + m[1] * dy + m[2] * dz) / 65536.0;
    const float r = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) / 65536.0);
    if (!(r >= 0.1f)) {
        return p;
    }
    p.r = r;
    const float scale = 1.0f / (65536.0f * r);
    const float n[3] = {static_cast<float>(dx) * scale, static_cast<float>(dy) * scale, static_cast<float>(dz) * scale};
    p.X = static_cast<float>(ux) * scale;
    // The car's y axis is the second column of its orientation.
    const float s = 0.333f * (car.orientation[1] * n[0] + car.orientation[4] * n[1] + car.orientation[7] * n[2]);
    p.sPlus = 1.0f + s;
    p.sMinus = 1.0f - s;
    float v = (car.velocity[0] - Listener.velocity[0]) * n[0] + (car.velocity[1] - Listener.velocity[1]) * n[1] +
              (car.velocity[2] - Listener.velocity[2]) * n[2];
    if (v < -200.0f) {
        v = -200.0f;
    } else if (v > 200.0f) {
        v = 200.0f;
    } else if (!(v == v)) {
        v = 0.0f;
    }
    p.D = SpeedOfSound / (v + SpeedOfSound);
    if (notMixed == 0) {
        const float r0 = mode == 2 ? 12.0f : 2.2f;
        if (r > r0) {
            p.G = r0 / r;
        }
    }
    return p;
}

void MixCarSound(CarObject &car, int frames, int inside, int mode, int notMixed)
{
    if (car.soundOff != 0) {
        return;
    }
    const CarPlacement place = PlaceCarSound(car, inside, mode, notMixed);
    const float G = place.G;
    const float X = place.X;
    const float D = place.D;
    const float Gq = G * 0.25f;
    const float GR = ((1.0f + X) * 0.3f + 0.4f) * Gq;
    const float GL = ((1.0f - X) * 0.3f + 0.4f) * Gq;

    CarEngine &engine = car.engine;
    const float w = engine.speed;
    float E = static_cast<float>(engine.cylinders) * w * (0.5f * InversePi) * D;
    int firesEveryTurn = 0;
    if (car.vehicleClass >= 0 && car.vehicleClass < CarClassCount) {
        firesEveryTurn = CarClassTable[car.vehicleClass].soundVariant;
    }
    if (firesEveryTurn == 0) {
        E *= 0.5f;
    }
    float Eg = (engine.waveMask & 1u) != 0 ? place.sPlus * G : 0.0f;
    float Ge = place.sPlus * engine.soundParams.Word(30);
    if (!(E >= 1.0f)) {
        Ge = 0.0f;
        Eg = 0.0f;
        E = 1.0f;
        engine.soundLoad = 0.0f;
        engine.soundRevFraction = 0.0f;
    } else {
        const float load = SafeRatio(car.enginePower, engine.maxTorque * w);
        const float rev = SafeRatio(w, engine.maxSpeed);
        engine.soundLoad = load > 0.0f ? load : 0.0f;
        engine.soundRevFraction = rev > 0.0f ? rev : 0.0f;
    }
    const float c1 = car.tractionFactor < 1.0f ? car.tractionFactor : 1.0f;
    const float L = 1.0f - c1 * car.limiterFactor * (engine.condition + 1.0f) * 0.5f;
    SynthesizeEngine(car.soundState, frames, inside, car.driverSeat[0] > 0.0f ? 1 : 0, E, Eg, Ge * GL, Ge * GR,
                     engine, L, D);
}

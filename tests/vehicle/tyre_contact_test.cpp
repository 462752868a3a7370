// One wheel on a flat ground (normal up) with a hand-built axle record, fed
// the working values the suspension step would give it.
#include "vehicle/tyre_contact.h"

#include <gtest/gtest.h>

#include <cmath>

#include "vehicle/car_wheel.h"
#include "vehicle/physics_world.h"
#include "vehicle/rim_data.h"
#include "vehicle/surface_table.h"
#include "vehicle/tyre_curves.h"
#include "vehicle/tyre_type_table.h"

namespace {

constexpr float Pi = 3.14159265f;
constexpr float RubberHeat = 910.0f * 2000.0f;
constexpr int RoadNormal = 5;  // tyre type: optimum 50 C
constexpr int Tarmac = 0;      // firm surface kind
constexpr int Gravel = 4;      // loose, 16 % dirt, drag 0.3
constexpr int Grass = 2;       // loose, 8 % dirt
constexpr int DeepGravel = 8;  // loose, drag 0.5

class TyreContactTest : public testing::Test {
protected:
    static void SetUpTestSuite() { BuildTyreCurves(); }

    void SetUp() override
    {
        axle.tyreWidth = 0.2f;
        axle.aspect = 0.5f;
        axle.rimRadius = 0.19f;
        axle.tyreType = RoadNormal;
        ASSERT_EQ(ComputeTyreProfile(axle, 0.0f, 0), 1);
        R = axle.outerRadius;
        const float segmentLength = 2.0f * Pi * R / 16.0f;
        axle.rimVolume = 0.004f;
        axle.treadSectionArea = segmentLength * axle.treadWidth / 3.0f;
        axle.sidewallArea = segmentLength * (R - axle.rimRadius);

        wheel.unsprungMass = 20.0f;
        wheel.pressureSetting = 200000.0f;
        wheel.pressure = 200000.0f;
        SetTreadTemperature(Optimum());

        in.normal[2] = 1.0f;
        in.rollDirection[0] = 1.0f;
        in.lateralDirection[1] = -1.0f;  // T1 x N
        in.halfWidth = 0.5f * axle.treadWidth;
        in.sidewallHeight = R - axle.rimRadius;
        in.stiffness = axle.tyreValues[0] * wheel.pressure * 1.8f / 2.0f;
        in.segment = 5;
        in.dirtFactor = 1.0f;
        in.surfaceType = Tarmac;
        in.grip = 1.05f;
        SetMode(true);
    }

    void TearDown() override { ExtrapolatingRemoteCar = 0; }

    void SetMode(bool full)
    {
        in.full = full;
        in.dt = full ? 0.0005f : 0.01f;
        in.invDt = full ? 2000.0f : 100.0f;
        BeginSubStep();
    }

    // What the suspension step leaves before the tyre model: the radial
    // damping (none here) in full mode, the suspension's force in light mode.
    void BeginSubStep()
    {
        for (float &f : wheel.contactForce)
            f = 0.0f;
        wheel.normalForce = in.full ? 0.0f : 3000.0f;
        wheel.tyreDeflection = in.full ? 0.01f : 0.0f;
    }

    float Optimum() const { return TyreTypeTable[RoadNormal].optimalTemperature + 273.15f; }
    float NewTread() const { return 0.03f * R; }
    float BulkCapacity(const TreadSection &s) const { return s.thickness * axle.treadSectionArea * RubberHeat; }

    void SetTreadTemperature(float kelvin)
    {
        for (TreadSegment &segment : wheel.tread) {
            for (TreadSection &s : segment.sections) {
                s.thickness = NewTread();
                s.bulkHeat = kelvin * BulkCapacity(s);
                s.skinHeat = kelvin * 0.001f * R * axle.treadSectionArea * RubberHeat;
            }
            for (float &h : segment.sidewallHeat)
                h = kelvin * 0.015f * R * axle.sidewallArea * RubberHeat;
            segment.dirt = 0.0f;
        }
    }

    // The ground moves by (along, across) under the tyre reference point
    // while the tread rolls tread metres.
    void Move(float along, float across, float tread)
    {
        for (int k = 0; k < 3; k++)
            wheel.lastReferencePoint[k] =
                in.referencePoint[k] - along * in.rollDirection[k] - across * in.lateralDirection[k];
        wheel.rotationStep = tread / R;
        in.rolled = R * wheel.rotationStep;
    }

    // Rolling at speed (m/s) with the tread running slip metres ahead.
    void Roll(float speed, float slip = 0.0f) { Move(speed * in.dt, 0.0f, speed * in.dt + slip); }

    void Step() { StepTyreContact(wheel, axle, in); }

    float Tangential(int k) const { return wheel.contactForce[k] - wheel.normalForce * in.normal[k]; }

    float PeakSlipNow() const
    {
        CarWheel copy = wheel;
        StepTyreContact(copy, axle, in);
        return copy.peakSlip;
    }

    RimData axle;
    CarWheel wheel;
    TyreContactInput in{};
    float R = 0.0f;
};

// The friction coefficient over the grip, at rest: temperature, section
// loads, dirt and pressure, in both modes.
TEST_F(TyreContactTest, FrictionFollowsTemperatureLoadsDirtAndPressure)
{
    enum Loads { Even, MiddleOnly };
    struct Case {
        const char *name;
        bool full;
        Loads loads;
        float temperatureOffset;
        float dirtFactor;
        float pressure;  // effective pressure in full mode, the tyre's in light mode
        float expected;
    } cases[] = {
        {"optimum", true, Even, 0.0f, 1.0f, 260000.0f, 1.0f},
        {"60 K hot", true, Even, 60.0f, 1.0f, 260000.0f, 0.75f},
        {"60 K cold", true, Even, -60.0f, 1.0f, 260000.0f, 0.75f},
        {"dirty", true, Even, 0.0f, 0.9f, 260000.0f, 0.9f},
        {"no pressure", true, Even, 0.0f, 1.0f, 0.0f, 960000.0625f / 700000.0f},
        // Only the middle section carries: its load spread costs a quarter.
        {"middle only", true, MiddleOnly, 0.0f, 1.0f, 260000.0f, 0.75f},
        {"light", false, Even, 0.0f, 1.0f, 260000.0f, 0.999f},
        {"light 60 K hot", false, Even, 60.0f, 1.0f, 260000.0f, 0.999f * 0.75f},
        {"light no pressure", false, Even, 0.0f, 1.0f, 0.0f, 0.999f * 960000.0625f / 700000.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetMode(c.full);
        SetTreadTemperature(Optimum() + c.temperatureOffset);
        in.dirtFactor = c.dirtFactor;
        Move(0.0f, 0.0f, 0.0f);
        const float w = axle.treadWidth;
        if (c.full) {
            // Edge sections carry as much as the middle at 0.032 / 0.6 of
            // the width, nothing at 0.02 of it or less.
            const float td = c.loads == Even ? 0.032f * w / 0.6f : 0.01f * w;
            wheel.tyreDeflection = td;
            wheel.pressure = c.pressure * (1.0f + 0.001f * axle.crownRadius * R / (td * td));
        } else {
            wheel.pressure = c.pressure;
        }
        Step();
        EXPECT_NEAR(wheel.friction / in.grip, c.expected, 2e-5f);
        if (c.full && c.loads == Even) {
            EXPECT_NEAR(wheel.sectionLoad[0], wheel.sectionLoad[1], 1e-6f);
            EXPECT_NEAR(wheel.sectionLoad[2], wheel.sectionLoad[1], 1e-6f);
        }
    }
}

// The friction limit of the tyre spring, the rim strike beyond e - 0.02, and
// the normal force handed on.
TEST_F(TyreContactTest, NormalForceOfTheTyreSpringAndTheRim)
{
    const float rimContact = in.sidewallHeight - 0.02f;
    Roll(20.0f);
    wheel.tyreDeflection = 0.02f;
    Step();
    const float spring = wheel.normalForce;
    EXPECT_GT(spring, 0.0f);
    EXPECT_GT(wheel.patchLength, 0.0f);
    EXPECT_FLOAT_EQ(wheel.frictionLimit, spring * wheel.friction);
    EXPECT_FLOAT_EQ(wheel.contactForce[2], spring);
    // A stiffer tyre at the same deflection pushes harder.
    BeginSubStep();
    wheel.tyreDeflection = 0.02f;
    wheel.pressure = 400000.0f;
    Step();
    EXPECT_GT(wheel.normalForce, spring);

    // No air: only the rim strikes, 50000 x unsprung mass per metre.
    BeginSubStep();
    wheel.pressure = 0.0f;
    wheel.tyreDeflection = rimContact + 0.005f;
    Roll(20.0f);
    Step();
    EXPECT_NEAR(wheel.normalForce, 0.005f * 20.0f * 50000.0f, 0.5f);
    EXPECT_FLOAT_EQ(wheel.contactForce[2], wheel.normalForce);
    EXPECT_EQ(wheel.friction, 0.25f);
    EXPECT_EQ(wheel.patchLength, 0.0f);
    EXPECT_EQ(wheel.inContact, 1);
}

TEST_F(TyreContactTest, PeakSlipHasAFloorAndShowsDoubleOnLooseGround)
{
    struct Case {
        const char *name;
        int surface;
        float pressure;
        bool atFloor;
        float shownFactor;
    } cases[] = {
        {"firm", Tarmac, 200000.0f, false, 1.0f},
        {"loose", Gravel, 200000.0f, false, 2.0f},
        {"almost no load", Tarmac, 0.001f, true, 1.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        in.surfaceType = c.surface;
        wheel.pressure = c.pressure;
        Move(0.0f, 0.0f, 0.0f);
        Step();
        if (c.atFloor) {
            EXPECT_EQ(wheel.peakSlip, 0.001f);
        } else {
            EXPECT_GT(wheel.peakSlip, 0.001f);
        }
        EXPECT_EQ(wheel.peakSlipShown, wheel.peakSlip * c.shownFactor);
    }
}

// At rest the tread is a spring that slips past the friction limit.
TEST_F(TyreContactTest, StaticTreadHoldsUpToTheFrictionLimit)
{
    struct Case {
        const char *name;
        int surface;
        float deflection;   // initial longitudinal tread deflection
        float suspension;   // light-mode normal force
        float ratio;
        bool slides;
        bool capped;
    } cases[] = {
        {"firm, held", Tarmac, 0.001f, 3000.0f, 0.95f, false, false},
        {"firm, sliding", Tarmac, 0.05f, 3000.0f, 0.95f, true, false},
        {"loose, sliding", Gravel, 0.05f, 3000.0f, 1.0f, true, false},
        {"beyond the force cap", Tarmac, 0.5f, 1e8f, 0.95f, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetMode(false);
        wheel.normalForce = c.suspension;
        in.surfaceType = c.surface;
        for (int k = 0; k < 3; k++)
            wheel.deflection[k] = c.deflection * in.rollDirection[k];
        Move(0.0f, 0.0f, 0.0f);
        Step();
        EXPECT_EQ(wheel.frictionRatio, c.ratio);
        const float limit = c.capped ? in.sidewallHeight * in.stiffness * 0.999f
                                     : c.suspension * wheel.friction * c.ratio;
        EXPECT_FLOAT_EQ(wheel.frictionLimit, limit);
        const float force = std::hypot(Tangential(0), Tangential(1));
        if (c.slides) {
            EXPECT_EQ(wheel.slipShown, 2.0f * wheel.peakSlip);
            EXPECT_NEAR(force, limit, limit * 1e-5f);
            EXPECT_NEAR(wheel.longDeflection, limit / (2.0f * in.stiffness), 1e-6f);
        } else {
            EXPECT_EQ(wheel.slipShown, 0.0f);
            EXPECT_EQ(wheel.longDeflection, c.deflection);
            EXPECT_FLOAT_EQ(force, 2.0f * in.stiffness * c.deflection);
        }
        EXPECT_EQ(wheel.deflection[0], wheel.longDeflection);
    }
}

// Past the peak on firm ground the longitudinal slip stops counting double,
// faded in by the smooth step over three peak widths.
TEST_F(TyreContactTest, RollingSlipFadesTheLongitudinalWeight)
{
    struct Case {
        const char *name;
        int surface;
        float kappaOverPeak;  // 2 x slip distance / ground distance, in peak slips
        float expectedOverPeak;
    } cases[] = {
        {"below the peak", Tarmac, 0.5f, 0.5f},
        // u = 1/6: 1.5 - 0.75 x (3 - 1/3) / 36.
        {"1.5 x peak", Tarmac, 1.5f, 1.5f - 0.75f * (3.0f - 2.0f / 6.0f) / 36.0f},
        {"far past the peak", Tarmac, 8.0f, 4.0f},
        {"loose ground", Gravel, 1.5f, 1.5f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        in.surfaceType = c.surface;
        for (float &d : wheel.deflection)
            d = 0.0f;
        Roll(20.0f);
        const float peak = PeakSlipNow();
        const float ground = 20.0f * in.dt;
        Roll(20.0f, c.kappaOverPeak * peak * ground / 2.0f);
        Step();
        EXPECT_EQ(wheel.peakSlip, peak);
        EXPECT_NEAR(wheel.slip / peak, c.expectedOverPeak, 2e-4f);
        EXPECT_FLOAT_EQ(wheel.slipShown, std::fmin(wheel.slip, 2.0f * peak));
        // The tread pulls the car forward and brakes the wheel.
        EXPECT_GT(Tangential(0), 0.0f);
        EXPECT_LT(wheel.torque, 0.0f);
        wheel.torque = 0.0f;
    }
}

// The tread force pushes against the way the tyre slides over the ground.
TEST_F(TyreContactTest, TreadForceOpposesTheSlip)
{
    struct Case {
        const char *name;
        float along;   // ground speed of the tyre along T1, m/s
        float across;  // along T2
        float spin;    // tread speed over ground speed
        int alongSign; // expected sign of the force along T1 and T2
        int acrossSign;
    } cases[] = {
        {"wheel spin", 20.0f, 0.0f, 1.1f, 1, 0},
        {"braking", 20.0f, 0.0f, 0.9f, -1, 0},
        {"sliding aside while rolling", 20.0f, 2.0f, 1.0f, 0, -1},
        {"pushed aside at rest", 0.0f, 0.2f, 0.0f, 0, -1},
        {"pushed forward at rest", 0.2f, 0.0f, 0.0f, -1, 0},
    };
    auto sign = [](float v) { return v > 1e-3f ? 1 : v < -1e-3f ? -1 : 0; };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        for (float &d : wheel.deflection)
            d = 0.0f;
        Move(c.along * in.dt, c.across * in.dt, c.spin * c.along * in.dt);
        Step();
        float F[3];
        for (int k = 0; k < 3; k++)
            F[k] = Tangential(k);
        EXPECT_EQ(sign(F[0] * in.rollDirection[0]), c.alongSign);
        EXPECT_EQ(sign(F[1] * in.lateralDirection[1]), c.acrossSign);
    }
}

TEST_F(TyreContactTest, TreadRelaxesWithoutSlip)
{
    const struct {
        bool full;
        float factor;
    } cases[] = {{true, 0.95f}, {false, 0.8f}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.full ? "full" : "light");
        SetMode(c.full);
        wheel.deflection[0] = 0.002f;
        wheel.deflection[1] = -0.001f;  // 0.001 along T2
        Roll(20.0f);
        Step();
        EXPECT_LT(wheel.slip, 0.0001f);
        EXPECT_FLOAT_EQ(wheel.longDeflection, 0.002f * c.factor);
        EXPECT_FLOAT_EQ(wheel.latDeflection, 0.001f * c.factor);
    }
}

// In the one-step mode a slowly turning wheel's torque fades to nothing at
// standstill, so that a parked car does not rock.
TEST_F(TyreContactTest, LightModeTorqueFadesBelowOneTurnPerSecond)
{
    const struct {
        float w;  // rad/s
        float scale;
    } cases[] = {{0.0f, 0.0f}, {Pi, 0.5f}, {3.0f * Pi, 1.0f}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.w);
        SetMode(false);
        for (float &d : wheel.deflection)
            d = 0.0f;
        wheel.torque = 100.0f;
        Roll(c.w * R);
        Step();
        EXPECT_NEAR(wheel.torque, 100.0f * c.scale, 0.01f);
    }
}

TEST_F(TyreContactTest, LooseGroundDragIsASpringCappedByTheNormalForce)
{
    struct Case {
        const char *name;
        int surface;
        bool inContact;
        float normalForce;
        float anchorOffset;  // anchor ahead of the reference point along x
        bool pulls;
        bool capped;
    } cases[] = {
        {"held", DeepGravel, true, 3000.0f, 0.001f, true, false},
        {"dragged along", DeepGravel, true, 3000.0f, 0.1f, true, true},
        {"firm ground", Tarmac, true, 3000.0f, 0.1f, false, false},
        {"in the air", DeepGravel, false, 3000.0f, 0.1f, false, false},
        {"no load", DeepGravel, true, 0.01f, 0.1f, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        in.surfaceType = c.surface;
        in.referencePoint[0] = 1.0f;
        wheel.inContact = c.inContact;
        wheel.normalForce = c.normalForce;
        for (float &f : wheel.contactForce)
            f = 0.0f;
        for (int k = 0; k < 3; k++)
            wheel.dragAnchor[k] = in.referencePoint[k];
        wheel.dragAnchor[0] += c.anchorOffset;
        StepTyreDrag(wheel, in);
        const float cap = SurfaceTable[c.surface].drag * c.normalForce;
        if (c.capped) {
            EXPECT_FLOAT_EQ(wheel.contactForce[0], cap);
            EXPECT_NEAR(wheel.dragAnchor[0] - in.referencePoint[0], cap / in.stiffness, 1e-6f);
        } else if (c.pulls) {
            EXPECT_FLOAT_EQ(wheel.contactForce[0], (wheel.dragAnchor[0] - 1.0f) * in.stiffness);
            EXPECT_EQ(wheel.dragAnchor[0], 1.0f + c.anchorOffset);
        } else {
            EXPECT_EQ(wheel.contactForce[0], 0.0f);
            EXPECT_EQ(wheel.dragAnchor[0], in.referencePoint[0]);
        }
        EXPECT_EQ(wheel.contactForce[1], 0.0f);
        EXPECT_EQ(wheel.contactForce[2], 0.0f);
    }
}

// Rolling deformation heats the bulk and sidewalls of the segment under the
// contact; the wheel pays for it as rolling resistance.
TEST_F(TyreContactTest, RollingHeatIsTakenFromTheWheel)
{
    struct Case {
        const char *name;
        bool full;
        bool extrapolating;
        bool flat;
        bool heats;
    } cases[] = {
        {"full", true, false, false, true},
        {"light", false, false, false, false},
        {"extrapolated remote car", true, true, false, false},
        {"flat", true, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetMode(c.full);
        // From no heat at all, so that the added heat is exact.
        SetTreadTemperature(0.0f);
        ExtrapolatingRemoteCar = c.extrapolating;
        wheel.flat = c.flat;
        // Only lateral tread deflection: the tread force has no torque.
        for (float &d : wheel.deflection)
            d = 0.0f;
        wheel.deflection[1] = -0.002f;
        wheel.latDeflection = 0.002f;
        wheel.longDeflection = 0.0f;
        wheel.torque = 0.0f;
        Roll(20.0f);
        const CarWheel before = wheel;
        Step();
        float added = 0.0f;
        for (int s = 0; s < 16; s++) {
            const TreadSegment &now = wheel.tread[s], &was = before.tread[s];
            for (int i = 0; i < 3; i++) {
                EXPECT_EQ(now.sections[i].skinHeat, was.sections[i].skinHeat);
                if (s != in.segment) {
                    EXPECT_EQ(now.sections[i].bulkHeat, was.sections[i].bulkHeat);
                }
                added += now.sections[i].bulkHeat - was.sections[i].bulkHeat;
            }
            for (int i = 0; i < 2; i++) {
                if (s != in.segment) {
                    EXPECT_EQ(now.sidewallHeat[i], was.sidewallHeat[i]);
                }
                added += now.sidewallHeat[i] - was.sidewallHeat[i];
            }
        }
        if (c.heats) {
            EXPECT_GT(added, 0.0f);
            EXPECT_NEAR(-wheel.torque * wheel.rotationStep, added, added * 1e-5f);
        } else {
            EXPECT_EQ(added, 0.0f);
            EXPECT_NEAR(wheel.torque, 0.0f, 1e-6f);
        }
        ExtrapolatingRemoteCar = 0;
    }
}

// Sliding heats the skin of the three sections and wears them, in the same
// proportion; a worn-through section stays at the thinnest tread and the
// tyre is flat from then on.
TEST_F(TyreContactTest, SlidingHeatsTheSkinAndWearsTheTread)
{
    const float thinnest = 0.3f * (0.03f * R);
    struct Case {
        const char *name;
        bool remote;
        bool extrapolating;
        bool startFlat;
        float startThickness;  // 0: new
        bool heats;
        bool wears;
        bool endsFlat;
    } cases[] = {
        {"local", false, false, false, 0.0f, true, true, false},
        {"remote", true, false, false, 0.0f, true, false, false},
        {"extrapolated remote car", true, true, false, 0.0f, false, false, false},
        {"worn through", false, false, false, thinnest + 1e-7f, true, true, true},
        {"already flat", false, false, true, thinnest, false, false, true},
    };
    const TyreTypeInfo &type = TyreTypeTable[RoadNormal];
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        SetTreadTemperature(Optimum());
        if (c.startThickness != 0.0f) {
            for (TreadSection &s : wheel.tread[in.segment].sections)
                s.thickness = c.startThickness;
        }
        in.remote = c.remote;
        ExtrapolatingRemoteCar = c.extrapolating;
        wheel.flat = c.startFlat;
        // Standing, the tread pulled far past what friction holds.
        for (float &d : wheel.deflection)
            d = 0.0f;
        wheel.deflection[0] = 0.05f;
        Move(0.0f, 0.0f, 0.0f);
        const TreadSegment before = wheel.tread[in.segment];
        Step();
        const TreadSegment &after = wheel.tread[in.segment];
        for (int i = 0; i < 3; i++) {
            SCOPED_TRACE(i);
            const float heat = after.sections[i].skinHeat - before.sections[i].skinHeat;
            const float worn = before.sections[i].thickness - after.sections[i].thickness;
            EXPECT_EQ(after.sections[i].bulkHeat, before.sections[i].bulkHeat);  // not rolling
            EXPECT_EQ(heat > 0.0f, c.heats);
            if (c.endsFlat) {
                EXPECT_EQ(after.sections[i].thickness, thinnest);
            } else if (c.wears) {
                // Energy x wear coefficient off the tread, energy x heating
                // x 0.00032 into the skin.
                const float ratio = type.wear / (type.heating * 0.00032f);
                EXPECT_NEAR(worn / heat, ratio, ratio * 0.01f);
            } else {
                EXPECT_EQ(worn, 0.0f);
            }
        }
        EXPECT_EQ(wheel.flat, c.endsFlat ? 1 : 0);
        ExtrapolatingRemoteCar = 0;
        in.remote = false;
    }
}

// Where the firm longitudinal curve rises above its first slope nothing
// slides: the skin must not cool and the tread must not grow back.
TEST_F(TyreContactTest, GripBeyondTheLinearSlopeDoesNotSlideBackwards)
{
    const TyreCurve &L = FirmLongitudinalCurve;
    ASSERT_GT(L.Value(0.3f), 0.3f * L.samples[0] / L.step);
    struct Case {
        const char *name;
        float slipOverPeak;
        bool slides;
    } cases[] = {
        {"x = 0.3, above the slope", 0.25f, false},
        {"past the peak", 3.0f, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        SetTreadTemperature(Optimum());
        for (float &d : wheel.deflection)
            d = 0.0f;
        wheel.longDeflection = wheel.latDeflection = 0.0f;
        Roll(20.0f);
        const float peak = PeakSlipNow();
        Roll(20.0f, c.slipOverPeak * peak * 20.0f * in.dt / 2.0f);
        const TreadSegment before = wheel.tread[in.segment];
        Step();
        if (!c.slides) {
            ASSERT_NEAR(L.peakSlip * wheel.slip / wheel.peakSlip, 0.3f, 1e-4f);
        }
        const TreadSegment &after = wheel.tread[in.segment];
        for (int i = 0; i < 3; i++) {
            SCOPED_TRACE(i);
            if (c.slides) {
                EXPECT_GT(after.sections[i].skinHeat, before.sections[i].skinHeat);
                EXPECT_LT(after.sections[i].thickness, before.sections[i].thickness);
            } else {
                EXPECT_EQ(after.sections[i].skinHeat, before.sections[i].skinHeat);
                EXPECT_EQ(after.sections[i].thickness, before.sections[i].thickness);
            }
        }
    }
}

// Firm ground rubs dirt off (what falls below 0.01 is gone); loose ground
// deposits it, never above its own dirt nor above 0.16.
TEST_F(TyreContactTest, DirtIsRubbedOffFirmGroundAndPickedUpOnLoose)
{
    struct Case {
        const char *name;
        int surface;
        float start;
        float low;   // the result lies in [low, high]
        float high;
    } cases[] = {
        {"firm, nearly clean", Tarmac, 0.0100001f, 0.0f, 0.0f},
        {"firm, dirty", Tarmac, 0.1f, 0.01f, 0.0999999f},
        {"gravel, clean", Gravel, 0.0f, 1e-6f, 0.16f},
        {"gravel, full", Gravel, 0.159f, 0.16f, 0.16f},
        {"grass, full", Grass, 0.079f, 0.08f, 0.08f},
        {"grass, dirtier than the grass", Grass, 0.1f, 0.1f, 0.1f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeginSubStep();
        in.surfaceType = c.surface;
        wheel.tread[in.segment].dirt = c.start;
        in.dirtFactor = SurfaceTable[c.surface].loose ? 1.0f : 1.0f - c.start;
        wheel.tyreDeflection = 0.03f;  // a heavy load rubs hard
        Roll(20.0f);
        Step();
        const float dirt = wheel.tread[in.segment].dirt;
        EXPECT_GE(dirt, c.low);
        EXPECT_LE(dirt, c.high);
        for (int s = 0; s < 16; s++) {
            if (s != in.segment) {
                EXPECT_EQ(wheel.tread[s].dirt, 0.0f);
            }
        }
        wheel.tread[in.segment].dirt = 0.0f;
    }
}

}  // namespace

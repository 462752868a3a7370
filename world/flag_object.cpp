#include "world/flag_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "world/scenery_maths.h"
#include "world/world.h"

namespace {

constexpr float FixOne = 65536.0f;
constexpr float StepSeconds = 0.01f;
constexpr int MaxClothTicks = 4;
// Below this height (metres) the point masses would vanish; only a width
// read as infinite gets there through the aspect rule.
constexpr float FlagLeastHeight = 0.001f;

float WorldGravity()
{
    return CurrentWorld ? CurrentWorld->gravity : FlagDefaultGravity;
}

float PointMass(float width, float height)
{
    return width * height / 32.0f;
}

void ToMetres(const FlagPoint &p, float out[3])
{
    for (int k = 0; k < 3; ++k) {
        out[k] = static_cast<float>(p.position[k]) / FixOne;
    }
}

// Moves a free point by its forces for one tick and restarts its force at
// gravity.
void Integrate(FlagPoint &p, float mass, float damping, float gravity, const float wind[3])
{
    if (p.free) {
        const float push = (p.normal[0] * wind[0] + p.normal[1] * wind[1] + p.normal[2] * wind[2]) * 10.0f * mass;
        for (int k = 0; k < 3; ++k) {
            p.force[k] -= damping * p.velocity[k] - push * p.normal[k];
            p.velocity[k] += p.force[k] / mass * StepSeconds;
            p.position[k] += RoundToFix(p.velocity[k] * StepSeconds * FixOne);
        }
    }
    p.force[0] = 0.0f;
    p.force[1] = 0.0f;
    p.force[2] = gravity * mass;
}

} // namespace

FlagObject::FlagObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int FlagObject::Read(DataStream *stream, int)
{
    flags = stream->ReadU32();
    poleHeight = stream->ReadFloat();
    width = stream->ReadFloat();
    height = stream->ReadFloat();
    surface = static_cast<uint16_t>(stream->ReadU16());
    stream->ReadU16();
    if (stream->overrun) {
        return 1;
    }
    if (!(width >= FlagMinWidth)) {
        width = FlagMinWidth;
    }
    if (!(height >= FlagMinHeight)) {
        height = FlagMinHeight;
    }
    if (width > FlagMaxWidth) {
        // A wide flag keeps its shape.
        height = height * (FlagMaxWidth / width);
        width = FlagMaxWidth;
    }
    if (height > FlagMaxHeight) {
        height = FlagMaxHeight;
    }
    if (!(height >= FlagLeastHeight)) {
        height = FlagLeastHeight;
    }
    const int colourCount = CurrentWorld ? CurrentWorld->colours.count : 0;
    return surface < colourCount ? 0 : 1;
}

void FlagObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    centreX = positionX;
    centreY = positionY;
    centreZ = RoundToFix((poleHeight - height / 2.0f) * FixOne);
    radius = RoundToFix(std::sqrt(width * width + height * height / 4.0f) * FixOne);
    InitPoints(WorldGravity());
}

void FlagObject::InitPoints(float gravity)
{
    const float top = poleHeight * FixOne;
    const float dx = width / 4.0f;
    const float dy = height / 3.0f;
    const float mass = PointMass(width, height);
    auto place = [&](FlagPoint &p, float across, float down, uint8_t isFree) {
        p.free = isFree;
        p.position[0] = positionX + RoundToFix(across * dx * FixOne);
        p.position[1] = positionY;
        p.position[2] = RoundToFix(top - down * dy * FixOne);
        p.normal[0] = 0.0f;
        p.normal[1] = -1.0f;
        p.normal[2] = 0.0f;
        p.velocity[0] = p.velocity[1] = p.velocity[2] = 0.0f;
        p.force[0] = 0.0f;
        p.force[1] = 0.0f;
        p.force[2] = mass * gravity;
    };
    for (int r = 0; r < FlagRows; ++r) {
        for (int c = 0; c < FlagColumns; ++c) {
            place(Point(r, c), static_cast<float>(c), static_cast<float>(r), c != 0 ? 1 : 0);
        }
    }
    for (int r = 1; r < FlagRows; ++r) {
        for (int c = 1; c < FlagColumns; ++c) {
            place(CellPoint(r, c), static_cast<float>(c) - 0.5f, static_cast<float>(r) - 0.5f, 1);
        }
    }
    lastTick = 0;
}

void FlagObject::Spring(FlagPoint &a, FlagPoint &b, float rest, float stiffness)
{
    float pa[3];
    float pb[3];
    ToMetres(a, pa);
    ToMetres(b, pb);
    const float d[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
    const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 0.0f)) {
        return;   // two points in one place pull in no direction
    }
    float stretch = length - rest;
    if (stretch < -rest / 2.0f) {
        stretch = -rest / 2.0f;
    } else if (stretch > rest / 2.0f) {
        stretch = rest / 2.0f;
    }
    float e = stretch * stiffness;
    if (length < rest) {
        e = e / 8.0f;
    }
    for (int k = 0; k < 3; ++k) {
        const float f = d[k] * e / length;
        b.force[k] -= f;
        a.force[k] += f;
    }
}

void FlagObject::SetNormal(FlagPoint &out, const FlagPoint &a, const FlagPoint &b, const FlagPoint &c,
                           const FlagPoint &d, float scale)
{
    float pa[3], pb[3], pc[3], pd[3];
    ToMetres(a, pa);
    ToMetres(b, pb);
    ToMetres(c, pc);
    ToMetres(d, pd);
    const float u[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
    const float v[3] = {pd[0] - pc[0], pd[1] - pc[1], pd[2] - pc[2]};
    out.normal[0] = (u[1] * v[2] - u[2] * v[1]) * scale;
    out.normal[1] = (u[2] * v[0] - u[0] * v[2]) * scale;
    out.normal[2] = (u[0] * v[1] - u[1] * v[0]) * scale;
}

void FlagObject::StepCloth(uint32_t raceTick, const float wind[3], float gravity)
{
    const int ticks = TakeTicksSince(lastTick, raceTick, MaxClothTicks);
    const float mass = PointMass(width, height);
    const float stiffness = 6000.0f * mass;
    const float damping = 2.0f * mass;
    const float dx = width / 4.0f;
    const float dy = height / 3.0f;
    const float dc = std::sqrt(dx * dx + dy * dy) / 2.0f;
    const float inv = 1.0f / (dx * dy);
    const float cellScale = 0.25f / (dc * dc);

    for (int t = 0; t < ticks; ++t) {
        SetNormal(Point(0, 0), Point(0, 0), Point(1, 0), Point(0, 0), Point(0, 1), inv);
        for (int c = 1; c < FlagColumns; ++c) {
            Spring(Point(0, c - 1), Point(0, c), dx, stiffness);
            if (c < FlagColumns - 1) {
                SetNormal(Point(0, c), Point(0, c), Point(1, c), Point(0, c - 1), Point(0, c + 1), 0.5f * inv);
            } else {
                SetNormal(Point(0, c), Point(0, c), Point(1, c), Point(0, c - 1), Point(0, c), inv);
            }
        }
        for (int r = 1; r < FlagRows; ++r) {
            const bool bottom = r == FlagRows - 1;
            const float f = bottom ? 1.0f : 0.5f;
            SetNormal(Point(r, 0), Point(r - 1, 0), bottom ? Point(r, 0) : Point(r + 1, 0), Point(r, 0), Point(r, 1),
                      f * inv);
            for (int c = 1; c < FlagColumns; ++c) {
                Spring(Point(r, c - 1), Point(r, c), dx, stiffness);
                Spring(Point(r, c), Point(r - 1, c), dy, stiffness);
                const FlagPoint &below = bottom ? Point(r, c) : Point(r + 1, c);
                if (c < FlagColumns - 1) {
                    SetNormal(Point(r, c), Point(r - 1, c), below, Point(r, c - 1), Point(r, c + 1), f * 0.5f * inv);
                } else {
                    SetNormal(Point(r, c), Point(r - 1, c), below, Point(r, c - 1), Point(r, c), f * inv);
                }
                FlagPoint &cell = CellPoint(r, c);
                Spring(Point(r, c), cell, dc, stiffness);
                Spring(Point(r, c - 1), cell, dc, stiffness);
                Spring(Point(r - 1, c), cell, dc, stiffness);
                Spring(Point(r - 1, c - 1), cell, dc, stiffness);
                SetNormal(cell, Point(r - 1, c - 1), Point(r, c), Point(r, c - 1), Point(r - 1, c), cellScale);
            }
        }
        for (FlagPoint &p : points) {
            Integrate(p, mass, damping, gravity, wind);
        }
        for (FlagPoint &p : cells) {
            Integrate(p, mass, damping, gravity, wind);
        }
    }
}

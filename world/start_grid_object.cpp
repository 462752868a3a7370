#include "world/start_grid_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "core/float_math.h"
#include "core/text_utils.h"
#include "world/world.h"

const char SixteenRowGridSite[3] = "KY";

namespace {

constexpr float FixOne = 65536.0f;
constexpr int OldGridVersion = 251;
constexpr uint8_t OldSiteRows = 16;
constexpr int64_t MaxCurveT = 16 * 65536;

int32_t Round(float v)
{
    if (!(v > -2147483520.0f)) {
        return v < 0.0f ? INT32_MIN : 0;
    }
    if (v > 2147483520.0f) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(std::lround(v));
}

// 16.16 product with a 64-bit intermediate.
int64_t FixMul(int64_t a, int64_t b)
{
    return (a * b) >> 16;
}

// Hermite cubic from p0 (t = 0) to p1 (t = 1) with tangents t0 and t1.
void HermiteCoefficients(int64_t p0, int64_t p1, int64_t t0, int64_t t1, int32_t c[4])
{
    c[0] = static_cast<int32_t>(2 * (p0 - p1) + t0 + t1);
    c[1] = static_cast<int32_t>(3 * (p1 - p0) - 2 * t0 - t1);
    c[2] = static_cast<int32_t>(t0);
    c[3] = static_cast<int32_t>(p0);
}

int32_t CubicValue(const int32_t c[4], int64_t t, int64_t t2, int64_t t3)
{
    return static_cast<int32_t>(FixMul(c[0], t3) + FixMul(c[1], t2) + FixMul(c[2], t) + c[3]);
}

int32_t CubicSlope(const int32_t c[4], int64_t t, int64_t t2)
{
    return static_cast<int32_t>(FixMul(3 * int64_t(c[0]), t2) + FixMul(2 * int64_t(c[1]), t) + c[2]);
}

} // namespace

StartGridObject::StartGridObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
}

int StartGridObject::Read(DataStream *stream, int version)
{
    flags = stream->ReadU32();
    columns = static_cast<uint8_t>(stream->ReadU8());
    rows = static_cast<uint8_t>(stream->ReadU8());
    curveRow = static_cast<uint8_t>(stream->ReadU8());
    spareByte = static_cast<uint8_t>(stream->ReadU8());
    heading = stream->ReadFloat();
    height = stream->ReadFloat();
    width = stream->ReadFloat();
    rowSpacing = stream->ReadFloat();
    columnStagger = stream->ReadFloat();
    curveEndX = curveEndY = 0;
    curveEndHeading = 0.0f;
    if (flags & 2) {
        curveEndX = static_cast<int32_t>(stream->ReadU32());
        curveEndY = static_cast<int32_t>(stream->ReadU32());
        curveEndHeading = stream->ReadFloat();
    }
    if (version < OldGridVersion && CurrentWorld && EqualsNoCase(CurrentWorld->shortName, SixteenRowGridSite)) {
        rows = OldSiteRows;
    }
    return stream->overrun ? 1 : 0;
}

void StartGridObject::Prepare()
{
    minX = maxX = positionX;
    minY = maxY = positionY;
    radius = 0;
    centreX = positionX;
    centreY = positionY;
    centreZ = 0;
    forward = {Round(-FloatSin(heading) * FixOne), Round(FloatCos(heading) * FixOne), 0};

    int32_t endDirection[2] = {forward.x, forward.y};
    if (!(flags & 2)) {
        curveEndHeading = heading;
        const float back = float(rows) * rowSpacing;
        curveEndX = static_cast<int32_t>(int64_t(positionX) - Round(float(forward.x) * back));
        curveEndY = static_cast<int32_t>(int64_t(positionY) - Round(float(forward.y) * back));
        curveStartX = positionX;
        curveStartY = positionY;
    } else {
        endDirection[0] = Round(-FloatSin(curveEndHeading) * FixOne);
        endDirection[1] = Round(FloatCos(curveEndHeading) * FixOne);
        const float back = float(curveRow) * rowSpacing;
        curveStartX = static_cast<int32_t>(int64_t(positionX) - Round(float(forward.x) * back));
        curveStartY = static_cast<int32_t>(int64_t(positionY) - Round(float(forward.y) * back));
    }
    const float dx = float(int64_t(curveStartX) - curveEndX);
    const float dy = float(int64_t(curveStartY) - curveEndY);
    curveLength = Round(std::sqrt(dx * dx + dy * dy));
    HermiteCoefficients(curveEndX, curveStartX, FixMul(endDirection[0], curveLength),
                        FixMul(forward.x, curveLength), curveX);
    HermiteCoefficients(curveEndY, curveStartY, FixMul(endDirection[1], curveLength),
                        FixMul(forward.y, curveLength), curveY);
}

void StartGridObject::GetSlotPosition(int n, FixVector &position, float &slotHeading) const
{
    if (columns == 0 || n < 0) {
        position = {0, 0, 0};
        slotHeading = 0.0f;
        return;
    }
    const int32_t z = Round(height * FixOne);
    const int row = n / columns;
    const int column = n % columns;
    float lateral = 0.0f;
    if (columns > 1) {
        const float share = float(column) / float(columns - 1);
        lateral = (flags & 1) ? (0.5f - share) * width : (share - 0.5f) * width;
    }

    const float lengthMetres = float(curveLength) / FixOne;
    // A curve of no length cannot place slots along it: the straight rule.
    if (!(flags & 2) || row < curveRow || curveLength == 0) {
        const float along = -(float(row) * rowSpacing) - float(column) * columnStagger;
        position.x = static_cast<int32_t>(int64_t(positionX) + Round(float(forward.x) * along) +
                                          Round(float(forward.y) * lateral));
        position.y = static_cast<int32_t>(int64_t(positionY) + Round(float(forward.y) * along) -
                                          Round(float(forward.x) * lateral));
        position.z = z;
        slotHeading = heading;
        return;
    }
    const float distance = float(row - curveRow) * rowSpacing + float(column) * columnStagger;
    // Slots lie on the curve or a little beyond its end; t is held within 16
    // curve lengths so that the 64-bit products cannot overflow.
    int64_t t = Round((lengthMetres - distance) / lengthMetres * FixOne);
    t = t < -MaxCurveT ? -MaxCurveT : t > MaxCurveT ? MaxCurveT : t;
    const int64_t t2 = (t * t) >> 16;
    const int64_t t3 = (t2 * t) >> 16;
    const int32_t x = CubicValue(curveX, t, t2, t3);
    const int32_t y = CubicValue(curveY, t, t2, t3);
    const float h = FloatAtan2(-float(CubicSlope(curveX, t, t2)), float(CubicSlope(curveY, t, t2)));
    position.x = static_cast<int32_t>(int64_t(x) + Round(FloatCos(h) * lateral * FixOne));
    position.y = static_cast<int32_t>(int64_t(y) + Round(FloatSin(h) * lateral * FixOne));
    position.z = z;
    slotHeading = h;
}

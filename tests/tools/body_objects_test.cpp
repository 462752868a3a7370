#include "tools/body_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/car_table.h"
#include "core/text_utils.h"
#include "render/object_file.h"

namespace {

constexpr const char *RunFolder = "body_objects_run";

std::string BodyPath(int index)
{
    return std::string(RunFolder) + "/data/veh/" + BodyCodes[index] + ".vob";
}

// Each body as the program reads it from the generated data folder.
class BodyObjectsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        writeError = WriteBodyObjects(RunFolder);
        for (int i = 0; i < BodyCodeCount; ++i) {
            InitObject3D(&bodies[i]);
            loaded[i] = writeError == nullptr &&
                        ReadObjectFile(&bodies[i], nullptr, BodyPath(i).c_str(), 0, nullptr) == 1;
        }
    }
    static void TearDownTestSuite()
    {
        for (Object3D &body : bodies) {
            FreeObject3D(&body);
        }
    }
    void SetUp() override
    {
        ASSERT_EQ(writeError, nullptr) << writeError;
        for (int i = 0; i < BodyCodeCount; ++i) {
            ASSERT_TRUE(loaded[i]) << BodyCodes[i];
        }
    }

    static const char *writeError;
    static Object3D bodies[BodyCodeCount];
    static bool loaded[BodyCodeCount];
};

const char *BodyObjectsTest::writeError = nullptr;
Object3D BodyObjectsTest::bodies[BodyCodeCount];
bool BodyObjectsTest::loaded[BodyCodeCount];

struct Corner {
    int point;
    int side;  // 1: the mirrored twin
    bool operator<(const Corner &o) const { return std::tie(point, side) < std::tie(o.point, o.side); }
    bool operator==(const Corner &o) const { return point == o.point && side == o.side; }
};

// The triangles of one level as built: mirrored triangles twice (the twin
// with opposite winding), corners resolved to a point and a side.
std::vector<std::array<Corner, 3>> BuiltTriangles(const Object3D &o, int level)
{
    auto corner = [&](uint16_t c, int flip) {
        const int point = c & CornerIndexMask;
        const int side = ((c & CornerTwin) ? 1 : 0) ^ flip;
        return Corner{point, IsMirroredPoint(o.points[point]) ? side : 0};
    };
    std::vector<std::array<Corner, 3>> out;
    for (int i = 0; i < o.triangleCount; ++i) {
        const ObjectTriangle &t = o.triangles[i];
        if (t.lod != level) {
            continue;
        }
        out.push_back({corner(t.corners[0], 0), corner(t.corners[1], 0), corner(t.corners[2], 0)});
        if (t.flags & TriangleMirrored) {
            out.push_back({corner(t.corners[0], 1), corner(t.corners[2], 1), corner(t.corners[1], 1)});
        }
    }
    return out;
}

void Position(const Object3D &o, const Corner &c, double out[3])
{
    const ObjectPoint &p = o.points[c.point];
    out[0] = (c.side ? -p.x : p.x) / 65536.0;
    out[1] = p.y / 65536.0;
    out[2] = p.z / 65536.0;
}

struct Extent {
    double min[3] = {1e9, 1e9, 1e9};
    double max[3] = {-1e9, -1e9, -1e9};
    double Size(int axis) const { return max[axis] - min[axis]; }
};

Extent LevelExtent(const Object3D &o, int level)
{
    Extent e;
    for (const auto &triangle : BuiltTriangles(o, level)) {
        for (const Corner &c : triangle) {
            double p[3];
            Position(o, c, p);
            for (int a = 0; a < 3; ++a) {
                e.min[a] = std::min(e.min[a], p[a]);
                e.max[a] = std::max(e.max[a], p[a]);
            }
        }
    }
    return e;
}

bool HasMaterial(const Object3D &o, const char *name)
{
    for (uint32_t i = 0; i < o.materialCount; ++i) {
        if (EqualsNoCase(o.materials[i].name, name)) {
            return true;
        }
    }
    return false;
}

TEST_F(BodyObjectsTest, FilesHoldExactlyWhatWasBuilt)
{
    for (int i = 0; i < BodyCodeCount; ++i) {
        Object3D built;
        ASSERT_EQ(BuildBodyObject(i, &built), 1);
        const Object3D &read = bodies[i];
        EXPECT_STREQ(read.name, BodyCodes[i]);
        ASSERT_EQ(read.pointCount, built.pointCount) << BodyCodes[i];
        ASSERT_EQ(read.triangleCount, built.triangleCount) << BodyCodes[i];
        for (int p = 0; p < built.pointCount; ++p) {
            const ObjectPoint &a = read.points[p];
            const ObjectPoint &b = built.points[p];
            ASSERT_TRUE(a.flags == b.flags && a.x == b.x && a.y == b.y && a.z == b.z) << BodyCodes[i] << " " << p;
        }
        EXPECT_EQ(std::memcmp(read.triangles, built.triangles, sizeof(ObjectTriangle) * built.triangleCount), 0);
        ASSERT_EQ(read.materialCount, built.materialCount);
        for (uint32_t m = 0; m < built.materialCount; ++m) {
            EXPECT_STREQ(read.materials[m].name, built.materials[m].name);
            EXPECT_EQ(read.materials[m].texture, built.materials[m].texture);
        }
        ASSERT_EQ(read.mappingCount, built.mappingCount);
        EXPECT_EQ(std::memcmp(read.mappings, built.mappings, sizeof(ObjectMapping) * built.mappingCount), 0);
        ASSERT_EQ(read.surfaces.height, built.surfaces.height);
        EXPECT_EQ(std::memcmp(read.surfaces.cells, built.surfaces.cells, 16u * built.surfaces.height), 0);
        FreeObject3D(&built);
    }
    Object3D none;
    EXPECT_EQ(BuildBodyObject(BodyCodeCount, &none), 0);
}

// Every level is a set of closed surfaces wound outward: each edge is met
// once in each direction, and the enclosed volume is positive.
TEST_F(BodyObjectsTest, LevelsAreClosedAndWoundOutward)
{
    for (int i = 0; i < BodyCodeCount; ++i) {
        const Object3D &o = bodies[i];
        ASSERT_EQ(o.lodCount, 2);
        for (int level = 0; level < o.lodCount; ++level) {
            const auto triangles = BuiltTriangles(o, level);
            ASSERT_FALSE(triangles.empty());
            std::map<std::pair<Corner, Corner>, int> edges;
            double volume = 0.0;
            for (const auto &t : triangles) {
                for (int k = 0; k < 3; ++k) {
                    ++edges[{t[k], t[(k + 1) % 3]}];
                }
                double a[3], b[3], c[3];
                Position(o, t[0], a);
                Position(o, t[1], b);
                Position(o, t[2], c);
                volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                           a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
            }
            int open = 0;
            for (const auto &[edge, count] : edges) {
                const auto back = edges.find({edge.second, edge.first});
                if (count != 1 || back == edges.end() || back->second != 1) {
                    ++open;
                }
            }
            EXPECT_EQ(open, 0) << BodyCodes[i] << " level " << level;
            const Extent e = LevelExtent(o, level);
            EXPECT_GT(volume, 0.05 * e.Size(0) * e.Size(1) * e.Size(2)) << BodyCodes[i] << " level " << level;
        }
    }
}

TEST_F(BodyObjectsTest, SizesFitEachKindAndDiffer)
{
    // Length and height over everything drawn; width over the hull (no
    // mirrors, wings or hoops).
    struct Range {
        double low, high;
    };
    const struct {
        const char *code;
        Range length, width, height;
    } kinds[] = {
        {"ZH", {3.5, 4.1}, {1.55, 1.80}, {1.30, 1.50}},  // hatch
        {"KT", {3.5, 4.1}, {1.55, 1.80}, {1.30, 1.50}},  // hatch
        {"VX", {4.1, 4.9}, {1.65, 1.95}, {1.20, 1.40}},  // coupe
        {"MR", {4.1, 4.9}, {1.65, 1.95}, {1.20, 1.40}},  // coupe
        {"FN", {3.5, 4.1}, {1.55, 1.80}, {1.30, 1.50}},  // hatch
        {"OR", {3.5, 4.2}, {1.55, 1.80}, {1.00, 1.20}},  // open two-seater
        {"QB", {3.0, 3.6}, {1.00, 1.50}, {1.40, 1.70}},  // buggy under a cage
        {"BV", {4.1, 4.9}, {1.65, 1.95}, {1.20, 1.40}},  // coupe
        {"LS", {3.5, 4.2}, {1.55, 1.80}, {1.00, 1.20}},  // open two-seater
        {"FM", {4.2, 5.0}, {0.60, 1.00}, {0.85, 1.05}},  // formula car
        {"BP", {4.4, 4.9}, {1.80, 2.00}, {0.95, 1.15}},  // prototype
        {"GT", {4.4, 4.8}, {1.85, 2.05}, {1.15, 1.35}},  // GT racer
        {"SR", {3.6, 4.2}, {0.50, 0.90}, {0.85, 1.05}},  // single-seater
    };
    std::set<std::tuple<int, int, int>> seen;
    for (int i = 0; i < BodyCodeCount; ++i) {
        ASSERT_STREQ(kinds[i].code, BodyCodes[i]);
        const Extent detail = LevelExtent(bodies[i], 0);
        const Extent hull = LevelExtent(bodies[i], 1);
        const double length = detail.Size(1), width = hull.Size(0), height = detail.max[2];
        EXPECT_TRUE(length >= kinds[i].length.low && length <= kinds[i].length.high) << BodyCodes[i] << " " << length;
        EXPECT_TRUE(width >= kinds[i].width.low && width <= kinds[i].width.high) << BodyCodes[i] << " " << width;
        EXPECT_TRUE(height >= kinds[i].height.low && height <= kinds[i].height.high) << BodyCodes[i] << " " << height;
        // The origin lies between the axles on the ground: the body reaches
        // both ways along y and never below the ground.
        EXPECT_LT(detail.min[1], -1.0);
        EXPECT_GT(detail.max[1], 1.0);
        EXPECT_GE(detail.min[2], 0.0);
        EXPECT_NEAR(detail.min[0], -detail.max[0], 1e-6);
        seen.insert({static_cast<int>(length * 100), static_cast<int>(detail.Size(0) * 100),
                     static_cast<int>(height * 100)});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(BodyCodeCount));
}

// What the car loader looks for: a coarsest level within the collision-hull
// limits, the part name, the paint materials with the car's skin, the lamp
// groups and the plates.
TEST_F(BodyObjectsTest, CarriesWhatTheCarLoaderLooksFor)
{
    for (int i = 0; i < BodyCodeCount; ++i) {
        const Object3D &o = bodies[i];
        const std::string code = BodyCodes[i];
        std::set<Corner> points;
        const auto hull = BuiltTriangles(o, o.lodCount - 1);
        for (const auto &t : hull) {
            points.insert(t.begin(), t.end());
        }
        EXPECT_LE(points.size(), 24u) << code;
        EXPECT_LE(hull.size(), 42u) << code;
        EXPECT_STREQ(o.partNames[0], "main");

        EXPECT_TRUE(HasMaterial(o, "bodyC1")) << code;
        bool skin = false;
        for (uint32_t t = 0; t < o.textureCount; ++t) {
            skin |= (o.textures[t].flags & TextureCarSpecific) != 0;
        }
        EXPECT_TRUE(skin) << code;

        const bool road = code != "QB" && code != "FM" && code != "SR" && code != "BP" && code != "GT";
        const bool singleSeater = code == "FM" || code == "SR";
        EXPECT_EQ(HasMaterial(o, "l_head"), !singleSeater) << code;
        EXPECT_EQ(HasMaterial(o, "l_brk"), !singleSeater) << code;
        EXPECT_EQ(HasMaterial(o, "l_rind"), road) << code;
        EXPECT_EQ(HasMaterial(o, "l_rev"), road) << code;
        EXPECT_EQ(HasMaterial(o, "l_rfog"), !road && code != "QB") << code;
        EXPECT_EQ(HasMaterial(o, "plate"), road) << code;
        for (uint32_t m = 0; m < o.materialCount; ++m) {
            if (std::strcmp(o.materials[m].name, "plate") == 0) {
                EXPECT_STREQ(o.textures[o.materials[m].texture].name, "s_plate");
            }
        }
    }
}

}  // namespace

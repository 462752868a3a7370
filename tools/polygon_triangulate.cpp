#include "tools/polygon_triangulate.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this, twice a triangle's area counts as zero (glyph units squared).
constexpr double AreaEpsilon = 1e-12;

struct Vec {
    double x;
    double y;
};

Vec At(const std::vector<OutlinePoint> &points, int index)
{
    return {points[index].x, points[index].y};
}

// Twice the signed area of triangle o, a, b (positive when counter-clockwise).
double Cross(Vec o, Vec a, Vec b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool SamePlace(Vec a, Vec b)
{
    return a.x == b.x && a.y == b.y;
}

// Even-odd test of a point against a closed contour.
bool InsideContour(const std::vector<OutlinePoint> &points, const std::vector<int> &contour, Vec p)
{
    bool inside = false;
    const size_t n = contour.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const Vec a = At(points, contour[i]);
        const Vec b = At(points, contour[j]);
        if ((a.y > p.y) != (b.y > p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

// True when most of the hole's corners lie inside the contour; a hole may
// touch its outer contour at a corner or two.
bool ContainsContour(const std::vector<OutlinePoint> &points, const std::vector<int> &outer,
                     const std::vector<int> &hole)
{
    size_t inside = 0;
    for (const int index : hole) {
        inside += InsideContour(points, outer, At(points, index)) ? 1 : 0;
    }
    return inside * 2 > hole.size();
}

// Segments a-b and c-d cross at a point inside both (touching does not count).
bool SegmentsCross(Vec a, Vec b, Vec c, Vec d)
{
    const double o1 = Cross(a, b, c);
    const double o2 = Cross(a, b, d);
    const double o3 = Cross(c, d, a);
    const double o4 = Cross(c, d, b);
    return ((o1 > 0.0 && o2 < 0.0) || (o1 < 0.0 && o2 > 0.0))
        && ((o3 > 0.0 && o4 < 0.0) || (o3 < 0.0 && o4 > 0.0));
}

// True when segment m-v crosses an edge of the closed index ring, ignoring
// edges that end at m or v.
bool CrossesRing(const std::vector<OutlinePoint> &points, const std::vector<int> &ring, Vec m, Vec v)
{
    const size_t n = ring.size();
    for (size_t i = 0; i < n; ++i) {
        const Vec a = At(points, ring[i]);
        const Vec b = At(points, ring[(i + 1) % n]);
        if (SamePlace(a, m) || SamePlace(a, v) || SamePlace(b, m) || SamePlace(b, v)) {
            continue;
        }
        if (SegmentsCross(m, v, a, b)) {
            return true;
        }
    }
    return false;
}

// Whether direction v -> m leaves the polygon's corner at position i into its
// inside (the polygon runs counter-clockwise).
bool InsideCorner(const std::vector<OutlinePoint> &points, const std::vector<int> &polygon, size_t i, Vec m)
{
    const size_t n = polygon.size();
    const Vec a = At(points, polygon[(i + n - 1) % n]);
    const Vec v = At(points, polygon[i]);
    const Vec b = At(points, polygon[(i + 1) % n]);
    const bool leftOfIncoming = Cross(a, v, m) > 0.0;
    const bool leftOfOutgoing = Cross(v, b, m) > 0.0;
    if (Cross(a, v, b) > 0.0) {
        return leftOfIncoming && leftOfOutgoing;
    }
    return leftOfIncoming || leftOfOutgoing;
}

// Joins a hole into the polygon through its rightmost corner and the nearest
// polygon corner that it sees, walking in along the bridge, round the hole
// and back out.
void BridgeHole(const std::vector<OutlinePoint> &points, std::vector<int> *polygon, const std::vector<int> &hole,
                const std::vector<const std::vector<int> *> &pendingHoles)
{
    size_t mHole = 0;
    for (size_t i = 1; i < hole.size(); ++i) {
        const Vec p = At(points, hole[i]);
        const Vec best = At(points, hole[mHole]);
        if (p.x > best.x || (p.x == best.x && p.y < best.y)) {
            mHole = i;
        }
    }
    const Vec m = At(points, hole[mHole]);

    std::vector<size_t> order(polygon->size());
    std::vector<double> distance(polygon->size());
    for (size_t i = 0; i < polygon->size(); ++i) {
        const Vec v = At(points, (*polygon)[i]);
        order[i] = i;
        distance[i] = (v.x - m.x) * (v.x - m.x) + (v.y - m.y) * (v.y - m.y);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return distance[a] < distance[b]; });

    size_t chosen = order.front();
    for (const size_t i : order) {
        const Vec v = At(points, (*polygon)[i]);
        if (SamePlace(v, m)) {
            chosen = i;
            break;
        }
        if (!InsideCorner(points, *polygon, i, m) || CrossesRing(points, *polygon, m, v)
            || CrossesRing(points, hole, m, v)) {
            continue;
        }
        bool blocked = false;
        for (const std::vector<int> *other : pendingHoles) {
            if (CrossesRing(points, *other, m, v)) {
                blocked = true;
                break;
            }
        }
        if (!blocked) {
            chosen = i;
            break;
        }
    }

    std::vector<int> joined;
    joined.reserve(polygon->size() + hole.size() + 2);
    joined.insert(joined.end(), polygon->begin(), polygon->begin() + static_cast<long>(chosen) + 1);
    for (size_t k = 0; k <= hole.size(); ++k) {
        joined.push_back(hole[(mHole + k) % hole.size()]);
    }
    joined.push_back((*polygon)[chosen]);
    joined.insert(joined.end(), polygon->begin() + static_cast<long>(chosen) + 1, polygon->end());
    polygon->swap(joined);
}

// p inside or on the edges of counter-clockwise triangle a, b, c.
bool InTriangle(Vec a, Vec b, Vec c, Vec p)
{
    return Cross(a, b, p) >= 0.0 && Cross(b, c, p) >= 0.0 && Cross(c, a, p) >= 0.0;
}

// Ear clipping of a weakly simple counter-clockwise polygon (bridges make
// corners repeat).
void ClipEars(const std::vector<OutlinePoint> &points, const std::vector<int> &polygon,
              std::vector<TriangleCorners> *triangles)
{
    const int n = static_cast<int>(polygon.size());
    if (n < 3) {
        return;
    }
    std::vector<int> prev(n);
    std::vector<int> next(n);
    for (int i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    auto vertex = [&](int node) { return At(points, polygon[node]); };
    auto remove = [&](int node) {
        next[prev[node]] = next[node];
        prev[next[node]] = prev[node];
    };
    auto emit = [&](int a, int b, int c) {
        if (Cross(vertex(a), vertex(b), vertex(c)) > AreaEpsilon) {
            triangles->push_back({polygon[a], polygon[b], polygon[c]});
        }
    };
    auto isEar = [&](int node) {
        const Vec a = vertex(prev[node]);
        const Vec b = vertex(node);
        const Vec c = vertex(next[node]);
        if (Cross(a, b, c) <= AreaEpsilon) {
            return false;
        }
        for (int p = next[next[node]]; p != prev[node]; p = next[p]) {
            const Vec v = vertex(p);
            if (SamePlace(v, a) || SamePlace(v, b) || SamePlace(v, c)) {
                continue;
            }
            if (InTriangle(a, b, c, v)) {
                return false;
            }
        }
        return true;
    };

    int remaining = n;
    int node = 0;
    int misses = 0;
    while (remaining > 3) {
        const int before = prev[node];
        const int after = next[node];
        // A corner on a straight line (or a zero-width spike) adds no area.
        if (std::fabs(Cross(vertex(before), vertex(node), vertex(after))) <= AreaEpsilon
            || isEar(node)) {
            emit(before, node, after);
            remove(node);
            --remaining;
            node = after;
            misses = 0;
            continue;
        }
        node = after;
        if (++misses < remaining) {
            continue;
        }
        // A whole round without an ear: rounding has made the polygon touch
        // itself. Clip the first convex corner regardless, or any corner, so
        // the loop always ends.
        int pick = node;
        for (int k = 0; k < remaining; ++k, pick = next[pick]) {
            if (Cross(vertex(prev[pick]), vertex(pick), vertex(next[pick])) > AreaEpsilon) {
                break;
            }
        }
        emit(prev[pick], pick, next[pick]);
        node = next[pick];
        remove(pick);
        --remaining;
        misses = 0;
    }
    emit(prev[node], node, next[node]);
}

} // namespace

double ContourDoubleArea(const std::vector<OutlinePoint> &points, const std::vector<int> &contour)
{
    double sum = 0.0;
    const size_t n = contour.size();
    for (size_t i = 0; i < n; ++i) {
        const Vec a = At(points, contour[i]);
        const Vec b = At(points, contour[(i + 1) % n]);
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

void TriangulateContours(const std::vector<OutlinePoint> &points, const std::vector<std::vector<int>> &contours,
                         std::vector<TriangleCorners> *triangles)
{
    triangles->clear();
    std::vector<size_t> outers;
    std::vector<size_t> holes;
    std::vector<double> areas(contours.size());
    for (size_t i = 0; i < contours.size(); ++i) {
        if (contours[i].size() < 3) {
            continue;
        }
        areas[i] = ContourDoubleArea(points, contours[i]);
        if (areas[i] > 0.0) {
            outers.push_back(i);
        } else if (areas[i] < 0.0) {
            holes.push_back(i);
        }
    }

    // Each hole belongs to the smallest outer contour around it.
    std::vector<std::vector<size_t>> holesOf(contours.size());
    for (const size_t h : holes) {
        size_t owner = contours.size();
        for (const size_t o : outers) {
            if ((owner == contours.size() || areas[o] < areas[owner]) && ContainsContour(points, contours[o], contours[h])) {
                owner = o;
            }
        }
        if (owner != contours.size()) {
            holesOf[owner].push_back(h);
        }
    }

    for (const size_t o : outers) {
        std::vector<size_t> &mine = holesOf[o];
        // Rightmost holes first, so that each bridge runs to the right into
        // polygon that no later bridge needs to cross.
        auto rightmost = [&](size_t h) {
            float x = points[contours[h][0]].x;
            for (const int index : contours[h]) {
                x = std::max(x, points[index].x);
            }
            return x;
        };
        std::stable_sort(mine.begin(), mine.end(), [&](size_t a, size_t b) { return rightmost(a) > rightmost(b); });
        std::vector<int> polygon = contours[o];
        for (size_t k = 0; k < mine.size(); ++k) {
            std::vector<const std::vector<int> *> pending;
            for (size_t j = k + 1; j < mine.size(); ++j) {
                pending.push_back(&contours[mine[j]]);
            }
            BridgeHole(points, &polygon, contours[mine[k]], pending);
        }
        ClipEars(points, polygon, triangles);
    }
}

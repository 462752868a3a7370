#include "world/tree_object.h"

#include <cmath>

#include "core/data_stream.h"
#include "core/shell_globals.h"
#include "world/scenery_maths.h"
#include "world/sphere_grid.h"

namespace {

constexpr float FixOne = 65536.0f;
// The second branch of a pair draws again while it lies next to the first;
// with a spread of 0 or 1 it may never get away, so the redraws are bounded
// and the last draw is kept.
constexpr int MaxPairRedraws = 32;

uint32_t NextTreeRandom(uint32_t &g)
{
    g = (g * 5 + 1) & 65535u;
    return g;
}

bool IsPowerOfTwo(uint32_t n)
{
    return n != 0 && (n & (n - 1)) == 0;
}

int GridIndex(int ring, int column)
{
    return ring * SphereGridColumns + column;
}

// A grid direction (16.16) times a length in metres, as a 16.16 offset.
FixVector Along(const FixVector &point, float length)
{
    return {RoundToFix(static_cast<float>(point.x) * length), RoundToFix(static_cast<float>(point.y) * length),
            RoundToFix(static_cast<float>(point.z) * length)};
}

FixVector Add(const FixVector &a, const FixVector &b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

float Distance(const FixVector &a, const FixVector &b)
{
    const float dx = static_cast<float>(int64_t(a.x) - b.x);
    const float dy = static_cast<float>(int64_t(a.y) - b.y);
    const float dz = static_cast<float>(int64_t(a.z) - b.z);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace

TreeObject::TreeObject(int32_t x, int32_t y)
{
    positionX = x;
    positionY = y;
    seed = StepFrameRandom() & 63u;
}

int TreeObject::Read(DataStream *stream, int)
{
    leafTexture = stream->ReadU32();
    leafRing = stream->ReadU32();
    trunkLength = stream->ReadFloat();
    trunkRadius = stream->ReadFloat();
    lengthFactor = stream->ReadFloat();
    spread = stream->ReadU32();
    seed = stream->ReadU32();
    leafCount = stream->ReadU32();
    leafSize = stream->ReadFloat();
    leafHeight = stream->ReadFloat();
    baseHeight = stream->ReadFloat();
    unused = stream->ReadU32();
    flags = stream->ReadU32();
    stream->ReadBytes(&trunkColour, 4);
    stream->ReadBytes(&leafColour, 4);
    if (stream->overrun) {
        return 1;
    }
    // The generator's node scratch holds 2 x 256 nodes, and the depth comes
    // from halving the count down to 1.
    return IsPowerOfTwo(leafCount) && leafCount <= MaxTreeLeaves ? 0 : 1;
}

void TreeObject::Prepare()
{
    stateFlags |= 4;
    minX = maxX = positionX;
    minY = maxY = positionY;
    depth = 0;
    for (uint32_t n = leafCount; n > 1 && depth < 31; n >>= 1) {
        ++depth;
    }
    if (reachRadius != 0) {
        // The trunk becomes a collision post; the byte holds at most 255.
        const int32_t reach = RoundToFix(trunkRadius * 100.0f);
        reachRadius = static_cast<uint8_t>(reach < 0 ? 0 : (reach > 255 ? 255 : reach));
    }
    BuildNodes(0);
    BuildNodes(1);
}

int TreeObject::GenerateNodes(const FixVector &base, const FixVector *gridPoints, TreeNode *nodes) const
{
    nodes[0].position = Add(base, Along(gridPoints[GridIndex(0, 0)], trunkLength));
    nodes[0].ring = 0;
    nodes[0].column = 0;
    if (!IsPowerOfTwo(leafCount) || leafCount > MaxTreeLeaves) {
        return 1;
    }
    const int s = static_cast<int>(spread < MaxTreeSpread ? spread : MaxTreeSpread);
    const uint32_t choices = static_cast<uint32_t>(2 * s + 1);
    uint32_t g = seed & 65535u;
    float levelLength = trunkLength * lengthFactor;
    int levelSize = 2;
    int count = 1;
    while (count < static_cast<int>(2 * leafCount - 1)) {
        if (levelSize > 2) {
            levelLength = levelLength * lengthFactor;
        }
        const int levelStart = levelSize - 1;
        for (int j = 0; j < levelSize; ++j) {
            const TreeNode &parent = nodes[levelStart - levelSize / 2 + j / 2];
            float length = levelLength;
            if (flags & TreeRandomLengths) {
                length = static_cast<float>((NextTreeRandom(g) & 7) + 7) * levelLength / 14.0f;
            }
            int ring = 0;
            int column = 0;
            for (int attempt = 0; attempt <= MaxPairRedraws; ++attempt) {
                column = parent.column + static_cast<int>(NextTreeRandom(g) % choices) - s;
                column = ((column % SphereGridColumns) + SphereGridColumns) % SphereGridColumns;
                ring = parent.ring + static_cast<int>(NextTreeRandom(g) % choices) - s;
                if (ring < 0 || ring > 15) {
                    ring = ring < 0 ? -ring : 31 - ring;
                    column = (column + 12) % SphereGridColumns;
                }
                if (j % 2 == 0) {
                    break;
                }
                const TreeNode &first = nodes[levelStart + j - 1];
                const int ringGap = ring - first.ring;
                const int columnGap = (column - first.column + SphereGridColumns) % SphereGridColumns;
                const bool nextToFirst = ringGap >= -1 && ringGap <= 1 &&
                                         (columnGap <= 1 || columnGap == SphereGridColumns - 1);
                if (!nextToFirst) {
                    break;
                }
            }
            TreeNode &node = nodes[levelStart + j];
            node.position = Add(parent.position, Along(gridPoints[GridIndex(ring, column)], length));
            node.ring = static_cast<uint8_t>(ring);
            node.column = static_cast<uint8_t>(column);
        }
        count += levelSize;
        levelSize *= 2;
    }
    return count;
}

void TreeObject::BuildNodes(int mode)
{
    FixVector points[SphereGridEntries];
    for (int i = 0; i < SphereGridEntries; ++i) {
        points[i] = TreeSphereGrid.entries[i].current;
    }
    const FixVector base = {positionX, positionY, RoundToFix(baseHeight * FixOne)};
    const FixVector centre = {centreX, centreY, centreZ};
    float farthest = 0.0f;
    if (mode == 1) {
        farthest = Distance(centre, base);
    }

    TreeNode nodes[MaxTreeNodes];
    const int count = GenerateNodes(base, points, nodes);
    // The leaves are the last level, from node leafCount - 1 (none for a
    // refused count, where only the trunk top was generated).
    const bool grown = IsPowerOfTwo(leafCount) && leafCount <= MaxTreeLeaves;
    const int firstLeaf = grown ? static_cast<int>(leafCount) - 1 : count;
    const float halfCard = leafSize * FixOne / 2.0f;
    const float cardHeight = leafHeight * FixOne / 2.0f;
    const float cardRadius = std::sqrt(cardHeight * cardHeight + halfCard * halfCard);
    const int cardRing = static_cast<int>(leafRing < 15 ? leafRing : 15);
    float low[3] = {};
    float high[3] = {};
    for (int i = firstLeaf; i < count; ++i) {
        const int ring = (flags & TreeLeafRing) ? cardRing : nodes[i].ring;
        const FixVector &point = points[GridIndex(ring, nodes[i].column)];
        const FixVector card = Add(nodes[i].position, Along(point, halfCard / FixOne));
        if (mode == 0) {
            const float c[3] = {static_cast<float>(card.x), static_cast<float>(card.y), static_cast<float>(card.z)};
            for (int k = 0; k < 3; ++k) {
                if (i == firstLeaf || c[k] - cardRadius < low[k]) {
                    low[k] = c[k] - cardRadius;
                }
                if (i == firstLeaf || c[k] + cardRadius > high[k]) {
                    high[k] = c[k] + cardRadius;
                }
            }
        } else {
            const float reach = Distance(card, centre) + cardRadius;
            if (reach > farthest) {
                farthest = reach;
            }
        }
    }
    if (mode == 0) {
        if (firstLeaf >= count) {
            centreX = nodes[0].position.x;
            centreY = nodes[0].position.y;
            centreZ = nodes[0].position.z;
            return;
        }
        centreX = RoundToFix((low[0] + high[0]) / 2.0f);
        centreY = RoundToFix((low[1] + high[1]) / 2.0f);
        centreZ = RoundToFix((low[2] + high[2]) / 2.0f);
    } else {
        radius = RoundToFix(farthest);
    }
}

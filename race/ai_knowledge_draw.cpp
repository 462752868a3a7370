#include "race/ai_knowledge.h"

#include <cmath>

#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "vehicle/fix_convert.h"

namespace {

constexpr float RibbonHalfWidth = 0.25f;            // metres to each side of the line
constexpr float PointsPerCurvatureMetre = 33.333336f;

// Red towards full braking, green towards full throttle, yellow coasting;
// always a little transparent.
uint32_t RibbonColour(const KnowledgeNode &n)
{
    if (n.brakeLevel > 0) {
        return 0x60FF0000u + (255u - n.brakeLevel) * 256u;
    }
    if (n.throttleLevel > 0) {
        return 0x6000FF00u + (255u - n.throttleLevel) * 65536u;
    }
    return 0x60FFFF00u;
}

struct RibbonPair {
    uint16_t left = NoBatchVertex;
    uint16_t right = NoBatchVertex;
};

// The ribbon's two edges at a line point, across the line in the surface.
RibbonPair DrawKnowledgeRibbonPoint(const KnowledgeNode &n)
{
    const float across[3] = {n.dir[1] * n.normal[2] - n.dir[2] * n.normal[1],
                             n.dir[2] * n.normal[0] - n.dir[0] * n.normal[2],
                             n.dir[0] * n.normal[1] - n.dir[1] * n.normal[0]};
    const float x = FixToMetres(n.linePoint[0]);
    const float y = FixToMetres(n.linePoint[1]);
    const float z = FixToMetres(n.linePoint[2]);
    const uint32_t colour = RibbonColour(n);
    RibbonPair pair;
    pair.left = AddWorldVertex(x - across[0] * RibbonHalfWidth, y - across[1] * RibbonHalfWidth,
                               z - across[2] * RibbonHalfWidth, 0.0f, 0.0f, colour);
    pair.right = AddWorldVertex(x + across[0] * RibbonHalfWidth, y + across[1] * RibbonHalfWidth,
                                z + across[2] * RibbonHalfWidth, 0.0f, 0.0f, colour);
    return pair;
}

void JoinRibbon(const RibbonPair &previous, const RibbonPair &next)
{
    AddWorldQuad(previous.left, previous.right, next.right, next.left);
}

}  // namespace

void DrawAiKnowledge(const AiKnowledge &knowledge, int first, int last)
{
    const int count = static_cast<int>(knowledge.nodeCount);
    if (RenderDevice.Device == nullptr || knowledge.nodes == nullptr || first < 0 || last < 0 || first >= count ||
        last >= count || first == last) {
        return;
    }
    // From first forwards to last, wrapping past the table's end.
    const int pairs = last > first ? last - first : last + count - first;
    BeginWorldBatch(nullptr, 0, 0);
    RibbonPair previous = DrawKnowledgeRibbonPoint(knowledge.nodes[first]);
    for (int step = 0; step < pairs; ++step) {
        const KnowledgeNode &a = knowledge.nodes[(first + step) % count];
        const KnowledgeNode &b = knowledge.nodes[(first + step + 1) % count];
        int points = RoundToInt((std::abs(a.curvature) + std::abs(b.curvature)) * a.distance * 0.5f *
                                PointsPerCurvatureMetre);
        // Damaged figures (not a number) give no extra points; nothing asks
        // for more than the batch holds.
        if (points < 0) {
            points = 0;
        } else if (points > BatchVertexCapacity) {
            points = BatchVertexCapacity;
        }
        for (int k = 1; k <= points; ++k) {
            KnowledgeNode between;
            AiKnowledge::InterpolateNodes(between, a, b, static_cast<float>(k) / static_cast<float>(points + 1), 1);
            const RibbonPair next = DrawKnowledgeRibbonPoint(between);
            JoinRibbon(previous, next);
            previous = next;
        }
        const RibbonPair next = DrawKnowledgeRibbonPoint(b);
        JoinRibbon(previous, next);
        previous = next;
    }
    FlushWorldBatch();
}

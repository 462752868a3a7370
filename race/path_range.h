#pragma once

#include <cstdint>

struct KnowledgeNode;
struct KnowledgeRange;
struct Path;
struct PathNode;

// Ranges of the AI line: a cubic in the horizontal plane from a range's
// start node to its end node (forwards, wrapping at the path's node count),
// evaluated in 16.16 at every node in between. The k-th node after the
// start sits at s = k x 65536 / length.

// (endNode - startNode + node count) modulo the node count.
int PathRangeLength(const KnowledgeRange &range, const Path &path);

// The range's spline point at its k-th node (16.16 x and y).
void EvaluateRangePoint(const KnowledgeRange &range, int length, int k, int32_t out[2]);

// A racing-line range from node a to node b at lateral offsets oa and ob
// (each kept 1 m + half width inside the node's limits). The end directions
// are the knowledge nodes' when given, else the path's.
void BuildPathRange(KnowledgeRange *range, const Path &path, const KnowledgeNode *nodes, int start, int end,
                    float startOffset, float endOffset, float halfWidth);
// A range between two given points (16.16) with unit directions d0 and d1
// and tangent lengths s0 and s1 (16.16 metres per node).
void BuildRangeFromPoints(KnowledgeRange *range, const Path &path, int start, int end, const int32_t p0[2],
                          const int32_t p1[2], const float d0[2], const float d1[2], int32_t s0, int32_t s1);
// Each interior node's lateral offset from the spline.
void FillRangeOffsets(const KnowledgeRange &range, const Path &path, KnowledgeNode *nodes);
// Each interior node's line point from the spline (z 0); nodes[0] is the
// range's first interior node.
void FillRangePoints(const KnowledgeRange &range, const Path &path, KnowledgeNode *nodes);
// 0 when the range is drivable for a car of half width w: its wheel tracks
// stay on the allowed surface and within the outer limits, it changes
// between road and verge at most once and stays on one side of the racing
// line (lineNodes). *touch is set when a wheel track meets surface 1.
int CheckRangeOnTrack(const KnowledgeRange &range, const Path &path, const KnowledgeNode *lineNodes, int *touch,
                      float halfWidth, int allowedSurface);
// Slides `moved` along its own direction onto the cross-section of `onto`;
// returns its lateral offset there.
float ProjectPointOnNode(PathNode *moved, const PathNode &onto);

#pragma once

#include <array>
#include <vector>

#include "platform/font_outline.h"

// Filled triangles of a glyph outline.
//
// `points` holds every contour vertex; each contour lists indices into it.
// Contours with filled area on their left (counter-clockwise) are outer
// contours; clockwise ones are holes and are cut out of the smallest outer
// contour that contains them (a hole inside no outer contour is dropped).
// Outer contours may overlap one another (accents touching their letter):
// each is triangulated on its own.
//
// Each hole is joined to its outer contour by a bridge of two coincident
// edges, and the resulting simple polygon is cut into triangles by ear
// clipping. Triangles are counter-clockwise. For a polygon of n corners with
// k holes of m corners in all the result has n + m + 2k - 2 triangles.
using TriangleCorners = std::array<int, 3>;

void TriangulateContours(const std::vector<OutlinePoint> &points,
                         const std::vector<std::vector<int>> &contours,
                         std::vector<TriangleCorners> *triangles);

// Twice the signed area of a contour (positive when counter-clockwise).
double ContourDoubleArea(const std::vector<OutlinePoint> &points, const std::vector<int> &contour);

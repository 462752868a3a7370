#include "scene/view_geometry.h"

float ViewWidthFraction = 1.0f;
float ViewHeightFraction = 1.0f;

// Only the single-screen layout exists yet: nothing to read, and nothing is
// written, so an existing views file stays as it was.

void ReadViewGeometry()
{
}

void WriteViewGeometry()
{
}

#include "world/sphere_grid.h"

// No trees sway yet, so the grid has nothing to hold.
void BuildSphereGrid()
{
}

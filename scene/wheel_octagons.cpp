#include "scene/wheel_octagons.h"

// Nothing draws the eight-sided meshes yet, so the tables are not kept.
void InitOctagonTables()
{
}

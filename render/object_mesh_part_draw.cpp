#include "render/object_mesh_part.h"

// The world-batch draw of lit mesh parts comes with the strip meshes; until
// then a mesh part draws nothing.
void ObjectMeshPart::Draw(int)
{
}

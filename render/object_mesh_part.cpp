#include "render/object_mesh_part.h"

#include "render/model_node.h"

ObjectMeshPart::~ObjectMeshPart()
{
    Release();
}

void ObjectMeshPart::Release()
{
    delete[] vertices;
    delete[] triangles;
    delete[] lists;
    vertices = nullptr;
    triangles = nullptr;
    lists = nullptr;
    vertexCount = 0;
    triangleCount = 0;
    listCount = 0;
}

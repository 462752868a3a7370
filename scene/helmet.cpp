#include "scene/helmet.h"

// The helmet is not loaded yet (the 3D object reader comes with the render
// layer), so there is never one to free.

void LoadHelmetModel()
{
}

void FreeHelmetModel()
{
}

#include "world/environment_texture.h"

// The render layer cannot make textures yet, so no environment texture is
// ever created and there is nothing to release.

void CreateFlatEnvironmentTexture()
{
}

void ReleaseEnvironmentTexture()
{
}

#include "render/shadow_casters.h"

ShadowCaster ShadowCasters[MaxShadowCasters] = {};
int ActiveShadowCasterCount = 0;

TextureRecord *GetShadowCasterTexture(int index)
{
    if (index < 0 || index >= ActiveShadowCasterCount || index >= MaxShadowCasters)
        return nullptr;
    return ShadowCasters[index].texture;
}

#include "scene/sprites.h"

int SpriteCount = 0;

void ClearSprites()
{
    SpriteCount = 0;
}

#pragma once

// The fading sprites of smoke and dust, at most 1024.
constexpr int MaxSprites = 1024;

extern int SpriteCount;

// Empties the sprite list.
void ClearSprites();

#pragma once

// Hands the render layer's texture code what it asks of the layers above:
// the interface's screen factors, the game mode, and the font's glyphs for
// the number plates.
void RegisterTextureServices();

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// DXT1 and DXT3 block compression of 32-bit pictures (red, green, blue,
// alpha bytes, rows from the top). Partial blocks at the right and bottom
// edges are padded. The same pixels always give the same bytes.

// Bytes of a w x h level: blocks of 4 x 4, 8 bytes (DXT1) or 16 (DXT3), at
// least one block.
int DxtLevelBytes(int width, int height, bool dxt3);

// DXT1 uses its transparent texels for alpha below 128; DXT3 keeps 4 bits of
// alpha. Returns false for an empty picture.
bool EncodeDxt(const uint8_t *rgba, int width, int height, bool dxt3, std::vector<uint8_t> *blocks);
// Returns false when the blocks are fewer than the level needs.
bool DecodeDxt(const uint8_t *blocks, size_t size, int width, int height, bool dxt3, std::vector<uint8_t> *rgba);

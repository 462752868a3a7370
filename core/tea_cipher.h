#pragma once

// The Tiny Encryption Algorithm (32 cycles): a 64-bit block cipher with a
// 128-bit key. A block is two 32-bit words and a key four, each stored
// little-endian. in and out may be the same memory.
void TeaEncipher(const void *in, void *out, const void *key);
void TeaDecipher(const void *in, void *out, const void *key);

#pragma once

#include <cstdint>
#include <vector>

// Vertex programs: the vs.1.1 subset the render layer composes, assembled
// into the project's own instruction list, run on the CPU (the recording
// device and tests) and translated to GLSL by the OpenGL device.
//
// The list: the version token 0xFFFE0101, then per instruction its opcode
// word, its destination word and one to three source words, then the end
// token 0x0000FFFF. A register word holds the register file in bits 28..31,
// the index in bits 16..27, and for a destination the write mask in bits
// 0..3 (x = 1, y = 2, z = 4, w = 8), for a source the swizzle in bits 0..7
// (two bits per component, x first) and the negation in bit 12.

constexpr uint32_t VertexProgramVersion = 0xFFFE0101u;
constexpr uint32_t VertexProgramEnd = 0x0000FFFFu;
// What the assembler answers for text it does not take.
constexpr uint32_t VertexProgramInvalidData = 0x88760B59u;

enum VertexProgramOp : uint32_t {
    VpMov = 1,
    VpAdd = 2,
    VpSub = 3,
    VpMad = 4,
    VpMul = 5,
    VpRsq = 7,
    VpDp3 = 8,
    VpMin = 10,
    VpMax = 11,
    VpM4x4 = 20,
};

enum VertexProgramFile : uint32_t {
    VpTemp = 0,      // r0..r11
    VpInput = 1,     // v0, v3, v5, v6, v8
    VpConst = 2,     // c0..c95
    VpPosition = 3,  // oPos
    VpFog = 4,       // oFog
    VpColour = 5,    // oD0, oD1
    VpTexture = 6,   // oT0, oT1
};

constexpr int VertexProgramTemps = 12;
constexpr int VertexProgramInputs = 16;
constexpr int VertexProgramConstants = 96;

// 0 and the instruction list, or VertexProgramInvalidData (the line number,
// from 1, in *errorLine when given).
uint32_t AssembleVertexProgram(const char *text, std::vector<uint32_t> *code, int *errorLine = nullptr);
// Words of a list up to and including its end token (0 for a list without
// a version token or end).
int VertexProgramLength(const uint32_t *code);

// A register word's parts.
inline uint32_t VpRegFile(uint32_t word) { return word >> 28; }
inline uint32_t VpRegIndex(uint32_t word) { return (word >> 16) & 0xFFFu; }
inline uint32_t VpRegMask(uint32_t word) { return word & 0xFu; }
inline uint32_t VpRegSwizzle(uint32_t word, int component) { return (word >> (2 * component)) & 3u; }
inline bool VpRegNegated(uint32_t word) { return (word >> 12) & 1u; }
// Source words an opcode takes (0 for an unknown one).
int VertexProgramSourceCount(uint32_t op);

struct VertexProgramOutput {
    float position[4];
    float diffuse[4];   // clamped to 0..1; (1, 1, 1, 1) unless written
    float specular[4];  // clamped; 0 unless written
    float tex[2][4];    // (0, 0, 0, 1) unless written
    float fog;          // the fog factor, 1 = clear; clamped; 1 unless written
};

// Runs a list for one vertex. inputs[r] is read for the registers whose bit
// is set in inputMask, (0, 0, 0, 1) for the others.
void RunVertexProgram(const uint32_t *code, const float (*inputs)[4], uint32_t inputMask, const float (*constants)[4],
                      VertexProgramOutput *out);

// The reciprocal square root of the programs: |x| of 0 gives a large
// finite value.
float VertexProgramRsq(float x);

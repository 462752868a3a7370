#pragma once

#include <cstdint>
#include <string>

// The vertex-shader programs of render objects: seventeen kinds (0..16) in
// four variants each (bit 0 pre-lit, bit 1 doubled), composed as vs.1.1
// text, assembled and made on the device the first time they are asked
// for, and kept until the device resources are released. Where a program
// cannot be made, the FVF of its vertex kind stands in for it and the
// fixed pipeline draws.

constexpr int ShaderTableKinds = 32;
constexpr int ShaderTableVariants = 4;
constexpr int ShaderKindCount = 17;

// The composed source of a kind and variant with fog on or off.
std::string ComposeVertexShaderSource(int kind, int variant, int fog);
// The vertex kind a program reads: 1 for kind 8, else 10 pre-lit, else 4.
uint32_t ShaderVertexKind(int kind, int preLit);

// Builds (first time) and selects the program; returns its handle or FVF.
uint32_t GetVertexShaderProgram(int kind, int preLit, int doubled, int unused = 0);
// The table entry (0: not built).
uint32_t ShaderTableEntry(int kind, int variant);

// The declaration tokens of an FVF (a static array, ended by 0xFFFFFFFF).
const uint32_t *BuildShaderDeclaration(uint32_t fvf);

// Assembles and creates a program; the FVF of the vertex kind when either
// step fails (with its message box).
uint32_t CreateVertexShaderFromSource(const char *source, const uint32_t *declaration, uint32_t vertexKind);

// The kind and variant the last GetVertexShaderProgram asked for.
int LastShaderKind();
int LastShaderVariant();
// Programs assembled since start (each table entry once).
int ShaderAssembleCount();

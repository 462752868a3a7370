#pragma once

// Fills the eight-step sine, cosine and normal tables of the simple wheel and
// tube meshes; once at start-up.
void InitOctagonTables();

#pragma once

// Command lines typed on standard input, for the text console of a dedicated
// host without graphics. Reading never waits: the main loop asks once per
// pass and goes on when no whole line has arrived.

// Copies the next whole line, without its line end, into out (at most
// size - 1 characters and a zero; the rest of a longer line is dropped) and
// returns true. False when no whole line is waiting. At the end of the input
// a last line without a line end still comes out; after that nothing is read.
bool PlatformReadConsoleLine(char *out, int size);

#pragma once

struct CarColours;
struct CarSetup;

// The set-up and colour configuration that the player chose for a car, as the
// settings "Setup Index " / "Setup Name " and "Colours Index " /
// "Colours Name " hold them. An index of 0 or more picks an entry of the
// car's own table, which the car takes itself; -1 names a file of the user's
// own: data\setups\<code>_<name>.set or data\colours\<code>_<name>.col.

// Fills out from the chosen set-up file. code is the car's short name.
// - The choice is an entry of the car's table (index not -1), or there is no
//   code: out is zero-filled, the name emptied, and with no code the index
//   becomes 0; result 0.
// - The named file reads: out holds it; result 0.
// - It does not: the choice falls back to entry 0 with an empty name and out
//   is zero-filled; result 1.
int LoadCarSetupFile(CarSetup *out, const char *code);
// The same with the colour settings and a colour file.
int LoadCarColourFile(CarColours *out, const char *code);

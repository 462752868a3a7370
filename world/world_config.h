#pragma once

class World;

// Choosing a configuration of the loaded world and its direction.

// Selects configuration `config` (clamped to the world's) driven reversed
// when asked and its path allows it. Nothing when both are unchanged, or on
// a world without configurations. Otherwise the lamps go off, the
// configuration's data and map squares are rebuilt, its path knowledge read
// and its lap timing set up.
void SelectConfig(World *world, int config, int reversed);

// Turns the selected configuration's path round (when it is reversible)
// and toggles the reversed flag. With no configuration selected, only
// clears the flag.
void ReverseConfig(World *world);

// An open path with timing (a point-to-point sprint) makes the race one lap
// long. The race code registers what that sets; World::SelectCurrentPath
// calls OpenTimedPathSelected when it selects such a path.
using OpenTimedPathHook = void (*)();
void SetOpenTimedPathHook(OpenTimedPathHook hook);
void OpenTimedPathSelected();

#pragma once

// Closes every InSim guest and socket and lets the game clock run again;
// harmless when InSim was never started.
void InSimStop();

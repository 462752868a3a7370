#pragma once

// Links the simulation libraries (vehicle, world) to the layers above them:
// message lines, the game session and the path followers of cars. Called once at
// start-up, before any world or car exists.
void RegisterSimulationServices();

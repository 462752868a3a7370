#pragma once

// Registers the race object with the layers below it (the vehicle's race
// hooks and services, the world's layout services) and the program's
// message lines, dialogs and sounds with the race code. Once at start-up.
void RegisterRaceObjectServices();

#pragma once

// Registers the race object with the layers below it (the vehicle's race
// hooks and services, the world's layout services) and the program's
// message lines, dialogs and sounds with the race code. Once at start-up.
void RegisterRaceObjectServices();

// The network's offline session loop behind the race's packet queue,
// connections and votes, and the vehicle's packet entries. Part of the
// above; on its own for tests.
void RegisterRaceNetworkLinks();

#pragma once

// Hands the message lines the services of the layers above the interface:
// the connection table, InSim, the head-up display state and the interface
// sounds. Once at start-up, from the main thread (whose lines are added at
// once; other threads queue theirs).
void RegisterMessageServices();

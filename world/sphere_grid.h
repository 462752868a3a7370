#pragma once

// Resets the sphere grid that sways the trees in the wind: rest, current and
// unit points filled, velocities cleared. At start-up, and when a race starts
// or the user leaves the track.
void BuildSphereGrid();

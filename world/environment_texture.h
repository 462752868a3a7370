#pragma once

// The environment texture that lights the cars: made from the track's light
// map, or flat when there is none.

// When the program draws: a flat environment texture of half the view's
// ambient light.
void CreateFlatEnvironmentTexture();
// Releases the environment texture when one exists; harmless when none does.
void ReleaseEnvironmentTexture();

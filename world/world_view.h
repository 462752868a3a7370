#pragma once

#include "core/fixed_math.h"

// The part of the drawn view that the world writes and reads: the scene's
// view record holds one. World code aims it (television cameras) without
// knowing the scene.
struct WorldView {
    FixVector eye;       // 16.16 metres
    FixVector forward;   // 16.16 unit vector (65536 = 1)
    float zoom;          // 1.0 normal; larger narrows the view
};

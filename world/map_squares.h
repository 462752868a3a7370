#pragma once

#include <cstdint>

#include "core/fixed_math.h"
#include "vehicle/contact_probe.h"

// The solid surfaces crossed by the probe (point - ray .. point) in the map
// square of point, in the current world. Clears the record's hit fraction
// first; 1 when something was hit. A point outside the grid, or no world,
// finds nothing. Only solids whose bounds strictly contain the point are
// asked.
int SolidContactQuery(const FixVector &point, const FixVector &ray, ContactProbe &record);

// Contact height (16.16) of the solid surface below (x, y), or 0 when
// nothing was hit or no game session exists. With deep set the probe runs
// from +60 m down to -20 m; otherwise from z + 2 m down to z - 2 m.
int32_t ProbeSolidBelow(int32_t x, int32_t y, int32_t z, int deep);

// The race code says whether a game session exists; without a registered
// check there is none and ProbeSolidBelow answers 0.
using SessionExistsCheck = int (*)();
void SetSessionExistsCheck(SessionExistsCheck check);

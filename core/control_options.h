#pragma once

#include <cstdint>

// Options of the controls file that other settings depend on.

// "Clutch :" 0 on an axis, 1 on a button (the default).
extern uint32_t ClutchControl;

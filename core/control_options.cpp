#include "core/control_options.h"

uint32_t ClutchControl = 1;

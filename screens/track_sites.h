#pragma once

// The screens read the world's site table.
#include "world/track_sites.h"

#include "screens/track_sites.h"

// The site table is track content and lives with the world (world/track_sites).

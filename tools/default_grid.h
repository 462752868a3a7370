#pragma once

// The start grid the race setup reads when it opens: data/grids/cfg.rac with
// the local driver and three computer drivers, each on a car of its own. The
// drivers' car records are left for the race setup to fill (it sends them as
// the lobby's first packets), so the file does not depend on the car data.
// An existing grid (the user's own, saved on leaving the setup) is kept.
// Returns null, or the text of what went wrong.
const char *WriteDefaultGrid(const char *runFolder);

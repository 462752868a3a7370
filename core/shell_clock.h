#pragma once

// Wall-clock samples and the editor option word that the clock texts read.
// They belong to the shell and the settings: the main loop samples the time
// of day once a second (local and universal in turn) and the settings file
// fills EditorOptions ("Editor Options "). Until then they stay 0.

extern int LocalHour;      // 0..23
extern int LocalMinute;    // 0..59
extern int UtcHour;        // 0..23
extern int UtcMinute;      // 0..59
extern int EditorOptions;  // bit 0x80: 12-hour clock

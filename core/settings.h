#pragma once

// Settings of cfg.txt that core code reads. Plain globals with their defaults
// set in code; the settings file overwrites them.

extern int EditorOptions;  // "Editor Options ": bit 0x80 shows a 12-hour clock

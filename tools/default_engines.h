#pragma once

// Writes the default engine sound of each car of the car table as
// data/engine/<code>_default.eng under the run folder: its engine figures,
// sound parameters and synthesised waves. Returns null, or the text of what
// went wrong.
const char *WriteDefaultEngineFiles(const char *runFolder);

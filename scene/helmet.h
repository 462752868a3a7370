#pragma once

// The driver's helmet model, read from data\hmn\helmet.qze at start-up. A
// missing file leaves no helmet, and the cars draw without one.
void LoadHelmetModel();
// Frees the helmet's models and object; harmless when none was loaded.
void FreeHelmetModel();

#pragma once

// Reads every controller and the keyboard once per frame into the control
// values that the driving code and the key bindings answer from.
void ReadControlInputs();

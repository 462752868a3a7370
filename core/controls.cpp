#include "core/controls.h"

// No controllers are read yet: the control values keep their rest positions.
void ReadControlInputs()
{
}

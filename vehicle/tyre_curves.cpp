#include "vehicle/tyre_curves.h"

// The tyre model does not exist yet, so there are no curves to build.
void BuildTyreCurves()
{
}

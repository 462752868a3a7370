#include "scene/custom_views.h"

// No custom views are loaded yet, so none can have changed.
void SaveCustomViews()
{
}

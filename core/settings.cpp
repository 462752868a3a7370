#include "core/settings.h"

int EditorOptions = 0;

#include "core/shell_clock.h"

int LocalHour = 0;
int LocalMinute = 0;
int UtcHour = 0;
int UtcMinute = 0;
int EditorOptions = 0;

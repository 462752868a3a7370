#include "net/update_config.h"

// The update screen does not exist yet, so the file is not read.
void ReadUpdateCfg()
{
}

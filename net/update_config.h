#pragma once

// Reads update_cfg.txt beside the program ("Version " and "Update "); a
// missing file leaves the update setting at 1.
void ReadUpdateCfg();

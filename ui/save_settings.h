#pragma once

// Writes every settings file, in this order: cfg.txt, card_cfg.txt,
// interface_cfg.txt and the player file. Called at shutdown and by the
// option pages whenever a setting changes.
void SaveSettings();

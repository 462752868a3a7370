#pragma once

// Writes the current car's custom views when they changed (at shutdown and
// when another car's views are loaded); nothing when none were loaded.
void SaveCustomViews();

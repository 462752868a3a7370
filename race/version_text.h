#pragma once

constexpr int VersionTextSize = 16;

// The program's version text, "0.5Z28", shown by the race code and written
// into replay headers and the logs. Empty until SetVersionText.
extern char VersionText[VersionTextSize];

// Builds the version text; once at start-up.
void SetVersionText();

#pragma once

// The program's name and version as it writes them in its log, its files and
// its network handshake.
constexpr const char *ProgramName = "KZV";
constexpr const char *ProgramVersion = "0.5Z28";

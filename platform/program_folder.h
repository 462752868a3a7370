#pragma once

#include <cstddef>

// Where the program's run folder (the one holding cfg.txt and data/) is, and
// moving into it.
//
// The run folder is named by the file "run_folder.txt" beside the program's
// executable (one line, an absolute path; the build writes it). Without that
// file the executable's own folder is the run folder.

constexpr const char *RunFolderFileName = "run_folder.txt";

// Writes the run folder's path into out. False when it cannot be found or
// does not fit.
bool PlatformFindRunFolder(char *out, size_t size);
// Changes the current folder. True on success.
bool PlatformChangeFolder(const char *path);
// The path made absolute against the current folder (a path that is
// absolute already is copied). False when it does not fit.
bool PlatformAbsolutePath(const char *path, char *out, size_t size);

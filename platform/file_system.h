#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The file layer. The program names its files the way its data was made:
// backslashes between folders ("data\skins\x.jpg") and names whose letter
// case need not match the files on disk. Every path given here has its
// backslashes turned into slashes, and each folder and file name that does
// not exist with the exact spelling is matched against the folder's entries
// without regard to ASCII letter case. A name with no match is kept as given,
// so a missing file stays missing and a new file is created under the name
// the program chose, inside the existing folders whatever their case.

// Writes the path as it is found on disk into out (at most outSize bytes with
// the terminating zero). Returns false, with out empty, when it does not fit.
bool PlatformResolvePath(const char *path, char *out, size_t outSize);

// fopen through the path resolution. Folders are never opened as files.
FILE *PlatformOpenFile(const char *path, const char *mode);

// Last modification time of a file or folder in seconds since 1970-01-01
// (UTC). Returns false when nothing is found under the path.
bool PlatformGetFileTime(const char *path, int64_t *unixSeconds);

// Deletes a file (not a folder). Returns true when it was removed.
bool PlatformRemoveFile(const char *path);

// Creates one folder. Returns true when the folder exists afterwards, made
// now or before.
bool PlatformMakeDirectory(const char *path);

// Renames a file, replacing a file that already has the new name in one
// step: a reader sees either the old file or the new one, never a part.
// Returns true on success.
bool PlatformRenameFile(const char *from, const char *to);

// The same rename: 0 on success, else the C library's error number (ENOENT,
// EACCES, EINVAL ...; EINVAL for an empty name).
int PlatformRenameFileError(const char *from, const char *to);

// One entry of a folder listing.
struct PlatformFolderEntry {
    std::string name;         // as spelt on disk
    int64_t modifiedNs = 0;   // last write, nanoseconds since 1970-01-01 (UTC)
    bool folder = false;      // a folder rather than a file
};

// The entries of a folder (found through the path resolution), "." and ".."
// left out, sorted by name in byte order. With a suffix (".jpg"), only the
// files whose names end with it, compared without regard to ASCII letter
// case. Returns false, with the list empty, when the folder cannot be read.
bool PlatformListFolder(const char *path, const char *suffix, std::vector<PlatformFolderEntry> *entries);

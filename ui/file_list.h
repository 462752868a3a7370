#pragma once

#include <cstdint>
#include <vector>

#include "ui/interface_items.h"

struct MenuPage;

// The lists of stored files every screen offers (replays, set-ups, layouts,
// skins, languages, the load and save dialog): the files matching a pattern
// such as "data\skins\*.jpg" (and optionally a second pattern), with their
// last-write times, sorted by name, by time or in language order, filtered by
// a few rules, and drawn as a column of buttons with a scroll bar.

// A last-write time: 100 ns units since 1601-01-01 (UTC), in two halves.
struct FileTime {
    uint32_t low;
    uint32_t high;
};

uint64_t FileTimeValue(const FileTime &time);
// UTC seconds since 1970 as a file time.
FileTime FileTimeFromUnixSeconds(int64_t seconds);

struct FileListEntry {
    char Name[64];         // without its extension unless the pattern ended in "*"
    char DisplayName[32];  // language files: the language's own name
    char TimeText[12];     // "hh:mm.ss" of the write time (UTC)
    char DateText[12];     // "d/m/yy"
    FileTime WriteTime;
    uint8_t FromSecond;    // found through the second pattern (or marked)
    uint8_t LanguageOrder; // 0 English, 1..33 the language table, 255 others
    uint8_t spare[2];
};

// The sort modes of Fill.
enum FileListMode {
    FileListByName = 0,      // case-insensitive, ascending
    FileListNewest = 1,      // newest first
    FileListNewestRule = 2,  // newest first; only names of 5..19 characters with "_" fourth
    FileListLanguage = 3,    // English, the language table's order, then the others
};

constexpr int FileListNameSize = 64;

struct FileList {
    int Selected = -1;
    int Count = 0;
    int FirstShown = 0;
    uint32_t NameLimit = FileListNameSize;  // names are cut to NameLimit - 1 characters
    std::vector<FileListEntry> Entries;

    FileList() = default;
    FileList(const FileList &) = delete;
    FileList &operator=(const FileList &) = delete;
    ~FileList() { Clear(); }

    // Lists the files of pattern (then of secondPattern, when given); names
    // cut to limit - 1 characters (limit at most 64); names beginning with
    // excludedPrefix (any letter case) left out; with asciiOnly, names with a
    // byte of 127 or above left out; with skipDuplicates a name already
    // listed is not listed again.
    void Fill(const char *pattern, int mode, int limit, const char *excludedPrefix, int asciiOnly,
              const char *secondPattern, int skipDuplicates);
    void Clear();
    // The entry with the latest write time (the first of equal ones); 0 for
    // fewer than two entries.
    int NewestIndex() const;
    void MarkAll();
    // For a list of language files: drops "max_len" and gives every entry its
    // language's own name (English its file name).
    void ReadLanguageNames();
    // Removes every entry of that name (any letter case).
    void RemoveName(const char *name);
    // Selects the last entry named as name up to its first ".", else none.
    void SelectName(const char *name);
    // The first entry whose name begins with prefix (any letter case), or -1.
    int FindPrefix(const char *prefix) const;
    // One button per visible row from y0 down (Param the entry's index), the
    // highlighted one in "Text Selected"; with more entries than rows a scroll
    // bar 0.025 wide at the right. Returns the y below the last row.
    float Draw(MenuPage *owner, ItemCallback callback, float x0, float x1, float y0, float rowHeight,
               int visibleRows, int highlighted);

private:
    int mode_ = 0;
    const char *excludedPrefix_ = nullptr;
    int asciiOnly_ = 0;
    int checkListed_ = 0;
    int Accept(const char *name) const;
    friend struct FileListFill;
};

// The walk over the files of a pattern ("data\skins\*.jpg"): visit is called
// once per file with its name and write time. The folder part goes through
// the file layer's case-insensitive path mapping; "*" and "?" of the last
// part match without regard to ASCII letter case. Folders are not listed.
using FileFindVisit = void (*)(void *context, const char *name, FileTime writeTime);
using FileFinder = void (*)(const char *pattern, FileFindVisit visit, void *context);
void FindFiles(const char *pattern, FileFindVisit visit, void *context);
// Replaces the walk (tests); null puts the folder listing back.
void SetFileFinder(FileFinder finder);

// 1 when name matches the wildcard pattern ("*" any run, "?" one character),
// ASCII letters in any case.
int MatchFileName(const char *pattern, const char *name);

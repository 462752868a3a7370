#include "ui/file_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "core/colour.h"
#include "core/language_table.h"
#include "core/text_utils.h"
#include "platform/file_system.h"
#include "ui/interface_colours.h"
#include "ui/row_builders.h"
#include "ui/translation.h"

namespace {

// Seconds from 1601-01-01 to 1970-01-01, and file-time units per second.
constexpr int64_t FileTimeEpochSeconds = 11644473600;
constexpr int64_t FileTimeUnitsPerSecond = 10000000;

FileFinder ActiveFinder = nullptr;

int FoldAscii(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

int CompareNoCase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        const int ca = FoldAscii(static_cast<unsigned char>(*a));
        const int cb = FoldAscii(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) {
            return ca - cb;
        }
    }
}

std::string Folded(const char *name)
{
    std::string out(name);
    for (char &c : out) {
        c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    }
    return out;
}

// The language sort key of a file name.
uint8_t LanguageKey(const char *name)
{
    if (EqualsNoCase(name, "English")) {
        return 0;
    }
    const int index = LanguageNameIndex(name);
    return index >= 0 && index < LanguageCount ? static_cast<uint8_t>(index + 1) : 255;
}

// The civil date of a count of days since 1970-01-01.
void CivilFromDays(int64_t days, int *year, int *month, int *day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

// The time and date texts of a write time, in UTC.
void SetTimeTexts(FileListEntry *entry)
{
    const int64_t value = static_cast<int64_t>(FileTimeValue(entry->WriteTime) / FileTimeUnitsPerSecond);
    const int64_t seconds = value - FileTimeEpochSeconds;
    int64_t days = seconds / 86400;
    int64_t inDay = seconds % 86400;
    if (inDay < 0) {
        inDay += 86400;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, &year, &month, &day);
    const int hour = static_cast<int>(inDay / 3600);
    const int minute = static_cast<int>(inDay / 60 % 60);
    const int second = static_cast<int>(inDay % 60);
    char text[48];
    std::snprintf(text, sizeof(text), "%.2d:%.2d.%.2d", hour, minute, second);
    CopyString(entry->TimeText, text, sizeof(entry->TimeText));
    std::snprintf(text, sizeof(text), "%d/%d/%.2d", day, month, ((year % 100) + 100) % 100);
    CopyString(entry->DateText, text, sizeof(entry->DateText));
}

// The stored form of a found name: cut to limit - 1 characters and, unless
// the extension is kept, at its last "." when that lies within the limit.
void StoredName(const char *found, uint32_t limit, int keepExtension, char *out)
{
    size_t length = 0;
    while (length + 1 < limit && found[length] != 0) {
        out[length] = found[length];
        ++length;
    }
    out[length] = 0;
    if (!keepExtension) {
        const char *dot = std::strrchr(found, '.');
        if (dot != nullptr && static_cast<size_t>(dot - found) < length) {
            out[dot - found] = 0;
        }
    }
}

void ListingFinder(const char *pattern, FileFindVisit visit, void *context)
{
    const char *slash = nullptr;
    for (const char *p = pattern; *p != 0; ++p) {
        if (*p == '\\' || *p == '/') {
            slash = p;
        }
    }
    std::string folder = ".";
    const char *namePattern = pattern;
    if (slash != nullptr) {
        folder.assign(pattern, static_cast<size_t>(slash - pattern));
        if (folder.empty()) {
            folder = "/";
        }
        namePattern = slash + 1;
    }
    std::vector<PlatformFolderEntry> entries;
    if (!PlatformListFolder(folder.c_str(), nullptr, &entries)) {
        return;
    }
    for (const PlatformFolderEntry &entry : entries) {
        if (entry.folder || !MatchFileName(namePattern, entry.name.c_str())) {
            continue;
        }
        // Whole seconds, rounded down also before 1970.
        int64_t seconds = entry.modifiedNs / 1000000000;
        if (entry.modifiedNs % 1000000000 < 0) {
            --seconds;
        }
        visit(context, entry.name.c_str(), FileTimeFromUnixSeconds(seconds));
    }
}

}  // namespace

uint64_t FileTimeValue(const FileTime &time)
{
    return static_cast<uint64_t>(time.high) << 32 | time.low;
}

FileTime FileTimeFromUnixSeconds(int64_t seconds)
{
    const int64_t since1601 = seconds + FileTimeEpochSeconds;
    const uint64_t value = since1601 > 0 ? static_cast<uint64_t>(since1601) * FileTimeUnitsPerSecond : 0;
    return FileTime{static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
}

int MatchFileName(const char *pattern, const char *name)
{
    // Greedy with one backtrack point: the last "*" seen.
    const char *star = nullptr;
    const char *resume = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != 0 &&
                   (*pattern == '?' || FoldAscii(static_cast<unsigned char>(*pattern)) ==
                                           FoldAscii(static_cast<unsigned char>(*name)))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return 0;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == 0 ? 1 : 0;
}

void FindFiles(const char *pattern, FileFindVisit visit, void *context)
{
    if (pattern == nullptr || pattern[0] == 0 || visit == nullptr) {
        return;
    }
    (ActiveFinder != nullptr ? ActiveFinder : ListingFinder)(pattern, visit, context);
}

void SetFileFinder(FileFinder finder)
{
    ActiveFinder = finder;
}

// The two passes of Fill. The counting pass sizes the list; the listing pass
// fills at most that many entries, so a file written between the passes is
// left out instead of written past the list.
struct FileListFill {
    FileList *list;
    int counting;
    int fromSecond;
    int keepExtension;
    size_t counted;
    size_t capacity;
    std::vector<FileListEntry> found;  // accepted, in walk order
    std::set<std::string> listed;      // folded names, for skip duplicates

    static void Visit(void *context, const char *name, FileTime writeTime)
    {
        FileListFill &fill = *static_cast<FileListFill *>(context);
        FileList &list = *fill.list;
        char stored[FileListNameSize];
        StoredName(name, list.NameLimit, fill.keepExtension, stored);
        if (fill.counting) {
            if (list.Accept(stored)) {
                ++fill.counted;
            }
            return;
        }
        if (fill.found.size() >= fill.capacity) {
            return;
        }
        if (list.checkListed_ && list.mode_ != FileListNewestRule && fill.listed.count(Folded(stored)) != 0) {
            return;
        }
        if (!list.Accept(stored)) {
            return;
        }
        FileListEntry entry{};
        std::memcpy(entry.Name, stored, sizeof(stored));
        entry.WriteTime = writeTime;
        entry.FromSecond = static_cast<uint8_t>(fill.fromSecond);
        entry.LanguageOrder = LanguageKey(entry.Name);
        SetTimeTexts(&entry);
        fill.found.push_back(entry);
        if (list.checkListed_) {
            fill.listed.insert(Folded(stored));
        }
    }

    void Walk(const char *pattern, const char *secondPattern)
    {
        fromSecond = 0;
        FindFiles(pattern, Visit, this);
        if (secondPattern != nullptr && secondPattern[0] != 0) {
            fromSecond = 1;
            FindFiles(secondPattern, Visit, this);
        }
    }
};

int FileList::Accept(const char *name) const
{
    if (mode_ == FileListNewestRule) {
        const size_t length = std::strlen(name);
        return length >= 5 && length <= 19 && name[3] == '_' ? 1 : 0;
    }
    if (excludedPrefix_ != nullptr && excludedPrefix_[0] != 0 && StartsWithNoCase(name, excludedPrefix_)) {
        return 0;
    }
    if (asciiOnly_) {
        for (uint32_t i = 0; i + 1 < NameLimit && name[i] != 0; ++i) {
            if (static_cast<unsigned char>(name[i]) >= 127) {
                return 0;
            }
        }
    }
    return 1;
}

void FileList::Fill(const char *pattern, int mode, int limit, const char *excludedPrefix, int asciiOnly,
                    const char *secondPattern, int skipDuplicates)
{
    Clear();
    NameLimit = static_cast<uint32_t>(std::clamp(limit, 1, FileListNameSize));
    mode_ = mode;
    excludedPrefix_ = excludedPrefix;
    asciiOnly_ = asciiOnly;
    checkListed_ = 0;
    const char *endsWith = pattern != nullptr && pattern[0] != 0 ? pattern + std::strlen(pattern) - 1 : nullptr;
    FileListFill fill{this, 1, 0, endsWith != nullptr && *endsWith == '*', 0, 0, {}, {}};
    fill.Walk(pattern, secondPattern);
    if (fill.counted == 0) {
        return;
    }
    fill.counting = 0;
    fill.capacity = fill.counted;
    fill.found.reserve(fill.counted);
    checkListed_ = skipDuplicates;
    fill.Walk(pattern, secondPattern);
    checkListed_ = 0;
    excludedPrefix_ = nullptr;
    // Each entry goes before the first entry that does not sort before it:
    // among equal keys the later found comes first. That is a stable sort
    // of the walk in reverse, without the insertion's square cost.
    std::reverse(fill.found.begin(), fill.found.end());
    switch (mode) {
    case FileListNewest:
    case FileListNewestRule:
        std::stable_sort(fill.found.begin(), fill.found.end(), [](const FileListEntry &a, const FileListEntry &b) {
            return FileTimeValue(a.WriteTime) > FileTimeValue(b.WriteTime);
        });
        break;
    case FileListLanguage:
        std::stable_sort(fill.found.begin(), fill.found.end(), [](const FileListEntry &a, const FileListEntry &b) {
            return a.LanguageOrder < b.LanguageOrder;
        });
        break;
    default:
        std::stable_sort(fill.found.begin(), fill.found.end(), [](const FileListEntry &a, const FileListEntry &b) {
            return CompareNoCase(a.Name, b.Name) < 0;
        });
        break;
    }
    Entries = std::move(fill.found);
    Count = static_cast<int>(Entries.size());
}

void FileList::Clear()
{
    std::vector<FileListEntry>().swap(Entries);
    Selected = -1;
    Count = 0;
}

int FileList::NewestIndex() const
{
    if (Count < 2) {
        return 0;
    }
    int newest = 0;
    for (int i = 1; i < Count; ++i) {
        if (FileTimeValue(Entries[i].WriteTime) > FileTimeValue(Entries[newest].WriteTime)) {
            newest = i;
        }
    }
    return newest;
}

void FileList::MarkAll()
{
    for (int i = 0; i < Count; ++i) {
        Entries[i].FromSecond = 1;
    }
}

void FileList::ReadLanguageNames()
{
    RemoveName("max_len");
    for (int i = 0; i < Count; ++i) {
        FileListEntry &entry = Entries[i];
        // The display name holds 31 characters; a longer file name shown
        // instead of the language's own is cut to them.
        if (!ReadLanguageInfo(entry.Name, entry.DisplayName, sizeof(entry.DisplayName))) {
            CopyString(entry.DisplayName, entry.Name, sizeof(entry.DisplayName));
        }
    }
}

void FileList::RemoveName(const char *name)
{
    if (name == nullptr) {
        return;
    }
    int kept = 0;
    int selected = -1;
    for (int i = 0; i < Count; ++i) {
        if (EqualsNoCase(Entries[i].Name, name)) {
            continue;
        }
        if (i == Selected) {
            selected = kept;
        }
        Entries[kept++] = Entries[i];
    }
    Entries.resize(static_cast<size_t>(kept));
    Count = kept;
    Selected = selected;
    if (Count == 0) {
        Clear();
    }
}

void FileList::SelectName(const char *name)
{
    Selected = -1;
    if (name == nullptr) {
        return;
    }
    char wanted[FileListNameSize];
    CopyString(wanted, name, sizeof(wanted));
    if (char *dot = std::strchr(wanted, '.')) {
        *dot = 0;
    }
    for (int i = 0; i < Count; ++i) {
        if (std::strcmp(Entries[i].Name, wanted) == 0) {
            Selected = i;
        }
    }
}

int FileList::FindPrefix(const char *prefix) const
{
    if (prefix == nullptr) {
        return -1;
    }
    for (int i = 0; i < Count; ++i) {
        if (StartsWithNoCase(Entries[i].Name, prefix)) {
            return i;
        }
    }
    return -1;
}

float FileList::Draw(MenuPage *owner, ItemCallback callback, float x0, float x1, float y0, float rowHeight,
                     int visibleRows, int highlighted)
{
    float right = x1;
    if (visibleRows > 0 && Count > visibleRows) {
        FirstShown = std::clamp(FirstShown, 0, Count - visibleRows);
        right = x1 - 0.025f;
        AddScrollBar(owner, x0, right, y0, x1, y0 + rowHeight * static_cast<float>(visibleRows), &FirstShown,
                     visibleRows, Count);
    } else {
        FirstShown = 0;
    }
    int row = 0;
    for (int i = FirstShown; i < Count && row < visibleRows; ++i, ++row) {
        const float top = y0 + rowHeight * static_cast<float>(row);
        const Colour *colour = i == highlighted ? &InterfaceColours.textSelected : &InterfaceColours.textUnselected;
        AddItemLatin(owner, x0, top, right, top + rowHeight, i, Entries[i].Name, 0, 0, ItemButton, colour, callback);
    }
    return y0 + rowHeight * static_cast<float>(row);
}

// A file list filled from a folder whose names and times come from the
// input: the program lists whatever names a folder holds (a downloaded skin,
// a replay a user renamed). The walk is replaced by one over the input, so
// that any bytes but zero and the separators can be a name.
//
// Input: mode, name limit, flags (bit 0 ASCII only, bit 1 skip duplicates,
// bit 2 a second pattern), then lines: the name pattern, the excluded
// prefix, then one file per line, its first byte its time.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "ui/file_list.h"
#include "ui/interface_items.h"

namespace {

struct FoundFile {
    std::string name;
    int64_t time;
};
std::vector<FoundFile> Files;
std::string NamePattern;

void InputFinder(const char *pattern, FileFindVisit visit, void *context)
{
    // The second pattern lists every other file.
    const int second = std::strcmp(pattern, "second\\*") == 0;
    for (size_t i = 0; i < Files.size(); ++i) {
        if (second && i % 2 == 0) {
            continue;
        }
        if (!second && !MatchFileName(NamePattern.c_str(), Files[i].name.c_str())) {
            continue;
        }
        visit(context, Files[i].name.c_str(), FileTimeFromUnixSeconds(Files[i].time));
    }
}

void Check(bool ok)
{
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    FuzzScratch();
    const int mode = data[0] % 4;
    const int limit = data[1] % 80;
    const int flags = data[2];
    std::vector<std::string> lines(1);
    for (size_t i = 3; i < size; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else if (data[i] != 0) {
            lines.back().push_back(static_cast<char>(data[i]));
        }
    }
    NamePattern = lines[0];
    const std::string prefix = lines.size() > 1 ? lines[1] : "";
    Files.clear();
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            continue;
        }
        const int64_t time = static_cast<int64_t>(static_cast<uint8_t>(lines[i][0])) * 40000000 - 200000000;
        Files.push_back({lines[i].substr(1), time});
    }
    SetFileFinder(InputFinder);
    {
        FileList list;
        list.Fill(("first\\" + NamePattern).c_str(), mode, limit, prefix.c_str(), flags & 1,
                  (flags & 4) ? "second\\*" : nullptr, (flags & 2) != 0);
        Check(list.Count >= 0 && static_cast<size_t>(list.Count) == list.Entries.size());
        Check(list.Entries.size() <= 2 * Files.size());
        for (const FileListEntry &entry : list.Entries) {
            Check(std::memchr(entry.Name, 0, sizeof(entry.Name)) != nullptr);
            Check(std::strlen(entry.Name) < list.NameLimit);
            Check(std::memchr(entry.TimeText, 0, sizeof(entry.TimeText)) != nullptr);
            Check(std::memchr(entry.DateText, 0, sizeof(entry.DateText)) != nullptr);
        }
        const int newest = list.NewestIndex();
        Check(newest >= 0 && (list.Count == 0 || newest < list.Count));
        list.SelectName(prefix.c_str());
        Check(list.Selected >= -1 && list.Selected < list.Count);
        const int found = list.FindPrefix(prefix.c_str());
        Check(found >= -1 && found < list.Count);
        BeginInterfaceFrame();
        list.FirstShown = static_cast<int>(data[2]) - 100;
        list.Draw(nullptr, nullptr, -0.5f, 0.5f, -0.5f, 0.06f, 1 + data[1] % 20, newest);
        Check(list.FirstShown >= 0 && (list.FirstShown == 0 || list.FirstShown < list.Count));
        list.RemoveName(prefix.c_str());
        Check(static_cast<size_t>(list.Count) == list.Entries.size());
        Check(list.Selected >= -1 && list.Selected < list.Count);
        list.MarkAll();
    }
    BeginInterfaceFrame();
    SetFileFinder(nullptr);
    Files.clear();
    NamePattern.clear();
    return 0;
}

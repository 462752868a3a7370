#include "platform/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <string>

namespace {

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b) {
        if (FoldCase(*a) != FoldCase(*b)) {
            return false;
        }
    }
    return *a == *b;
}

bool Exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Finds the entry of folder dir that equals name without regard to case.
// When several do, the first in byte order wins, so the choice does not
// depend on the order the file system lists them in.
bool FindEntryIgnoringCase(const std::string &dir, const std::string &name, std::string *match)
{
    DIR *folder = opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) {
        return false;
    }
    bool found = false;
    while (const dirent *entry = readdir(folder)) {
        if (!SameIgnoringCase(entry->d_name, name.c_str())) {
            continue;
        }
        if (!found || std::strcmp(entry->d_name, match->c_str()) < 0) {
            *match = entry->d_name;
            found = true;
        }
    }
    closedir(folder);
    return found;
}

void AppendComponent(std::string *path, const std::string &component)
{
    if (!path->empty() && path->back() != '/') {
        path->push_back('/');
    }
    path->append(component);
}

std::string ResolvePath(const char *path)
{
    std::string given(path);
    for (char &c : given) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (given.empty() || Exists(given)) {
        return given;
    }

    std::string resolved = given[0] == '/' ? "/" : "";
    bool searching = true;  // false once a component is missing: nothing below it exists
    size_t start = 0;
    while (start < given.size()) {
        size_t stop = given.find('/', start);
        if (stop == std::string::npos) {
            stop = given.size();
        }
        const std::string component = given.substr(start, stop - start);
        start = stop + 1;
        if (component.empty()) {
            continue;
        }
        if (!searching || component == "." || component == "..") {
            AppendComponent(&resolved, component);
            continue;
        }
        std::string exact = resolved;
        AppendComponent(&exact, component);
        if (Exists(exact)) {
            resolved = exact;
            continue;
        }
        std::string match;
        if (FindEntryIgnoringCase(resolved, component, &match)) {
            AppendComponent(&resolved, match);
        } else {
            AppendComponent(&resolved, component);
            searching = false;
        }
    }
    return resolved;
}

}  // namespace

bool PlatformResolvePath(const char *path, char *out, size_t outSize)
{
    if (!out || outSize == 0) {
        return false;
    }
    out[0] = 0;
    if (!path) {
        return false;
    }
    const std::string resolved = ResolvePath(path);
    if (resolved.size() >= outSize) {
        return false;
    }
    std::memcpy(out, resolved.c_str(), resolved.size() + 1);
    return true;
}

FILE *PlatformOpenFile(const char *path, const char *mode)
{
    if (!path || !mode || !path[0]) {
        return nullptr;
    }
    FILE *file = std::fopen(ResolvePath(path).c_str(), mode);
    if (!file) {
        return nullptr;
    }
    // A folder opens for reading on this system but never as a file elsewhere.
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

bool PlatformGetFileTime(const char *path, int64_t *unixSeconds)
{
    if (!path || !path[0]) {
        return false;
    }
    struct stat info;
    if (stat(ResolvePath(path).c_str(), &info) != 0) {
        return false;
    }
    if (unixSeconds) {
        *unixSeconds = static_cast<int64_t>(info.st_mtime);
    }
    return true;
}

bool PlatformRemoveFile(const char *path)
{
    if (!path || !path[0]) {
        return false;
    }
    return unlink(ResolvePath(path).c_str()) == 0;
}

bool PlatformMakeDirectory(const char *path)
{
    if (!path || !path[0]) {
        return false;
    }
    const std::string resolved = ResolvePath(path);
    if (mkdir(resolved.c_str(), 0777) == 0) {
        return true;
    }
    struct stat info;
    return stat(resolved.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int PlatformRenameFileError(const char *from, const char *to)
{
    if (!from || !from[0] || !to || !to[0]) {
        return EINVAL;
    }
    errno = 0;
    if (std::rename(ResolvePath(from).c_str(), ResolvePath(to).c_str()) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EINVAL;
}

bool PlatformRenameFile(const char *from, const char *to)
{
    if (!from || !from[0] || !to || !to[0]) {
        return false;
    }
    return std::rename(ResolvePath(from).c_str(), ResolvePath(to).c_str()) == 0;
}

bool PlatformListFolder(const char *path, const char *suffix, std::vector<PlatformFolderEntry> *entries)
{
    if (!entries) {
        return false;
    }
    entries->clear();
    if (!path) {
        return false;
    }
    std::string folderPath = ResolvePath(path);
    if (folderPath.empty()) {
        folderPath = ".";
    }
    DIR *folder = opendir(folderPath.c_str());
    if (!folder) {
        return false;
    }
    const size_t suffixLength = suffix ? std::strlen(suffix) : 0;
    while (const dirent *entry = readdir(folder)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        std::string full = folderPath;
        AppendComponent(&full, name);
        struct stat info;
        if (stat(full.c_str(), &info) != 0) {
            continue;
        }
        const bool isFolder = S_ISDIR(info.st_mode);
        if (suffixLength != 0) {
            const size_t length = std::strlen(name);
            if (isFolder || length < suffixLength || !SameIgnoringCase(name + length - suffixLength, suffix)) {
                continue;
            }
        }
        PlatformFolderEntry item;
        item.name = name;
        item.modifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        item.folder = isFolder;
        entries->push_back(std::move(item));
    }
    closedir(folder);
    std::sort(entries->begin(), entries->end(),
              [](const PlatformFolderEntry &a, const PlatformFolderEntry &b) { return a.name < b.name; });
    return true;
}

#include "platform/program_folder.h"

#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool Copy(char *out, size_t size, const char *text)
{
    const size_t length = std::strlen(text);
    if (length >= size) {
        return false;
    }
    std::memcpy(out, text, length + 1);
    return true;
}

}  // namespace

bool PlatformFindRunFolder(char *out, size_t size)
{
    if (!out || size == 0) {
        return false;
    }
    out[0] = 0;
    char executable[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable) - 1);
    if (length <= 0) {
        return false;
    }
    executable[length] = 0;
    char *slash = std::strrchr(executable, '/');
    if (!slash) {
        return false;
    }
    *slash = 0;

    char recordPath[PATH_MAX + 32];
    std::snprintf(recordPath, sizeof(recordPath), "%s/%s", executable, RunFolderFileName);
    FILE *record = std::fopen(recordPath, "r");
    if (!record) {
        return Copy(out, size, executable[0] ? executable : "/");
    }
    char line[PATH_MAX];
    const bool read = std::fgets(line, sizeof(line), record) != nullptr;
    std::fclose(record);
    if (!read) {
        return false;
    }
    line[std::strcspn(line, "\r\n")] = 0;
    return line[0] != 0 && Copy(out, size, line);
}

bool PlatformChangeFolder(const char *path)
{
    return path && path[0] && chdir(path) == 0;
}

bool PlatformAbsolutePath(const char *path, char *out, size_t size)
{
    if (!path || !out || size == 0) {
        return false;
    }
    if (path[0] == '/') {
        return Copy(out, size, path);
    }
    char folder[PATH_MAX];
    if (!getcwd(folder, sizeof(folder))) {
        return false;
    }
    const int written = std::snprintf(out, size, "%s/%s", folder, path);
    return written > 0 && static_cast<size_t>(written) < size;
}

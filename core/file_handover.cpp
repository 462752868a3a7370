#include "core/file_handover.h"

#include <cstdio>
#include <cstring>

#include "core/debug_log.h"
#include "core/main_window.h"
#include "core/shell_globals.h"
#include "platform/file_system.h"

int PendingFileType = 0;
char PendingFileName[PendingFileNameSize] = "";

namespace {

constexpr const char *LinkPrefix = "kzv://";

int HexValue(int c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes the link's rest, which begins at its last leading '/', into the
// start of the command line. Returns false for a bad "%" escape.
bool DecodeLink(char *commandLine)
{
    const char *in = commandLine + std::strlen(LinkPrefix) - 1;
    while (in[1] == '/') {
        ++in;
    }
    char *out = commandLine;
    while (*in) {
        if (*in == '%') {
            const int high = HexValue(static_cast<unsigned char>(in[1]));
            const int low = high < 0 ? -1 : HexValue(static_cast<unsigned char>(in[2]));
            if (low < 0) {
                return false;
            }
            *out++ = static_cast<char>(high * 16 + low);
            in += 3;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
    return true;
}

// True when data\<name>\file.fl can be made; it is deleted again.
bool CanWriteInFolder(const char *name)
{
    char path[128];
    std::snprintf(path, sizeof(path), "data\\%s\\file.fl", name);
    FILE *file = PlatformOpenFile(path, "wb");
    if (!file) {
        return false;
    }
    std::fclose(file);
    PlatformRemoveFile(path);
    return true;
}

}  // namespace

int HandleFileArgument(char *commandLine)
{
    if (!commandLine || commandLine[0] == 0 || commandLine[0] == '/') {
        return 1;
    }
    if (std::strlen(commandLine) >= 7 && std::strncmp(commandLine, LinkPrefix, std::strlen(LinkPrefix)) == 0) {
        if (!DecodeLink(commandLine)) {
            ShowErrorBox("KZV was unable to interpret the request");
            return -1;
        }
    }
    return 1;
}

int EnsureDataFolder(const char *name)
{
    if (!name || CanWriteInFolder(name)) {
        return name ? 0 : 1;
    }
    char folder[96];
    std::snprintf(folder, sizeof(folder), "data\\%s", name);
    // A folder that exists but takes no files is not usable either.
    return PlatformMakeDirectory(folder) && CanWriteInFolder(name) ? 0 : 1;
}

void ExitProgram(int code)
{
    if (ExitCode == 0) {
        ExitCode = code;
    }
    StartProgramExit(0);
}

#include "core/safe_write.h"

#include <cstring>

#include "platform/file_system.h"

bool PrepareSafeWrite(SafeWrite *write, const char *path)
{
    const int length = snprintf(write->temp, sizeof(write->temp), "%s.tmp", path);
    if (length < 0 || length >= static_cast<int>(sizeof(write->temp))) {
        write->path[0] = 0;
        write->temp[0] = 0;
        return false;
    }
    std::strcpy(write->path, path);
    return true;
}

FILE *OpenSafeWriteText(SafeWrite *write, const char *path)
{
    if (!PrepareSafeWrite(write, path)) {
        return nullptr;
    }
    return PlatformOpenFile(write->temp, "w");
}

bool CloseSafeWriteText(SafeWrite *write, FILE *file)
{
    bool written = std::ferror(file) == 0;
    if (std::fclose(file) != 0) {
        written = false;
    }
    return FinishSafeWrite(write, written);
}

bool FinishSafeWrite(const SafeWrite *write, bool written)
{
    if (written && PlatformRenameFile(write->temp, write->path)) {
        return true;
    }
    PlatformRemoveFile(write->temp);
    return false;
}

#include "core/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <time.h>

#include "core/text_utils.h"
#include "core/version.h"
#include "platform/file_system.h"

char DebugLogPath[DebugLogPathSize] = "";
int DebugLogEnabled = 0;

namespace {

DebugLogClock LogClock = nullptr;

constexpr const char *MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The 16 characters of the standard asctime text that follow the weekday:
// month, day right-aligned in two places, hh:mm:ss and a blank. Built here
// rather than through asctime, whose shared buffer worker threads would
// overwrite while another thread logs.
void FormatStamp(char *out)
{
    const std::time_t now = LogClock ? LogClock() : std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) {
        std::memset(&local, 0, sizeof(local));
    }
    const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
    char stamp[48];
    std::snprintf(stamp, sizeof(stamp), "%.3s%3d %.2d:%.2d:%.2d ", MonthNames[month], local.tm_mday % 100,
                  local.tm_hour % 100, local.tm_min % 100, local.tm_sec % 100);
    std::memcpy(out, stamp, LogStampLength);
}

}  // namespace

void SetDebugLogClock(DebugLogClock clock)
{
    LogClock = clock;
}

void DeleteDebugLog()
{
    DebugLogEnabled = 1;
    PlatformRemoveFile(DefaultDebugLogName);
}

void LogVersion()
{
    char text[64];
    std::snprintf(text, sizeof(text), "%s : %s", ProgramName, ProgramVersion);
    LogLine(text);
}

void LogLine(const char *text)
{
    const char *path = DebugLogPath[0] != 0 ? DebugLogPath : DefaultDebugLogName;
    FILE *file = PlatformOpenFile(path, "a");
    if (!file) {
        return;
    }

    // Stamp, text and newline are put together first and written at once.
    char line[LogStampLength + LogTextLimit + 2];
    FormatStamp(line);
    char field[LogTextLimit + 1];
    StripColourCodes(field, text ? text : "", LogTextLimit);
    field[LogTextLimit] = 0;
    size_t length = LogStampLength;
    const size_t textLength = std::strlen(field);
    std::memcpy(line + length, field, textLength);
    length += textLength;
    line[length++] = '\n';

    std::fwrite(line, 1, length, file);
    std::fclose(file);
}

void LogPrintf(const char *format, ...)
{
    char text[LogPrintfBufferSize];
    text[0] = 0;
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof(text), format, args);
        va_end(args);
    }
    LogLine(text);
}

PlatformAnswer ShowErrorBox(const char *text)
{
    if (DebugLogEnabled) {
        LogLine(text);
    }
    return PlatformMessageBox("", text ? text : "", PlatformBoxError);
}

#include "core/status_file.h"

#include <cstdio>

#include "core/settings.h"
#include "core/version.h"
#include "platform/file_system.h"

namespace {

// The lap count or hours of a race length code (see core/command_line.h).
// Kept to this file: the race code has its own look-ups under the public
// names.
int StatusLaps(int code)
{
    return code <= 100 ? code : (code - 100) * 10 + 100;
}

int StatusHours(int code)
{
    return code - 190;
}

constexpr int FirstHoursCode = 191;
constexpr int CarBits = 20;
const char *const UseMasterWords[] = {"no", "yes", "hidden"};

SessionStatusReader Reader = nullptr;

SessionStatus ReadStatus()
{
    SessionStatus status{};
    status.isHost = 1;
    if (Reader) {
        Reader(&status);
    }
    if (status.connectionCount < 0) {
        status.connectionCount = 0;
    }
    if (status.connectionCount > StatusMaxConnections) {
        status.connectionCount = StatusMaxConnections;
    }
    return status;
}

void StatusFileName(const SessionStatus &status, char *out, int size)
{
    if (status.isHost) {
        std::snprintf(out, static_cast<size_t>(size), "host%s.txt", GamePort);
    } else {
        std::snprintf(out, static_cast<size_t>(size), "guest.txt");
    }
}

void WriteHostLines(FILE *file, const SessionStatus &status)
{
    std::fprintf(file, "guests=%d\n", status.connectionCount - 1);
    std::fprintf(file, "maxguests=%d\n", MaxConns - 1);
    std::fprintf(file, "host=%s\n", GameName);
    std::fprintf(file, "pass=%s\n", GamePass);
    std::fprintf(file, "usemaster=%s\n", UseMasterWords[ConnToMaster >= 0 && ConnToMaster <= 2 ? ConnToMaster : 0]);
    std::fprintf(file, "trackcfg=%s\n", status.trackCode);
    char cars[CarBits + 1];
    for (int i = 0; i < CarBits; ++i) {
        cars[i] = (MpRules >> i) & 1u ? '1' : '0';
    }
    cars[CarBits] = 0;
    std::fprintf(file, "cars=%s\n", cars);
    std::fprintf(file, "qual=%d\n", status.qualifyMinutes);
    if (status.raceLengthCode < FirstHoursCode) {
        std::fprintf(file, "laps=%d\n", StatusLaps(status.raceLengthCode));
    } else {
        std::fprintf(file, "hours=%d\n", StatusHours(status.raceLengthCode));
    }
    for (int i = 0; i < status.connectionCount; ++i) {
        std::fprintf(file, "conn=%s\n", status.connectionNames[i] ? status.connectionNames[i] : "");
    }
}

}  // namespace

void SetSessionStatusReader(SessionStatusReader reader)
{
    Reader = reader;
}

void WriteStatusFile()
{
    const SessionStatus status = ReadStatus();
    if (status.replayPlaying) {
        return;
    }
    char name[32];
    StatusFileName(status, name, sizeof(name));
    FILE *file = PlatformOpenFile(name, "w");
    if (!file) {
        return;
    }
    std::fprintf(file, "kzv=%s\n", ProgramVersion);
    if (status.isHost && !status.online) {
        std::fprintf(file, "status=offline\n");
    } else {
        std::fprintf(file, "status=%s\n", status.racing ? "ingame" : "online");
        if (status.isHost) {
            WriteHostLines(file, status);
        } else {
            std::fprintf(file, "joined=%s\n", status.joinedHost);
        }
    }
    std::fclose(file);
}

void DeleteHostStatusFile()
{
    const SessionStatus status = ReadStatus();
    if (status.replayPlaying) {
        return;
    }
    char name[32];
    StatusFileName(status, name, sizeof(name));
    PlatformRemoveFile(name);
}

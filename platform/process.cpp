#include "platform/process.h"

#include <errno.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cstring>

extern char **environ;

namespace {

constexpr int MaxChildren = 32;
pid_t Children[MaxChildren];
int ChildCount = 0;

pid_t Spawn(const char *program, const char *argument)
{
    if (!program || program[0] == 0) {
        return -1;
    }
    char *argv[3] = {const_cast<char *>(program), nullptr, nullptr};
    if (argument && argument[0] != 0) {
        argv[1] = const_cast<char *>(argument);
    }
    pid_t pid = -1;
    const int result = std::strchr(program, '/') ? posix_spawn(&pid, program, nullptr, nullptr, argv, environ)
                                                  : posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    return result == 0 ? pid : -1;
}

}  // namespace

int PlatformStartProcess(const char *program, const char *argument)
{
    PlatformReapChildren();
    const pid_t pid = Spawn(program, argument);
    if (pid < 0) {
        return -1;
    }
    if (ChildCount < MaxChildren) {
        Children[ChildCount++] = pid;
    }
    return 0;
}

int PlatformRunProcess(const char *program, const char *argument)
{
    const pid_t pid = Spawn(program, argument);
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PlatformReapChildren()
{
    int kept = 0;
    for (int i = 0; i < ChildCount; ++i) {
        if (waitpid(Children[i], nullptr, WNOHANG) == 0) {
            Children[kept++] = Children[i];
        }
    }
    ChildCount = kept;
}

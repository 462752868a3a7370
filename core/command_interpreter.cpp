#include "core/command_interpreter.h"

#include "core/debug_log.h"

// The command words come with the command interpreter itself; until then
// every line is reported as unknown in the log.
int ExecuteCommand(MenuPage *, const char *text, int)
{
    LogPrintf("Unknown command : %s", text ? text : "");
    return 0;
}

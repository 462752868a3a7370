#include <cstdio>

#include "core/version.h"

int main(int, char **)
{
    std::printf("%s %s\n", ProgramName, ProgramVersion);
    return 0;
}

#include "core/command_word.h"

const char *GetCommandWord(int max, char *out, const char *line)
{
    if (!line) {
        line = "";
    }
    // The first character is the command's "/"; an empty line has none.
    const char *p = line[0] != 0 ? line + 1 : line;
    int length = 0;
    while (*p != 0 && *p != '=' && *p != ' ') {
        if (out && length < max - 1) {
            out[length++] = *p;
        }
        ++p;
    }
    if (out && max > 0) {
        out[length] = 0;
    }
    if (*p == '=' || *p == ' ') {
        ++p;
    }
    while (*p == ' ') {
        ++p;
    }
    return p;
}

// The command interpreter, line by line as a user types them: each line of
// the input is run as it stands, alternately as the local user and as an
// outside program, and the settings the commands change start from their
// defaults again for the next input.
#include <cstdint>
#include <string>

#include "core/command_interpreter.h"
#include "core/command_line.h"
#include "core/config_file.h"
#include "core/controls.h"
#include "fuzz/fuzz_support.h"

namespace {

void Reset()
{
    SetConfigDefaults();
    SetDefaultControls();
    InitCommandKeywords();
    CommandErrorText[0] = 0;
    ScriptDepth = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzScratch();
    Reset();
    const std::string text(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    int line = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string command = text.substr(start, end - start);
        const CommandSource source = (line & 1) ? CommandSourceOutside : CommandSourceLocal;
        ExecuteCommand(source, command.c_str(), line & 2 ? 1 : 0);
        ++line;
        start = end + 1;
    }
    Reset();
    return 0;
}

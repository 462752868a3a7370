// The other text settings files: interface_cfg.txt (interface colours and
// opacities) and update_cfg.txt. The same input is read as each.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "net/update_config.h"
#include "ui/interface_colours.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzWriteFile("interface_cfg.txt", data, size);
    LoadInterfaceColours();
    FuzzRemoveFile("interface_cfg.txt");

    FuzzWriteFile("update_cfg.txt", data, size);
    ReadUpdateCfg();
    FuzzRemoveFile("update_cfg.txt");
    return 0;
}

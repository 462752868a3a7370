// The controls file of the attached controller (data\misc\DEFAULT.con
// without one) and the axis calibration file data\misc\cfg.clb: the same
// input is read as each, from the defaults.
#include <cstdint>

#include "core/config_file.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "fuzz/fuzz_support.h"

namespace {

void Reset()
{
    SetConfigDefaults();
    SetDefaultControls();
    ResetAxisCalibrations(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reset();
    FuzzWriteFile("data\\misc\\DEFAULT.con", data, size);
    ReadControlsFile();
    FuzzRemoveFile("data\\misc\\DEFAULT.con");

    FuzzWriteFile("data\\misc\\cfg.clb", data, size);
    ReadCalibrationFile();
    GetAxisCentred(0);
    GetAxisFraction(0);
    FuzzRemoveFile("data\\misc\\cfg.clb");
    Reset();
    return 0;
}

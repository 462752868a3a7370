// Wave files as the program reads them: the samples at start (kept stereo,
// and mixed down and looped) and engine waves imported from a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "audio/engine_file.h"
#include "audio/wave_file.h"
#include "vehicle/car_race_services.h"

namespace {

void IgnoreLine(const char *, int)
{
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = "/tmp/kzv_wave_fuzz_" + std::to_string(getpid()) + ".wav";
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);

    const CarRaceServices saved = RaceServices;
    RaceServices.printMessage = IgnoreLine;
    for (int flags = 0; flags < 4; flags++) {
        int16_t *values = nullptr;
        uint32_t count = 0;
        int stereo = 0;
        if (ReadWavFile(nullptr, path.c_str(), flags & 1, 1u << 20, flags >> 1, &values, &count, &stereo)) {
            volatile int16_t sum = 0;
            for (uint32_t i = 0; i < count; i++) {
                sum = static_cast<int16_t>(sum + values[i]);
            }
            delete[] values;
        }
    }
    EngineWave wave = {};
    wave.LoadWav(nullptr, path.c_str(), 32768, 0);
    wave.Free(true);
    RaceServices = saved;
    std::remove(path.c_str());
    return 0;
}

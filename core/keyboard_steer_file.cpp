#include "core/keyboard_steer_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/data_stream.h"
#include "core/safe_write.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "platform/file_system.h"

namespace {

constexpr const char *KeyboardSteerFileId = "KZVKBS";
constexpr int KeyboardSteerVersion = 0;

struct SteerSetting {
    float *value;
    float min;
    float max;
};

// File order; the ranges are those of cfg.txt.
const SteerSetting SteerSettings[] = {
    {&ThrBrkRate, 2.0f, 10.0f},          {&KbSteerRate, 0.0f, 1.0f},
    {&KbReturnRate, 0.0f, 1.0f},         {&KbFastMul, 1.0f, 3.0f},
    {&KbSlowMul, 0.0f, 1.0f},            {&KbLimitMul, 0.4f, 1.2f},
    {&SpeedSteerReductionKb, 0.0f, 1.0f}, {&HalfReduceSpeedKb, 10.0f, 200.0f},
};
constexpr int SteerSettingCount = sizeof(SteerSettings) / sizeof(SteerSettings[0]);

// The name must stay a file inside data\misc.
bool MakeSteerPath(const char *name, char *path, int size)
{
    if (!name || !name[0]) {
        return false;
    }
    for (const char *c = name; *c; ++c) {
        if (FileCharToEscape(static_cast<unsigned char>(*c)) != 0) {
            return false;
        }
    }
    const int length = std::snprintf(path, static_cast<size_t>(size), "data\\misc\\%s.kbs", name);
    return length > 0 && length < size;
}

}  // namespace

int WriteKeyboardSteerFile(const char *name)
{
    char path[160];
    SafeWrite write;
    if (!MakeSteerPath(name, path, sizeof(path)) || !PrepareSafeWrite(&write, path)) {
        return 0;
    }
    PlatformMakeDirectory("data\\misc");  // the data folder ships without it
    DataStream stream;
    if (stream.OpenWrite(nullptr, write.temp, KeyboardSteerFileId, KeyboardSteerVersion)) {
        return 0;
    }
    for (const SteerSetting &setting : SteerSettings) {
        uint32_t bits;
        std::memcpy(&bits, setting.value, sizeof(bits));
        stream.WriteU32(bits);
    }
    const bool written = stream.Close() == 0;
    return FinishSafeWrite(&write, written) ? 1 : 0;
}

int ReadKeyboardSteerFile(const char *name)
{
    char path[160];
    if (!MakeSteerPath(name, path, sizeof(path))) {
        return 0;
    }
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, KeyboardSteerFileId, &version, KeyboardSteerVersion, 0)) {
        return 0;
    }
    float values[SteerSettingCount];
    for (int i = 0; i < SteerSettingCount; ++i) {
        values[i] = stream.ReadFloatClamped(SteerSettings[i].min, SteerSettings[i].max);
    }
    const bool complete = version == KeyboardSteerVersion && !stream.overrun;
    stream.Close();
    if (!complete) {
        return 0;
    }
    for (int i = 0; i < SteerSettingCount; ++i) {
        *SteerSettings[i].value = values[i];
    }
    return 1;
}

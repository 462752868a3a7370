// A screenful of marked-up text, measured, queued and drawn on the recording
// device with a warm character cache.
#include <benchmark/benchmark.h>

#include "bench_font_device.h"

#include <string>
#include <vector>

#include "ui/interface_draw.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"

namespace {

int ScreenWidth = 1024;
int ScreenHeight = 768;

// 40 lines of about 90 bytes with colour codes and Cyrillic and Greek
// switches, and one line of simplified Chinese.
std::vector<std::string> Screenful()
{
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) {
        std::string line = "^7Lap ^3" + std::to_string(10 + i) + " ^2best 1:23.45 ^7driver ^C\xcf\xf0\xe8\xe2\xe5\xf2 ^8and ^G" +
                           "\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1^8 ^1gap +0.123 ^6sector ^7three ^4pit^7 stop";
        lines.push_back(line);
    }
    lines.push_back("^S\xd6\xd0\xce\xc4\xc8\xfc\xb3\xb5\xb1\xc8\xc8\xfc\xbd\xe1\xb9\xfb");
    return lines;
}

void DrawScreen(const std::vector<std::string> &lines)
{
    float y = -0.95f;
    for (const std::string &line : lines) {
        const float width = MeasureCodedText(line.c_str(), 0.03f, 0);
        DrawCodedText(line.c_str(), -0.98f, y, 0.03f, 0.045f, 0, 0xffffffffu, 0xffffffffu, CursorNone, 0);
        benchmark::DoNotOptimize(width);
        y += 0.046f;
    }
    DrawTextLayer();
    DrawTextLayerFinal();
}

void BM_TextScreenful(benchmark::State &state)
{
    BenchFontDevice font;
    if (const char *error = font.Start("kzv_text_bench", &ScreenWidth, &ScreenHeight)) {
        state.SkipWithError(error);
        return;
    }
    RecordingDevice &device = font.device;
    const std::vector<std::string> lines = Screenful();
    DrawScreen(lines);   // warms the cache
    DeviceFrameCounts counts{};
    for (auto _ : state) {
        state.PauseTiming();
        device.ClearLog();
        device.frame = DeviceFrameCounts{};
        state.ResumeTiming();
        DrawScreen(lines);
        counts = device.frame;
    }
    state.counters["draw_calls"] = counts.drawCalls;
    state.counters["texture_binds"] = counts.textureBinds;
    state.counters["texture_locks"] = counts.textureLocks;
    state.counters["cache_pages"] = CharCachePageCount;
}
BENCHMARK(BM_TextScreenful)->Unit(benchmark::kMicrosecond);

}  // namespace

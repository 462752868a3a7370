// One interface frame of a busy page on the recording device: 200 items of
// mixed kinds and 20 message lines, added, hit-tested with a pointer move and
// drawn.
#include <benchmark/benchmark.h>

#include "bench_font_device.h"

#include <string>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "ui/interface_colours.h"
#include "ui/interface_draw.h"
#include "ui/interface_items.h"
#include "ui/menu_page.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

namespace {

int ScreenWidth = 1024;
int ScreenHeight = 768;

float Sliders[40];
int Ticks[40];
char Fields[40][16];
int Scroll = 0;

void Nothing(MenuPage *, intptr_t, intptr_t)
{
}

// 200 items in five columns of 40 rows.
void AddPage(MenuPage *page)
{
    for (int row = 0; row < 40; ++row) {
        const float y0 = -0.9f + 0.045f * static_cast<float>(row);
        const float y1 = y0 + 0.04f;
        AddItem(page, -0.98f, y0, -0.6f, y1, row, "Button text", 0, 0, ItemButton, &InterfaceColours.textUnselected,
                Nothing);
        AddItem(page, -0.58f, y0, -0.2f, y1, &Sliders[row], 0.0f, 1.0f, "%.2f", ItemFloatSlider,
                &InterfaceColours.textSelected, Nothing);
        AddItem(page, -0.18f, y0, -0.14f, y1, row, Ticks[row], 0, 0, ItemTick, &InterfaceColours.buttonGreen, Nothing);
        AddItemLatin(page, -0.12f, y0, 0.4f, y1, Fields[row], Fields[row], 15, "Name", ItemTextField,
                     &InterfaceColours.textString, Nothing);
        if (row == 0) {
            AddItem(page, 0.42f, -0.9f, 0.46f, 0.9f, &Scroll, 0, 10, 40, ItemScrollBar, nullptr, Nothing);
        } else {
            AddItem(page, 0.5f, y0, 0.98f, y1, 0, "Label on a panel", 0, 0, ItemPanelLabel,
                    &InterfaceColours.bigText, nullptr);
        }
    }
}

void BM_InterfaceFrame(benchmark::State &state)
{
    BenchFontDevice font;
    if (const char *error = font.Start("kzv_interface_bench", &ScreenWidth, &ScreenHeight)) {
        state.SkipWithError(error);
        return;
    }
    RecordingDevice &device = font.device;
    ScreenAspect = 0.75f;
    PixelWidth = 2.0f / 1024.0f;
    PixelHeight = 2.0f / 768.0f;
    InitMessageColours();
    LoadInterfaceColours();
    for (int i = 0; i < 40; ++i) {
        Sliders[i] = static_cast<float>(i) / 40.0f;
        Ticks[i] = i & 1;
        std::snprintf(Fields[i], sizeof(Fields[i]), "Driver %d", i);
    }
    SetMessageClock([]() -> uint32_t { return 0; });
    ClearMessageLines();
    for (int i = 0; i < MessageLineLimit; ++i) {
        PrintMessage(("Message line " + std::to_string(i) + " ^3with colour").c_str(), &MessageColours[ColourWhite]);
    }
    MenuPage page{};
    InitMenuPage(&page, nullptr, nullptr, nullptr, DefaultPageInput, nullptr, 1);
    MouseEvent move{};
    DeviceFrameCounts counts{};
    int frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        device.ClearLog();
        device.frame = DeviceFrameCounts{};
        state.ResumeTiming();
        BeginInterfaceFrame();
        AddPage(&page);
        MouseFracX = -0.8f + 0.001f * static_cast<float>(frame++ % 100);
        MouseFracY = 0.1f;
        move.dx = 1;
        benchmark::DoNotOptimize(HandleItemInput(&page, &move));
        DrawInterface();
        counts = device.frame;
    }
    state.counters["draw_calls"] = counts.drawCalls;
    state.counters["triangles"] = counts.triangles;
    BeginInterfaceFrame();
    ClearMessageLines();
    SetMessageClock(nullptr);
}
BENCHMARK(BM_InterfaceFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

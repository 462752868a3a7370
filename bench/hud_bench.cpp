// One frame of the head-up display on the recording device with the
// generated font: 20 cars in the running order, every timing row, a caption
// and the start lights.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/settings.h"
#include "platform/recording_device.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "render/geometry_batch.h"
#include "render/render_device.h"
#include "render/render_link.h"
#include "render/screen_modes.h"
#include "scene/hud.h"
#include "tools/font_file.h"
#include "ui/font.h"
#include "ui/font_textures.h"
#include "ui/interface_draw.h"
#include "ui/text_batch.h"
#include "vehicle/car_object.h"

namespace {

int HudScreenWidth = 1024;
int HudScreenHeight = 768;

void BM_DrawHud(benchmark::State &state)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "kzv_hud_bench";
    fs::create_directories(folder);
    if (const char *error = WriteFontFile(folder.c_str())) {
        state.SkipWithError(error);
        return;
    }
    RecordingDevice device;
    RenderShellLink link{};
    link.screenWidth = &HudScreenWidth;
    link.screenHeight = &HudScreenHeight;
    link.buildFontTextures = RebuildFontTextures;
    SetRenderShellLink(link);
    if (InitFont((folder / "data" / "abc" / "kzv.abc").c_str()) != 1 || !UseGraphicsDevice(&device) ||
        StartRenderer(1, -1, 0) != 0 || StartGraphics() != 1 || RebuildFontTextures() != 1) {
        state.SkipWithError("no font or device");
        return;
    }
    SetScreenTransform(0.0f, 0.0f, 1.0f, 1.0f);
    TextWidthScale = 1.0f;
    RaceObject *race = CreateRaceObject();
    race->carsOk = 1;
    race->raceLength = 3;
    race->countdownSeconds = 6;
    race->tick = 400;
    race->hotLapSingle = 1;
    race->lapValid = 1;
    race->nextLapValid = 2;
    race->orderCount = 20;
    CarObject *cars[20];
    for (int i = 0; i < 20; ++i) {
        cars[i] = new CarObject;
        race->slots[i].car = cars[i];
        race->runningOrder[i] = static_cast<uint8_t>(i);
    }
    CarObject *car = cars[3];
    car->penalty = 0;
    car->statusText[0] = 0;
    car->wrongWayCount = 0;
    car->nextLine = 3;
    car->lapsDone = 1;
    car->lapStartTick = 100;
    car->raceStartTick = 0;
    car->bestLapTime = 9000;
    car->lastTime = 9100;
    car->lapLineCrossed = 1;
    car->countdown = 3000;
    car->finished = 0;
    car->lastStopTick = 0;
    car->resultTick = 0;
    RaceKind = 1;
    HudShown = 1;
    ShowFps = 1;
    StartLights = 1;
    ScreenFlags |= 0x8000;
    InitHudState();
    for (auto _ : state) {
        DrawHud(car, car, 0, nullptr, nullptr);
        state.PauseTiming();
        DrawTextLayer();
        DrawTextLayerFinal();
        state.ResumeTiming();
    }
    for (CarObject *c : cars) {
        delete c;
    }
    for (int i = 0; i < 20; ++i) {
        race->slots[i].car = nullptr;
    }
    DeleteRaceObject();
    ReleaseCachePages();
    ReleaseFontTextures();
    StopGraphics();
    UseGraphicsDevice(nullptr);
    FreeFont();
    SetRenderShellLink(RenderShellLink{});
    fs::remove_all(folder);
}
BENCHMARK(BM_DrawHud)->Unit(benchmark::kMicrosecond);

}  // namespace

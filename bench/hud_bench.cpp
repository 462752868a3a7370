// One frame of the head-up display on the recording device with the
// generated font: 20 cars in the running order, every timing row, a caption
// and the start lights.
#include <benchmark/benchmark.h>

#include "bench_font_device.h"


#include "core/settings.h"
#include "race/game_state.h"
#include "race/race_object.h"
#include "scene/hud.h"
#include "ui/interface_draw.h"
#include "ui/text_batch.h"
#include "vehicle/car_object.h"

namespace {

int HudScreenWidth = 1024;
int HudScreenHeight = 768;

void BM_DrawHud(benchmark::State &state)
{
    BenchFontDevice font;
    if (const char *error = font.Start("kzv_hud_bench", &HudScreenWidth, &HudScreenHeight)) {
        state.SkipWithError(error);
        return;
    }
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
}
BENCHMARK(BM_DrawHud)->Unit(benchmark::kMicrosecond);

}  // namespace

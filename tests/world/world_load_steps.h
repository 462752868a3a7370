#pragma once

// Loading a world file in steps the way the program does, with a fake
// clock, for tests that need a whole loaded track.

#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"
#include "world/world_loader.h"

// A fake millisecond clock for the loader: every read moves it on by 1 ms.
inline uint32_t FakeLoadClock()
{
    static uint32_t now = 0;
    return now += 1;
}

// Opens the track without graphics and steps its load to the end with the
// fake clock (the clock is the platform's again afterwards). Returns the
// progress text after the open and after every step; empty when the open
// failed.
inline std::vector<std::string> LoadWorldInSteps(World *world, const char *trackName, const char *shortName,
                                                 int config = 1, int reversed = 0)
{
    std::vector<std::string> texts;
    SetLoadClock(FakeLoadClock);
    if (WorldOpen(world, trackName, shortName, 0, 0, config, reversed, 0) == 1) {
        texts.push_back(world->progressText);
        for (int steps = 0; steps < 100000; ++steps) {
            const bool ended = WorldLoadStep(world);
            texts.push_back(world->progressText);
            if (ended) {
                break;
            }
        }
    }
    SetLoadClock(nullptr);
    return texts;
}

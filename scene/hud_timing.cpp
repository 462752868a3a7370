// The timing block at the top right: the hot-lap check line, right-aligned
// rows of times with their labels to the left, and the large lap counter
// and position.
#include <cstdio>
#include <cstring>

#include "core/main_window.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "scene/hud.h"
#include "ui/translation.h"
#include "vehicle/car_object.h"

namespace {

constexpr int NoTime = 360000;
constexpr int MaxRows = 12;
constexpr int DigitPage = 10;
constexpr float RowHeight = 0.05f;
constexpr float RowSize = 0.0225f;

struct TimingRow {
    char value[32];
    const char *label;
    uint32_t colour;
};

int ValidTime(int64_t t)
{
    return t > 0 && t < NoTime;
}

void AddRow(TimingRow *rows, int *count, const char *label, int hundredths, uint32_t colour)
{
    if (*count >= MaxRows) {
        return;
    }
    TimingRow &row = rows[(*count)++];
    FormatRaceTime(row.value, sizeof(row.value), "", 0, hundredths, 0);
    row.label = label;
    row.colour = colour;
}

}  // namespace

float DrawTimingLines(CarObject *car, float bottom)
{
    const float y0 = (ShowFps == 2 && bottom == 1.0f) ? 0.08f - bottom : 0.02f - bottom;
    const int tab = HudOptionsTab();
    const int lesson = HudLesson();
    RaceObject *race = RaceObjectPtr;
    if (car == nullptr || race == nullptr || HudSpecialPanel != 0 || (HudShown != 1 && lesson == 0) ||
        (tab != 0 && tab != 5)) {
        return y0 + 0.15f;
    }
    float y = y0;
    // The hot-lap check line.
    if (race->hotLapSingle != 0) {
        char line[160];
        std::snprintf(line, sizeof(line), "HLVC :");
        auto append = [&line](const char *text) {
            const size_t used = std::strlen(line);
            std::snprintf(line + used, sizeof(line) - used, "%s", text);
        };
        if (race->lapValid == 0 && race->nextLapValid == 0) {
            append(" ");
            append(Tx(Text_3a_hlvcstlp));
        } else {
            if (race->lapValid != 0) {
                append(" Lap-");
                append(race->lapValid == 1 ? "OK" : "invalid");
            }
            if (race->nextLapValid != 0) {
                append(" Next-");
                append(race->nextLapValid == 1 ? "OK" : "invalid");
            }
        }
        // The stored lap the check compares with: its time and number.
        const RaceBestLap &stored = race->hudTimes;
        if (stored.lapNumber > 0) {
            const int index = stored.lineCount < 1 ? 0 : (stored.lineCount > 4 ? 3 : stored.lineCount - 1);
            char time[32];
            FormatRaceTime(time, sizeof(time), "", 0, stored.lineTimes[index], 0);
            char lap[64];
            std::snprintf(lap, sizeof(lap), " [%s %s %d]", time, Tx(Text_3a_smalllap), static_cast<int>(stored.lapNumber));
            append(lap);
        }
        if (race->hotLapSingle == 2) {
            append(" [");
            append(Tx(Text_3a_hlvcmodi));
            append("]");
        }
        HudDrawRight(line, 0.98f, y, RowSize, HudColourYellow, TranslationCodePage);
        y += RowHeight;
    }
    const uint32_t white = PackRgb(255, 255, 255);
    const uint32_t orange = PackRgb(255, 150, 20);
    uint32_t colour = white;
    TimingRow rows[MaxRows];
    int count = 0;
    const int64_t tick = race->tick;
    const int64_t countdown = static_cast<int64_t>(race->countdownSeconds) * 100;
    // Qualifying time left.
    if (RaceKind == 2 && tick >= countdown) {
        int64_t left = (countdown + static_cast<int64_t>(race->qualifyMinutes) * 6000) - tick;
        if (left <= 0) {
            left = 0;
            colour = orange;
        }
        AddRow(rows, &count, Tx(Text_3h_qual_btn), static_cast<int>(left), colour);
    }
    const int code = race->raceLength;
    if (code >= 191) {
        if (car->nextLine != 1) {
            const int64_t total = tick - car->raceStartTick;
            if (total >= static_cast<int64_t>(HoursFromCode(code)) * NoTime) {
                colour = orange;
            }
            AddRow(rows, &count, Tx(Text_3a_info_tot), total > 0 ? static_cast<int>(total) : 0, colour);
        }
    } else if (code != 0 && race->resultCount != 0 && race->hotLapMode == 0) {
        colour = orange;
    }
    const int best = ValidTime(car->bestLapTime);
    const int lapTimed = HudCarLinks.lapTimed != nullptr ? HudCarLinks.lapTimed(car) : car->bestLapTime != 0;
    const int timed = lapTimed != 0 || car->lapsDone != 0 || IsTimedOrLappedRace() != 0 || race->hotLapSingle != 0;
    if (timed && car->nextLine != 1 && !(lesson != 0 && code != 0)) {
        const int64_t lapTime = tick - car->lapStartTick;
        const int running = lapTime > 0 ? static_cast<int>(lapTime) : 0;
        const int slower = car->lastTime > car->bestLapTime;
        if (code != 0 && code < 191 && best) {
            AddRow(rows, &count, Tx(Text_3h_timetime), running, colour);
            AddRow(rows, &count, "best", static_cast<int>(car->bestLapTime), colour);
        } else if (best && ((CtrlHeld != 0 && ShiftHeld != 0) || (car->lapLineCrossed != 0 && slower))) {
            AddRow(rows, &count, "best", static_cast<int>(car->bestLapTime), colour);
        } else {
            AddRow(rows, &count, Tx(Text_3h_timetime), running, colour);
        }
        if (race->hotLapSingle != 0 && car->nextLine != 3 && car->lastTime > 0) {
            const int splits = car->nextLine == 2 ? 3 : car->nextLine - 2;
            int previous = 0;
            for (int i = 0; i < splits && i < 3; ++i) {
                const int t = car->lineTimes[i];
                if (t <= 0) {
                    break;
                }
                AddRow(rows, &count, i == 0 ? "" : "+", t - previous, colour);
                previous = t;
            }
        }
        if (ValidTime(car->lastTime)) {
            if (car->lapLineCrossed != 0 && car->countdown > 0 && best) {
                const uint32_t lapColour = car->lastTime > car->bestLapTime ? PackRgb(250, 140, 120)
                                                                            : PackRgb(160, 255, 160);
                AddRow(rows, &count, Tx(Text_3a_smalllap), static_cast<int>(car->lastTime), lapColour);
            } else {
                AddRow(rows, &count, "split", static_cast<int>(car->lastTime), colour);
            }
        }
    }
    // A penalty time, in red.
    if (car->penaltyTime != 0) {
        AddRow(rows, &count, "penalty", static_cast<int>(car->penaltyTime), PackRgb(255, 40, 40));
    }
    // The two passes: values right-aligned first, then the labels 0.02 left
    // of the leftmost value, measured with the page and size they are drawn in.
    float left = 0.98f;
    for (int i = 0; i < count; ++i) {
        const float rowY = y + static_cast<float>(i) * RowHeight;
        HudDrawRight(rows[i].value, 0.98f, rowY, RowSize, rows[i].colour, DigitPage);
        const float x = 0.98f - HudMeasure(rows[i].value, RowSize, DigitPage);
        if (x < left) {
            left = x;
        }
    }
    float labelsLeft = left - 0.02f;
    for (int i = 0; i < count; ++i) {
        if (rows[i].label[0] == 0) {
            continue;
        }
        const float rowY = y + static_cast<float>(i) * RowHeight;
        HudDrawRight(rows[i].label, left - 0.02f, rowY, RowSize, rows[i].colour, TranslationCodePage);
        const float x = left - 0.02f - HudMeasure(rows[i].label, RowSize, TranslationCodePage);
        if (x < labelsLeft) {
            labelsLeft = x;
        }
    }
    y += static_cast<float>(count) * RowHeight;
    // The large lap counter and position.
    if (car->nextLine != 1) {
        char text[32];
        const int laps = GetRaceLaps();
        if (!(lesson != 0 && laps == 1)) {
            if (laps > 0) {
                std::snprintf(text, sizeof(text), "%d/%d", car->lapsDone + 1, laps);
            } else {
                std::snprintf(text, sizeof(text), "%d", car->lapsDone + 1);
            }
            const float right = labelsLeft - 0.02f;
            HudDrawRight(text, right, y0, 0.0675f, colour, DigitPage);
            const float positionRight = right - HudMeasure(text, 0.0675f, DigitPage) - 0.02f;
            int codePage = TranslationCodePage;
            const char *own = HudCarLinks.positionText != nullptr ? HudCarLinks.positionText(car, &codePage) : nullptr;
            if (own != nullptr && own[0] != 0) {
                HudDrawRight(own, positionRight, y0, 0.0675f, HudColourYellow, codePage);
            } else if (ViewedRunningIndex >= 0) {
                FormatPosition(text, sizeof(text), ViewedRunningIndex + 1);
                HudDrawRight(text, positionRight, y0, 0.0675f, HudColourYellow, TranslationCodePage);
            }
        }
    }
    return y > y0 + 0.15f ? y : y0 + 0.15f;
}

// The big caption near the top of the screen and its small second line:
// one caption a frame, chosen by a fixed priority.
#include <cmath>
#include <cstdio>

#include "core/main_window.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "core/text_utils.h"
#include "core/translation_table.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_length.h"
#include "race/race_object.h"
#include "scene/hud.h"
#include "ui/text_draw.h"
#include "ui/translation.h"
#include "vehicle/car_object.h"
#include "world/world.h"

namespace {

uint32_t CaptionColour()
{
    return PackRgb(SplitTextColour.red, SplitTextColour.green, SplitTextColour.blue);
}

// On the 1024 ms half of the game clock's 2048 ms cycle.
int BlinkOn()
{
    return (GameClock & 1024) != 0;
}

const char *PendingActionText(int code)
{
    switch (code) {
    case 1:
        return Tx(Text_3g_join_btn);
    case 2:
        return Tx(Text_3h_pits_btn);
    case 3:
        return Tx(Text_3g_spec_btn);
    case 4:
        return Tx(Text_3h_rest_btn);
    case 5:
        return Tx(Text_3h_qual_btn);
    case 6:
        return Tx(Text_3g_endr_btn);
    default:
        return "OK";
    }
}

const char *PenaltyText(int penalty)
{
    switch (penalty) {
    case 1:
    case 2:
        return Tx(Text_3g_drthrcap);
    case 3:
    case 4:
        return Tx(Text_3a_stpgocap);
    case 5:
        return Tx(Text_3g_30stimep);
    case 6:
        return Tx(Text_3g_45stimep);
    default:
        return nullptr;
    }
}

const char *PenaltyReasonText(int reason)
{
    switch (reason) {
    case 1:
        return Tx(Text_3h_pe_admin);
    case 2:
        return Tx(Text_3a_wrngwcap);
    case 3:
        return Tx(Text_3h_falsesta);
    case 4:
        return Tx(Text_3h_pe_speed);
    case 5:
        return Tx(Text_3h_pe_short);
    case 6:
        return Tx(Text_3h_pe_mustp);
    default:
        return nullptr;
    }
}

int FlagsOn()
{
    // The race's flag option comes with the race set-up; flags show until then.
    return 1;
}

void RaceDescription(const RaceObject &race)
{
    char scheme[32] = {};
    if (CurrentWorld != nullptr) {
        CurrentWorld->FormatLightSchemeName(scheme, CurrentWorld->lightSchemeIndex);
    }
    char name[64];
    if (race.reversed != 0) {
        std::snprintf(name, sizeof(name), "%s [%s]", scheme, Tx(Text_3a_reversed));
    } else {
        std::snprintf(name, sizeof(name), "%s", scheme);
    }
    char kind[64];
    const int code = race.raceLength;
    if (RaceKind == 2) {
        if (race.qualifyMinutes == 1) {
            std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3a_qual1min));
        } else {
            std::snprintf(kind, sizeof(kind), Tx(Text_3a_qualxmin), race.qualifyMinutes);
        }
    } else if (race.hotLapMode != 0) {
        std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3a_clhotlap));
    } else if (code == 0) {
        std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3a_practice));
    } else if (HudLesson() != 0 && LapsFromCode(code) == 1) {
        std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3g_cltrning));
    } else if (code >= 191) {
        const int hours = HoursFromCode(code);
        if (hours == 1) {
            std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3a_clonehor));
        } else {
            std::snprintf(kind, sizeof(kind), Tx(Text_3a_cl_xhors), hours);
        }
    } else {
        const int laps = LapsFromCode(code);
        if (laps == 1) {
            std::snprintf(kind, sizeof(kind), "%s", Tx(Text_3a_clonelap));
        } else {
            std::snprintf(kind, sizeof(kind), Tx(Text_3a_cl_xlaps), laps);
        }
    }
    char text[160];
    if (OnlineFlag == 0 && race.hotLapMode == 0 && race.aiLevel < SkillLevelCount) {
        std::snprintf(text, sizeof(text), "%s : %s (%s)", name, kind, SkillLevelName(race.aiLevel));
    } else {
        std::snprintf(text, sizeof(text), "%s : %s", name, kind);
    }
    HudDrawCaption(text, CaptionColour());

    char pit[96] = {};
    if (IsMandatoryPitStop()) {
        std::snprintf(pit, sizeof(pit), "%s ^3%s^8", Tx(Text_3g_pitstopr), "yes");
    }
    char line[192];
    if (race.wind != 0 && CurrentWorld != nullptr) {
        const float speed = CurrentWorld->wind.baseSpeed;
        const int mph = SpeedUnitKmh == 0;
        char wind[80];
        std::snprintf(wind, sizeof(wind), Tx(Text_3a_windsp_x),
                      static_cast<double>(mph ? speed * 2.237f : speed * 3.6f),
                      mph ? Tx(Text_3a_smallmph) : Tx(Text_3a_smallkmh));
        if (pit[0] != 0) {
            std::snprintf(line, sizeof(line), "%s - %s", wind, pit);
        } else {
            std::snprintf(line, sizeof(line), "%s", wind);
        }
        DrawSecondCaption(line, CaptionColour());
    } else if (pit[0] != 0) {
        DrawSecondCaption(pit, CaptionColour());
    }
}

}  // namespace

void DrawSecondCaption(const char *text, uint32_t colour)
{
    if (TextEntryActive != 0) {
        return;
    }
    HudDrawSmall(text, colour);
}

int DrawVoteCaption()
{
    int32_t ticks = 0;
    int restarts = 0;
    const int kind = HudLinks.voteKind != nullptr ? HudLinks.voteKind(&ticks, &restarts) : 0;
    const char *subject = nullptr;
    const char *verb = "ENDS";
    if (kind == 1) {
        subject = Tx(Text_3a_race_hdr);
        verb = "RESTARTS";
    } else if (kind == 2 || kind == 3) {
        subject = kind == 3 ? "Qualifying" : Tx(Text_3a_race_hdr);
        verb = restarts ? "RESTARTS" : "STARTS";
    } else if (kind == 4) {
        subject = Tx(Text_3a_race_hdr);
    } else {
        return 0;   // no vote, or a kind this program does not know
    }
    char text[96];
    std::snprintf(text, sizeof(text), "%s %s : %d", subject, verb, ticks / 100 + 1);
    HudDrawCaption(text, PackRgb(RoadGearLedColour.red, RoadGearLedColour.green, RoadGearLedColour.blue));
    return 1;
}

int DrawSystemCaption(uint32_t colour)
{
    if (HudOptionsTab() != 0 || HudShown == 2) {
        return 1;
    }
    if (HudShown == 0 && (HudLesson() != 0 || (EditorOptions & 0x8000) == 0)) {
        return 1;
    }
    if (ExitState != 0) {
        HudDrawCaption("exiting...", colour);
        return 1;
    }
    if (DrawVoteCaption() != 0) {
        return 1;
    }
    if (HudPendingAction != 0) {
        HudDrawCaption(PendingActionText(HudPendingAction), colour);
        return 1;
    }
    if (ReplayErrorFlag != 0 && MultiplayerReplayPlaying != 0) {
        if (BlinkOn()) {
            HudDrawCaption("replay OOS error", colour);
        }
        return 1;
    }
    if (Paused != 0) {
        if (BlinkOn()) {
            HudDrawCaption(Tx(Text_3a_pausetxt), colour);
        }
        return 1;
    }
    const char *problem = HudLinks.worldProblem != nullptr ? HudLinks.worldProblem() : nullptr;
    if (problem != nullptr && problem[0] != 0) {
        HudDrawCaption(problem, colour);
        return 1;
    }
    if (RaceObjectPtr == nullptr || RaceObjectPtr->carsOk != 0) {
        return 0;
    }
    HudDrawCaption(Tx(Text_3a_carerror), colour);
    return 1;
}

void DrawHudCaption(CarObject *car)
{
    const uint32_t colour = CaptionColour();
    if (DrawSystemCaption(colour) != 0) {
        return;
    }
    if (car == nullptr) {
        if (DedicatedMode == 0) {
            HudDrawCaption("no cars in race", colour);
        }
        return;
    }
    RaceObject *race = RaceObjectPtr;
    char text[128];
    // The wrong-way warning with its consequence (1 kick, 2 ban, 3 spectate).
    int consequence = 0;
    if (HudCarLinks.wrongWay != nullptr && HudCarLinks.wrongWay(car, &consequence) != 0) {
        const char *what = consequence == 1   ? Tx(Text_3g_caps_kik)
                           : consequence == 2 ? Tx(Text_3g_caps_ban)
                           : consequence == 3 ? Tx(Text_3g_caps_spe)
                                              : nullptr;
        if (what != nullptr) {
            std::snprintf(text, sizeof(text), "%s : %s - %s", Tx(Text_3g_caps_wrn), Tx(Text_3a_wrngwcap), what);
        } else {
            std::snprintf(text, sizeof(text), "%s : %s", Tx(Text_3g_caps_wrn), Tx(Text_3a_wrngwcap));
        }
        HudDrawCaption(text, PackRgb(255, 0, 0));
        return;
    }
    if (HudCarLinks.retired != nullptr && HudCarLinks.retired(car) != 0) {
        HudDrawCaption(Tx(Text_3a_retrdcap), colour);
        return;
    }
    if (HudTitle[0] != 0) {
        HudDrawCaption(HudTitle, colour);
        return;
    }
    if (FlagsOn()) {
        if (HudCarLinks.yellowFlag != nullptr && HudCarLinks.yellowFlag(car) != 0) {
            YellowFlagHold = 100;
        }
        if (YellowFlagHold > 0) {
            HudDrawCaption(Tx(Text_3g_yellcaps), HudColourYellow);
            return;
        }
        if (HudCarLinks.blueFlag != nullptr && HudCarLinks.blueFlag(car) != 0) {
            BlueFlagHold = 100;
        }
        if (BlueFlagHold > 0) {
            HudDrawCaption(Tx(Text_3g_bluecaps), HudColourBlue);
            return;
        }
    }
    if (HudCarLinks.remotePitStop != nullptr && HudCarLinks.remotePitStop(car) != 0) {
        HudDrawCaption(Tx(Text_3g_pit_stop), colour);
        return;
    }
    if (car->statusText[0] != 0) {
        char status[sizeof(car->statusText) + 1] = {};
        std::snprintf(status, sizeof(status), "%.*s", static_cast<int>(sizeof(car->statusText)), car->statusText);
        HudDrawCaption(status, colour);
        return;
    }
    if (FlagsOn() && car->wrongWayCount > 200) {
        HudDrawCaption(Tx(Text_3a_wrngwcap), colour);
        return;
    }
    if (const char *penalty = PenaltyText(car->penalty)) {
        HudDrawCaption(penalty, colour);
        const int reason = HudCarLinks.penaltyReason != nullptr ? HudCarLinks.penaltyReason(car) : 0;
        if (const char *line = PenaltyReasonText(reason)) {
            DrawSecondCaption(line, colour);
        }
        return;
    }
    if ((ScreenFlags & 0x8000) != 0 && car->countdown > 0 && car->lastTime > 0) {
        FormatRaceTime(text, sizeof(text), car->lapLineCrossed ? Tx(Text_3a_smllaptm) : Tx(Text_3a_smlspltm), 1,
                       static_cast<int>(car->lastTime), 0);
        HudDrawCaption(text, colour);
        return;
    }
    if (race == nullptr) {
        return;
    }
    const uint32_t loadedDelay = race->hotLapMode != 0 ? 300u : 500u;
    if (race->tick >= loadedDelay || HudLesson() != 0) {
        float cross = 0.0f;
        const GameSession *session = GameSessionPtr;
        const int freeOrFixed = session != nullptr && IsFreeOrFixedView(*session);
        if (!freeOrFixed && HudCarLinks.pitLaneHint != nullptr && HudCarLinks.pitLaneHint(car, &cross) != 0) {
            // The track's side sign is +1 on every site.
            const char hint[2] = {static_cast<char>(cross > 0.7071f ? 0x8B : 0x9B), 0};
            if (cross > 0.7071f || cross < -0.7071f) {
                HudDrawCaptionLatin(hint, colour);
            }
            const int limit = CurrentWorld != nullptr ? CurrentWorld->GetLowestSpeedLimit() : 255;
            if (limit > 0 && limit < 255) {
                const int mph = SpeedUnitKmh == 0;
                const int shown = mph ? static_cast<int>(std::lround(limit * 0.6213889)) : limit;
                std::snprintf(text, sizeof(text), "%d %s", shown, mph ? Tx(Text_3a_smallmph) : Tx(Text_3a_smallkmh));
                DrawSecondCaption(text, colour);
            }
            return;
        }
        if (race->hotLapMode != 0 && HudLesson() == 0) {
            const int state = CurrentWorld != nullptr ? CurrentWorld->startLightState : 4;
            const uint32_t countdown = static_cast<uint32_t>(race->countdownSeconds) * 100u;
            if (state > 0 && state < 4 && race->raceLength != 0) {
                std::snprintf(text, sizeof(text), Tx(Text_3a_readynum), 4 - state);
                HudDrawCaption(text, colour);
            } else if (race->tick < countdown) {
                std::snprintf(text, sizeof(text), Tx(Text_3a_readynum),
                              static_cast<int>((countdown - race->tick) / 100 + 1));
                HudDrawCaption(text, colour);
            } else if (race->tick < countdown + 200) {
                HudDrawCaption("GO", colour);
            }
        }
        return;
    }
    RaceDescription(*race);
}

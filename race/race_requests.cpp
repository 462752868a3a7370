#include "race/race_requests.h"

#include <cstdio>
#include <cstring>

#include "core/command_line.h"
#include "core/shell_globals.h"
#include "core/translation_table.h"
#include "race/ai_driver.h"
#include "race/game_session.h"
#include "race/game_state.h"
#include "race/race_links.h"
#include "race/race_object.h"
#include "race/session_clock.h"
#include "race/session_frame.h"
#include "race/session_links.h"
#include "vehicle/car_object.h"
#include "vehicle/car_race_services.h"
#include "world/layout.h"

namespace {

const char *ConnectionNameOr(int connection)
{
    const char *name = RaceConnectionName(connection);
    return name != nullptr ? name : "";
}

void PrintName(const char *format, const char *name, int kind)
{
    char bounded[25];
    const size_t length = strnlen(name, 24);
    std::memcpy(bounded, name, length);
    bounded[length] = 0;
    char text[128];
    std::snprintf(text, sizeof(text), format, bounded);
    RacePrint(text, kind);
}

void QueueRequest(uint8_t subtype, uint8_t id)
{
    const uint8_t packet[4] = {17, subtype, id, 0};
    RaceQueuePacket(packet, sizeof(packet));
}

// A player leaves the race: the car taken out, the message, the slot gone.
void TakePlayerOut(GameSession &session, int index, const char *message)
{
    RaceObject &race = *RaceObjectPtr;
    PlayerSlot &slot = race.slots[index];
    if (slot.car != nullptr) {
        slot.car->SendDistanceUpdate(&slot);
        session.RemovePlayerCar(&slot);
    }
    if (message != nullptr) {
        PrintName(message, slot.info.name, RaceMessageInfo);
    }
    race.RemoveSlot(index);
}

// A guest votes at most once in 4000 ms of game clock; the time of an
// accepted vote is noted.
bool GuestVoteRateAllows()
{
    const bool guest = OnlineFlag && !(RaceLinks.isHost != nullptr && RaceLinks.isHost());
    if (!guest) {
        return true;
    }
    if (LastVoteTime != 0 && static_cast<int32_t>(GameClock - LastVoteTime) < 4000) {
        return false;
    }
    LastVoteTime = GameClock != 0 ? GameClock : 1;
    return true;
}

// The online host's check of a restart vote: the result text that refuses
// it, or 0.
int RestartRefusal(const RaceObject &race)
{
    // Players of more than one connection.
    bool several = false;
    for (int i = 1; i < race.slotCount && !several; ++i) {
        several = race.slots[i].info.connection != race.slots[0].info.connection;
    }
    if (!several) {
        return 0;
    }
    const int32_t sinceStart = static_cast<int32_t>(race.tick) - static_cast<int32_t>(race.countdownSeconds) * 100;
    if (race.resultCount == 0) {
        return sinceStart < CommandLineSettings.restartMinimum * 100 ? ResultTooEarlyToRestart : 0;
    }
    const int32_t sinceWinner = sinceStart - static_cast<int32_t>(race.results[0].raceTime);
    if (sinceWinner < CommandLineSettings.restartAfterEnd * 100) {
        return ResultTooEarlyToRestart;
    }
    // Cars still on the grid waiting for their start.
    int waiting = 0;
    for (int i = 0; i < race.slotCount; ++i) {
        const CarObject *car = race.slots[i].car;
        if (car != nullptr && !car->finished && car->penalty == 0 && car->speed < car->progress[0]) {
            ++waiting;
        }
    }
    return waiting > 1 ? ResultStillRacing : 0;
}

}  // namespace

uint32_t LastVoteTime = 0;

void RefuseVote(int connection, int resultText)
{
    QueueRequest(RequestVotesCancelled, 0);
    uint8_t packet[68] = {43, 0, 0, 0};
    std::snprintf(reinterpret_cast<char *>(packet + 4), 64, "%s", ResultTextEnglish(resultText));
    if (SessionLinks.sendReliable != nullptr) {
        SessionLinks.sendReliable(connection, packet, sizeof(packet), "CANCEL");
    }
}
uint8_t RejoinPending = 0;

void RecordVote(int connection, int vote, const char *message)
{
    if (RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining()) {
        return;
    }
    const int current = RaceLinks.connectionVote != nullptr ? RaceLinks.connectionVote(connection) : 0;
    const int stored = current == vote ? 0 : vote;
    if (RaceLinks.setConnectionVote != nullptr) {
        RaceLinks.setConnectionVote(connection, stored);
    }
    if (stored != 0 && connection != 0) {
        PrintName(message, ConnectionNameOr(connection), RaceMessageInfoBeep);
    }
}

void ReturnCarToPits(GameSession &session, PlayerSlot *slot)
{
    RaceObject *race = RaceObjectPtr;
    CarObject *car = slot->car;
    if (race == nullptr || car == nullptr) {
        return;
    }
    car->SendDistanceUpdate(slot);
    slot->info.pitStart = 1;
    PlaceCarAtStart(session, SlotIndexOf(*race, slot), 1, 0);
    car->StartRaceTiming();
    session.physics.Remove(car);
    session.physics.Add(car);
    if (slot->ai != nullptr) {
        slot->ai->Reset(2);
    }
}

void HandleRaceRequest(GameSession &session, int connection, const uint8_t packet[4])
{
    if (RaceLinks.setSyncDeadline != nullptr) {
        RaceLinks.setSyncDeadline();
    }
    RaceObject *race = RaceObjectPtr;
    const uint8_t id = packet[2];
    const uint8_t reason = packet[3];
    int index = -1;
    PlayerSlot *slot = race != nullptr ? race->SlotByPlayerId(id, &index) : nullptr;
    switch (packet[1]) {
    case RequestVoteEnd:
        RecordVote(connection, 1, "%s^8 voted to END RACE");
        break;
    case RequestVoteRestart: {
        RecordVote(connection, 2, "%s^8 voted to RESTART");
        const bool host = RaceLinks.isHost != nullptr && RaceLinks.isHost();
        const bool voted = RaceLinks.connectionVote != nullptr && RaceLinks.connectionVote(connection) == 2;
        if (OnlineFlag && host && voted && VoteAction == 0 && RaceKind == 1 && race != nullptr) {
            if (const int refusal = RestartRefusal(*race)) {
                RefuseVote(connection, refusal);
            }
        }
        break;
    }
    case RequestVoteQualify:
        RecordVote(connection, 3, "%s^8 voted to QUALIFY");
        break;
    case 5:
        if (GameState == 3 || MultiplayerReplayPlaying) {
            HalveReplaySpeed();
        }
        break;
    case 6:
        if (GameState == 3 || MultiplayerReplayPlaying) {
            DoubleReplaySpeed();
        }
        break;
    case RequestSpectate:
        StopReplayRecording();
        if (slot != nullptr) {
            TakePlayerOut(session, index, "%s^8 joined the spectators");
        }
        break;
    case RequestVotesCancelled:
        RacePrint(Tx(Text_3a_votecanc), RaceMessageInfoBeep);
        if (RaceLinks.clearGameVotes != nullptr) {
            RaceLinks.clearGameVotes();
        }
        VoteAction = 0;
        VoteCountdown = 0;
        break;
    case RequestRemovePlayer:
        if (slot != nullptr) {
            const bool local = slot->info.kind == KindLocal || slot->info.kind == KindLocalAi;
            RaceSound(local ? 4 : 2);
            if (reason == 4) {
                char bounded[25];
                const size_t length = strnlen(slot->info.name, 24);
                std::memcpy(bounded, slot->info.name, length);
                bounded[length] = 0;
                char text[96];
                std::snprintf(text, sizeof(text), "%s^8 - %s - %s", bounded, Tx(Text_3h_falsesta), Tx(Text_3g_caps_spe));
                TakePlayerOut(session, index, nullptr);
                RacePrint(text, RaceMessageInfo);
                break;
            }
            const char *message = reason == 0 ? nullptr
                                  : reason == 2 ? "%s^8 took the wrong route"
                                  : reason == 3 ? "%s^8 drove into a restricted area"
                                                : "%s^8 did not finish";
            TakePlayerOut(session, index, message);
        }
        break;
    case RequestToPits:
        if (slot != nullptr && slot->car != nullptr) {
            if (reason != 0) {
                PrintName("%s^8 returned to the pit lane", slot->info.name, RaceMessageInfo);
            }
            ReturnCarToPits(session, slot);
        }
        break;
    case RequestAllToPits:
        if (race != nullptr) {
            for (int i = 0; i < race->slotCount; ++i) {
                ReturnCarToPits(session, &race->slots[i]);
            }
            if (reason != 0) {
                RacePrint(Tx(Text_3h_a_retpit), RaceMessageInfo);
            }
        }
        break;
    case RequestClearCarText:
        for (int i = 0; race != nullptr && i < race->slotCount; ++i) {
            CarObject *car = race->slots[i].car;
            if (car != nullptr && (id == 0 || race->slots[i].info.playerId == id)) {
                car->raceControlText[0] = 0;
            }
        }
        break;
    default:
        break;
    }
}

int VoteEndRace()
{
    if (RaceObjectPtr == nullptr) {
        return 0;
    }
    if (MultiplayerReplayPlaying || GameState == 3) {
        EndGameSession();
        return 1;
    }
    if (!GuestVoteRateAllows()) {
        return 0;
    }
    QueueRequest(RequestVoteEnd, 0);
    return 1;
}

int VoteRestart()
{
    RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    // Online with the layout's own start the local driver rejoins from the
    // start instead.
    if (OnlineFlag && LayoutRouteLines.startOverride && race->slotCount >= 2) {
        if (RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining()) {
            RacePrint("Can't start race - a guest is connecting", RaceMessageWarning);
            return 0;
        }
        for (int i = 0; i < race->slotCount; ++i) {
            if (race->slots[i].info.kind == KindLocal) {
                QueueRequest(RequestSpectate, race->slots[i].info.playerId);
                RejoinPending = 1;
                return 1;
            }
        }
        return 1;
    }
    if (!GuestVoteRateAllows()) {
        return 0;
    }
    QueueRequest(RequestVoteRestart, 0);
    return 1;
}

int VoteQualify()
{
    const RaceObject *race = RaceObjectPtr;
    if (race == nullptr) {
        return 0;
    }
    const char *refusal = nullptr;
    if (LayoutRouteLines.timingLineCount > 0) {
        refusal = "Autocross";
    } else if (race->raceLength == 0) {
        refusal = "Practice session";
    } else if (race->qualifyMinutes == 0) {
        refusal = "Not enabled";
    }
    if (refusal != nullptr) {
        char text[64];
        std::snprintf(text, sizeof(text), Tx(Text_3a_noqual_x), refusal);
        RacePrint(text, RaceMessageWarning);
        return 0;
    }
    if (!GuestVoteRateAllows()) {
        return 0;
    }
    QueueRequest(RequestVoteQualify, 0);
    return 1;
}

int IsStartAllowed()
{
    return VoteAction != 0 && VoteCountdown < 200 ? 0 : 1;
}

int IsSessionBusy()
{
    return RaceLinks.guestJoining != nullptr && RaceLinks.guestJoining() ? 1 : 0;
}

void SetJumpStartFlag()
{
    StartWaitFlag = 1;
}

void GetRemoteCarView(const CarObject *, RemoteCarView *view)
{
    *view = RemoteCarView{0, 0, 0, 0, nullptr, 0, -1, 0};
    const GameSession *session = GameSessionPtr;
    if (session == nullptr) {
        return;
    }
    // Frame counters wrap: compare the signed difference.
    view->catchingUp = static_cast<int32_t>(ClockFrame - SessionFrameCount) > 128 ? 1 : 0;
    view->viewMode = static_cast<int32_t>(ViewMode);
    view->freeView = session->freeView;
    view->viewedCar = session->viewedCar;
}

void ReportObjectHit(const FixVector &point, float radius)
{
    GameSession *session = GameSessionPtr;
    RaceObject *race = RaceObjectPtr;
    if (session == nullptr || race == nullptr) {
        return;
    }
    const PlayerSlot *nearest = nullptr;
    float nearestDistance = 0.0f;
    for (int i = 0; i < race->slotCount; ++i) {
        const PlayerSlot &slot = race->slots[i];
        const CarObject *car = slot.car;
        if (car == nullptr) {
            continue;
        }
        const float distance = FixDistance3D(car->position, point);
        if (distance < radius + car->radius && (nearest == nullptr || distance < nearestDistance)) {
            nearest = &slot;
            nearestDistance = distance;
        }
    }
    if (nearest == nullptr || (nearest->info.kind != KindLocal && nearest->info.kind != KindLocalAi)) {
        return;
    }
    if (nearest->car == session->viewedCar) {
        RaceSound(3);
    }
    if (!MultiplayerReplayPlaying) {
        const uint8_t packet[4] = {50, nearest->info.playerId, 2, 0};
        RaceQueuePacket(packet, sizeof(packet));
    }
}

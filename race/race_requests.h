#pragma once

#include <cstdint>

#include "core/fixed_math.h"

class CarObject;
struct GameSession;
struct PlayerSlot;
struct RemoteCarView;

// Race requests and votes: game packet 17 {17, subtype, player id, reason}
// carried out in the session, and the votes this program casts.

constexpr uint8_t RequestVoteEnd = 0;
constexpr uint8_t RequestVoteRestart = 1;
constexpr uint8_t RequestVoteQualify = 2;
constexpr uint8_t RequestSpectate = 7;
constexpr uint8_t RequestVotesCancelled = 8;
constexpr uint8_t RequestRemovePlayer = 9;
constexpr uint8_t RequestToPits = 10;
constexpr uint8_t RequestAllToPits = 11;
constexpr uint8_t RequestClearCarText = 12;

void HandleRaceRequest(GameSession &session, int connection, const uint8_t packet[4]);
// A connection's vote (1 end, 2 restart, 3 qualify); the same vote again
// cancels it.
void RecordVote(int connection, int vote, const char *message);
// The host refuses a connection's vote: every vote is cancelled and the
// voter is sent the result text (reliable packet 43).
void RefuseVote(int connection, int resultText);
// The result texts of a refused restart.
constexpr int ResultTooEarlyToRestart = 55;
constexpr int ResultStillRacing = 56;
// The car back into its pit box, timed from now.
void ReturnCarToPits(GameSession &session, PlayerSlot *slot);
// The game clock of a guest's last vote (0 none), and a local driver
// leaving to rejoin from a layout's own start.
extern uint32_t LastVoteTime;
extern uint8_t RejoinPending;
// This program's votes: 1 when the request was queued (a guest votes at
// most once in 4000 ms).
int VoteEndRace();
int VoteRestart();
int VoteQualify();

// 0 while an agreed end, restart or qualifying is less than 200 ticks away.
int IsStartAllowed();
// A guest being admitted keeps the session busy (no timed car packets).
int IsSessionBusy();
// A car jumped the start: the session's start flag, cleared at the green.
void SetJumpStartFlag();
// How the session views a remote car: whether it runs behind the clock,
// the view and the viewed car.
void GetRemoteCarView(const CarObject *car, RemoteCarView *view);
// A movable object knocked at `point`: the nearest car touching it, when
// local, reports the hit (packet {50, id, 2, 0}; sound 3 when viewed).
void ReportObjectHit(const FixVector &point, float radius);

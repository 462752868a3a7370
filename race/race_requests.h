#pragma once

#include <cstdint>

struct GameSession;
struct PlayerSlot;

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

void HandleRaceRequest(GameSession &session, int connection, const uint8_t packet[4]);
// A connection's vote (1 end, 2 restart, 3 qualify); the same vote again
// cancels it.
void RecordVote(int connection, int vote, const char *message);
// The car back into its pit box, timed from now.
void ReturnCarToPits(GameSession &session, PlayerSlot *slot);
// This program's votes: 1 when the request was queued.
int VoteEndRace();
int VoteRestart();
int VoteQualify();

#pragma once

#include <cstdint>

// The race-progress game packets every program applies alike in its session
// frame: timing (splits, laps, the car's progress), penalties, pit stops and
// car resets; and the host's check of a reliable reset request. Each handler
// takes (connection, packet, length) and ignores packets of unknown players,
// slots without a car and malformed fields.

constexpr uint8_t MP_WEAR = 2;
constexpr uint8_t MP_GAME_69 = 69;
constexpr uint8_t MP_SETTINGS = 67;
constexpr uint8_t MP_CAR_SWITCHES = 70;
constexpr uint8_t MP_CAR_TEXT = 73;
constexpr uint8_t MP_GAME_81 = 81;
constexpr uint8_t MP_SPLIT_TIME = 38;
constexpr uint8_t MP_LAP_TIME = 39;
constexpr uint8_t MP_TIME_PENALTY = 50;
constexpr uint8_t MP_PIT_STOP = 60;
constexpr uint8_t MP_PENALTY = 66;
constexpr uint8_t MP_CAR_PROGRESS = 74;
constexpr uint8_t MP_GAME_75 = 75;
constexpr uint8_t MP_GAME_76 = 76;
constexpr uint8_t MP_GAME_77 = 77;
constexpr uint8_t MP_GAME_79 = 79;
constexpr uint8_t MP_CAR_RESET = 80;

// The host rule that allows car resets.
constexpr uint32_t RuleCarReset = 128;
// Session frames from a new fastest lap to its notice.
constexpr int FastestLapNoticeFrames = 400;

void HandleSplitTime(int connIndex, const uint8_t *packet, int length);
void HandleLapTime(int connIndex, const uint8_t *packet, int length);
void HandleTimePenalty(int connIndex, const uint8_t *packet, int length);
void HandlePitStop(int connIndex, const uint8_t *packet, int length);
void HandlePenalty(int connIndex, const uint8_t *packet, int length);
void HandleCarProgress(int connIndex, const uint8_t *packet, int length);
void HandlePitWork(int connIndex, const uint8_t *packet, int length);
void HandlePitDone(int connIndex, const uint8_t *packet, int length);
void HandlePitNotice(int connIndex, const uint8_t *packet, int length);
// A car's new set-up block (any car: each program applies it alike). A
// packet with a tyre type outside the tyre table or a float that is not a
// number is ignored.
void HandleSettings(int connIndex, const uint8_t *packet, int length);
// Switch bits of a car set or cleared; the race control text of one car
// (or, for id 0, of every car); the state byte of a car driven elsewhere.
void HandleCarSwitches(int connIndex, const uint8_t *packet, int length);
void HandleCarText(int connIndex, const uint8_t *packet, int length);
void HandleCarState(int connIndex, const uint8_t *packet, int length);
// A car driven elsewhere: its condition record, and its live brake balance
// and anti-roll stiffness (a packet with a balance outside 5..95 or a
// stiffness that is not a finite, non-negative number is ignored).
void HandleWear(int connIndex, const uint8_t *packet, int length);
void HandleLiveSettings(int connIndex, const uint8_t *packet, int length);
void HandleResetRefused(int connIndex, const uint8_t *packet, int length);
void HandleCarReset(int connIndex, const uint8_t *packet, int length);
// The host's reliable reset request: checked, then sent on as the game
// packet, or refused with MP_GAME_79.
void HandleCarResetRequest(int connIndex, const uint8_t *packet, int length);

// Step 7 of the session frame: the fastest-lap countdown and its notice
// "Fastest lap : <time> by <name>^8 (<car>)".
void RunFastestLapNotice();
// The countdown (0 none) and the player of the last fastest lap.
int FastestLapCountdown();
void ClearFastestLap();

// The car's reset request (byUser: the reset key; refusals are shown
// only then): placed on the path through the packet path. Also the
// announcement of a stopped car.
class CarObject;
void SendPositionPacket(CarObject &car, int byUser);
void AnnounceStoppedCar(CarObject &car);
// Pit-lane reports of the car's pit logic.
void SendPitStopStart(CarObject &car, const uint8_t tyreList[4]);
void SendPitStopDone(CarObject &car);
void SendPitNotice(CarObject &car);

// Registers the senders with the car's services.
void InstallRacePacketSenders();

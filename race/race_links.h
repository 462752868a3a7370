#pragma once

#include <cstdint>

class CarObject;
struct MenuPage;
struct SessionListener;

// What the race code asks of the layers above it (message lines, sounds,
// voices, the packet queue, the connections, InSim and the master server).
// The program registers the entries at start-up; tests install fakes. An
// empty entry does nothing, or answers 0 / null.
struct RaceLinkServices {
    // --- Message lines ---
    // kind: RaceMessageInfo, RaceMessageWarning or RaceMessageInfoBeep.
    void (*printMessage)(const char *text, int kind);
    // A dialog over the owner page (null: the current page) with a title and
    // a text.
    void (*showDialog)(MenuPage *owner, const char *title, const char *text);
    // --- Sounds ---
    void (*playInterfaceSound)(int sound);
    void (*queueVoice)(int voice);
    // The car-sound mixer: started at session entry and each race start, its
    // listener reset when the session ends, the listener of each frame.
    void (*startCarSounds)();
    void (*resetSoundListener)();
    void (*writeSoundListener)(const SessionListener &listener);
    // --- Game packets ---
    void (*queueGamePacket)(const uint8_t *bytes, int length);
    void (*flushGameBatch)();
    // Room in the own outgoing ring for `length` more bytes (empty: room).
    int (*hasRingRoom)(int length);
    // The network frame counter of the session.
    uint32_t (*networkFrame)();
    // --- Connections ---
    // This program's connection number (0 offline and on the host).
    int (*ownConnection)();
    int (*connectionCount)();
    // The connection's name, its identity word and user name, and whether it
    // is live (a human on an open connection).
    const char *(*connectionName)(int connection);
    int (*connectionIsLive)(int connection);
    uint32_t (*connectionIdentity)(int connection);
    const char *(*connectionUserName)(int connection);
    // The host's per-guest player limit (online hosts only).
    int (*playersPerConnection)();
    // Notes a player id as recently used (host only).
    void (*pushRecentId)(uint8_t id);
    // The connections' display flags were changed by a player record.
    void (*refreshDisplayFlags)();
    // The entry-screen votes are cleared.
    void (*clearEntryVotes)();
    // Clears every player of the race (the setup's "clear").
    void (*clearRacePlayers)();
    // The race's maximum player count (offline cap; empty: 32).
    int (*maxPlayers)();
    // The race setup's copy of the race length setting.
    void (*setRaceLengthSetting)(int code);
    // --- Votes ---
    // A connection's game vote (0 none, 1 end, 2 restart, 3 qualify), the
    // votes cleared, the sync deadline moved, this program hosts, and a
    // guest being admitted.
    int (*connectionVote)(int connection);
    void (*setConnectionVote)(int connection, int vote);
    void (*clearGameVotes)();
    void (*setSyncDeadline)();
    int (*isHost)();
    int (*guestJoining)();
    // The network's session frame: every connection's packets of the next
    // frame applied.
    void (*runSessionFrame)();
    // The replay speed shown on screen for 4 seconds.
    void (*showReplaySpeed)(float speed);
    // The car was heard this tick (empty: every car is).
    int (*carHeard)(const CarObject *car);
    // The smoke sprites advanced one tick.
    void (*updateSprites)();
    // --- Replay recorders ---
    // Ends the single-player or multiplayer recording: 1 when one was
    // running. Saves the ended recording under its default (automatic) name.
    int (*endSingleRecording)();
    void (*saveSingleRecording)();
    int (*endMultiRecording)();
    void (*saveMultiRecording)();
    // The replay options (2: save automatically; empty: 0).
    int (*singleReplayOption)();
    int (*multiReplayOption)();
    // A notice about the recording: the centre message for 8000 ms, or the
    // second message when a centre message already shows.
    void (*showRecordingNotice)(const char *text);
    // A child page is open over the session's owner.
    int (*ownerHasChild)();
    // --- Session ---
    // The owner page's background name, and its change.
    const char *(*ownerBackground)(MenuPage *owner);
    void (*setOwnerBackground)(MenuPage *owner, const char *name);
    // The owner's background picture is shown again (after a session).
    void (*restoreBackgroundPicture)(MenuPage *owner);
    // A single-player replay plays back; a lesson is running.
    int (*singleReplayPlaying)();
    int (*lessonRunning)();
    // The session is of the intro kind.
    int (*introSession)();
    // The driver's-view data of a local player's car.
    void (*loadDriverView)(CarObject *car);
    // --- InSim ---
    void (*inSimPlayerLeft)(uint8_t playerId);
    void (*inSimPlayerUpdated)(uint8_t playerId);
    void (*inSimFinish)(uint8_t playerId);
    // A result with its position (0 first; -1 unplaced).
    void (*inSimResult)(uint8_t playerId, int position);
    // The race packets' reports to the InSim guests, by player id: a split
    // (its number, time and the total), a lap (time, total, laps done), a
    // penalty change (old, new, reason), a time penalty (seconds, kind), a
    // pit stop's start (work word, data word), its end (milliseconds), a
    // pit-lane notice, a switch change (the packet's three bytes), a car's
    // state byte and a car reset.
    void (*inSimSplit)(uint8_t playerId, int split, uint32_t time, uint32_t total);
    void (*inSimLap)(uint8_t playerId, uint32_t time, uint32_t total, int laps);
    void (*inSimPenalty)(uint8_t playerId, int oldPenalty, int newPenalty, int reason);
    void (*inSimTimePenalty)(uint8_t playerId, int seconds, int kind);
    void (*inSimPitStart)(uint8_t playerId, uint32_t work, uint32_t data);
    void (*inSimPitDone)(uint8_t playerId, uint32_t milliseconds);
    void (*inSimPitLane)(uint8_t playerId, int notice);
    void (*inSimCarSwitches)(uint8_t playerId, const uint8_t bytes[3]);
    void (*inSimCarState)(uint8_t playerId, int state);
    void (*inSimCarReset)(uint8_t playerId);
    // --- Master server ---
    int (*masterLinkUp)();
    // A human driver's split (line 2..4) or lap (line 1) time for the
    // master's time table, asked only while the link is up and no layout
    // start or checkpoint is in use; the owner keeps the track-site rule.
    void (*masterTimeReport)(uint8_t playerId, int line, uint32_t time);
    void (*sendMasterResult)(const uint8_t record[20]);
    // --- Figures ---
    // The last human-system figure of a type (0 male, 1 female); 0 without.
    int (*figureOfType)(int type);
    // The type of a figure (0 male, 1 female, else unknown; empty: 0).
    int (*figureType)(int figure);
};

extern RaceLinkServices RaceLinks;

constexpr int RaceMessageInfo = 0;
constexpr int RaceMessageWarning = 1;
constexpr int RaceMessageInfoBeep = 2;

// Callers of the entries.
void RacePrint(const char *text, int kind);
void RaceShowDialog(MenuPage *owner, const char *title, const char *text);
void RaceSound(int sound);
void RaceVoice(int voice);
void RaceQueuePacket(const uint8_t *bytes, int length);
void RaceFlushBatch();
uint32_t RaceNetworkFrame();
int RaceOwnConnection();
int RaceConnectionCount();
const char *RaceConnectionName(int connection);
int RaceSingleReplayPlaying();
int RaceLessonRunning();
